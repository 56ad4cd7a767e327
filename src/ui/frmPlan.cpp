// frmPlan: two tabs of inputs over the planning core; the width plan on a worker thread.
#include "ui/frmPlan.h"

#include "analyses/PlanningReport.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/OutputLog.h"
#include "ui/SeedText.h"
#include "ui/Trap.h"
#include "ui/frmPowerCurve.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

const QString Title = QStringLiteral("Plan Sample Size");

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QDoubleSpinBox* proportionBox(QWidget* parent, const char* name, double low, double high, double value, int decimals)
{
    auto* box = named(new QDoubleSpinBox(parent), name);
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSingleStep(std::pow(10.0, -std::min(decimals, 2)));
    box->setValue(value);
    return box;
}

QSpinBox* countBox(QWidget* parent, const char* name, int low, int high, int value)
{
    auto* box = named(new QSpinBox(parent), name);
    box->setRange(low, high);
    box->setValue(value);
    box->setGroupSeparatorShown(true);
    return box;
}

} // namespace

frmPlan::frmPlan(Platform& platform, OutputLog& log, QWidget* parent)
    : ModalDialog(parent), m_platform(platform), m_log(log)
{
    setObjectName("frmPlan");
    setWindowTitle(Title);
    setFont(designFont());

    spnPredictors = countBox(this, "spnPredictors", 0, MaxColumns - 2, 3);
    spnAdded = countBox(this, "spnAdded", 1, MaxColumns - 1, 2);
    auto* model = new QFormLayout;
    model->addRow(QStringLiteral("Predictors in the r&educed model:"), spnPredictors);
    model->addRow(QStringLiteral("Predictors a&dded:"), spnAdded);

    // Power.
    auto* power = new QWidget(this);
    optChange = named(new QRadioButton(QStringLiteral("Population c&hange in R\u00b2 and full-model R\u00b2"), power),
                      "optChange");
    spnChange = proportionBox(power, "spnChange", 0.0001, 0.99, 0.05, 4);
    spnFullR2 = proportionBox(power, "spnFullR2", 0.0001, 0.9999, 0.25, 4);
    optF2 = named(new QRadioButton(QStringLiteral("Cohen's &f\u00b2"), power), "optF2");
    spnF2 = proportionBox(power, "spnF2", 0.0001, 100.0, 0.15, 4);
    spnAlpha = proportionBox(power, "spnAlpha", 0.0001, 0.5, 0.05, 4);
    cmbNoncentrality = named(new QComboBox(power), "cmbNoncentrality");
    cmbNoncentrality->addItem(QStringLiteral("G*Power: \u03bb = f\u00b2 N"));
    cmbNoncentrality->addItem(QStringLiteral("R pwr: \u03bb = f\u00b2 (u + v + 1)"));
    optPowerAtN = named(new QRadioButton(QStringLiteral("Power at &N"), power), "optPowerAtN");
    spnN = countBox(power, "spnN", 1, 10'000'000, 100);
    optNForPower = named(new QRadioButton(QStringLiteral("Smallest N for p&ower"), power), "optNForPower");
    spnTargetPower = proportionBox(power, "spnTargetPower", 0.01, 0.9999, 0.8, 4);
    cmdPower = named(new QPushButton(QStringLiteral("&Compute Power"), power), "cmdPower");
    cmdCurve = named(new QPushButton(QStringLiteral("Power C&urve..."), power), "cmdCurve");
    // Two choices on one page: the effect, and what to compute.
    for (const auto& pair : {std::pair{optChange, optF2}, std::pair{optPowerAtN, optNForPower}}) {
        auto* group = new QButtonGroup(power);
        group->addButton(pair.first);
        group->addButton(pair.second);
    }
    optChange->setChecked(true);
    optNForPower->setChecked(true);
    auto* powerForm = new QFormLayout;
    powerForm->addRow(optChange);
    powerForm->addRow(QStringLiteral("  Change in R\u00b2:"), spnChange);
    powerForm->addRow(QStringLiteral("  Full-model R\u00b2:"), spnFullR2);
    powerForm->addRow(optF2, spnF2);
    powerForm->addRow(QStringLiteral("A&lpha:"), spnAlpha);
    powerForm->addRow(QStringLiteral("Noncentralit&y:"), cmbNoncentrality);
    powerForm->addRow(optPowerAtN, spnN);
    powerForm->addRow(optNForPower, spnTargetPower);
    auto* powerButtons = new QHBoxLayout;
    powerButtons->addWidget(cmdPower);
    powerButtons->addWidget(cmdCurve);
    powerButtons->addStretch();
    auto* powerLayout = new QVBoxLayout(power);
    powerLayout->addLayout(powerForm);
    powerLayout->addLayout(powerButtons);
    powerLayout->addStretch();

    // Interval width.
    auto* width = new QWidget(this);
    optStructure =
        named(new QRadioButton(QStringLiteral("Predictors with a common &intercorrelation"), width), "optStructure");
    spnIntercorrelation = proportionBox(width, "spnIntercorrelation", -0.99, 0.99, DefaultIntercorrelation, 3);
    spnReducedR2 = proportionBox(width, "spnReducedR2", 0.0, 0.99, 0.2, 4);
    spnWidthChange = proportionBox(width, "spnWidthChange", 0.0001, 0.99, 0.05, 4);
    optMatrix =
        named(new QRadioButton(QStringLiteral("Correlation &matrix (dependent variable first)"), width), "optMatrix");
    txtMatrix = named(new QPlainTextEdit(width), "txtMatrix");
    txtMatrix->setPlaceholderText(QStringLiteral("1 .5 .3\n.5 1 .2\n.3 .2 1"));
    txtMatrix->setTabChangesFocus(true);
    txtMatrix->setFixedHeight(90);
    spnFrom = countBox(width, "spnFrom", 3, 1'000'000, 50);
    spnTo = countBox(width, "spnTo", 3, 1'000'000, 500);
    spnStep = countBox(width, "spnStep", 1, 1'000'000, 50);
    spnDataSets = countBox(width, "spnDataSets", 1, 10'000, 200);
    spnTrials = countBox(width, "spnTrials", 1, 100'000, 1000);
    cmbLevel = named(new QComboBox(width), "cmbLevel");
    cmbLevel->addItems({QStringLiteral("90%"), QStringLiteral("95%"), QStringLiteral("99%")});
    cmbLevel->setCurrentIndex(1);
    spnTargetWidth = proportionBox(width, "spnTargetWidth", 0.0001, 1.0, 0.1, 4);
    spnAssurance = proportionBox(width, "spnAssurance", 0.01, 0.99, 0.8, 2);
    txtSeed = named(new QLineEdit(width), "txtSeed");
    txtSeed->setPlaceholderText(QStringLiteral("new seed"));
    chkDetails = named(new QCheckBox(QStringLiteral("Monte Carlo errors and marks near the target in the ta&ble"), width),
                       "chkDetails");
    prgPlan = named(new QProgressBar(width), "prgPlan");
    prgPlan->setAccessibleName(QStringLiteral("Data sets done"));
    cmdRunPlan = named(new QPushButton(QStringLiteral("&Run Plan"), width), "cmdRunPlan");
    optStructure->setChecked(true);
    auto* widthForm = new QFormLayout;
    widthForm->addRow(optStructure);
    widthForm->addRow(QStringLiteral("  Intercorrelation:"), spnIntercorrelation);
    widthForm->addRow(QStringLiteral("  Reduced-model R\u00b2:"), spnReducedR2);
    widthForm->addRow(QStringLiteral("  Change in R\u00b2:"), spnWidthChange);
    widthForm->addRow(optMatrix);
    widthForm->addRow(txtMatrix);
    auto* grid = new QHBoxLayout;
    grid->addWidget(spnFrom);
    grid->addWidget(new QLabel(QStringLiteral("to"), width));
    grid->addWidget(spnTo);
    grid->addWidget(new QLabel(QStringLiteral("by"), width));
    grid->addWidget(spnStep);
    auto* gridLabel = new QLabel(QStringLiteral("&Sample sizes from:"), width);
    gridLabel->setBuddy(spnFrom);
    widthForm->addRow(gridLabel, grid);
    widthForm->addRow(QStringLiteral("Data se&ts per size:"), spnDataSets);
    widthForm->addRow(QStringLiteral("Bootstrap tri&als:"), spnTrials);
    widthForm->addRow(QStringLiteral("Confidence le&vel:"), cmbLevel);
    widthForm->addRow(QStringLiteral("Tar&get width:"), spnTargetWidth);
    widthForm->addRow(QStringLiteral("Assura&nce:"), spnAssurance);
    widthForm->addRow(QStringLiteral("Seed (blan&k: new):"), txtSeed);
    widthForm->addRow(chkDetails);
    auto* widthLayout = new QVBoxLayout(width);
    widthLayout->addLayout(widthForm);
    widthLayout->addWidget(prgPlan);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(cmdRunPlan);
    runRow->addStretch();
    widthLayout->addLayout(runRow);

    tabPlans = named(new QTabWidget(this), "tabPlans");
    tabPlans->addTab(power, QStringLiteral("&Power"));
    tabPlans->addTab(width, QStringLiteral("Interval &width"));
    cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
    lblAnswer = named(new QLabel(this), "lblAnswer");
    lblAnswer->setAccessibleName(QStringLiteral("Answer"));
    lblAnswer->setTextFormat(Qt::PlainText);
    lblAnswer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblAnswer->setWordWrap(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblAnswer, 1);
    bottom->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(model);
    layout->addWidget(tabPlans, 1);
    layout->addLayout(bottom);

    connect(cmdPower, &QPushButton::clicked, this, &frmPlan::cmdPower_Click);
    connect(cmdCurve, &QPushButton::clicked, this, &frmPlan::cmdCurve_Click);
    connect(cmdRunPlan, &QPushButton::clicked, this, &frmPlan::cmdRunPlan_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmPlan::cmdClose_Click);
    // A run-time error while a plan is shown ends the showing quietly, as every handler of this window does.
    m_run = std::make_unique<BackgroundRun>(BackgroundRun::Window{
        .widget = this,
        .platform = m_platform,
        .enableControls = [this](bool enabled) { setControlsEnabled(enabled); },
        .progress = RunProgress::bar(prgPlan),
        .outOfMemory = QStringLiteral("There is not enough memory to finish the plan."),
        .title = Title,
        .warnOfErrors = false,
    });
    runsInBackground(*m_run);
    connect(m_run.get(), &BackgroundRun::ended, this, &frmPlan::planFinished);
}

frmPlan::~frmPlan() = default;

PowerQuestion frmPlan::powerQuestion() const
{
    PowerQuestion question;
    question.p = spnPredictors->value();
    question.q = spnAdded->value();
    question.f2 = optF2->isChecked() ? spnF2->value() : spnChange->value() / (1.0 - spnFullR2->value());
    question.alpha = spnAlpha->value();
    question.convention = cmbNoncentrality->currentIndex() == 1 ? Noncentrality::Pwr : Noncentrality::GPower;
    return question;
}

std::optional<PowerAnswer> frmPlan::answer(const PowerQuestion& question)
{
    if (optChange->isChecked() && spnChange->value() > spnFullR2->value()) {
        m_platform.warn(this, QStringLiteral("The change in R\u00b2 cannot exceed the full model's R\u00b2."), Title);
        return std::nullopt;
    }
    if (const Status checked = CheckPowerQuestion(question); !checked.ok()) {
        m_platform.warn(this, checked.refusal());
        return std::nullopt;
    }
    if (optNForPower->isChecked()) {
        const std::optional<PowerAnswer> found = sampleForPower(question, spnTargetPower->value());
        if (!found) {
            m_platform.warn(this, QStringLiteral("No sample of up to 10,000,000 cases reaches this power."), Title);
        }
        return found;
    }
    if (spnN->value() < smallestSample(question)) {
        m_platform.warn(
            this, QStringLiteral("The F test of this model needs at least %1 cases.").arg(smallestSample(question)),
            Title);
        return std::nullopt;
    }
    return powerAt(question, spnN->value());
}

void frmPlan::cmdPower_Click()
{
    trap([&] {
        const PowerQuestion question = powerQuestion();
        if (const std::optional<PowerAnswer> found = answer(question)) {
            const std::optional<double> target =
                optNForPower->isChecked() ? std::optional<double>(spnTargetPower->value()) : std::nullopt;
            const QString power = QString::fromStdString(powerText(found->power));
            lblAnswer->setText(target ? QStringLiteral("N = %1 reaches the power: %2.").arg(found->n).arg(power)
                                      : QStringLiteral("Power at N = %1: %2.").arg(found->n).arg(power));
            m_log.appendAndShow(QString::fromStdString(FormatPowerReport(question, *found, target)));
        }
    });
}

void frmPlan::cmdCurve_Click()
{
    trap([&] {
        const PowerQuestion question = powerQuestion();
        const std::optional<PowerAnswer> found = answer(question);
        if (!found) {
            return;
        }
        // From the smallest sample to past where the power nears 1 (or twice the chosen N).
        const std::int32_t from = smallestSample(question);
        const std::optional<PowerAnswer> high = sampleForPower(question, 0.99);
        std::int32_t to = std::max(found->n * 2, high ? high->n : found->n * 2);
        to = std::clamp(to, from + 10, 1'000'000);
        const std::int32_t step = std::max(1, (to - from) / 200);
        const std::optional<double> target =
            optNForPower->isChecked() ? std::optional<double>(spnTargetPower->value()) : std::nullopt;
        frmPowerCurve window(m_platform, question, powerCurve(question, from, to, step), target, found->n, this);
        window.exec();
    });
}

void frmPlan::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{spnPredictors, spnAdded, cmdRunPlan, cmdPower, cmdCurve}) {
        control->setEnabled(enabled);
    }
    tabPlans->tabBar()->setEnabled(enabled);
}

void frmPlan::cmdRunPlan_Click()
{
    trap([&] {
        if (running()) {
            return;
        }
        const std::int32_t p = spnPredictors->value();
        const std::int32_t q = spnAdded->value();
        Outcome<Population> population = Refusal{};
        if (optMatrix->isChecked()) {
            Outcome<std::vector<std::vector<double>>> matrix =
                parseCorrelationMatrix(txtMatrix->toPlainText().toStdString());
            population =
                matrix.ok() ? populationFromMatrix(p, q, std::move(*matrix)) : Outcome<Population>(matrix.refusal());
        } else {
            population = populationFromStructure(p, q, spnIntercorrelation->value(), spnReducedR2->value(),
                                                 spnWidthChange->value());
        }
        if (!population.ok()) {
            m_platform.warn(this, population.refusal());
            return;
        }
        WidthQuestion question;
        question.population = *population;
        for (std::int64_t n = spnFrom->value(); n <= spnTo->value(); n += spnStep->value()) {
            question.sampleSizes.push_back(static_cast<std::int32_t>(n));
        }
        question.dataSets = spnDataSets->value();
        question.trials = spnTrials->value();
        question.level = cmbLevel->currentIndex() == 0   ? ConfidenceLevel::P90
                         : cmbLevel->currentIndex() == 2 ? ConfidenceLevel::P99
                                                         : ConfidenceLevel::P95;
        question.targetWidth = spnTargetWidth->value();
        question.assurance = spnAssurance->value();
        if (question.sampleSizes.size() > 1000) {
            m_platform.warn(this, QStringLiteral("The grid has more than 1,000 sample sizes: choose a larger step."),
                            Title);
            return;
        }
        if (const Status checked = CheckWidthQuestion(question); !checked.ok()) {
            m_platform.warn(this, checked.refusal());
            return;
        }
        const std::optional<std::uint64_t> seed = seedFromText(txtSeed->text(), m_platform);
        if (!seed) {
            warnOfSeed(m_platform, this);
            return;
        }
        question.seed = *seed;
        txtSeed->setText(QString::number(*seed)); // shown, so that the plan can be repeated
        const int total = static_cast<int>(question.sampleSizes.size()) * question.dataSets;
        m_run->start<WidthPlan>(
            total, [question](const RunControl& control) { return RunWidthPlan(question, control); },
            [this](const WidthPlan& plan) { showPlan(plan); });
    });
}

void frmPlan::showPlan(const WidthPlan& plan)
{
    prgPlan->setValue(prgPlan->maximum());
    auto smallest = [&](const std::optional<std::int32_t>& n) {
        return n ? QString::number(*n) : QStringLiteral("none up to %1").arg(plan.question.sampleSizes.back());
    };
    lblAnswer->setText(QStringLiteral("Smallest N: traditional %1, modified %2.")
                           .arg(smallest(plan.smallestTraditional), smallest(plan.smallestModified)));
    m_log.appendAndShow(QString::fromStdString(FormatWidthPlan(plan, chkDetails->isChecked())));
}

void frmPlan::cmdClose_Click()
{
    stopOrHide();
}

} // namespace orvalis
