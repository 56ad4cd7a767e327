// frmDominance: "Relative Importance", a dominance analysis of units of predictors (single variables and named
// groups) beyond covariates, run off the user-interface thread.
#pragma once

#include "analyses/Dominance.h"
#include "data/CategoricalView.h"
#include "ui/CategoricalMarks.h"
#include "ui/BackgroundRun.h"
#include "ui/ModalDialog.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace orvalis {

class DataSet;
class OutputLog;
class Platform;

// The dependent variable, the variables, Add as Unit (each selected variable a
// unit), a group builder (a name and Add as Group for the selected variables
// together), Add as Covariate; the units and the covariates with Remove, the
// selected unit marked Categorical with its reference category; trials, level,
// seed and details. OK runs, Cancel or Escape stop a run (and close the idle
// window); the report goes to the log; Plot shows the last run's general
// dominance weights.
class frmDominance : public ModalDialog {
    Q_OBJECT
public:
    frmDominance(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent);
    ~frmDominance() override;

    QComboBox* cmbDependent = nullptr;
    QListWidget* lstVariables = nullptr;
    QPushButton* cmdAddUnit = nullptr;
    QLineEdit* txtGroupName = nullptr; // empty: the group is named "Group N"
    QPushButton* cmdAddGroup = nullptr;
    QPushButton* cmdAddCovariate = nullptr;
    // The predictors, one unit each ("Var 6 (wt)"), then the groups ("engine: Var 3 (disp), Var 2 (cyl)").
    QListWidget* lstUnits = nullptr;
    QPushButton* cmdRemoveUnit = nullptr;
    // The selected predictor unit entered as categorical (a numeric one's
    // distinct values the categories); checked and off for a text variable.
    QCheckBox* chkCategorical = nullptr;
    QComboBox* cmbReference = nullptr;
    QListWidget* lstCovariates = nullptr;
    QPushButton* cmdRemoveCovariate = nullptr;
    QSpinBox* spnTrials = nullptr;
    QComboBox* cmbLevel = nullptr;
    QLineEdit* txtSeed = nullptr;
    QCheckBox* chkDetails = nullptr;
    QProgressBar* prgTrials = nullptr;
    QPushButton* cmdPlot = nullptr;
    QPushButton* cmdCopyAPA = nullptr; // the last run's APA sentence and table
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdAddUnit_Click();
    void cmdAddGroup_Click();
    void cmdAddCovariate_Click();
    void cmdRemoveUnit_Click();
    void cmdRemoveCovariate_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdPlot_Click();
    void cmdCopyAPA_Click();

    // The request the controls describe.
    DominanceRequest request() const;
    void setDataFileName(const QString& path) { m_dataFileName = path; }
    bool running() const { return m_run->running(); }
    const std::optional<DominanceResult>& lastResult() const { return m_lastResult; }

signals:
    void runFinished();

protected:
    void escapeWhenIdle() override { cmdCancel_Click(); }

private:
    // The lists as the units and covariates say, and the buttons' rules.
    void showUnits();
    void showReference();
    void setControlsEnabled(bool enabled);
    void showResult(DominanceResult result);
    void chkCategorical_Click(bool checked);
    // A unit's row: a predictor's caption (with its reference category when
    // categorical), a group's name and variables.
    QString unitCaption(std::size_t row) const;
    // The selected variables not yet in any role, in variable order.
    std::vector<std::int32_t> takeSelected();
    // The predictor unit selected in lstUnits, if any (a group is none).
    std::optional<std::int32_t> selectedPredictor() const;
    bool used(std::int32_t v) const;

    Platform& m_platform;
    const DataSet& m_dataSet;
    OutputLog& m_log;
    std::vector<std::int32_t> m_units;
    std::vector<DominanceGroup> m_groups;
    std::vector<std::int32_t> m_covariates;
    // The predictor units marked Categorical, and the reference categories.
    CategoricalMarks m_marks{m_dataSet};
    QString m_dataFileName;
    std::optional<DominanceResult> m_lastResult;
    // Last, so that it is destroyed first: a run still going is stopped and
    // waited for while the rest of the dialog is whole.
    std::unique_ptr<BackgroundRun> m_run;
};

} // namespace orvalis
