// frmMain: controls at their design positions, the picker coupling, the import and the Edit commands.
#include "ui/frmMain.h"

#include "common/TextEscape.h"
#include "common/Version.h"
#include "formats/FileFormats.h"
#include "data/DataImport.h"
#include "platform/Platform.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/ElidedLabel.h"
#include "ui/FileList.h"
#include "ui/Trap.h"
#include "ui/Design.h"
#include "ui/frmDistribution.h"
#include "ui/frmHierarchical.h"
#include "ui/ApaCopy.h"
#include "ui/EffectSizeSettings.h"
#include "ui/frmNavigate.h"
#include "ui/frmOpenOutput.h"
#include "ui/frmSaveOutput.h"
#include "ui/frmSplash.h"
#include "ui/frmUserGuide.h"
#include "ui/SettingsKeys.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <future>
#include <mutex>
#include <new>

namespace orvalis {
namespace {

const QString DataEditorTitle = QString::fromLatin1(ImportErrorTitle);

// The file-type box's items and the pattern each shows.
struct FileType {
    const char* caption;
    const char* pattern;
};
constexpr FileType FileTypes[] = {
    {"Text (*.txt)", "*.txt"},
    {"Data (*.dat)", "*.dat"},
    {"CSV (*.csv)", "*.csv"},
    {"Tab-separated (*.tsv)", "*.tsv"},
    {"SPSS (*.sav *.zsav *.por)", "*.sav *.zsav *.por"},
    {"Stata (*.dta)", "*.dta"},
    {"SAS (*.sas7bdat *.xpt)", "*.sas7bdat *.xpt"},
    {"Excel (*.xlsx)", "*.xlsx"},
    {"OpenDocument (*.ods)", "*.ods"},
    {"All files (*)", "*"},
};

QFont boldFont()
{
    return designFont(true);
}

// The file-type box: it keeps its design width, and its drop-down list opens
// as wide as its longest item ("SPSS (*.sav *.zsav *.por)"), frame and
// scroll bar included, in whatever font the desktop gives it, so that no
// item is cut.
class FileTypeBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        QAbstractItemView* list = view();
        const int frame = 2 * list->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, list);
        const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setMinimumWidth(list->sizeHintForColumn(0) + frame + scrollBar);
        QComboBox::showPopup();
    }
};

// A file name with its control characters escaped, as the import summary shows it.
QString oneLine(const QString& name)
{
    return QString::fromStdString(escapeControlCharacters(name.toStdString()));
}

} // namespace

// What an import on a worker thread shares with the window: the file and the
// delimiter it reads with (the picker may move on meanwhile), whether the
// window still waits for it, and the sheet question the reading is asking.
struct frmMain::ImportRun {
    QString fileName;
    Delimiter delimiter = Delimiter::Space;
    // The sheet the user chose (window's thread only).
    std::string chosenSheet;

    // Guards abandoned and question, which both threads touch.
    std::mutex lock;
    bool abandoned = false;
    // The reading waits for this answer while the window shows the chooser.
    std::optional<std::promise<std::optional<std::string>>> question;

    // Asked to stop by abandon(): the reading ends at its next block.
    std::stop_source stop;

    // The window no longer waits: the reading is asked to stop, and a
    // question asked now or later is answered with no sheet at once, so the
    // reading ends soon, without the window.
    void abandon()
    {
        stop.request_stop();
        const std::lock_guard<std::mutex> held(lock);
        abandoned = true;
        if (question) {
            question->set_value(std::nullopt);
            question.reset();
        }
    }
};

frmMain::frmMain(Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_outputLog(buildControls())
{
    setObjectName("frmMain");
    setWindowTitle(QStringLiteral("Orvalis"));
    buildMenus();
    buildImportStatus();
    setTabOrder();

    // The picker starts in the directory used last, or at home.
    const QString last = QSettings().value(SettingsKeys::PickerDirectory).toString();
    if (last.isEmpty() || !dirDirectory->setPath(last)) {
        dirDirectory->setPath(QDir::homePath());
    }
    filFile->setPath(dirDirectory->path());
    drvDrive->showDriveOf(dirDirectory->path());
    // The delimiter chosen at the last import, or space.
    const QString word = QSettings().value(SettingsKeys::ImportDelimiter).toString();
    for (const auto& [option, delimiter] : delimiterOptions()) {
        if (word == QString::fromUtf8(delimiterInfo(delimiter).word)) {
            option->setChecked(true);
        }
    }

    resize(twips(11880), twips(8610));
}

QRect frmMain::startGeometry(QSize design, QRect available)
{
    // Room for the title bar and frame a window manager adds; never below the
    // least height the window keeps (7000 twips, frame and menu bar included).
    constexpr int FrameWidth = 16;
    constexpr int FrameHeight = 32;
    const int least = (7000 + TwipsPerPixel - 1) / TwipsPerPixel;
    const QSize fitted(std::max(1, std::min(design.width(), available.width() - FrameWidth)),
                       std::clamp(available.height() - FrameHeight, least, std::max(least, design.height())));
    QRect placed(QPoint(), fitted);
    placed.moveCenter(available.center());
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed;
}

void frmMain::Form_Load()
{
    filFile->setPattern(QStringLiteral("*.txt"));

    m_frmSplash = new frmSplash(this);
    m_frmSplash->setAttribute(Qt::WA_DeleteOnClose);
    // Centred on the screen the main window will appear on.
    const QRect screen = this->screen()->availableGeometry();
    m_frmSplash->move(screen.center() - m_frmSplash->rect().center());
    connect(m_frmSplash, &QDialog::finished, this, &frmMain::splashClosed);
    // A coarse timer may fire up to 5% early; the splash stays its two seconds.
    QTimer::singleShot(2000, Qt::PreciseTimer, m_frmSplash, &QWidget::close);
    m_frmSplash->show();
}

void frmMain::splashClosed()
{
    trap([&] {
        if (m_loaded) {
            return;
        }
        m_loaded = true;
        for (const FileType& type : FileTypes) {
            cmbFileType->addItem(QString::fromUtf8(type.caption));
        }
        cmbFileType->setCurrentIndex(0);
        cmbFileType_Click(0);
        if (!m_pendingFile.isEmpty()) {
            selectPendingFile();
        }
        // The design's size, or less where the screen has less room.
        if (const QScreen* shown = screen()) {
            setGeometry(startGeometry(size(), shown->availableGeometry()));
        }
        show();
    });
}

frmMain::~frmMain()
{
    // A reading still going on ends on its own and is dropped; a sheet
    // question it asks is answered at once, without the window.
    if (m_import != nullptr) {
        m_import->abandon();
    }
}

void frmMain::buildImportStatus()
{
    // Shown only while an import reads: what it reads, a busy bar (the
    // reading does not say how far it is) and the Cancel that stops waiting.
    lblImporting = new QLabel(this);
    lblImporting->setObjectName("lblImporting");
    prgImport = new QProgressBar(this);
    prgImport->setObjectName("prgImport");
    prgImport->setRange(0, 0);
    prgImport->setTextVisible(false);
    prgImport->setMaximumWidth(twips(2055));
    prgImport->setAccessibleName(QStringLiteral("Import in progress"));
    cmdCancelImport = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancelImport->setObjectName("cmdCancelImport");
    cmdCancelImport->setToolTip(QStringLiteral("Stop the import; the data and the output stay as they were"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(lblImporting, 1);
    statusBar()->addPermanentWidget(prgImport);
    statusBar()->addPermanentWidget(cmdCancelImport);
    cmdCancelImport->setEnabled(false);
    statusBar()->hide();
    connect(cmdCancelImport, &QPushButton::clicked, this, &frmMain::cmdCancelImport_Click);
}

QPlainTextEdit* frmMain::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    setFont(designFont(false));

    fraSelectData =
        makeControl<QGroupBox>(central, "fraSelectData", twips(120, 0, 10695, 2295), QStringLiteral("Select Data"));
    fraSelectData->setFont(boldFont());

    // Children of the bold frames keep the regular font.
    const QFont plain = designFont(false);

    dirDirectory = makeControl<DirectoryList>(fraSelectData, "dirDirectory", twips(2280, 840, 2415, 1215));
    dirDirectory->setFont(plain);
    dirDirectory->setToolTip(QStringLiteral("Specify directory of file"));

    filFile = makeControl<FileList>(fraSelectData, "filFile", twips(4920, 840, 2295, 1065));
    filFile->setFont(plain);
    filFile->setToolTip(QStringLiteral("Specify file"));

    drvDrive = makeControl<DriveList>(fraSelectData, "drvDrive", twips(2280, 480, 2415, 315));
    drvDrive->setFont(plain);
    drvDrive->setToolTip(QStringLiteral("Specify drive of file"));

    lblSelectedFile = makeControl<ElidedLabel>(fraSelectData, "lblSelectedFile", twips(7440, 600, 2055, 255));
    lblSelectedFile->setFont(plain);
    lblSelectedFile->setPlainToolTip(QStringLiteral("The file selected for import"));
    styleBoxLabel(lblSelectedFile, QPalette::BrightText);

    cmdImportData = makeButton(fraSelectData, "cmdImportData", QStringLiteral("Import Selected Data File"),
                               twips(7440, 1560, 2055, 495));
    cmdImportData->setFont(plain);
    cmdImportData->setToolTip(QStringLiteral("Click to import selected file"));

    lblSelectedFileLabel = makeControl<QLabel>(fraSelectData, "lblSelectedFileLabel", twips(7440, 360, 1332, 240),
                                               QStringLiteral("Selected File:"));
    lblSelectedFileLabel->setFont(plain);

    fraTypeOfDelimiter = makeControl<QGroupBox>(fraSelectData, "fraTypeOfDelimiter", twips(240, 360, 1815, 1695),
                                                QStringLiteral("Type of Delimiter"));
    fraTypeOfDelimiter->setFont(plain);
    fraTypeOfDelimiter->setToolTip(QStringLiteral("Specify the delimiter used"));

    optSpace = makeControl<QRadioButton>(fraTypeOfDelimiter, "optSpace", twips(120, 240, 1455, 255),
                                         QStringLiteral("Space Delimited"));
    optSpace->setChecked(true);
    optComma = makeControl<QRadioButton>(fraTypeOfDelimiter, "optComma", twips(120, 720, 1575, 255),
                                         QStringLiteral("Comma Delimited"));
    optTab = makeControl<QRadioButton>(fraTypeOfDelimiter, "optTab", twips(120, 1200, 1335, 255),
                                       QStringLiteral("Tab Delimited"));
    optSemicolon = makeControl<QRadioButton>(fraTypeOfDelimiter, "optSemicolon", twips(120, 1200, 1335, 255),
                                             QStringLiteral("Semicolon"));
    optDetect = makeControl<QRadioButton>(fraTypeOfDelimiter, "optDetect", twips(120, 1200, 1335, 255),
                                          QStringLiteral("Detect from File"));
    // Five choices share the frame's height, 285 twips apart.
    for (int k = 1; k < 5; ++k) {
        QRadioButton* option = delimiterOptions()[static_cast<std::size_t>(k)].first;
        option->move(option->x(), twips(240 + 285 * k));
    }

    lblCurrentFileLabel = makeControl<QLabel>(fraSelectData, "lblCurrentFileLabel", twips(7440, 960, 2055, 255),
                                              QStringLiteral("File Currently in Processor:"));
    lblCurrentFileLabel->setFont(plain);

    lblCurrentFile = makeControl<ElidedLabel>(fraSelectData, "lblCurrentFile", twips(7440, 1200, 2055, 255));
    lblCurrentFile->setFont(plain);
    lblCurrentFile->setPlainToolTip(QStringLiteral("File currently contained in Orvalis processor"));
    // The plain highlighted-text colour: a highlight bar would read as a progress bar.
    styleBoxLabel(lblCurrentFile, QPalette::HighlightedText);

    cmbFileType = new FileTypeBox(fraSelectData);
    cmbFileType->setObjectName("cmbFileType");
    cmbFileType->setFont(plain);
    cmbFileType->setEditable(true);
    cmbFileType->setInsertPolicy(QComboBox::NoInsert);
    cmbFileType->setGeometry(twips(4920, 480, 2295, 315));
    cmbFileType->setToolTip(QStringLiteral("Specify file extension (*.txt or *.dat)"));
    cmbFileType->setEditText(QStringLiteral("File type"));
    // What a screen reader announces for the controls without a caption, and
    // what each frame holds.
    cmbFileType->setAccessibleName(QStringLiteral("File type"));
    cmbFileType->lineEdit()->setAccessibleName(QStringLiteral("File type"));
    dirDirectory->setAccessibleName(QStringLiteral("Directory"));
    filFile->setAccessibleName(QStringLiteral("Files"));
    drvDrive->setAccessibleName(QStringLiteral("Drive"));
    fraSelectData->setAccessibleDescription(
        QStringLiteral("The data file to import: its drive, folder, type and delimiter, and the import button"));
    fraTypeOfDelimiter->setAccessibleDescription(QStringLiteral("How the fields of the data file are separated"));

    fraOutput = makeControl<QGroupBox>(central, "fraOutput", twips(120, 4320, 9375, 3735), QStringLiteral("Output"));
    fraOutput->setFont(boldFont());

    txtOutput = OutputLog::createTextBox(fraOutput);
    txtOutput->setGeometry(twips(480, 720, 7095, 2295));
    txtOutput->installEventFilter(this);
    txtOutput->setAccessibleName(QStringLiteral("Output"));
    fraOutput->setAccessibleDescription(QStringLiteral("Every result, as plain text that can be edited and saved"));

    for (QWidget* control : std::initializer_list<QWidget*>{optSpace, optComma, optTab, optSemicolon, optDetect,
                                                            cmdImportData, lblSelectedFileLabel, lblCurrentFileLabel}) {
        fitCaption(control);
    }
    // The delimiter frame grows with its option buttons, up to the directory list.
    int optionsRight = 0;
    for (QWidget* option : std::initializer_list<QWidget*>{optSpace, optComma, optTab, optSemicolon, optDetect}) {
        optionsRight = std::max(optionsRight, option->geometry().right() + 1);
    }
    const int roomRight = dirDirectory->x() - fraTypeOfDelimiter->x() - 4;
    fraTypeOfDelimiter->resize(std::clamp(optionsRight + 4, fraTypeOfDelimiter->width(), roomRight),
                               fraTypeOfDelimiter->height());

    connect(cmdImportData, &QPushButton::clicked, this, &frmMain::cmdImportData_Click);
    connect(cmbFileType, qOverload<int>(&QComboBox::activated), this, &frmMain::cmbFileType_Click);
    connect(drvDrive, qOverload<int>(&QComboBox::activated), this, &frmMain::drvDrive_Change);
    connect(dirDirectory, &DirectoryList::pathChanged, this, &frmMain::dirDirectory_Change);
    connect(filFile, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { filFile_Click(item->text()); });
    // Enter on a highlighted file (or a double click) imports it.
    connect(filFile, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        filFile_Click(item->text());
        cmdImportData_Click();
    });
    return txtOutput;
}

void frmMain::buildMenus()
{
    // Each command carries its design name, as the controls do; the captions
    // carry their mnemonics (Alt+F, then O), the usual ones their shortcuts.
    // Cut, Copy and Paste keep the pane's own Ctrl+X, Ctrl+C and Ctrl+V.
    auto named = [](QAction* action, const char* name, QKeySequence shortcut = {}) {
        action->setObjectName(name);
        action->setShortcut(shortcut);
        return action;
    };
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuOpenOutput = named(mnuFile->addAction(QStringLiteral("&Open Output"), this, &frmMain::mnuOpenOutput_Click),
                          "mnuOpenOutput", QKeySequence::Open);
    mnuSaveOutput = named(mnuFile->addAction(QStringLiteral("&Save Output"), this, &frmMain::mnuSaveOutput_Click),
                          "mnuSaveOutput", QKeySequence::Save);
    mnuExit = named(mnuFile->addAction(QStringLiteral("E&xit"), this, &frmMain::mnuExit_Click), "mnuExit",
                    QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuCut = named(mnuEdit->addAction(QStringLiteral("Cu&t"), this, &frmMain::mnuCut_Click), "mnuCut");
    mnuCopy = named(mnuEdit->addAction(QStringLiteral("&Copy"), this, &frmMain::mnuCopy_Click), "mnuCopy");
    mnuPaste = named(mnuEdit->addAction(QStringLiteral("&Paste"), this, &frmMain::mnuPaste_Click), "mnuPaste");
    mnuClearOutput = named(mnuEdit->addAction(QStringLiteral("C&lear Output"), this, &frmMain::mnuClearOutput_Click),
                           "mnuClearOutput");
    QMenu* mnuData = menuBar()->addMenu(QStringLiteral("&Data"));
    mnuNavigateDataFile =
        named(mnuData->addAction(QStringLiteral("&Navigate Data File"), this, &frmMain::mnuNavigateDataFile_Click),
              "mnuNavigateDataFile");
    QMenu* mnuAnalyses = menuBar()->addMenu(QStringLiteral("&Analyses"));
    mnuDescriptives =
        named(mnuAnalyses->addAction(QStringLiteral("&Descriptives"), this, &frmMain::mnuDescriptives_Click),
              "mnuDescriptives");
    mnuESBootstrap =
        named(mnuAnalyses->addAction(QStringLiteral("&Effect Size Bootstrap"), this, &frmMain::mnuESBootstrap_Click),
              "mnuESBootstrap");
    mnuHierarchical = named(mnuAnalyses->addAction(QStringLiteral("&Hierarchical Regression Bootstrap..."), this,
                                                   &frmMain::mnuHierarchical_Click),
                            "mnuHierarchical");
    mnuDominance = named(mnuAnalyses->addAction(QStringLiteral("Re&lative Importance..."), this,
                                                &frmMain::mnuDominance_Click),
                         "mnuDominance");
    mnuPlan =
        named(mnuAnalyses->addAction(QStringLiteral("&Plan Sample Size..."), this, &frmMain::mnuPlan_Click), "mnuPlan");
    mnuBootstrapDistribution = named(mnuAnalyses->addAction(QStringLiteral("&Bootstrap Distribution"), this,
                                                            &frmMain::mnuBootstrapDistribution_Click),
                                     "mnuBootstrapDistribution");
    mnuCopyAPA =
        named(mnuAnalyses->addAction(QStringLiteral("Copy &APA Results"), this, [this] { mnuCopyAPA_Click(false); }),
              "mnuCopyAPA");
    mnuCopyAPAMarkdown = named(mnuAnalyses->addAction(QStringLiteral("Copy APA Results as &Markdown"), this,
                                                      [this] { mnuCopyAPA_Click(true); }),
                               "mnuCopyAPAMarkdown");
    QMenu* mnuInterval = mnuAnalyses->addMenu(QStringLiteral("APA &Interval"));
    auto* intervals = new QActionGroup(this);
    for (const IntervalKind interval : apaIntervalKinds()) {
        const IntervalRow& row = intervalRow(interval);
        QAction* action = mnuInterval->addAction(QString::fromUtf8(row.menuCaption));
        action->setObjectName(QStringLiteral("mnuAPAInterval_") + QString::fromLatin1(row.commandWord));
        action->setCheckable(true);
        action->setChecked(apaIntervalSetting() == interval);
        intervals->addAction(action);
        connect(action, &QAction::triggered, this, [interval] { setApaIntervalSetting(interval); });
        mnuAPAInterval.push_back(action);
    }
    // The last column of the APA table of a run with coefficients.
    QMenu* mnuCoefficientColumn = mnuAnalyses->addMenu(QStringLiteral("APA &Coefficient Column"));
    auto* coefficientColumns = new QActionGroup(this);
    for (const ApaCoefficientColumnRow& row : apaCoefficientColumnRows()) {
        QAction* action = mnuCoefficientColumn->addAction(QString::fromUtf8(row.menuCaption));
        action->setObjectName(QStringLiteral("mnuAPACoefficientColumn_") + QString::fromLatin1(row.word));
        action->setCheckable(true);
        action->setChecked(apaCoefficientColumnSetting() == row.column);
        coefficientColumns->addAction(action);
        connect(action, &QAction::triggered, this, [column = row.column] { setApaCoefficientColumnSetting(column); });
        mnuAPACoefficientColumn.push_back(action);
    }
    // The robust F test beside the bootstrap, and whether the modified limit follows it.
    QMenu* mnuRobustTest = mnuAnalyses->addMenu(QStringLiteral("&Robust F Test"));
    auto* covariances = new QActionGroup(this);
    const std::array<std::pair<RobustCovariance, const char*>, 2> covarianceCaptions = {
        {{RobustCovariance::HC3, "HC&3"}, {RobustCovariance::HC4, "HC&4"}}};
    for (std::size_t k = 0; k < covarianceCaptions.size(); ++k) {
        const RobustCovariance covariance = covarianceCaptions[k].first;
        QAction* action = mnuRobustTest->addAction(QString::fromLatin1(covarianceCaptions[k].second));
        action->setObjectName(QStringLiteral("mnuRobust_") + QString::fromLatin1(robustCovarianceName(covariance)));
        action->setCheckable(true);
        action->setChecked(effectSizeSetting().covariance == covariance);
        covariances->addAction(action);
        connect(action, &QAction::triggered, this, [covariance] {
            EffectSizeRequest setting = effectSizeSetting();
            setting.covariance = covariance;
            setEffectSizeSetting(setting);
        });
        mnuRobust[k] = action;
    }
    mnuRobustTest->addSeparator();
    mnuModifiedFollowsRobust =
        named(mnuRobustTest->addAction(QStringLiteral("&Modified Limit Follows the Robust Test")),
              "mnuModifiedFollowsRobust");
    mnuModifiedFollowsRobust->setCheckable(true);
    mnuModifiedFollowsRobust->setChecked(effectSizeSetting().modifiedFollowsRobust);
    connect(mnuModifiedFollowsRobust, &QAction::toggled, this, [](bool on) {
        EffectSizeRequest setting = effectSizeSetting();
        setting.modifiedFollowsRobust = on;
        setEffectSizeSetting(setting);
    });
    // Until a run has finished there is nothing to show or copy.
    mnuBootstrapDistribution->setEnabled(false);
    mnuCopyAPA->setEnabled(false);
    mnuCopyAPAMarkdown->setEnabled(false);
    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuUserGuide = named(mnuHelp->addAction(QStringLiteral("&User Guide"), this, &frmMain::mnuUserGuide_Click),
                         "mnuUserGuide", QKeySequence::HelpContents);
    mnuAbout = named(mnuHelp->addAction(QStringLiteral("&About Orvalis"), this, &frmMain::mnuAbout_Click), "mnuAbout");

    // F10 opens the first menu, as on other desktops.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        menuBar()->setFocus(Qt::ShortcutFocusReason);
        menuBar()->setActiveAction(menuBar()->actions().value(0));
    });
}

QString frmMain::userGuidePath()
{
    // Installed beside the program (any prefix), where the build installs it,
    // or in the build tree.
    const QStringList places = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/orvalis/guide.html"),
        QStringLiteral(ORVALIS_GUIDE_INSTALLED),
        QStringLiteral(ORVALIS_GUIDE_BUILT),
    };
    for (const QString& place : places) {
        if (QFileInfo(place).isFile()) {
            return QFileInfo(place).canonicalFilePath();
        }
    }
    return {};
}

void frmMain::mnuUserGuide_Click()
{
    trap([&] {
        const QString guide = userGuidePath();
        if (guide.isEmpty()) {
            m_platform.warn(this,
                            QStringLiteral("The user guide is not installed (looked for %1).")
                                .arg(QStringLiteral(ORVALIS_GUIDE_INSTALLED)),
                            QStringLiteral("User Guide"));
        } else {
            // The program's own window: a desktop without a web browser (or
            // whose opener reports success and shows nothing) still shows it.
            if (m_frmUserGuide.isNull()) {
                m_frmUserGuide = new frmUserGuide(guide, this);
            }
            m_frmUserGuide->show();
            m_frmUserGuide->raise();
            m_frmUserGuide->activateWindow();
        }
    });
}

void frmMain::mnuAbout_Click()
{
    QString text = QStringLiteral("Orvalis %1\n\n%2\n\nBuilt with:\n")
                       .arg(QString::fromUtf8(programVersion()), QString::fromUtf8(programLicence()));
    std::vector<LibraryVersion> libraries = coreLibraries();
    libraries.insert(libraries.begin(), {"Qt", qVersion()});
    for (const LibraryVersion& library : libraries) {
        const std::string line = library.version.empty() ? library.name : library.name + " " + library.version;
        text += QStringLiteral("    %1\n").arg(QString::fromStdString(line));
    }
    const QString guide = userGuidePath();
    text += QStringLiteral("\nUser guide: %1").arg(guide.isEmpty() ? QStringLiteral("not installed") : guide);
    m_platform.informationBox(this, text.trimmed(), QStringLiteral("About Orvalis"));
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

frmMain::Layout frmMain::layoutFor(int windowWidth, int windowHeight)
{
    Layout layout;
    layout.windowHeight = std::max(windowHeight, 7000);
    const int selectLeft = 100;
    const int selectTop = 100;
    const int selectWidth = std::max(windowWidth - selectLeft - 200, 9000);
    const int selectHeight = 2220;
    layout.fraSelectData = QRect(selectLeft, selectTop, selectWidth, selectHeight);
    const int outputTop = selectHeight + selectTop + 100;
    const int outputHeight = layout.windowHeight - outputTop - 1200;
    layout.fraOutput = QRect(selectLeft, outputTop, selectWidth, outputHeight);
    const int textLeft = selectLeft + 100;
    const int textTop = 300;
    layout.txtOutput = QRect(textLeft, textTop, selectWidth - textLeft - 200, outputHeight - textTop);
    return layout;
}

void frmMain::Form_Resize()
{
    if (isMinimized()) {
        return;
    }
    // Window width and height are the outer size, frame and menu bar included.
    const QRect outer = frameGeometry();
    const int windowHeight = toTwips(outer.height());
    if (windowHeight < 7000) {
        // Snap back to the least height; the resize this causes lays out again.
        const int leastOuter = (7000 + TwipsPerPixel - 1) / TwipsPerPixel;
        resize(width(), height() + leastOuter - outer.height());
        return;
    }
    const Layout layout = layoutFor(toTwips(outer.width()), windowHeight);
    auto place = [](QWidget* widget, const QRect& r) {
        widget->setGeometry(twips(r.x(), r.y(), r.width(), r.height()));
    };
    place(fraSelectData, layout.fraSelectData);
    place(fraOutput, layout.fraOutput);
    place(txtOutput, layout.txtOutput);
}

void frmMain::setTabOrder()
{
    // The focus order of the design; frames and labels take no focus.
    setTabChain({dirDirectory, filFile, drvDrive, cmdImportData, txtOutput, optSpace, optComma, optTab, optSemicolon,
                 optDetect, cmbFileType});
    // Tab leaves the log instead of typing a tab character into it.
    txtOutput->setTabChangesFocus(true);
}

bool frmMain::focusOnLog() const
{
    // The main window holds no text box but the log.
    return focusWidget() == txtOutput;
}

namespace {

// The file read and imported on a worker thread: what the window's trap
// caught when it read on its own thread comes back as a failure too.
ImportOutcome readDataFile(const std::string& path, Delimiter delimiter, const ImportOptions& options,
                           const FormatOptions& formats)
{
    ImportFailure failure;
    failure.kind = ImportFailure::Kind::FileError;
    failure.title = ImportErrorTitle;
    try {
        return importAnyFile(path, delimiter, options, formats);
    } catch (const RuntimeError& error) {
        failure.message = error.what();
    } catch (const std::bad_alloc&) {
        failure.kind = ImportFailure::Kind::OutOfMemory;
        failure.message = "There is not enough memory to finish this command.";
    }
    return failure;
}

} // namespace

void frmMain::cmdImportData_Click()
{
    trap(
        [&] {
            if (m_import != nullptr) {
                return; // one import at a time: Enter on a file while one reads does nothing
            }
            if (m_strFileName.isEmpty()) {
                m_platform.warn(this, QStringLiteral("A data file has not been selected."), DataEditorTitle);
                return;
            }
            auto run = std::make_shared<ImportRun>();
            run->fileName = m_strFileName;
            for (const auto& [option, delimiter] : delimiterOptions()) {
                if (option->isChecked()) {
                    run->delimiter = delimiter;
                }
            }
            // A workbook of several sheets asks which one: the reading asks
            // on its thread, the window shows the chooser on its own.
            FormatOptions formats;
            formats.chooseSheet = [run, window = this](const std::vector<std::string>& sheets) {
                std::future<std::optional<std::string>> answer;
                {
                    const std::lock_guard<std::mutex> held(run->lock);
                    if (run->abandoned) {
                        return std::optional<std::string>();
                    }
                    run->question.emplace();
                    answer = run->question->get_future();
                    // Posted under the lock: a window being destroyed abandons
                    // the run first, under the same lock, so it is still there.
                    QMetaObject::invokeMethod(
                        window, [window, run, sheets] { window->answerSheetQuestion(*run, sheets); },
                        Qt::QueuedConnection);
                }
                return answer.get();
            };
            const std::string path = QFile::encodeName(run->fileName).toStdString();
            const Delimiter delimiter = run->delimiter;
            auto watcher = std::make_unique<QFutureWatcher<ImportOutcome>>(this);
            connect(watcher.get(), &QFutureWatcherBase::finished, this,
                    [this, watched = watcher.get(), run] { importEnded(watched, run); });
            // Started first: should starting fail, the window is left as it was.
            ImportOptions options = m_importOptions;
            options.stop = run->stop.get_token();
            watcher->setFuture(QtConcurrent::run([path, delimiter, options, formats] {
                return readDataFile(path, delimiter, options, formats);
            }));
            m_importWatcher = watcher.release();
            m_import = std::move(run);
            showImporting(true);
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), DataEditorTitle); });
}

void frmMain::answerSheetQuestion(ImportRun& run, const std::vector<std::string>& sheets)
{
    std::optional<std::promise<std::optional<std::string>>> asked;
    {
        const std::lock_guard<std::mutex> held(run.lock);
        if (!run.question) {
            return; // abandoned meanwhile, and answered then
        }
        asked = std::move(run.question);
        run.question.reset();
    }
    std::optional<std::string> answer;
    trap([&] {
        QStringList items;
        for (const std::string& sheet : sheets) {
            items << QString::fromStdString(sheet);
        }
        const QString chosen =
            m_platform.chooseItem(this, QStringLiteral("Choose a Sheet"), QStringLiteral("Sheet to import:"), items);
        run.chosenSheet = chosen.toStdString();
        if (!chosen.isEmpty()) {
            answer = run.chosenSheet;
        }
    });
    // Always answered, so that the reading never waits for ever.
    asked->set_value(std::move(answer));
}

void frmMain::cmdCancelImport_Click()
{
    trap([&] {
        if (m_import == nullptr) {
            return;
        }
        // The reading is asked to stop (a large file read in blocks, or a
        // workbook, stops at its next block); what it gives is dropped with
        // its watcher.
        m_import->abandon();
        m_import.reset();
        delete m_importWatcher.data();
        showImporting(false);
    });
    emit importFinished();
}

void frmMain::showImporting(bool on)
{
    if (on) {
        lblImporting->setText(
            QStringLiteral("Importing %1...").arg(oneLine(QFileInfo(m_import->fileName).fileName())));
        statusBar()->show();
    }
    const bool cancelHadFocus = cmdCancelImport->hasFocus();
    const bool importHadFocus = cmdImportData->hasFocus();
    cmdImportData->setEnabled(!on);
    cmdCancelImport->setEnabled(on);
    // What reads or replaces the data, or the log, waits for the import.
    for (QAction* command :
         {mnuOpenOutput, mnuNavigateDataFile, mnuDescriptives, mnuESBootstrap, mnuHierarchical, mnuDominance}) {
        command->setEnabled(!on);
    }
    for (QAction* command : {mnuBootstrapDistribution, mnuCopyAPA, mnuCopyAPAMarkdown}) {
        command->setEnabled(!on && m_lastRun.has_value());
    }
    if (on) {
        setCursor(Qt::BusyCursor);
        if (importHadFocus) {
            cmdCancelImport->setFocus();
        }
    } else {
        unsetCursor();
        statusBar()->hide();
        if (cancelHadFocus) {
            cmdImportData->setFocus();
        }
    }
}

void frmMain::importEnded(QFutureWatcher<ImportOutcome>* watcher, const std::shared_ptr<ImportRun>& run)
{
    watcher->deleteLater();
    if (run != m_import) {
        return; // cancelled: the data and the log stay as they were
    }
    m_import.reset();
    showImporting(false);
    trap(
        [&] {
            if (watcher->future().resultCount() == 0) {
                m_platform.warn(this, QStringLiteral("There is not enough memory to finish this command."),
                                DataEditorTitle);
                return;
            }
            ImportOutcome outcome = watcher->future().takeResult();
            if (!outcome.ok() && outcome.refusal().kind == ImportFailure::Kind::Cancelled) {
                return; // the user said no: nothing changes, nothing to warn of
            }
            if (!outcome.ok()) {
                // Another delimiter that reads the file: choose its option button.
                Refusal refusal = outcome.refusal();
                refusal.message = withDelimiterAdvice(outcome.refusal(), [&](const DelimiterInfo& likely) {
                    for (const auto& [option, delimiter] : delimiterOptions()) {
                        if (delimiter == likely.id) {
                            return "choose " + option->text().toStdString();
                        }
                    }
                    return std::string("choose another delimiter");
                });
                m_platform.warn(this, refusal);
                return;
            }
            const Delimiter chosen = run->delimiter;
            m_dataSet = std::move(*outcome);
            m_strImportedFile = run->fileName;
            m_importedDelimiter =
                m_dataSet.fileKind().empty() ? std::optional<std::string>(delimiterInfo(chosen).word) : std::nullopt;
            m_importedSheet = run->chosenSheet;
            QSettings().setValue(SettingsKeys::ImportDelimiter, QString::fromUtf8(delimiterInfo(chosen).word));
            // The last run belongs to the old data.
            m_lastRun.reset();
            mnuBootstrapDistribution->setEnabled(false);
            mnuCopyAPA->setEnabled(false);
            mnuCopyAPAMarkdown->setEnabled(false);
            lblCurrentFile->setText(oneLine(QFileInfo(run->fileName).fileName()));
            m_outputLog.append(QString::fromStdString(FormatImportSummary(run->fileName.toStdString(), m_dataSet)));
            discardAnalysisDialogs();
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), DataEditorTitle); });
    emit importFinished();
}

std::array<std::pair<QRadioButton*, Delimiter>, 5> frmMain::delimiterOptions() const
{
    // Each delimiter of the table has its option button.
    return {{{optSpace, Delimiter::Space},
             {optComma, Delimiter::Comma},
             {optTab, Delimiter::Tab},
             {optSemicolon, Delimiter::Semicolon},
             {optDetect, Delimiter::Detect}}};
}

void frmMain::cmbFileType_Click(int index)
{
    trap([&] {
        if (index >= 0 && static_cast<std::size_t>(index) < std::size(FileTypes)) {
            filFile->setPattern(QString::fromUtf8(FileTypes[index].pattern));
        }
    });
}

void frmMain::drvDrive_Change(int index)
{
    trap([&] { drvDrive->openDrive(index, dirDirectory); });
}

void frmMain::dirDirectory_Change(const QString& path)
{
    trap([&] {
        filFile->setPath(path);
        QSettings().setValue(SettingsKeys::PickerDirectory, path);
    });
}

void frmMain::selectDataFile(const QString& path)
{
    m_pendingFile = path;
    if (m_loaded) {
        selectPendingFile();
    }
}

void frmMain::selectPendingFile()
{
    const QFileInfo file(m_pendingFile);
    m_pendingFile.clear();
    if (!file.isFile()) {
        m_platform.warn(this, QStringLiteral("The file %1 was not found.").arg(oneLine(file.filePath())),
                        DataEditorTitle);
        return;
    }
    // The first file type that lists the file (all files at the last).
    int type = 0;
    while (type + 1 < static_cast<int>(std::size(FileTypes))
           && !QDir::match(QString::fromUtf8(FileTypes[type].pattern).split(QLatin1Char(' ')), file.fileName())) {
        ++type;
    }
    if (type != 0) {
        cmbFileType->setCurrentIndex(type);
        cmbFileType_Click(type);
    }
    dirDirectory->setPath(file.absolutePath());
    drvDrive->showDriveOf(dirDirectory->path());
    const auto found = filFile->findItems(file.fileName(), Qt::MatchExactly);
    if (!found.isEmpty()) {
        filFile->setCurrentItem(found.front());
    }
    filFile_Click(file.fileName());
}

void frmMain::filFile_Click(const QString& name)
{
    trap([&] {
        // The directory, the separator and the name; a root directory gives
        // two separators in a row, which the file system accepts.
        m_strFileName = filFile->path() + QLatin1Char('/') + name;
        lblSelectedFile->setText(oneLine(name));
    });
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The text box would read Qt's clipboard itself; the program's paste reads
    // it through the platform, as the Edit menu does.
    if (watched == txtOutput && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        mnuPaste_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::mnuCut_Click()
{
    trap([&] { m_outputLog.cut(m_platform, focusOnLog()); });
}

void frmMain::mnuCopy_Click()
{
    trap([&] { m_outputLog.copy(m_platform, focusOnLog()); });
}

void frmMain::mnuPaste_Click()
{
    trap([&] { m_outputLog.paste(m_platform, focusOnLog()); });
}

void frmMain::mnuClearOutput_Click()
{
    trap([&] { m_outputLog.clear(); });
}

void frmMain::discardAnalysisDialogs()
{
    for (const QPointer<QDialog>& dialog : m_dataDialogs) {
        delete dialog.data();
    }
    m_dataDialogs.clear();
}

template <typename Dialog, typename Make, typename AfterExec>
void frmMain::showDialog(QPointer<Dialog>& slot, Make&& make, AfterExec&& afterExec)
{
    trap([&] {
        if (slot.isNull()) {
            slot = make();
        }
        slot->exec();
        if (slot != nullptr) {
            afterExec(*slot);
            if (slot->discarded()) {
                delete slot.data();
            }
        }
    });
}

template <typename Dialog, typename Make, typename AfterExec>
void frmMain::showDataDialog(QPointer<Dialog>& slot, Make&& make, AfterExec&& afterExec)
{
    showDialog(
        slot,
        [&] {
            Dialog* dialog = make();
            std::erase_if(m_dataDialogs, [](const QPointer<QDialog>& kept) { return kept.isNull(); });
            m_dataDialogs.emplace_back(dialog);
            return dialog;
        },
        afterExec);
}

void frmMain::mnuNavigateDataFile_Click()
{
    trap([&] {
        // Loading fails, and nothing is shown, when the table has no row 1.
        frmNavigate navigator(m_dataSet, this);
        navigator.exec();
    });
}

void frmMain::mnuDescriptives_Click()
{
    showDataDialog(
        m_frmDescriptives, [&] { return new frmDescriptives(m_platform, m_dataSet, m_outputLog, this); },
        [](frmDescriptives&) {});
}

void frmMain::mnuESBootstrap_Click()
{
    showDataDialog(
        m_frmESBootstrap,
        [&] {
            auto* dialog = new frmESBootstrap(m_platform, m_dataSet, m_outputLog, this);
            dialog->setDataFileName(m_strImportedFile, m_importedDelimiter, m_importedSheet);
            connect(dialog, &frmESBootstrap::runSucceeded, this, [this](const BootstrapResult& result) {
                m_lastRun = result;
                mnuBootstrapDistribution->setEnabled(true);
                mnuCopyAPA->setEnabled(true);
                mnuCopyAPAMarkdown->setEnabled(true);
            });
            return dialog;
        },
        [](frmESBootstrap&) {});
}

void frmMain::mnuHierarchical_Click()
{
    showDataDialog(
        m_frmHierarchical,
        [&] {
            auto* dialog = new frmHierarchical(m_platform, m_dataSet, m_outputLog, this);
            dialog->setDataFileName(m_strImportedFile);
            return dialog;
        },
        [](frmHierarchical&) {});
}

void frmMain::mnuDominance_Click()
{
    showDataDialog(
        m_frmDominance,
        [&] {
            auto* dialog = new frmDominance(m_platform, m_dataSet, m_outputLog, this);
            dialog->setDataFileName(m_strImportedFile);
            return dialog;
        },
        [](frmDominance&) {});
}

void frmMain::mnuPlan_Click()
{
    // Planning needs no data; the dialog keeps its inputs from one opening to the next.
    showDialog(
        m_frmPlan, [&] { return new frmPlan(m_platform, m_outputLog, this); }, [](frmPlan&) {});
}

void frmMain::mnuBootstrapDistribution_Click()
{
    trap([&] { frmDistribution::showFor(m_platform, m_lastRun, this, m_strImportedFile); });
}

void frmMain::mnuCopyAPA_Click(bool markdown)
{
    trap([&] { copyApaResults(m_platform, this, m_lastRun, markdown); });
}

void frmMain::mnuOpenOutput_Click()
{
    // Opening replaces the log: results not yet in a file are offered a save first.
    bool proceed = false;
    trap([&] {
        if (!m_outputLog.hasUnsavedResults()) {
            proceed = true;
            return;
        }
        switch (m_platform.messageBox(this, QStringLiteral("The output has unsaved results. Save them first?"),
                                      QStringLiteral("Open Output"), Platform::Buttons::YesNoCancel)) {
        case Platform::Answer::Yes:
            proceed = saveOutput();
            break;
        case Platform::Answer::No:
            proceed = true;
            break;
        default:
            break;
        }
    });
    if (!proceed) {
        return;
    }
    showDialog(
        m_frmOpenOutput, [&] { return new frmOpenOutput(m_platform, m_outputLog, this); }, [](frmOpenOutput&) {});
}

bool frmMain::saveOutput()
{
    if (m_frmSaveOutput != nullptr) {
        m_frmSaveOutput->resetFileWritten();
        m_frmSaveOutput->setDataFileName(m_strImportedFile);
    }
    bool written = false;
    showDialog(
        m_frmSaveOutput,
        [&] {
            auto* dialog = new frmSaveOutput(m_platform, m_outputLog, this);
            dialog->setDataFileName(m_strImportedFile);
            return dialog;
        },
        [&](frmSaveOutput& dialog) { written = dialog.fileWritten(); });
    return written;
}

void frmMain::mnuSaveOutput_Click()
{
    saveOutput();
}

void frmMain::exitDialogue()
{
    const QString product = QStringLiteral("Orvalis");
    if (m_platform.messageBox(this, QStringLiteral("Do you want to exit Orvalis?"), product,
                              Platform::Buttons::YesNoCancel)
        != Platform::Answer::Yes) {
        return;
    }
    switch (m_platform.messageBox(this, QStringLiteral("Do you want to save the contents of the output?"),
                                  QStringLiteral("Save Output"), Platform::Buttons::YesNoCancel)) {
    case Platform::Answer::Yes:
        // Leave only once the log is safely in a file.
        if (!saveOutput()) {
            return;
        }
        break;
    case Platform::Answer::No:
        break;
    default:
        return;
    }
    m_lngUnloadProgram = 1;
}

void frmMain::mnuExit_Click()
{
    trap([&] {
        exitDialogue();
        if (m_lngUnloadProgram == 1) {
            close();
        }
    });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (m_lngUnloadProgram != 1) {
        trap([&] { exitDialogue(); });
    }
    if (m_lngUnloadProgram == 1) {
        // Leaving: an import still reading is dropped.
        if (m_import != nullptr) {
            cmdCancelImport_Click();
        }
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace orvalis
