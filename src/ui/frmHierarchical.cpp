// frmHierarchical: the block builder in a grid, the run with a progress bar, the report to the log.
#include "ui/frmHierarchical.h"

#include "analyses/CoefficientsReport.h"
#include "analyses/HierarchicalReport.h"
#include "analyses/PredictorColumns.h"
#include "analyses/RequestCheck.h"
#include "common/NumberText.h"
#include "data/DataSet.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/OutputLog.h"
#include "ui/SeedText.h"
#include "analyses/EffectSizeBlock.h"
#include "ui/ApaCopy.h"
#include "ui/EffectSizeSettings.h"
#include "ui/Trap.h"
#include "ui/frmDistribution.h"
#include "ui/frmModerationFigure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <functional>

namespace orvalis {
namespace {

const char* const WindowTitle = "Hierarchical Regression Bootstrap";
constexpr ConfidenceLevel Levels[3] = {ConfidenceLevel::P90, ConfidenceLevel::P95, ConfidenceLevel::P99};

QLabel* labelFor(QWidget* parent, const char* name, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

frmHierarchical::frmHierarchical(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent)
    : ModalDialog(parent), m_platform(platform), m_dataSet(dataSet), m_log(log)
{
    setObjectName("frmHierarchical");
    setWindowTitle(QString::fromLatin1(WindowTitle));
    setFont(designFont());
    setSizeGripEnabled(true);

    cmbDependent = named(new QComboBox(this), "cmbDependent");
    lstVariables = named(new QListWidget(this), "lstVariables");
    lstVariables->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        cmbDependent->addItem(m_marks.variableCaption(v));
        lstVariables->addItem(m_marks.variableCaption(v));
    }
    cmbDependent->setCurrentIndex(-1);
    cmbDependent->setPlaceholderText(QStringLiteral("Choose a variable"));
    cmdAdd = named(new QPushButton(this), "cmdAdd");
    cmdPrevious = named(new QPushButton(QStringLiteral("&Previous Step"), this), "cmdPrevious");
    cmdNext = named(new QPushButton(QStringLiteral("&Next Step"), this), "cmdNext");
    lstSteps = named(new QListWidget(this), "lstSteps");
    lstStepVariables = named(new QListWidget(this), "lstStepVariables");
    lstStepVariables->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdRemove = named(new QPushButton(QStringLiteral("Re&move from Step"), this), "cmdRemove");
    chkCategorical = named(new QCheckBox(QStringLiteral("Cate&gorical"), this), "chkCategorical");
    chkCategorical->setToolTip(QStringLiteral("Enter the selected numeric variable as categorical: each of its "
                                              "values a category, named by its value label"));
    chkCentred = named(new QCheckBox(QStringLiteral("Centred"), this), "chkCentred");
    chkCentred->setToolTip(QStringLiteral("Centre the selected numeric variable at its mean over the complete cases: "
                                          "no R\u00b2 changes; the coefficients' intercept is then the dependent "
                                          "variable's at that mean"));
    cmbReference = named(new QComboBox(this), "cmbReference");
    cmbInteractionFirst = named(new QComboBox(this), "cmbInteractionFirst");
    cmbInteractionFirst->setAccessibleName(QStringLiteral("Interaction: first variable"));
    cmbInteractionSecond = named(new QComboBox(this), "cmbInteractionSecond");
    cmbInteractionSecond->setAccessibleName(QStringLiteral("Interaction: second variable"));
    cmdInteraction = named(new QPushButton(QStringLiteral("Add Prod&uct"), this), "cmdInteraction");
    cmdInteraction->setToolTip(QStringLiteral("Add the interaction of the two variables, their product, to the "
                                              "current step; each must enter in that step or an earlier one"));
    chkSlopes = named(new QCheckBox(QStringLiteral("Simple slopes"), this), "chkSlopes");
    chkSlopes->setToolTip(QStringLiteral("Add the simple slopes of the focal predictor at values of its moderator, "
                                         "with the Johnson-Neyman values, to the report"));
    cmbFocal = named(new QComboBox(this), "cmbFocal");
    cmbModerator = named(new QComboBox(this), "cmbModerator");
    txtSlopesAt = named(new QLineEdit(this), "txtSlopesAt");
    txtSlopesAt->setPlaceholderText(QStringLiteral("mean and \u00b11 SD"));
    txtSlopesAt->setToolTip(QStringLiteral("A numeric moderator's values in its own units, separated by commas; "
                                           "empty: its mean and one standard deviation either side"));
    spnTrials = named(new QSpinBox(this), "spnTrials");
    spnTrials->setRange(100, 100000);
    spnTrials->setSingleStep(100);
    spnTrials->setValue(2000);
    cmbLevel = named(new QComboBox(this), "cmbLevel");
    for (const ConfidenceLevel level : Levels) {
        cmbLevel->addItem(QStringLiteral("%1%").arg(percentOf(level)));
    }
    cmbLevel->setCurrentIndex(1);
    txtSeed = named(new QLineEdit(this), "txtSeed");
    txtSeed->setToolTip(QStringLiteral("Empty: a new seed from the clock. After a run: the seed it used."));
    chkDetails = named(new QCheckBox(QStringLiteral("Add de&tails to the report"), this), "chkDetails");
    chkCoefficients = named(new QCheckBox(QStringLiteral("C&oefficients"), this), "chkCoefficients");
    chkCoefficients->setToolTip(QStringLiteral("Add each step's coefficients (B, beta, t, p, sr\u00b2, VIF) and the "
                                               "bootstrap intervals of beta and sr\u00b2 to the report; with them, "
                                               "Copy APA Results gives the table of coefficients"));
    prgTrials = named(new QProgressBar(this), "prgTrials");
    prgTrials->setAccessibleName(QStringLiteral("Trials done"));
    cmdPlot = named(new QPushButton(QStringLiteral("P&lot Step..."), this), "cmdPlot");
    cmdPlot->setToolTip(QStringLiteral("The distribution of the selected step's changes in the last run"));
    cmdPlot->setEnabled(false);
    cmdCopyAPA = named(new QPushButton(QStringLiteral("Cop&y APA Results"), this), "cmdCopyAPA");
    cmdCopyAPA->setToolTip(QStringLiteral("The last run's results sentences and table in APA style "
                                          "(Analyses > APA Interval chooses the interval)"));
    cmdCopyAPA->setEnabled(false);
    cmdSlopesFigure = named(new QPushButton(QStringLiteral("Slopes Grap&h..."), this), "cmdSlopesFigure");
    cmdSlopesFigure->setToolTip(QStringLiteral("The last run's simple slopes: the dependent variable against the "
                                               "focal predictor at each moderator value"));
    cmdJohnsonNeymanFigure =
        named(new QPushButton(QStringLiteral("&Johnson-Neyman Graph..."), this), "cmdJohnsonNeymanFigure");
    cmdJohnsonNeymanFigure->setToolTip(QStringLiteral("The last run's slope of the focal predictor with its "
                                                      "confidence band across the moderator"));
    cmdSlopesFigure->setEnabled(false);
    cmdJohnsonNeymanFigure->setEnabled(false);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");

    auto* grid = new QGridLayout;
    grid->addWidget(labelFor(this, "lblDependent", QStringLiteral("&Dependent variable:"), cmbDependent), 0, 0);
    grid->addWidget(cmbDependent, 0, 1, 1, 3);
    grid->addWidget(labelFor(this, "lblVariables", QStringLiteral("&Variables:"), lstVariables), 1, 0);
    grid->addWidget(labelFor(this, "lblSteps", QStringLiteral("&Steps:"), lstSteps), 1, 2);
    grid->addWidget(lstVariables, 2, 0, 4, 1);
    grid->addWidget(cmdAdd, 2, 1);
    grid->addWidget(cmdPrevious, 3, 1);
    grid->addWidget(cmdNext, 4, 1);
    grid->addWidget(lstSteps, 2, 2, 2, 2);
    grid->addWidget(labelFor(this, "lblStepVariables", QStringLiteral("Variables o&f the step:"), lstStepVariables), 4,
                    2);
    auto* marks = new QHBoxLayout;
    marks->addStretch();
    marks->addWidget(chkCategorical);
    marks->addWidget(chkCentred);
    grid->addLayout(marks, 4, 3);
    grid->addWidget(lstStepVariables, 5, 2, 1, 2);
    grid->addWidget(cmdRemove, 6, 2);
    auto* reference = new QHBoxLayout;
    reference->addWidget(labelFor(this, "lblReference", QStringLiteral("&Reference category:"), cmbReference));
    reference->addWidget(cmbReference, 1);
    grid->addLayout(reference, 6, 3);
    auto* interaction = new QHBoxLayout;
    interaction->addWidget(labelFor(this, "lblInteraction", QStringLiteral("Interaction:"), cmbInteractionFirst));
    interaction->addWidget(cmbInteractionFirst, 1);
    interaction->addWidget(labelFor(this, "lblInteractionSign", QStringLiteral("*"), cmbInteractionSecond));
    interaction->addWidget(cmbInteractionSecond, 1);
    interaction->addWidget(cmdInteraction);
    grid->addLayout(interaction, 7, 2, 1, 2);
    auto* slopes = new QHBoxLayout;
    slopes->addWidget(chkSlopes);
    slopes->addWidget(labelFor(this, "lblFocal", QStringLiteral("Focal:"), cmbFocal));
    slopes->addWidget(cmbFocal, 1);
    slopes->addWidget(labelFor(this, "lblModerator", QStringLiteral("Moderator:"), cmbModerator));
    slopes->addWidget(cmbModerator, 1);
    slopes->addWidget(labelFor(this, "lblSlopesAt", QStringLiteral("At:"), txtSlopesAt));
    slopes->addWidget(txtSlopesAt, 1);
    grid->addLayout(slopes, 8, 0, 1, 4);
    auto* settings = new QHBoxLayout;
    settings->addWidget(labelFor(this, "lblTrials", QStringLiteral("Tr&ials:"), spnTrials));
    settings->addWidget(spnTrials);
    settings->addWidget(labelFor(this, "lblLevel", QStringLiteral("&Confidence:"), cmbLevel));
    settings->addWidget(cmbLevel);
    settings->addWidget(labelFor(this, "lblSeed", QStringLiteral("S&eed:"), txtSeed));
    settings->addWidget(txtSeed, 1);
    settings->addWidget(chkDetails);
    settings->addWidget(chkCoefficients);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPlot);
    buttons->addWidget(cmdCopyAPA);
    buttons->addWidget(cmdSlopesFigure);
    buttons->addWidget(cmdJohnsonNeymanFigure);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(settings);
    layout->addWidget(prgTrials);
    layout->addLayout(buttons);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    // The tab order follows the layout: top to bottom, left to right.
    lstVariables->setAccessibleName(QStringLiteral("Variables"));
    lstSteps->setAccessibleName(QStringLiteral("Steps"));
    lstStepVariables->setAccessibleName(QStringLiteral("Variables of the step"));
    setTabChain({cmbDependent,
                 lstVariables,
                 cmdAdd,
                 cmdPrevious,
                 cmdNext,
                 lstSteps,
                 lstStepVariables,
                 chkCategorical,
                 chkCentred,
                 cmdRemove,
                 cmbReference,
                 cmbInteractionFirst,
                 cmbInteractionSecond,
                 cmdInteraction,
                 chkSlopes,
                 cmbFocal,
                 cmbModerator,
                 txtSlopesAt,
                 spnTrials,
                 cmbLevel,
                 txtSeed,
                 chkDetails,
                 chkCoefficients,
                 cmdPlot,
                 cmdCopyAPA,
                 cmdSlopesFigure,
                 cmdJohnsonNeymanFigure,
                 cmdOK,
                 cmdCancel});
    resize(760, 580);
    // Larger, the lists take the room; smaller, nothing would fit.
    setMinimumSize(size());

    connect(cmdAdd, &QPushButton::clicked, this, &frmHierarchical::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmHierarchical::cmdRemove_Click);
    connect(cmdInteraction, &QPushButton::clicked, this, &frmHierarchical::cmdInteraction_Click);
    connect(chkSlopes, &QCheckBox::toggled, this, [this] { trap([&] { showModeration(modelPredictors()); }); });
    // A choice the user makes stays while both are predictors.
    connect(cmbFocal, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) {
            m_focal = cmbFocal->itemData(index).toInt();
        }
    });
    connect(cmbModerator, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) {
            m_moderator = cmbModerator->itemData(index).toInt();
        }
    });
    connect(chkCategorical, &QCheckBox::clicked, this, &frmHierarchical::chkCategorical_Click);
    connect(chkCentred, &QCheckBox::clicked, this, &frmHierarchical::chkCentred_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &frmHierarchical::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmHierarchical::cmdNext_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmHierarchical::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmHierarchical::cmdCancel_Click);
    connect(cmdPlot, &QPushButton::clicked, this, &frmHierarchical::cmdPlot_Click);
    connect(cmdCopyAPA, &QPushButton::clicked, this, &frmHierarchical::cmdCopyAPA_Click);
    connect(cmdSlopesFigure, &QPushButton::clicked, this, &frmHierarchical::cmdSlopesFigure_Click);
    connect(cmdJohnsonNeymanFigure, &QPushButton::clicked, this, &frmHierarchical::cmdJohnsonNeymanFigure_Click);
    connect(cmbDependent, &QComboBox::currentIndexChanged, this, [this] { trap([&] { showSteps(); }); });
    connect(lstSteps, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(m_steps.size()) && row != m_current) {
            m_current = row;
            trap([&] { showSteps(); });
        }
    });
    connect(lstStepVariables, &QListWidget::currentRowChanged, this, [this] { trap([&] { showReference(); }); });
    connect(cmbReference, &QComboBox::activated, this, [this](int index) {
        if (const std::optional<std::int32_t> v = selectedStepVariable(); v && index >= 0) {
            m_marks.reference[*v] = index + 1;
            trap([&] { showStepCaptions(); });
        }
    });
    // A run reads the data set: the run stops it and waits for it when the dialog goes.
    m_run = std::make_unique<BackgroundRun>(BackgroundRun::Window{
        .widget = this,
        .platform = m_platform,
        .enableControls = [this](bool enabled) { setControlsEnabled(enabled); },
        .progress = RunProgress::bar(prgTrials),
        .outOfMemory = QStringLiteral("There is not enough memory to finish the bootstrap."),
        .title = QString::fromLatin1(AnalysisErrorTitle),
        .warnOfErrors = true,
    });
    runsInBackground(*m_run);
    connect(m_run.get(), &BackgroundRun::ended, this, &frmHierarchical::runFinished);
    showSteps();
}

frmHierarchical::~frmHierarchical() = default;

QString frmHierarchical::stepRow(std::size_t s) const
{
    QStringList names;
    for (const std::int32_t v : m_steps[s]) {
        names << m_marks.captionWithReference(v);
    }
    for (const ProductTerm& term : m_products[s]) {
        names << QString::fromStdString(productText(term, m_dataSet));
    }
    return QStringLiteral("Step %1: %2")
        .arg(s + 1)
        .arg(names.isEmpty() ? QStringLiteral("(empty)") : names.join(QStringLiteral("; ")));
}

void frmHierarchical::showStepCaptions()
{
    for (std::size_t s = 0; s < m_steps.size() && static_cast<int>(s) < lstSteps->count(); ++s) {
        lstSteps->item(static_cast<int>(s))->setText(stepRow(s));
    }
    const auto& step = m_steps[static_cast<std::size_t>(m_current)];
    for (std::size_t k = 0; k < step.size() && static_cast<int>(k) < lstStepVariables->count(); ++k) {
        lstStepVariables->item(static_cast<int>(k))->setText(m_marks.captionWithReference(step[k]));
    }
}

void frmHierarchical::showSteps()
{
    const int dependent = cmbDependent->currentIndex() + 1;
    // A variable already in a step, or the dependent variable, cannot be added again.
    for (int k = 0; k < lstVariables->count(); ++k) {
        bool used = k + 1 == dependent;
        for (const auto& step : m_steps) {
            used = used || std::find(step.begin(), step.end(), k + 1) != step.end();
        }
        QListWidgetItem* item = lstVariables->item(k);
        item->setFlags(used ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    const QSignalBlocker blockSteps(lstSteps);
    lstSteps->clear();
    for (std::size_t s = 0; s < m_steps.size(); ++s) {
        lstSteps->addItem(stepRow(s));
    }
    lstSteps->setCurrentRow(m_current);
    const QSignalBlocker blockVariables(lstStepVariables);
    lstStepVariables->clear();
    for (const std::int32_t v : m_steps[static_cast<std::size_t>(m_current)]) {
        lstStepVariables->addItem(m_marks.captionWithReference(v));
    }
    for (const ProductTerm& term : m_products[static_cast<std::size_t>(m_current)]) {
        lstStepVariables->addItem(QString::fromStdString(productText(term, m_dataSet)));
    }
    cmdAdd->setText(QStringLiteral("&Add to Step %1").arg(m_current + 1));
    cmdPrevious->setEnabled(m_current > 0);
    // A next step once this one has variables or products, up to the most steps.
    const bool lastFilled = !m_steps.back().empty() || !m_products.back().empty();
    cmdNext->setEnabled(m_current + 1 < static_cast<int>(m_steps.size())
                        || (lastFilled && static_cast<std::int32_t>(m_steps.size()) < MaxSteps));
    showReference();
    showModeration(modelPredictors());
}

std::vector<std::int32_t> frmHierarchical::modelPredictors() const
{
    std::vector<std::int32_t> predictors;
    for (const auto& step : m_steps) {
        predictors.insert(predictors.end(), step.begin(), step.end());
    }
    std::sort(predictors.begin(), predictors.end());
    predictors.erase(std::unique(predictors.begin(), predictors.end()), predictors.end());
    return predictors;
}

namespace {

// Fills a combo box with the predictors (their number as the item's data) and
// selects `wanted` (0: none), or else the row `fallback`, or nothing.
void fillPredictors(QComboBox* box, const std::vector<std::int32_t>& predictors,
                    const std::function<QString(std::int32_t)>& caption, std::int32_t wanted, int fallback)
{
    const QSignalBlocker block(box);
    box->clear();
    for (const std::int32_t v : predictors) {
        box->addItem(caption(v), v);
    }
    const int found = wanted != 0 ? box->findData(wanted) : -1;
    box->setCurrentIndex(found >= 0 ? found : (fallback < box->count() ? fallback : -1));
}

} // namespace

void frmHierarchical::showModeration(const std::vector<std::int32_t>& predictors)
{
    const auto caption = [this](std::int32_t v) { return m_marks.variableCaption(v); };
    const auto chosen = [](const QComboBox* box) { return box->currentIndex() >= 0 ? box->currentData().toInt() : 0; };
    // The interaction's two variables stay chosen while they are predictors; at first the first two.
    fillPredictors(cmbInteractionFirst, predictors, caption, chosen(cmbInteractionFirst), 0);
    fillPredictors(cmbInteractionSecond, predictors, caption, chosen(cmbInteractionSecond), 1);
    // A variable by itself is no interaction: the second box then offers the first other predictor.
    if (predictors.size() >= 2 && chosen(cmbInteractionFirst) == chosen(cmbInteractionSecond)) {
        const QSignalBlocker block(cmbInteractionSecond);
        cmbInteractionSecond->setCurrentIndex(cmbInteractionFirst->currentIndex() == 0 ? 1 : 0);
    }
    cmdInteraction->setEnabled(predictors.size() >= 2);

    const ProductTerm* first = nullptr;
    for (const auto& products : m_products) {
        if (first == nullptr && !products.empty()) {
            first = &products.front();
        }
    }
    const auto isPredictor = [&](std::optional<std::int32_t> v) {
        return v && std::binary_search(predictors.begin(), predictors.end(), *v);
    };
    if (!isPredictor(m_focal)) {
        m_focal.reset();
    }
    if (!isPredictor(m_moderator)) {
        m_moderator.reset();
    }
    // Until the user chooses, the first product's first variable at its second.
    const std::int32_t focal = m_focal ? *m_focal : first != nullptr ? first->first : 0;
    const std::int32_t moderator = m_moderator ? *m_moderator : first != nullptr ? first->second : 0;
    fillPredictors(cmbFocal, predictors, caption, focal, -1);
    fillPredictors(cmbModerator, predictors, caption, moderator, -1);
    chkSlopes->setEnabled(first != nullptr);
    const bool slopes = first != nullptr && chkSlopes->isChecked();
    cmbFocal->setEnabled(slopes);
    cmbModerator->setEnabled(slopes);
    txtSlopesAt->setEnabled(slopes);
}

bool frmHierarchical::hasProducts() const
{
    return std::any_of(m_products.begin(), m_products.end(), [](const auto& terms) { return !terms.empty(); });
}

std::optional<std::vector<double>> frmHierarchical::slopeValues() const
{
    std::vector<double> values;
    const QString text = txtSlopesAt->text().trimmed();
    if (text.isEmpty()) {
        return values;
    }
    for (const QString& item : text.split(QLatin1Char(','))) {
        const std::optional<double> value = parseFiniteDouble(item.trimmed().toStdString());
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    return values;
}

std::optional<std::int32_t> frmHierarchical::selectedStepVariable() const
{
    const auto& step = m_steps[static_cast<std::size_t>(m_current)];
    const int row = lstStepVariables->currentRow();
    if (row < 0 || row >= static_cast<int>(step.size())) {
        return std::nullopt;
    }
    return step[static_cast<std::size_t>(row)];
}

void frmHierarchical::showReference()
{
    const std::optional<std::int32_t> selected = selectedStepVariable();
    m_marks.show(selected, chkCategorical, cmbReference);
    // Only a number is centred.
    const std::int32_t v = selected.value_or(0);
    const bool number = selected && !m_dataSet.isCategorical(v) && !m_marks.declared.contains(v);
    chkCentred->setChecked(number && m_centred.contains(v));
    chkCentred->setEnabled(number);
}

void frmHierarchical::cmdAdd_Click()
{
    trap([&] {
        auto& step = m_steps[static_cast<std::size_t>(m_current)];
        for (const QListWidgetItem* item : lstVariables->selectedItems()) {
            const std::int32_t v = lstVariables->row(item) + 1;
            if (std::find(step.begin(), step.end(), v) == step.end()) {
                step.push_back(v);
            }
        }
        std::sort(step.begin(), step.end());
        lstVariables->clearSelection();
        showSteps();
    });
}

void frmHierarchical::cmdRemove_Click()
{
    trap([&] {
        auto& step = m_steps[static_cast<std::size_t>(m_current)];
        auto& products = m_products[static_cast<std::size_t>(m_current)];
        // The list holds the step's variables, then its products.
        std::vector<std::int32_t> removed;
        std::vector<std::size_t> removedProducts;
        for (const QListWidgetItem* item : lstStepVariables->selectedItems()) {
            const auto row = static_cast<std::size_t>(lstStepVariables->row(item));
            if (row < step.size()) {
                removed.push_back(step[row]);
            } else if (row - step.size() < products.size()) {
                removedProducts.push_back(row - step.size());
            }
        }
        std::sort(removedProducts.rbegin(), removedProducts.rend());
        for (const std::size_t k : removedProducts) {
            products.erase(products.begin() + static_cast<std::ptrdiff_t>(k));
        }
        const auto isRemoved = [&](std::int32_t v) {
            return std::find(removed.begin(), removed.end(), v) != removed.end();
        };
        std::erase_if(step, isRemoved);
        // A product goes with either of its variables, in whichever step it is.
        for (auto& stepProducts : m_products) {
            std::erase_if(stepProducts,
                          [&](const ProductTerm& term) { return isRemoved(term.first) || isRemoved(term.second); });
        }
        for (const std::int32_t v : removed) {
            m_marks.forget(v);
            m_centred.erase(v);
        }
        showSteps();
    });
}

void frmHierarchical::cmdInteraction_Click()
{
    trap([&] {
        if (cmbInteractionFirst->currentIndex() < 0 || cmbInteractionSecond->currentIndex() < 0) {
            return;
        }
        const ProductTerm term{cmbInteractionFirst->currentData().toInt(), cmbInteractionSecond->currentData().toInt()};
        auto& products = m_products[static_cast<std::size_t>(m_current)];
        // The same product again (in either order) is not added twice; what the
        // analysis cannot use is refused when the run is asked for.
        const bool listed = std::any_of(products.begin(), products.end(), [&](const ProductTerm& p) {
            return (p.first == term.first && p.second == term.second)
                   || (p.first == term.second && p.second == term.first);
        });
        if (!listed) {
            products.push_back(term);
        }
        showSteps();
    });
}

void frmHierarchical::chkCategorical_Click(bool checked)
{
    trap([&] {
        const std::optional<std::int32_t> selected = selectedStepVariable();
        if (!selected) {
            return;
        }
        const std::int32_t v = *selected;
        std::string why;
        if (checked && !m_dataSet.isCategorical(v)) {
            if (!m_marks.declare(v, why)) {
                chkCategorical->setChecked(false);
                m_platform.warn(this, QString::fromStdString(why), QString::fromLatin1(AnalysisErrorTitle));
                return;
            }
            m_centred.erase(v); // a category is not centred
        } else {
            m_marks.forget(v);
        }
        showStepCaptions();
        showReference();
    });
}

void frmHierarchical::chkCentred_Click(bool checked)
{
    trap([&] {
        const std::optional<std::int32_t> selected = selectedStepVariable();
        if (!selected) {
            return;
        }
        if (checked) {
            m_centred.insert(*selected);
        } else {
            m_centred.erase(*selected);
        }
        showReference();
    });
}

void frmHierarchical::cmdPrevious_Click()
{
    trap([&] {
        if (m_current > 0) {
            --m_current;
            showSteps();
        }
    });
}

void frmHierarchical::cmdNext_Click()
{
    trap([&] {
        if (m_current + 1 == static_cast<int>(m_steps.size())) {
            if ((m_steps.back().empty() && m_products.back().empty())
                || static_cast<std::int32_t>(m_steps.size()) >= MaxSteps) {
                return;
            }
            m_steps.emplace_back();
            m_products.emplace_back();
        }
        ++m_current;
        showSteps();
    });
}

HierarchicalRequest frmHierarchical::request() const
{
    HierarchicalRequest request;
    if (cmbDependent->currentIndex() >= 0) {
        request.DependentVariable = cmbDependent->currentIndex() + 1;
    }
    // Empty steps (the one Next just opened) are left out; the products, when
    // there are any, step by step beside the variables.
    const bool products = hasProducts();
    for (std::size_t s = 0; s < m_steps.size(); ++s) {
        if (!m_steps[s].empty() || !m_products[s].empty()) {
            request.Steps.push_back(m_steps[s]);
            if (products) {
                request.Products.push_back(m_products[s]);
            }
        }
    }
    request.ReferenceCategory = m_marks.reference;
    request.Categorical = m_marks.declaredSet();
    request.Centred = m_centred;
    request.NumTrials = spnTrials->value();
    request.Level = Levels[std::clamp(cmbLevel->currentIndex(), 0, 2)];
    request.Details = chkDetails->isChecked();
    request.EffectSizes = windowEffectSizes(request.Details);
    request.Coefficients = chkCoefficients->isChecked();
    if (hasProducts() && chkSlopes->isChecked()) {
        SlopesRequest& slopes = request.Slopes.emplace();
        slopes.focal = cmbFocal->currentIndex() >= 0 ? cmbFocal->currentData().toInt() : 0;
        slopes.moderator = cmbModerator->currentIndex() >= 0 ? cmbModerator->currentData().toInt() : 0;
        slopes.at = slopeValues().value_or(std::vector<double>());
    }
    return request;
}

void frmHierarchical::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{cmbDependent,
                                                            lstVariables,
                                                            cmdAdd,
                                                            cmdPrevious,
                                                            cmdNext,
                                                            lstSteps,
                                                            lstStepVariables,
                                                            chkCentred,
                                                            chkCategorical,
                                                            cmdRemove,
                                                            cmbReference,
                                                            cmbInteractionFirst,
                                                            cmbInteractionSecond,
                                                            cmdInteraction,
                                                            chkSlopes,
                                                            cmbFocal,
                                                            cmbModerator,
                                                            txtSlopesAt,
                                                            spnTrials,
                                                            cmbLevel,
                                                            txtSeed,
                                                            chkDetails,
                                                            chkCoefficients,
                                                            cmdOK}) {
        control->setEnabled(enabled);
    }
    cmdPlot->setEnabled(enabled && m_lastResult.has_value());
    cmdCopyAPA->setEnabled(enabled && m_lastResult.has_value());
    showFigureButtons(enabled);
    if (enabled) {
        showSteps(); // the buttons' own rules
    }
}

void frmHierarchical::cmdOK_Click()
{
    trap(
        [&] {
            if (running()) {
                return;
            }
            if (hasProducts() && chkSlopes->isChecked() && !slopeValues()) {
                m_platform.warn(this,
                                QStringLiteral("The moderator values of the simple slopes must be numbers separated "
                                               "by commas, or empty for the mean and one standard deviation either "
                                               "side."),
                                QString::fromLatin1(AnalysisErrorTitle));
                return;
            }
            const HierarchicalRequest request = this->request();
            if (const Status checked = CheckHierarchicalRequest(request, m_dataSet); !checked.ok()) {
                m_platform.warn(this, checked.refusal());
                return;
            }
            const std::optional<std::uint64_t> chosen = seedFromText(txtSeed->text(), m_platform);
            if (!chosen) {
                warnOfSeed(m_platform, this);
                return;
            }
            const std::uint64_t seed = *chosen;
            txtSeed->setText(QString::number(seed));
            const DataSet& dataSet = m_dataSet;
            m_run->start<HierarchicalResult>(
                request.NumTrials,
                [request, &dataSet, seed](const RunControl& control) {
                    return RunHierarchical(request, dataSet, seed, control);
                },
                [this](HierarchicalResult result) { showResult(std::move(result)); });
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), AnalysisErrorTitle); });
}

void frmHierarchical::showResult(HierarchicalResult result)
{
    std::string text = FormatHierarchicalReport(result);
    if (result.request.Details) {
        text += FormatHierarchicalDetails(result, m_dataFileName.toStdString());
    }
    if (showsEffectSizeBlock(result.steps.back().request)) {
        text += FormatHierarchicalEffectSizes(result);
    }
    text += FormatHierarchicalCoefficients(result);
    text += FormatModeration(result);
    m_log.append(QString::fromStdString(text));
    m_lastResult = std::move(result);
    cmdPlot->setEnabled(true);
    cmdCopyAPA->setEnabled(true);
    showFigureButtons(true);
}

void frmHierarchical::showFigureButtons(bool enabled)
{
    // Each figure where the last run can draw it: the Johnson-Neyman one for a numeric moderator.
    auto can = [&](ModerationFigureKind kind) {
        return enabled && m_lastResult && frmModerationFigure::refusal(*m_lastResult, kind).isEmpty();
    };
    cmdSlopesFigure->setEnabled(can(ModerationFigureKind::SimpleSlopes));
    cmdJohnsonNeymanFigure->setEnabled(can(ModerationFigureKind::JohnsonNeyman));
}

void frmHierarchical::cmdSlopesFigure_Click()
{
    trap([&] {
        if (m_lastResult) {
            frmModerationFigure::showFor(m_platform, *m_lastResult, ModerationFigureKind::SimpleSlopes, this,
                                         m_dataFileName);
        }
    });
}

void frmHierarchical::cmdJohnsonNeymanFigure_Click()
{
    trap([&] {
        if (m_lastResult) {
            frmModerationFigure::showFor(m_platform, *m_lastResult, ModerationFigureKind::JohnsonNeyman, this,
                                         m_dataFileName);
        }
    });
}

void frmHierarchical::cmdCancel_Click()
{
    stopOrHide();
}

void frmHierarchical::cmdPlot_Click()
{
    trap([&] {
        if (!m_lastResult) {
            return;
        }
        const auto& steps = m_lastResult->steps;
        const auto step = static_cast<std::size_t>(std::clamp(m_current, 0, static_cast<int>(steps.size()) - 1));
        // The exports are offered under the step's name ("hierarchical-step2.png"),
        // so that the figures of a run's steps do not replace one another.
        frmDistribution::showFor(m_platform, steps[step], this, m_dataFileName,
                                 QStringLiteral("hierarchical-step%1").arg(step + 1));
    });
}

void frmHierarchical::cmdCopyAPA_Click()
{
    trap([&] { copyApaResults(m_platform, this, m_lastResult, false); });
}

} // namespace orvalis
