// frmESBootstrap: the three check lists, the trial and level buttons, and the run with its progress.
#include "ui/frmESBootstrap.h"

#include "analyses/BootstrapReport.h"
#include "analyses/CoefficientsReport.h"
#include "analyses/RequestCheck.h"
#include "data/DataSet.h"
#include "platform/Platform.h"
#include "ui/OutputLog.h"
#include "ui/Trap.h"
#include "ui/Design.h"
#include "ui/frmDistribution.h"
#include "analyses/EffectSizeBlock.h"
#include "ui/ApaCopy.h"
#include "ui/EffectSizeSettings.h"
#include "ui/SeedText.h"
#include "ui/SettingsKeys.h"

#include <QFile>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

namespace orvalis {
namespace {

constexpr std::int32_t TrialCounts[8] = {600, 800, 1000, 1200, 1400, 1600, 1800, 2000};

QListWidget* makeList(QGroupBox* frame, const char* name)
{
    auto* list = new QListWidget(frame);
    list->setObjectName(name);
    const QRect inside = frame->geometry();
    list->setGeometry(twips(120), twips(300), inside.width() - twips(240), inside.height() - twips(420));
    // A screen reader announces the list by its frame's caption.
    list->setAccessibleName(frame->title());
    return list;
}

} // namespace

frmESBootstrap::frmESBootstrap(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent)
    : ModalDialog(parent), m_platform(platform), m_dataSet(dataSet), m_log(log)
{
    // The caption's spelling is the program's own, kept on purpose.
    setUpDialog(this, "frmESBootstrap", QStringLiteral("Effect Size Bootsrap"), 8055, 5685);

    fraSelectDV =
        makeControl<QGroupBox>(this, "fraSelectDV", twips(120, 120, 2175, 2775), QStringLiteral("Dep. Variable"));
    lstDV = makeList(fraSelectDV, "lstDV");
    fraSelectGroups = makeControl<QGroupBox>(this, "fraSelectGroups", twips(2520, 120, 2775, 2775),
                                             QStringLiteral("Reduced Model Predictors"));
    lstPredictors = makeList(fraSelectGroups, "lstPredictors");
    FraAdded =
        makeControl<QGroupBox>(this, "FraAdded", twips(5520, 120, 2295, 2775), QStringLiteral("Added Predictor"));
    lstAdded = makeList(FraAdded, "lstAdded");
    // The block check box sits under the list, which gives it room.
    lstAdded->resize(lstAdded->width(), lstAdded->height() - twips(300));
    chkAddedBlock = makeControl<QCheckBox>(FraAdded, "chkAddedBlock", twips(120, 2415, 2055, 255),
                                           QStringLiteral("Several at once"));

    fraTrials = makeControl<QGroupBox>(this, "fraTrials", twips(120, 3000, 3855, 1695),
                                       QStringLiteral("Pick Number of Trials"));
    for (std::size_t k = 0; k < optTrials.size(); ++k) {
        auto* option = new QRadioButton(QString::number(TrialCounts[k]), fraTrials);
        option->setObjectName(QStringLiteral("opt%1").arg(TrialCounts[k]));
        const int column = static_cast<int>(k % 4);
        const int row = static_cast<int>(k / 4);
        option->setGeometry(twips(120 + column * 915, 300 + row * 420, 855, 255));
        optTrials[k] = option;
    }
    lblTrial = makeControl<QLabel>(fraTrials, "lblTrial", twips(120, 1200, 1215, 255), QStringLiteral("Trial Number:"));
    txtTrial = makeControl<QLineEdit>(fraTrials, "txtTrial", twips(1440, 1155, 1455, 330));
    txtTrial->setReadOnly(true);
    QPalette face = txtTrial->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    txtTrial->setPalette(face);
    cmdDistribution = makeButton(fraTrials, "cmdDistribution", QStringLiteral("Plot..."), twips(3000, 1110, 735, 375));
    cmdDistribution->setToolTip(QStringLiteral("The distribution of the last run's trials"));
    cmdDistribution->setEnabled(false);

    fraConfidence = makeControl<QGroupBox>(this, "fraConfidence", twips(4320, 3000, 3495, 1695),
                                           QStringLiteral("Pick Confidence Level"));
    opt90CI = makeControl<QRadioButton>(fraConfidence, "opt90CI", twips(240, 300, 1455, 255), QStringLiteral("90% CI"));
    opt95CI = makeControl<QRadioButton>(fraConfidence, "opt95CI", twips(240, 720, 1455, 255), QStringLiteral("95% CI"));
    opt99CI =
        makeControl<QRadioButton>(fraConfidence, "opt99CI", twips(240, 1140, 1455, 255), QStringLiteral("99% CI"));

    // The APA results sit beside the levels, on the row of the trials' Plot button.
    cmdCopyAPA =
        makeButton(fraConfidence, "cmdCopyAPA", QStringLiteral("Copy AP&A Results"), twips(1800, 1110, 1575, 375));
    cmdCopyAPA->setToolTip(QStringLiteral("The last run's results sentence and table in APA style "
                                          "(Analyses > APA Interval chooses the interval)"));
    cmdCopyAPA->setEnabled(false);
    // The coefficients go with the results: above the APA button, beside the levels.
    chkCoefficients = makeControl<QCheckBox>(fraConfidence, "chkCoefficients", twips(1800, 300, 1575, 255),
                                             QStringLiteral("Coe&fficients"));
    chkCoefficients->setToolTip(QStringLiteral("Add each model's coefficients (B, beta, t, p, sr\u00b2, VIF) and the "
                                               "bootstrap intervals of beta and sr\u00b2 to the report; with them, "
                                               "Copy APA Results gives the table of coefficients"));

    fraSelectDV->setAccessibleDescription(QStringLiteral("The dependent variable: check one"));
    fraSelectGroups->setAccessibleDescription(QStringLiteral("The predictors of the reduced model: check any"));
    FraAdded->setAccessibleDescription(
        QStringLiteral("The predictor added in the full model: check one, or several at once"));
    fraTrials->setAccessibleDescription(
        QStringLiteral("The number of bootstrap trials, the trial under way, and the plot of the last run"));
    fraConfidence->setAccessibleDescription(
        QStringLiteral("The confidence level of the limits, and the last run's results in APA style"));
    txtTrial->setAccessibleName(QStringLiteral("Trial Number"));
    cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"), twips(2760, 4920, 1215, 495));
    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), twips(4320, 4920, 1215, 495));
    lblSeed = makeControl<QLabel>(this, "lblSeed", twips(120, 5010, 495, 255), QStringLiteral("Seed:"));
    txtSeed = makeControl<QLineEdit>(this, "txtSeed", twips(615, 4965, 2025, 330));
    txtSeed->setToolTip(QStringLiteral("Empty: a new seed from the clock. After a run: the seed it used, "
                                       "so that OK repeats the run exactly."));
    lblSeed->setBuddy(txtSeed);
    // Enter in the seed box is OK; the trial counter is read, and selected by
    // the mouse, but takes no tab stop.
    connect(txtSeed, &QLineEdit::returnPressed, this, [this] {
        if (cmdOK->isEnabled()) {
            cmdOK->click();
        }
    });
    txtTrial->setFocusPolicy(Qt::ClickFocus);
    // The longest seed (19 digits, as the clock gives them) shows whole: the
    // box grows into the room before OK where the font needs it.
    const int seedNeeds = txtSeed->fontMetrics().horizontalAdvance(QStringLiteral("9223372036854775807"))
                          + (txtSeed->width() - txtSeed->contentsRect().width()) + 6;
    if (seedNeeds > txtSeed->width()) {
        txtSeed->resize(std::min(seedNeeds, cmdOK->x() - 4 - txtSeed->x()), txtSeed->height());
    }
    chkDetails = makeControl<QCheckBox>(this, "chkDetails", twips(5655, 5010, 2280, 255),
                                        QStringLiteral("Add details to the report"));
    for (QWidget* control : std::initializer_list<QWidget*>{chkAddedBlock, chkDetails, chkCoefficients}) {
        fitCaption(control);
    }
    // Made larger, the three lists share the width and take the height, so
    // long names can be read; the rest moves down with the bottom edge.
    allowGrowth(this, {{fraSelectDV, 0, 0, 1.0 / 3, 1},
                       {lstDV, 0, 0, 1.0 / 3, 1},
                       {fraSelectGroups, 1.0 / 3, 0, 1.0 / 3, 1},
                       {lstPredictors, 0, 0, 1.0 / 3, 1},
                       {FraAdded, 2.0 / 3, 0, 1.0 / 3, 1},
                       {lstAdded, 0, 0, 1.0 / 3, 1},
                       {chkAddedBlock, 0, 1, 0, 0},
                       {fraTrials, 0, 1, 0, 0},
                       {fraConfidence, 0, 1, 0, 0},
                       {lblSeed, 0, 1, 0, 0},
                       {txtSeed, 0, 1, 0, 0},
                       {cmdOK, 0, 1, 0, 0},
                       {cmdCancel, 0, 1, 0, 0},
                       {chkDetails, 0, 1, 0, 0}});
    // The tab order follows the layout: the three lists, the trials, the
    // levels, then the bottom row from the seed on the left.
    setTabChain({lstDV,           lstPredictors, lstAdded,     chkAddedBlock, optTrials[0],    optTrials[1],
                 optTrials[2],    optTrials[3],  optTrials[4], optTrials[5],  optTrials[6],    optTrials[7],
                 cmdDistribution, opt90CI,       opt95CI,      opt99CI,       chkCoefficients, cmdCopyAPA,
                 txtSeed,         cmdOK,         cmdCancel,    chkDetails});

    Form_Load();
    connect(lstDV, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { lstDV_ItemCheck(lstDV->row(item)); });
    connect(lstPredictors, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { lstPredictors_ItemCheck(lstPredictors->row(item)); });
    connect(lstAdded, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { lstAdded_ItemCheck(lstAdded->row(item)); });
    connect(chkAddedBlock, &QCheckBox::toggled, this, &frmESBootstrap::chkAddedBlock_Click);
    // The details choice is kept from one run of the program to the next.
    chkDetails->setChecked(QSettings().value(SettingsKeys::BootstrapDetails, false).toBool());
    connect(chkDetails, &QCheckBox::toggled, this,
            [](bool on) { QSettings().setValue(SettingsKeys::BootstrapDetails, on); });
    chkCoefficients->setChecked(QSettings().value(SettingsKeys::BootstrapCoefficients, false).toBool());
    connect(chkCoefficients, &QCheckBox::toggled, this,
            [](bool on) { QSettings().setValue(SettingsKeys::BootstrapCoefficients, on); });
    connect(cmdOK, &QPushButton::clicked, this, &frmESBootstrap::cmdOK_Click);
    connect(cmdDistribution, &QPushButton::clicked, this, &frmESBootstrap::cmdDistribution_Click);
    connect(cmdCopyAPA, &QPushButton::clicked, this, &frmESBootstrap::cmdCopyAPA_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmESBootstrap::cmdCancel_Click);
    // The trial under way shows in the trial box; a stopped run empties it,
    // and the dialog stays as it was, ready for another run. The run reads the
    // data set: it is stopped and waited for when the dialog goes.
    RunProgress trials;
    trials.show = [this](int trial) { txtTrial->setText(QString::number(trial)); };
    trials.stopped = [this] { txtTrial->clear(); };
    m_run = std::make_unique<BackgroundRun>(BackgroundRun::Window{
        .widget = this,
        .platform = m_platform,
        .enableControls = [this](bool enabled) { setControlsEnabled(enabled); },
        .progress = std::move(trials),
        .outOfMemory = QStringLiteral("There is not enough memory to finish the bootstrap."),
        .title = QString::fromLatin1(AnalysisErrorTitle),
        .warnOfErrors = true,
    });
    runsInBackground(*m_run);
    connect(m_run.get(), &BackgroundRun::ended, this, &frmESBootstrap::runFinished);
}

frmESBootstrap::~frmESBootstrap() = default;

void frmESBootstrap::Form_Load()
{
    for (std::int32_t v = 1; v <= m_dataSet.NumVariables(); ++v) {
        for (QListWidget* list : {lstDV, lstPredictors, lstAdded}) {
            addCheckItem(list, QString::fromStdString(m_dataSet.variableCaption(v)));
        }
    }
    m_lngCheckedDV = NoneChecked;
    m_lngCheckedAdded = NoneChecked;
    optTrials[0]->setChecked(true);
    opt95CI->setChecked(true);
}

void frmESBootstrap::oneCheckedItem(QListWidget* list, std::int32_t& member, int item)
{
    trap([&] {
        if (member == item + 1) {
            member = NoneChecked;
        } else if (member == NoneChecked) {
            member = item + 1;
        } else {
            // Unchecking the other item runs this rule for it first.
            list->item(member - 1)->setCheckState(Qt::Unchecked);
            member = item + 1;
        }
    });
}

void frmESBootstrap::lstDV_ItemCheck(int item)
{
    oneCheckedItem(lstDV, m_lngCheckedDV, item);
}

void frmESBootstrap::lstPredictors_ItemCheck(int)
{
    // Any number of predictors may be checked.
}

void frmESBootstrap::lstAdded_ItemCheck(int item)
{
    // A block takes any number of checks; the one-at-a-time rule otherwise.
    if (chkAddedBlock->isChecked() || m_keepingLowest) {
        return;
    }
    oneCheckedItem(lstAdded, m_lngCheckedAdded, item);
}

void frmESBootstrap::chkAddedBlock_Click(bool checked)
{
    trap([&] {
        if (checked) {
            return;
        }
        // Back to one at a time: the lowest-numbered checked item stays.
        m_keepingLowest = true;
        m_lngCheckedAdded = NoneChecked;
        for (int k = 0; k < lstAdded->count(); ++k) {
            if (lstAdded->item(k)->checkState() != Qt::Checked) {
                continue;
            }
            if (m_lngCheckedAdded == NoneChecked) {
                m_lngCheckedAdded = k + 1;
            } else {
                lstAdded->item(k)->setCheckState(Qt::Unchecked);
            }
        }
        m_keepingLowest = false;
    });
}

BootstrapRequest frmESBootstrap::request() const
{
    BootstrapRequest request;
    for (std::size_t k = 0; k < optTrials.size(); ++k) {
        if (optTrials[k]->isChecked()) {
            request.NumTrials = TrialCounts[k];
        }
    }
    request.Level = opt90CI->isChecked()   ? ConfidenceLevel::P90
                    : opt99CI->isChecked() ? ConfidenceLevel::P99
                                           : ConfidenceLevel::P95;
    if (m_lngCheckedDV != NoneChecked) {
        request.DependentVariable = m_lngCheckedDV;
    }
    request.Details = chkDetails->isChecked();
    request.EffectSizes = windowEffectSizes(request.Details);
    request.Coefficients = chkCoefficients->isChecked();
    for (int k = 0; k < lstPredictors->count(); ++k) {
        if (lstPredictors->item(k)->checkState() == Qt::Checked) {
            request.PredictorList.push_back(k + 1);
        }
    }
    for (int k = 0; k < lstAdded->count(); ++k) {
        if (lstAdded->item(k)->checkState() == Qt::Checked) {
            request.AddedList.push_back(k + 1);
        }
    }
    return request;
}

void frmESBootstrap::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{fraSelectDV, fraSelectGroups, FraAdded, fraConfidence,
                                                            cmdOK, txtSeed, chkDetails}) {
        control->setEnabled(enabled);
    }
    // The trial frame stays enabled, so that the trial counter inside it is
    // readable while the run goes on; only its options are disabled.
    for (QRadioButton* option : optTrials) {
        option->setEnabled(enabled);
    }
    cmdDistribution->setEnabled(enabled && m_lastResult.has_value());
    cmdCopyAPA->setEnabled(enabled && m_lastResult.has_value());
}

void frmESBootstrap::cmdOK_Click()
{
    trap(
        [&] {
            if (running()) {
                return;
            }
            const BootstrapRequest request = this->request();
            // A request the analysis refuses is refused here, before a run starts.
            // The dialog's own words for what its lists lack.
            const RequestWords words{"At least one variable must be added from the <Added Predictors> listbox.",
                                     "A dependent variable must be selected."};
            if (const Status checked = CheckBootstrapRequest(request, m_dataSet, words); !checked.ok()) {
                m_platform.warn(this, checked.refusal());
                return;
            }
            const std::optional<std::uint64_t> chosen = nextSeed();
            if (!chosen) {
                warnOfSeed(m_platform, this);
                return;
            }
            const std::uint64_t seed = *chosen;
            // Shown from now on, so that OK repeats this run.
            txtSeed->setText(QString::number(seed));
            const DataSet& dataSet = m_dataSet;
            // The details' record names the data file by its SHA-256, read here
            // too, and only while the file is still the one imported (its
            // identity as the import read it); otherwise the record says it
            // changed since the import.
            const std::string hashed =
                request.Details ? QFile::encodeName(m_dataFileName).toStdString() : std::string();
            const std::optional<FileIdentity> imported = dataSet.sourceIdentity();
            m_run->start<RunOutcome>(
                request.NumTrials,
                [request, &dataSet, seed, hashed, imported](const RunControl& control) -> Outcome<RunOutcome> {
                    Outcome<BootstrapResult> outcome = RunBootstrap(request, dataSet, seed, control);
                    if (!outcome.ok()) {
                        return outcome.refusal();
                    }
                    RunOutcome ran{std::move(*outcome), std::nullopt};
                    if (request.Details) {
                        ran.fingerprint = fingerprintFile(hashed, imported);
                    }
                    return ran;
                },
                [this](const RunOutcome& ran) { showResult(ran); });
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), AnalysisErrorTitle); });
}

void frmESBootstrap::showResult(const RunOutcome& ran)
{
    const BootstrapResult& result = ran.result;
    txtTrial->setText(QString::number(result.request.NumTrials));
    std::string text = FormatBootstrapReport(result);
    const bool effectSizeBlock = showsEffectSizeBlock(result.request);
    if (result.Details) {
        text += FormatBootstrapDetails(result, m_dataFileName.toStdString());
    }
    if (effectSizeBlock) {
        text += FormatEffectSizes(result);
    }
    text += FormatCoefficients(result);
    if (result.Details) {
        // The options that print the same blocks again.
        const std::string options =
            " --details" + (effectSizeBlock ? effectSizeCommandOptions(*result.request.EffectSizes) : std::string())
            + (result.Coefficients ? " --coefficients" : "") + " --record";
        const RunRecord record = makeRunRecord(
            result, m_source, ran.fingerprint.value_or(Refusal{"the file was not read", {}, Refusal::Reason::Fault}),
            std::chrono::system_clock::now(), options);
        text += FormatRunRecord(result, record);
    }
    m_log.append(QString::fromStdString(text));
    m_lastResult = result;
    // The controls were enabled before there was a result to plot.
    cmdDistribution->setEnabled(true);
    cmdCopyAPA->setEnabled(true);
    emit runSucceeded(*m_lastResult);
    hide();
}

void frmESBootstrap::cmdCancel_Click()
{
    stopOrHide();
}

void frmESBootstrap::cmdDistribution_Click()
{
    trap([&] { frmDistribution::showFor(m_platform, m_lastResult, this, m_dataFileName); });
}

void frmESBootstrap::cmdCopyAPA_Click()
{
    trap([&] { copyApaResults(m_platform, this, m_lastResult, false); });
}

std::optional<std::uint64_t> frmESBootstrap::nextSeed() const
{
    return seedFromText(txtSeed->text(), m_platform);
}

} // namespace orvalis
