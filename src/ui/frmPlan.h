// frmPlan: Analyses > Plan Sample Size: the power of the F test of the added predictors (and its curve), and the
// sample size whose bootstrap interval is narrow enough, by simulation.
#pragma once

#include "analyses/Planning.h"
#include "ui/BackgroundRun.h"
#include "ui/ModalDialog.h"

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace orvalis {

class OutputLog;
class Platform;

// Needs no data: the model's size and the population are typed in. Each plan
// goes to the log as a block. The width plan runs on worker threads with a
// progress bar by data set; Close, Escape or the close box stop it.
class frmPlan : public ModalDialog {
    Q_OBJECT
public:
    frmPlan(Platform& platform, OutputLog& log, QWidget* parent);
    ~frmPlan() override;

    QSpinBox* spnPredictors = nullptr;
    QSpinBox* spnAdded = nullptr;
    QTabWidget* tabPlans = nullptr;
    // Power.
    QRadioButton* optChange = nullptr;
    QDoubleSpinBox* spnChange = nullptr;
    QDoubleSpinBox* spnFullR2 = nullptr;
    QRadioButton* optF2 = nullptr;
    QDoubleSpinBox* spnF2 = nullptr;
    QDoubleSpinBox* spnAlpha = nullptr;
    QComboBox* cmbNoncentrality = nullptr;
    QRadioButton* optPowerAtN = nullptr;
    QSpinBox* spnN = nullptr;
    QRadioButton* optNForPower = nullptr;
    QDoubleSpinBox* spnTargetPower = nullptr;
    QPushButton* cmdPower = nullptr;
    QPushButton* cmdCurve = nullptr;
    // Interval width.
    QRadioButton* optStructure = nullptr;
    QDoubleSpinBox* spnIntercorrelation = nullptr;
    QDoubleSpinBox* spnReducedR2 = nullptr;
    QDoubleSpinBox* spnWidthChange = nullptr;
    QRadioButton* optMatrix = nullptr;
    QPlainTextEdit* txtMatrix = nullptr;
    QSpinBox* spnFrom = nullptr;
    QSpinBox* spnTo = nullptr;
    QSpinBox* spnStep = nullptr;
    QSpinBox* spnDataSets = nullptr;
    QSpinBox* spnTrials = nullptr;
    QComboBox* cmbLevel = nullptr;
    QDoubleSpinBox* spnTargetWidth = nullptr;
    QDoubleSpinBox* spnAssurance = nullptr;
    QLineEdit* txtSeed = nullptr;
    // The Monte Carlo errors of the widths and the marks near the target in the block.
    QCheckBox* chkDetails = nullptr;
    QProgressBar* prgPlan = nullptr;
    QPushButton* cmdRunPlan = nullptr;
    QPushButton* cmdClose = nullptr;
    // The last answer in words ("Power 0.8011 at N = 148"), beside what the log gets.
    QLabel* lblAnswer = nullptr;

    // The question the power controls describe.
    PowerQuestion powerQuestion() const;
    void cmdPower_Click();
    void cmdCurve_Click();
    void cmdRunPlan_Click();
    void cmdClose_Click();
    bool running() const { return m_run->running(); }

signals:
    void planFinished();

protected:
    void escapeWhenIdle() override { cmdClose_Click(); }

private:
    // The power the controls ask for: at N, or the smallest N for the target;
    // warns and gives none when it cannot be had.
    std::optional<PowerAnswer> answer(const PowerQuestion& question);
    // A width plan to the log and, in words, to lblAnswer.
    void showPlan(const WidthPlan& plan);
    void setControlsEnabled(bool enabled);

    Platform& m_platform;
    OutputLog& m_log;
    // Last, so that it is destroyed first: a plan still running is stopped
    // and waited for while the rest of the window is whole.
    std::unique_ptr<BackgroundRun> m_run;
};

} // namespace orvalis
