// frmMain: controls at their design positions, the picker coupling, the import and the Edit commands.
#include "ui/frmMain.h"

#include "data/DataImport.h"
#include "platform/Platform.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/Trap.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace orvalis {
namespace {

const QString DataEditorTitle = QStringLiteral("Data Editor");

// Makes a label look like a single-bordered box with the given background role.
void styleBoxLabel(QLabel* label, QPalette::ColorRole background)
{
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(background));
    if (background == QPalette::Highlight) {
        palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    }
    label->setPalette(palette);
}

// The design's 8.25-point dialog font, in the desktop's own family.
QFont designFont(bool bold)
{
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    font.setBold(bold); // set either way, so children of bold frames stay regular
    return font;
}

QFont boldFont()
{
    return designFont(true);
}

// Until the analysis dialogs land, their menu items open this window.
QDialog* makePlaceholder(QWidget* parent, const QString& caption)
{
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(caption);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("%1 is not available in this version yet.").arg(caption), dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::hide);
    layout->addWidget(buttons);
    return dialog;
}

} // namespace

frmMain::frmMain(Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_outputLog(nullptr)
{
    setObjectName("frmMain");
    setWindowTitle(QStringLiteral("Orvalis"));
    buildControls();
    buildMenus();
    m_outputLog = OutputLog(txtOutput);

    filFile->setPattern(QStringLiteral("*.txt"));
    cmbFileType->addItem(QStringLiteral("Text (*.txt)"));
    cmbFileType->addItem(QStringLiteral("Data (*.dat)"));
    cmbFileType->setCurrentIndex(0);
    fillDrives();
    dirDirectory->setPath(QDir::currentPath());
    filFile->setPath(dirDirectory->path());

    resize(twips(11880), twips(8610));
    layoutControls();
}

frmMain::~frmMain() = default;

void frmMain::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    setFont(designFont(false));

    fraSelectData = new QGroupBox(QStringLiteral("Select Data"), central);
    fraSelectData->setObjectName("fraSelectData");
    fraSelectData->setFont(boldFont());
    fraSelectData->setGeometry(twips(120, 0, 10695, 2295));

    // Children of the bold frames keep the regular font.
    const QFont plain = designFont(false);

    dirDirectory = new DirectoryList(fraSelectData);
    dirDirectory->setObjectName("dirDirectory");
    dirDirectory->setFont(plain);
    dirDirectory->setGeometry(twips(2280, 840, 2415, 1215));
    dirDirectory->setToolTip(QStringLiteral("Specify directory of file"));

    filFile = new FileList(fraSelectData);
    filFile->setObjectName("filFile");
    filFile->setFont(plain);
    filFile->setGeometry(twips(4920, 840, 2295, 1065));
    filFile->setToolTip(QStringLiteral("Specify file"));

    drvDrive = new QComboBox(fraSelectData);
    drvDrive->setObjectName("drvDrive");
    drvDrive->setFont(plain);
    drvDrive->setGeometry(twips(2280, 480, 2415, 315));
    drvDrive->setToolTip(QStringLiteral("Specify drive of file"));

    lblSelectedFile = new QLabel(fraSelectData);
    lblSelectedFile->setObjectName("lblSelectedFile");
    lblSelectedFile->setFont(plain);
    lblSelectedFile->setGeometry(twips(7440, 600, 2055, 255));
    lblSelectedFile->setToolTip(QStringLiteral("The file selected for import"));
    styleBoxLabel(lblSelectedFile, QPalette::BrightText);

    cmdImportData = new QPushButton(QStringLiteral("Import Selected Data File"), fraSelectData);
    cmdImportData->setObjectName("cmdImportData");
    cmdImportData->setFont(plain);
    cmdImportData->setGeometry(twips(7440, 1560, 2055, 495));
    cmdImportData->setToolTip(QStringLiteral("Click to import selected file"));

    lblSelectedFileLabel = new QLabel(QStringLiteral("Selected File:"), fraSelectData);
    lblSelectedFileLabel->setObjectName("lblSelectedFileLabel");
    lblSelectedFileLabel->setFont(plain);
    lblSelectedFileLabel->setGeometry(twips(7440, 360, 1332, 240));

    fraTypeOfDelimiter = new QGroupBox(QStringLiteral("Type of Delimiter"), fraSelectData);
    fraTypeOfDelimiter->setObjectName("fraTypeOfDelimiter");
    fraTypeOfDelimiter->setFont(plain);
    fraTypeOfDelimiter->setGeometry(twips(240, 360, 1815, 1695));
    fraTypeOfDelimiter->setToolTip(QStringLiteral("Specify the delimiter used"));

    optSpace = new QRadioButton(QStringLiteral("Space Delimited"), fraTypeOfDelimiter);
    optSpace->setObjectName("optSpace");
    optSpace->setGeometry(twips(120, 240, 1455, 255));
    optSpace->setChecked(true);
    optComma = new QRadioButton(QStringLiteral("Comma Delimited"), fraTypeOfDelimiter);
    optComma->setObjectName("optComma");
    optComma->setGeometry(twips(120, 720, 1575, 255));
    optTab = new QRadioButton(QStringLiteral("Tab Delimited"), fraTypeOfDelimiter);
    optTab->setObjectName("optTab");
    optTab->setGeometry(twips(120, 1200, 1335, 255));

    lblCurrentFileLabel = new QLabel(QStringLiteral("File Currently in Processor:"), fraSelectData);
    lblCurrentFileLabel->setObjectName("lblCurrentFileLabel");
    lblCurrentFileLabel->setFont(plain);
    lblCurrentFileLabel->setGeometry(twips(7440, 960, 2055, 255));

    lblCurrentFile = new QLabel(fraSelectData);
    lblCurrentFile->setObjectName("lblCurrentFile");
    lblCurrentFile->setFont(plain);
    lblCurrentFile->setGeometry(twips(7440, 1200, 2055, 255));
    lblCurrentFile->setToolTip(QStringLiteral("File currently contained in Orvalis processor"));
    styleBoxLabel(lblCurrentFile, QPalette::Highlight);

    cmbFileType = new QComboBox(fraSelectData);
    cmbFileType->setObjectName("cmbFileType");
    cmbFileType->setFont(plain);
    cmbFileType->setEditable(true);
    cmbFileType->setInsertPolicy(QComboBox::NoInsert);
    cmbFileType->setGeometry(twips(4920, 480, 2295, 315));
    cmbFileType->setToolTip(QStringLiteral("Specify file extension (*.txt or *.dat)"));
    cmbFileType->setEditText(QStringLiteral("File type"));

    fraOutput = new QGroupBox(QStringLiteral("Output"), central);
    fraOutput->setObjectName("fraOutput");
    fraOutput->setFont(boldFont());
    fraOutput->setGeometry(twips(120, 4320, 9375, 3735));

    txtOutput = OutputLog::createTextBox(fraOutput);
    txtOutput->setGeometry(twips(480, 720, 7095, 2295));

    connect(cmdImportData, &QPushButton::clicked, this, &frmMain::cmdImportData_Click);
    connect(cmbFileType, qOverload<int>(&QComboBox::activated), this, &frmMain::cmbFileType_Click);
    connect(drvDrive, qOverload<int>(&QComboBox::activated), this, &frmMain::drvDrive_Change);
    connect(dirDirectory, &DirectoryList::pathChanged, this, &frmMain::dirDirectory_Change);
    connect(filFile, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { filFile_Click(item->text()); });
    connect(filFile, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { filFile_Click(item->text()); });
}

void frmMain::buildMenus()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    mnuOpenOutput = mnuFile->addAction(QStringLiteral("Open Output"), this, &frmMain::mnuOpenOutput_Click);
    mnuSaveOutput = mnuFile->addAction(QStringLiteral("Save Output"), this, &frmMain::mnuSaveOutput_Click);
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"), this, &frmMain::mnuExit_Click);
    QMenu* mnuEdit = menuBar()->addMenu(QStringLiteral("Edit"));
    mnuCut = mnuEdit->addAction(QStringLiteral("Cut"), this, &frmMain::mnuCut_Click);
    mnuCopy = mnuEdit->addAction(QStringLiteral("Copy"), this, &frmMain::mnuCopy_Click);
    mnuPaste = mnuEdit->addAction(QStringLiteral("Paste"), this, &frmMain::mnuPaste_Click);
    mnuClearOutput = mnuEdit->addAction(QStringLiteral("Clear Output"), this, &frmMain::mnuClearOutput_Click);
    QMenu* mnuData = menuBar()->addMenu(QStringLiteral("Data"));
    mnuNavigateDataFile =
        mnuData->addAction(QStringLiteral("Navigate Data File"), this, &frmMain::mnuNavigateDataFile_Click);
    QMenu* mnuAnalyses = menuBar()->addMenu(QStringLiteral("Analyses"));
    mnuDescriptives = mnuAnalyses->addAction(QStringLiteral("Descriptives"), this, &frmMain::mnuDescriptives_Click);
    mnuESBootstrap =
        mnuAnalyses->addAction(QStringLiteral("Effect Size Bootstrap"), this, &frmMain::mnuESBootstrap_Click);
}

void frmMain::fillDrives()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) {
            roots << volume.rootPath();
        }
    }
    roots.sort();
    drvDrive->clear();
    drvDrive->addItems(roots);
    drvDrive->setCurrentText(QStorageInfo(QDir::currentPath()).rootPath());
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!isMinimized()) {
        layoutControls();
    }
}

void frmMain::layoutControls()
{
    // The frames follow the window; twips keep the design's arithmetic.
    const int windowWidth = toTwips(width());
    const int windowHeight = toTwips(height());
    int selectWidth = std::max(windowWidth - 100 - 200, 9000);
    fraSelectData->setGeometry(twips(100, 100, selectWidth, 2220));
    const int outputTop = 2220 + 100 + 100;
    const int outputHeight = std::max(windowHeight - outputTop - 1200, 600);
    fraOutput->setGeometry(twips(100, outputTop, selectWidth, outputHeight));
    const int textLeft = 200;
    txtOutput->setGeometry(twips(textLeft, 300, selectWidth - textLeft - 200, outputHeight - 300));
}

bool frmMain::focusOnLog() const
{
    // The main window holds no text box but the log.
    return focusWidget() == txtOutput;
}

void frmMain::cmdImportData_Click()
{
    trap([&] {
        if (m_strFileName.isEmpty()) {
            m_platform.warn(this, QStringLiteral("A data file has not been selected."), DataEditorTitle);
            return;
        }
        const char delimiter = optSpace->isChecked() ? ' ' : optComma->isChecked() ? ',' : '\t';
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ImportOutcome outcome = ImportDataFile(QFile::encodeName(m_strFileName).toStdString(), delimiter);
        QApplication::restoreOverrideCursor();
        if (!outcome.ok()) {
            m_platform.warn(this, QString::fromUtf8(outcome.failure.message), DataEditorTitle);
            return;
        }
        m_dataSet = std::move(*outcome.dataSet);
        lblCurrentFile->setText(QFileInfo(m_strFileName).fileName());
        m_outputLog.append(QString::fromStdString(FormatImportSummary(m_strFileName.toStdString(), m_dataSet)));
        discardAnalysisDialogs();
    }, [&](const char* reason) {
        QApplication::restoreOverrideCursor();
        m_platform.warn(this, QString::fromUtf8(reason), DataEditorTitle);
    });
}

void frmMain::cmbFileType_Click(int index)
{
    trap([&] {
        if (index == 0) {
            filFile->setPattern(QStringLiteral("*.txt"));
        } else if (index == 1) {
            filFile->setPattern(QStringLiteral("*.dat"));
        }
    });
}

void frmMain::drvDrive_Change(int index)
{
    trap([&] {
        if (!dirDirectory->setPath(drvDrive->itemText(index))) {
            // A drive that fails puts the drive list back.
            drvDrive->setCurrentText(QStorageInfo(dirDirectory->path()).rootPath());
        }
    });
}

void frmMain::dirDirectory_Change(const QString& path)
{
    trap([&] { filFile->setPath(path); });
}

void frmMain::filFile_Click(const QString& name)
{
    trap([&] {
        // The directory, the separator and the name; a root directory gives
        // two separators in a row, which the file system accepts.
        m_strFileName = filFile->path() + QLatin1Char('/') + name;
        lblSelectedFile->setText(name);
    });
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
    delete m_frmDescriptives.data();
    delete m_frmESBootstrap.data();
}

void frmMain::showDialog(QPointer<QDialog>& slot, const DialogFactory& factory, const QString& caption)
{
    trap([&] {
        if (slot.isNull()) {
            slot = factory ? factory(*this) : makePlaceholder(this, caption);
        }
        slot->setModal(true);
        slot->exec();
    });
}

void frmMain::mnuNavigateDataFile_Click()
{
    QPointer<QDialog> navigator;
    showDialog(navigator, {}, QStringLiteral("Navigate Data File"));
    delete navigator.data();
}

void frmMain::mnuDescriptives_Click()
{
    showDialog(m_frmDescriptives, m_descriptivesFactory, QStringLiteral("Descriptives"));
}

void frmMain::mnuESBootstrap_Click()
{
    showDialog(m_frmESBootstrap, m_esBootstrapFactory, QStringLiteral("Effect Size Bootstrap"));
}

void frmMain::mnuOpenOutput_Click()
{
    m_platform.warn(this, QStringLiteral("Open Output is not available in this version yet."),
                    QStringLiteral("Open Output"));
}

void frmMain::mnuSaveOutput_Click()
{
    m_platform.warn(this, QStringLiteral("Save Output is not available in this version yet."),
                    QStringLiteral("Save Output"));
}

void frmMain::mnuExit_Click()
{
    close();
}

} // namespace orvalis
