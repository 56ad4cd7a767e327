// frmESBootstrap: sets up and runs the effect-size bootstrap, off the user-interface thread.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/RunRecord.h"
#include "common/MissingValue.h"
#include "ui/BackgroundRun.h"
#include "ui/ModalDialog.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;

namespace orvalis {

class DataSet;
class OutputLog;
class Platform;

class frmESBootstrap : public ModalDialog {
    Q_OBJECT
public:
    frmESBootstrap(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent);
    ~frmESBootstrap() override;

    // What m_lngCheckedDV and m_lngCheckedAdded hold when no item is checked:
    // the missing-value code.
    static constexpr std::int32_t NoneChecked = static_cast<std::int32_t>(MissingValue);
    // The checked item of lstDV and lstAdded (1-based), or NoneChecked.
    std::int32_t checkedDV() const { return m_lngCheckedDV; }
    std::int32_t checkedAdded() const { return m_lngCheckedAdded; }

    QGroupBox* fraSelectDV = nullptr;
    QListWidget* lstDV = nullptr;
    QGroupBox* fraSelectGroups = nullptr;
    QListWidget* lstPredictors = nullptr;
    QGroupBox* FraAdded = nullptr;
    QListWidget* lstAdded = nullptr;
    QGroupBox* fraTrials = nullptr;
    std::array<QRadioButton*, 8> optTrials{}; // opt600 ... opt2000
    QLabel* lblTrial = nullptr;
    QLineEdit* txtTrial = nullptr;
    QGroupBox* fraConfidence = nullptr;
    QRadioButton* opt90CI = nullptr;
    QRadioButton* opt95CI = nullptr;
    QRadioButton* opt99CI = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    // Not in the original design; placed in its free space.
    QCheckBox* chkAddedBlock = nullptr; // the added-predictor list takes several checks
    QLabel* lblSeed = nullptr;
    QLineEdit* txtSeed = nullptr; // empty: a seed from the clock; after a run, the seed it used
    QCheckBox* chkDetails = nullptr;
    QCheckBox* chkCoefficients = nullptr;   // each model's coefficients in the report
    QPushButton* cmdDistribution = nullptr; // enabled once a run has finished
    QPushButton* cmdCopyAPA = nullptr;      // the last run's APA sentence and table; enabled with cmdDistribution

    void lstDV_ItemCheck(int item);
    void lstPredictors_ItemCheck(int item);
    void lstAdded_ItemCheck(int item);
    void chkAddedBlock_Click(bool checked);
    void cmdOK_Click();
    void cmdCancel_Click();
    // Shows the last run's distribution window.
    void cmdDistribution_Click();
    // Copies the last run's APA results (Analyses > APA Interval says which interval).
    void cmdCopyAPA_Click();

    // The request the controls describe.
    BootstrapRequest request() const;
    // The path of the data file, for the details block, and how it was read
    // (the delimiter's word, a workbook's sheet), for the record's command line.
    void setDataFileName(const QString& path, std::optional<std::string> delimiter = std::nullopt,
                         std::string sheet = {})
    {
        m_dataFileName = path;
        m_source = {path.toStdString(), std::move(delimiter), std::move(sheet)};
    }
    // The seed the next run uses: the Seed box's whole number (0 to
    // 2^63 - 1), a fresh one when the box is empty, none when its text is
    // not such a number.
    std::optional<std::uint64_t> nextSeed() const;
    bool running() const { return m_run->running(); }

signals:
    // A run has ended (appended, refused or failed).
    void runFinished();
    // A run has appended its report.
    void runSucceeded(const orvalis::BootstrapResult& result);

protected:
    // Escape on the idle dialog is Cancel.
    void escapeWhenIdle() override { cmdCancel_Click(); }

private:
    std::int32_t m_lngCheckedDV = NoneChecked;
    std::int32_t m_lngCheckedAdded = NoneChecked;

    void Form_Load();
    void oneCheckedItem(QListWidget* list, std::int32_t& member, int item);
    void setControlsEnabled(bool enabled);
    // A run's result and, with the details, the data file's fingerprint,
    // both taken off the user-interface thread.
    struct RunOutcome {
        BootstrapResult result;
        std::optional<Outcome<FileFingerprint>> fingerprint;
    };
    // A run's report (with the details, its record) to the log; then Plot
    // and Copy APA Results offer it, and the dialog hides.
    void showResult(const RunOutcome& ran);

    Platform& m_platform;
    const DataSet& m_dataSet;
    OutputLog& m_log;
    QString m_dataFileName;
    DataSource m_source;
    std::optional<BootstrapResult> m_lastResult;
    // While chkAddedBlock_Click unchecks all but the lowest item.
    bool m_keepingLowest = false;
    // Last, so that it is destroyed first: a run still going is stopped and
    // waited for while the rest of the dialog is whole.
    std::unique_ptr<BackgroundRun> m_run;
};

} // namespace orvalis
