// frmHierarchical: "Hierarchical Regression Bootstrap", steps built from blocks of variables, run off the
// user-interface thread.
#pragma once

#include "analyses/Hierarchical.h"
#include "data/CategoricalView.h"
#include "ui/CategoricalMarks.h"
#include "ui/BackgroundRun.h"
#include "ui/ModalDialog.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace orvalis {

class DataSet;
class OutputLog;
class Platform;

// The dependent variable, a block builder (the variables, "Add to Step N",
// Previous and Next Step, the steps with their variables, the current step's
// variables with Remove, Categorical for a numeric one and a categorical
// one's reference category), the product of two of the model's predictors
// added to the current step, the simple slopes of one at the other, trials,
// level, seed and details; OK runs, Cancel or Escape stop a run (and close the
// idle window), Plot shows the selected step's distribution. The report goes
// to the log.
class frmHierarchical : public ModalDialog {
    Q_OBJECT
public:
    frmHierarchical(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent);
    ~frmHierarchical() override;

    QComboBox* cmbDependent = nullptr;
    QListWidget* lstVariables = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdPrevious = nullptr;
    QPushButton* cmdNext = nullptr;
    QListWidget* lstSteps = nullptr;         // a row per step: "Step 1: Var6 (wt)", a categorical one's reference named
    QListWidget* lstStepVariables = nullptr; // the current step's variables, then its products
    // The selected numeric variable entered as categorical (its distinct values
    // the categories); checked and off for a text variable, off for one value.
    QCheckBox* chkCategorical = nullptr;
    QCheckBox* chkCentred = nullptr; // the selected numeric predictor centred at its mean
    QPushButton* cmdRemove = nullptr;
    QComboBox* cmbReference = nullptr; // the selected categorical variable's reference category
    // Two of the model's predictors (any step's) and the button that adds their
    // product to the current step; it is listed there as "Var 6 (wt) * Var 4 (hp)".
    QComboBox* cmbInteractionFirst = nullptr;
    QComboBox* cmbInteractionSecond = nullptr;
    QPushButton* cmdInteraction = nullptr;
    // The simple slopes of the Focal predictor at its Moderator's values (empty:
    // the mean and one SD either side); offered once there is a product.
    QCheckBox* chkSlopes = nullptr;
    QComboBox* cmbFocal = nullptr;
    QComboBox* cmbModerator = nullptr;
    QLineEdit* txtSlopesAt = nullptr;
    QSpinBox* spnTrials = nullptr;
    QComboBox* cmbLevel = nullptr;
    QLineEdit* txtSeed = nullptr;
    QCheckBox* chkDetails = nullptr;
    QCheckBox* chkCoefficients = nullptr; // each step's coefficients in the report
    QProgressBar* prgTrials = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdPlot = nullptr;
    QPushButton* cmdCopyAPA = nullptr; // the last run's APA sentences and table
    // The last run's simple slopes and Johnson-Neyman figures, when it has them.
    QPushButton* cmdSlopesFigure = nullptr;
    QPushButton* cmdJohnsonNeymanFigure = nullptr;

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdInteraction_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdPlot_Click();
    void cmdCopyAPA_Click();
    void cmdSlopesFigure_Click();
    // Enables each figure button where the last run can draw its figure (and enabled says the window is idle).
    void showFigureButtons(bool enabled);
    void cmdJohnsonNeymanFigure_Click();

    // The request the controls describe, and the step being built (0-based).
    HierarchicalRequest request() const;
    int currentStep() const { return m_current; }
    void setDataFileName(const QString& path) { m_dataFileName = path; }
    bool running() const { return m_run->running(); }
    const std::optional<HierarchicalResult>& lastResult() const { return m_lastResult; }

signals:
    void runFinished();

protected:
    void escapeWhenIdle() override { cmdCancel_Click(); }

private:
    // The lists and buttons as the steps and the current step say.
    void showSteps();
    void showReference();
    // A run's result to the log; Plot and Copy APA Results then offer it.
    void showResult(HierarchicalResult result);
    void setControlsEnabled(bool enabled);
    void chkCategorical_Click(bool checked);
    void chkCentred_Click(bool checked);
    // The variable selected among the current step's, if any.
    std::optional<std::int32_t> selectedStepVariable() const;
    // The variables of every step, ascending: the model's predictors.
    std::vector<std::int32_t> modelPredictors() const;
    // The interaction and simple slopes controls as the steps say.
    void showModeration(const std::vector<std::int32_t>& predictors);
    bool hasProducts() const; // in any step
    // The moderator values of the simple slopes box: none when it is empty,
    // nothing when an entry is no number.
    std::optional<std::vector<double>> slopeValues() const;
    // Step s's row in lstSteps: "Step 2: " and its variables.
    QString stepRow(std::size_t s) const;
    // The steps' rows and the current step's variables captioned anew (a
    // reference category changed), keeping what is selected.
    void showStepCaptions();

    Platform& m_platform;
    const DataSet& m_dataSet;
    OutputLog& m_log;
    std::vector<std::vector<std::int32_t>> m_steps{{}};
    std::vector<std::vector<ProductTerm>> m_products{{}}; // each step's, after its variables
    // The predictors marked Categorical, and the reference categories.
    CategoricalMarks m_marks{m_dataSet};
    std::set<std::int32_t> m_centred; // numeric predictors centred at their means
    // The focal predictor and moderator the user chose; none: the first product's factors.
    std::optional<std::int32_t> m_focal;
    std::optional<std::int32_t> m_moderator;
    int m_current = 0;
    QString m_dataFileName;
    std::optional<HierarchicalResult> m_lastResult;
    // Last, so that it is destroyed first: a run still going is stopped and
    // waited for while the rest of the dialog is whole.
    std::unique_ptr<BackgroundRun> m_run;
};

} // namespace orvalis
