// frmDominance: the unit builder in a grid, the run with a progress bar, the report to the log.
#include "ui/ApaCopy.h"
#include "ui/frmDominance.h"

#include "analyses/DominanceReport.h"
#include "analyses/PredictorColumns.h"
#include "analyses/RequestCheck.h"
#include "data/DataSet.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/OutputLog.h"
#include "ui/SeedText.h"
#include "ui/Trap.h"
#include "ui/frmDominanceFigure.h"

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

namespace orvalis {
namespace {

const char* const WindowTitle = "Relative Importance";
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

bool contains(const std::vector<std::int32_t>& list, std::int32_t v)
{
    return std::find(list.begin(), list.end(), v) != list.end();
}

} // namespace

frmDominance::frmDominance(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent)
    : ModalDialog(parent), m_platform(platform), m_dataSet(dataSet), m_log(log)
{
    setObjectName("frmDominance");
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
    cmdAddUnit = named(new QPushButton(QStringLiteral("&Add as Unit"), this), "cmdAddUnit");
    cmdAddUnit->setToolTip(QStringLiteral("Each selected variable a unit of its own"));
    txtGroupName = named(new QLineEdit(this), "txtGroupName");
    txtGroupName->setToolTip(QStringLiteral("The name of the group Add as Group makes; empty: Group 1, Group 2, ..."));
    cmdAddGroup = named(new QPushButton(QStringLiteral("Add as &Group"), this), "cmdAddGroup");
    cmdAddGroup->setToolTip(QStringLiteral("The selected variables together one unit, which enters and leaves the "
                                           "models as a whole"));
    cmdAddCovariate = named(new QPushButton(QStringLiteral("Add as C&ovariate"), this), "cmdAddCovariate");
    cmdAddCovariate->setToolTip(QStringLiteral("The selected variables in every model: the units then share the "
                                               "R\u00b2 beyond them"));
    lstUnits = named(new QListWidget(this), "lstUnits");
    lstUnits->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdRemoveUnit = named(new QPushButton(QStringLiteral("Re&move Unit"), this), "cmdRemoveUnit");
    chkCategorical = named(new QCheckBox(QStringLiteral("Categorica&l"), this), "chkCategorical");
    chkCategorical->setToolTip(QStringLiteral("Enter the selected numeric variable as categorical: each of its "
                                              "values a category, named by its value label"));
    cmbReference = named(new QComboBox(this), "cmbReference");
    lstCovariates = named(new QListWidget(this), "lstCovariates");
    lstCovariates->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdRemoveCovariate = named(new QPushButton(QStringLiteral("Remove Cova&riate"), this), "cmdRemoveCovariate");
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
    chkDetails->setToolTip(QStringLiteral("Add the BCa limits of every general weight and share"));
    prgTrials = named(new QProgressBar(this), "prgTrials");
    prgTrials->setAccessibleName(QStringLiteral("Trials done"));
    cmdPlot = named(new QPushButton(QStringLiteral("&Plot..."), this), "cmdPlot");
    cmdPlot->setToolTip(QStringLiteral("The last run's general dominance weights with their percentile intervals"));
    cmdPlot->setEnabled(false);
    cmdCopyAPA = named(new QPushButton(QStringLiteral("Cop&y APA Results"), this), "cmdCopyAPA");
    cmdCopyAPA->setToolTip(QStringLiteral("The last run's results sentence and table in APA style"));
    cmdCopyAPA->setEnabled(false);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");

    auto* grid = new QGridLayout;
    grid->addWidget(labelFor(this, "lblDependent", QStringLiteral("&Dependent variable:"), cmbDependent), 0, 0);
    grid->addWidget(cmbDependent, 0, 1, 1, 2);
    grid->addWidget(labelFor(this, "lblVariables", QStringLiteral("&Variables:"), lstVariables), 1, 0);
    grid->addWidget(labelFor(this, "lblUnits", QStringLiteral("&Units:"), lstUnits), 1, 2);
    grid->addWidget(lstVariables, 2, 0, 6, 1);
    auto* builder = new QVBoxLayout;
    builder->addWidget(cmdAddUnit);
    builder->addSpacing(12);
    builder->addWidget(labelFor(this, "lblGroupName", QStringLiteral("Group &name:"), txtGroupName));
    builder->addWidget(txtGroupName);
    builder->addWidget(cmdAddGroup);
    builder->addSpacing(12);
    builder->addWidget(cmdAddCovariate);
    builder->addStretch();
    grid->addLayout(builder, 2, 1, 6, 1);
    grid->addWidget(lstUnits, 2, 2);
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(cmdRemoveUnit);
    unitRow->addWidget(chkCategorical);
    unitRow->addStretch();
    grid->addLayout(unitRow, 3, 2);
    auto* referenceRow = new QHBoxLayout;
    referenceRow->addWidget(labelFor(this, "lblReference", QStringLiteral("Re&ference category:"), cmbReference));
    referenceRow->addWidget(cmbReference, 1);
    grid->addLayout(referenceRow, 4, 2);
    grid->addWidget(labelFor(this, "lblCovariates", QStringLiteral("Covariate&s:"), lstCovariates), 5, 2);
    grid->addWidget(lstCovariates, 6, 2);
    auto* covariateRow = new QHBoxLayout;
    covariateRow->addWidget(cmdRemoveCovariate);
    covariateRow->addStretch();
    grid->addLayout(covariateRow, 7, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 2);
    grid->setRowStretch(6, 1);
    auto* settings = new QHBoxLayout;
    settings->addWidget(labelFor(this, "lblTrials", QStringLiteral("Tr&ials:"), spnTrials));
    settings->addWidget(spnTrials);
    settings->addWidget(labelFor(this, "lblLevel", QStringLiteral("&Confidence:"), cmbLevel));
    settings->addWidget(cmbLevel);
    settings->addWidget(labelFor(this, "lblSeed", QStringLiteral("S&eed:"), txtSeed));
    settings->addWidget(txtSeed, 1);
    settings->addWidget(chkDetails);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPlot);
    buttons->addWidget(cmdCopyAPA);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(settings);
    layout->addWidget(prgTrials);
    layout->addLayout(buttons);
    lstVariables->setAccessibleName(QStringLiteral("Variables"));
    lstUnits->setAccessibleName(QStringLiteral("Units"));
    lstCovariates->setAccessibleName(QStringLiteral("Covariates"));
    // The tab order follows the layout: top to bottom, left to right.
    setTabChain({cmbDependent, lstVariables,  cmdAddUnit,     txtGroupName, cmdAddGroup,   cmdAddCovariate,
                 lstUnits,     cmdRemoveUnit, chkCategorical, cmbReference, lstCovariates, cmdRemoveCovariate,
                 spnTrials,    cmbLevel,      txtSeed,        chkDetails,   cmdPlot,       cmdCopyAPA,
                 cmdOK,        cmdCancel});
    resize(720, 520);
    // Larger, the lists take the room; smaller, nothing would fit.
    setMinimumSize(size());

    connect(cmdAddUnit, &QPushButton::clicked, this, &frmDominance::cmdAddUnit_Click);
    connect(cmdAddGroup, &QPushButton::clicked, this, &frmDominance::cmdAddGroup_Click);
    connect(cmdAddCovariate, &QPushButton::clicked, this, &frmDominance::cmdAddCovariate_Click);
    connect(cmdRemoveUnit, &QPushButton::clicked, this, &frmDominance::cmdRemoveUnit_Click);
    connect(cmdRemoveCovariate, &QPushButton::clicked, this, &frmDominance::cmdRemoveCovariate_Click);
    connect(chkCategorical, &QCheckBox::clicked, this, &frmDominance::chkCategorical_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmDominance::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDominance::cmdCancel_Click);
    connect(cmdPlot, &QPushButton::clicked, this, &frmDominance::cmdPlot_Click);
    connect(cmdCopyAPA, &QPushButton::clicked, this, &frmDominance::cmdCopyAPA_Click);
    connect(cmbDependent, &QComboBox::currentIndexChanged, this, [this] { trap([&] { showUnits(); }); });
    connect(lstUnits, &QListWidget::currentRowChanged, this, [this] { trap([&] { showReference(); }); });
    connect(cmbReference, &QComboBox::activated, this, [this](int index) {
        trap([&] {
            if (const std::optional<std::int32_t> v = selectedPredictor(); v && index >= 0) {
                m_marks.reference[*v] = index + 1;
                const int row = lstUnits->currentRow();
                if (row >= 0 && row < lstUnits->count()) {
                    lstUnits->item(row)->setText(unitCaption(static_cast<std::size_t>(row)));
                }
            }
        });
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
    connect(m_run.get(), &BackgroundRun::ended, this, &frmDominance::runFinished);
    showUnits();
}

frmDominance::~frmDominance() = default;

QString frmDominance::unitCaption(std::size_t row) const
{
    if (row < m_units.size()) {
        return m_marks.captionWithReference(m_units[row]);
    }
    const DominanceGroup& group = m_groups[row - m_units.size()];
    QStringList members;
    for (const std::int32_t v : group.variables) {
        members << m_marks.variableCaption(v);
    }
    return QString::fromStdString(group.name) + QStringLiteral(": ") + members.join(QStringLiteral(", "));
}

bool frmDominance::used(std::int32_t v) const
{
    if (v == cmbDependent->currentIndex() + 1 || contains(m_units, v) || contains(m_covariates, v)) {
        return true;
    }
    return std::any_of(m_groups.begin(), m_groups.end(),
                       [v](const DominanceGroup& group) { return contains(group.variables, v); });
}

void frmDominance::showUnits()
{
    // A variable in a role already, or the dependent variable, cannot be added again.
    for (int k = 0; k < lstVariables->count(); ++k) {
        lstVariables->item(k)->setFlags(used(k + 1) ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    const int unitRow = lstUnits->currentRow();
    {
        const QSignalBlocker block(lstUnits);
        lstUnits->clear();
        for (std::size_t row = 0; row < m_units.size() + m_groups.size(); ++row) {
            lstUnits->addItem(unitCaption(row));
        }
        if (unitRow >= 0 && unitRow < lstUnits->count()) {
            lstUnits->setCurrentRow(unitRow);
        }
    }
    lstCovariates->clear();
    for (const std::int32_t v : m_covariates) {
        lstCovariates->addItem(m_marks.variableCaption(v));
    }
    showReference();
}

std::optional<std::int32_t> frmDominance::selectedPredictor() const
{
    const int row = lstUnits->currentRow();
    if (row < 0 || row >= static_cast<int>(m_units.size())) {
        return std::nullopt;
    }
    return m_units[static_cast<std::size_t>(row)];
}

void frmDominance::showReference()
{
    m_marks.show(selectedPredictor(), chkCategorical, cmbReference);
}

std::vector<std::int32_t> frmDominance::takeSelected()
{
    std::vector<std::int32_t> variables;
    for (const QListWidgetItem* item : lstVariables->selectedItems()) {
        const std::int32_t v = lstVariables->row(item) + 1;
        if (!used(v)) {
            variables.push_back(v);
        }
    }
    std::sort(variables.begin(), variables.end());
    lstVariables->clearSelection();
    return variables;
}

void frmDominance::cmdAddUnit_Click()
{
    trap([&] {
        for (const std::int32_t v : takeSelected()) {
            m_units.push_back(v);
        }
        showUnits();
    });
}

void frmDominance::cmdAddGroup_Click()
{
    trap([&] {
        DominanceGroup group;
        group.name = txtGroupName->text().trimmed().toStdString();
        const auto taken = [this](const std::string& name) {
            return std::any_of(m_groups.begin(), m_groups.end(),
                               [&](const DominanceGroup& other) { return other.name == name; });
        };
        // Unnamed: the first "Group N" no group has; a name typed twice is refused before the selection goes.
        for (std::size_t n = 1; group.name.empty(); ++n) {
            if (!taken("Group " + std::to_string(n))) {
                group.name = "Group " + std::to_string(n);
            }
        }
        if (taken(group.name)) {
            m_platform.warn(this, QString::fromStdString("Two groups are named " + group.name + "."),
                            QString::fromLatin1(AnalysisErrorTitle));
            return;
        }
        group.variables = takeSelected();
        if (group.variables.empty()) {
            return;
        }
        m_groups.push_back(std::move(group));
        txtGroupName->clear();
        showUnits();
    });
}

void frmDominance::cmdAddCovariate_Click()
{
    trap([&] {
        for (const std::int32_t v : takeSelected()) {
            m_covariates.push_back(v);
        }
        showUnits();
    });
}

void frmDominance::cmdRemoveUnit_Click()
{
    trap([&] {
        std::vector<std::size_t> rows;
        for (const QListWidgetItem* item : lstUnits->selectedItems()) {
            rows.push_back(static_cast<std::size_t>(lstUnits->row(item)));
        }
        // From the last, so that the earlier rows keep their places.
        std::sort(rows.rbegin(), rows.rend());
        for (const std::size_t row : rows) {
            if (row < m_units.size()) {
                const std::int32_t v = m_units[row];
                m_units.erase(m_units.begin() + static_cast<std::ptrdiff_t>(row));
                m_marks.forget(v);
            } else if (row - m_units.size() < m_groups.size()) {
                m_groups.erase(m_groups.begin() + static_cast<std::ptrdiff_t>(row - m_units.size()));
            }
        }
        lstUnits->setCurrentRow(-1);
        showUnits();
    });
}

void frmDominance::cmdRemoveCovariate_Click()
{
    trap([&] {
        std::vector<std::size_t> rows;
        for (const QListWidgetItem* item : lstCovariates->selectedItems()) {
            rows.push_back(static_cast<std::size_t>(lstCovariates->row(item)));
        }
        std::sort(rows.rbegin(), rows.rend());
        for (const std::size_t row : rows) {
            if (row < m_covariates.size()) {
                m_covariates.erase(m_covariates.begin() + static_cast<std::ptrdiff_t>(row));
            }
        }
        showUnits();
    });
}

void frmDominance::chkCategorical_Click(bool checked)
{
    trap([&] {
        const std::optional<std::int32_t> selected = selectedPredictor();
        if (!selected) {
            return;
        }
        const std::int32_t v = *selected;
        std::string why;
        if (checked && !m_dataSet.isCategorical(v) && !m_marks.declare(v, why)) {
            chkCategorical->setChecked(false);
            m_platform.warn(this, QString::fromStdString(why), QString::fromLatin1(AnalysisErrorTitle));
            return;
        }
        if (!checked) {
            m_marks.forget(v);
        }
        showUnits();
    });
}

DominanceRequest frmDominance::request() const
{
    DominanceRequest request;
    if (cmbDependent->currentIndex() >= 0) {
        request.DependentVariable = cmbDependent->currentIndex() + 1;
    }
    request.Units = m_units;
    request.Groups = m_groups;
    request.Covariates = m_covariates;
    request.Categorical = m_marks.declaredSet();
    request.ReferenceCategory = m_marks.reference;
    request.NumTrials = spnTrials->value();
    request.Level = Levels[std::clamp(cmbLevel->currentIndex(), 0, 2)];
    request.Details = chkDetails->isChecked();
    return request;
}

void frmDominance::setControlsEnabled(bool enabled)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{cmbDependent, lstVariables, cmdAddUnit, txtGroupName, cmdAddGroup,
                                         cmdAddCovariate, lstUnits, cmdRemoveUnit, chkCategorical, cmbReference,
                                         lstCovariates, cmdRemoveCovariate, spnTrials, cmbLevel, txtSeed, chkDetails,
                                         cmdOK}) {
        control->setEnabled(enabled);
    }
    cmdPlot->setEnabled(enabled && m_lastResult.has_value());
    cmdCopyAPA->setEnabled(enabled && m_lastResult.has_value());
    if (enabled) {
        showReference(); // the categorical mark's own rules
    }
}

void frmDominance::cmdOK_Click()
{
    trap(
        [&] {
            if (running()) {
                return;
            }
            const DominanceRequest request = this->request();
            if (const Status checked = CheckDominanceRequest(request, m_dataSet); !checked.ok()) {
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
            m_run->start<DominanceResult>(
                request.NumTrials,
                [request, &dataSet, seed](const RunControl& control) {
                    return RunDominance(request, dataSet, seed, control);
                },
                [this](DominanceResult result) { showResult(std::move(result)); });
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), AnalysisErrorTitle); });
}

void frmDominance::showResult(DominanceResult result)
{
    m_log.append(QString::fromStdString(FormatDominanceReport(result)));
    m_lastResult = std::move(result);
    cmdPlot->setEnabled(true);
    cmdCopyAPA->setEnabled(true);
}

void frmDominance::cmdCopyAPA_Click()
{
    trap([&] { copyApaResults(m_platform, this, m_lastResult, false); });
}

void frmDominance::cmdCancel_Click()
{
    stopOrHide();
}

void frmDominance::cmdPlot_Click()
{
    trap([&] {
        if (m_lastResult) {
            frmDominanceFigure window(m_platform, *m_lastResult, this, m_dataFileName);
            window.exec();
        }
    });
}

} // namespace orvalis
