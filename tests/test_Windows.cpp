// The desktop windows driven through their controls: start-up, layout, picker, output files, exit, navigator.
#include "FakePlatform.h"
#include "MainWindowControls.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "data/DataImport.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/OutputFiles.h"
#include "ui/frmMain.h"
#include "ui/ElidedLabel.h"
#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/Hierarchical.h"
#include "analyses/RequestCheck.h"
#include "cli/CliApp.h"
#include "ui/DistributionPlot.h"
#include "ui/frmDistribution.h"
#include "ui/frmHierarchical.h"
#include "ui/frmDescriptives.h"
#include "ui/frmESBootstrap.h"
#include "ui/frmNavigate.h"
#include "ui/frmOpenOutput.h"
#include "ui/frmPowerCurve.h"
#include "ui/frmModerationFigure.h"
#include "ui/frmDominance.h"
#include "ui/frmDominanceFigure.h"
#include "analyses/Dominance.h"
#include "ui/SettingsKeys.h"
#include "ui/frmSaveOutput.h"
#include "ui/frmSplash.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QRegularExpression>
#include <QProcess>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <array>
#include <set>
#include <memory>
#include <sstream>
#include <string>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalis {
namespace {

using test::control;
using test::ui;

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("(missing)");
    }
    return file.readAll();
}

// Runs action once the next modal dialog's event loop is running.
void whenModal(std::function<void()> action)
{
    QTimer::singleShot(0, std::move(action));
}

// Clicks Open and waits until the file is in the log or refused.
bool clickOpen(frmOpenOutput* dialog)
{
    return test::pressAndWait(dialog->cmdOpen, dialog, &frmOpenOutput::openFinished,
                              [dialog] { dialog->cmdOpen->click(); });
}

// Opens "Save Output" in window, goes to directory, gives the name (typed, or
// clicked in the file list), runs beforeSave, presses Save, and then Cancel if
// the dialog is still open. Returns whether Save left it open.
bool saveInDialog(frmMain& window, const QString& directory, const QString& name, bool clickInList = false,
                  const std::function<void()>& beforeSave = {})
{
    bool stayedOpen = false;
    whenModal([&] {
        frmSaveOutput* dialog = window.saveOutputDialog();
        dialog->dirDirectory->setPath(directory);
        if (clickInList) {
            dialog->filFile_Click(name);
        } else {
            dialog->txtSavedFileName->setText(name);
        }
        if (beforeSave) {
            beforeSave();
        }
        dialog->cmdSave->click();
        stayedOpen = dialog->isVisible();
        if (stayedOpen) {
            dialog->cmdCancel->click();
        }
    });
    ui(window).mnuSaveOutput->trigger();
    return stayedOpen;
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        dir.write("data.txt", "3.5 -2\n. 12345678\n");
        window = std::make_unique<frmMain>(platform);
        test::startPastSplash(*window);
    }

    QString dirPath() const { return QString::fromStdString(dir.path().string()); }

    // One of each dialog, on data: the navigator, the two analyses, the two output files.
    std::vector<std::unique_ptr<QWidget>> everyDialog(const DataSet& data)
    {
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(std::make_unique<frmNavigate>(data, nullptr));
        windows.push_back(std::make_unique<frmDescriptives>(platform, data, window->outputLog(), nullptr));
        windows.push_back(std::make_unique<frmESBootstrap>(platform, data, window->outputLog(), nullptr));
        windows.push_back(std::make_unique<frmHierarchical>(platform, data, window->outputLog(), nullptr));
        windows.push_back(std::make_unique<frmDominance>(platform, data, window->outputLog(), nullptr));
        windows.push_back(std::make_unique<frmSaveOutput>(platform, window->outputLog(), nullptr));
        windows.push_back(std::make_unique<frmOpenOutput>(platform, window->outputLog(), nullptr));
        return windows;
    }

    // Opens "Save Output", types name in the directory given, presses Save.
    void saveAs(const QString& directory, const QString& name) { saveInDialog(*window, directory, name); }

    // Opens "Open Output", clicks name in the directory given, presses Open.
    void open(const QString& directory, const QString& name)
    {
        whenModal([=, this] {
            frmOpenOutput* dialog = window->openOutputDialog();
            dialog->dirDirectory->setPath(directory);
            dialog->filFile_Click(name);
            EXPECT_TRUE(clickOpen(dialog));
            if (dialog->isVisible()) {
                dialog->cmdCancel->click();
            }
        });
        ui(*window).mnuOpenOutput->trigger();
    }

    test::TempDir dir;
    test::FakePlatform platform;
    std::unique_ptr<frmMain> window;
};

TEST(MainLayout, RulesInTwips)
{
    const frmMain::Layout atLeast = frmMain::layoutFor(8000, 7000);
    EXPECT_EQ(atLeast.fraSelectData, QRect(100, 100, 9000, 2220)); // at least 9000 wide
    EXPECT_EQ(atLeast.fraOutput, QRect(100, 2420, 9000, 3380));
    EXPECT_EQ(atLeast.txtOutput, QRect(200, 300, 8600, 3080));
    // The log's bottom edge lies on its frame's bottom edge.
    EXPECT_EQ(atLeast.txtOutput.y() + atLeast.txtOutput.height(), atLeast.fraOutput.height());

    const frmMain::Layout wide = frmMain::layoutFor(15000, 9000);
    EXPECT_EQ(wide.fraSelectData.width(), 14700);
    EXPECT_EQ(wide.fraOutput, QRect(100, 2420, 14700, 5380));
    EXPECT_EQ(wide.txtOutput.width(), 14300);

    EXPECT_EQ(frmMain::layoutFor(12000, 5000).windowHeight, 7000); // snaps back
}

TEST_F(WindowTest, ShrinkingBelowTheLeastHeightSnapsBackAndMinimizingChangesNothing)
{
    window->show();
    window->resize(700, 200);
    QApplication::processEvents();
    EXPECT_GE(window->frameGeometry().height() * 15, 7000);
    const QRect before = ui(*window).fraOutput->geometry();
    window->setWindowState(Qt::WindowMinimized);
    window->Form_Resize();
    EXPECT_EQ(ui(*window).fraOutput->geometry(), before);
}

TEST_F(WindowTest, MainWindowControls)
{
    EXPECT_EQ(ui(*window).fraSelectData->title(), "Select Data");
    EXPECT_TRUE(ui(*window).fraSelectData->font().bold());
    EXPECT_TRUE(ui(*window).fraOutput->font().bold());
    EXPECT_FALSE(ui(*window).cmdImportData->font().bold());
    EXPECT_EQ(ui(*window).lblSelectedFileLabel->text(), "Selected File:");
    EXPECT_EQ(ui(*window).lblCurrentFileLabel->text(), "File Currently in Processor:");
    EXPECT_EQ(ui(*window).fraTypeOfDelimiter->title(), "Type of Delimiter");
    EXPECT_EQ(ui(*window).dirDirectory->toolTip(), "Specify directory of file");
    EXPECT_EQ(ui(*window).filFile->toolTip(), "Specify file");
    EXPECT_EQ(ui(*window).drvDrive->toolTip(), "Specify drive of file");
    EXPECT_EQ(ui(*window).cmdImportData->toolTip(), "Click to import selected file");
    EXPECT_EQ(ui(*window).cmbFileType->toolTip(), "Specify file extension (*.txt or *.dat)");
    // Five delimiter choices, 285 twips apart in the frame of the design
    // (the second at 120, 525 twips); wider only where the caption needs it,
    // and every one within the frame's height.
    EXPECT_EQ(ui(*window).optComma->pos(), QPoint(8, 35));
    EXPECT_EQ(ui(*window).optComma->height(), 17);
    EXPECT_GE(ui(*window).optComma->width(), 105);
    for (const char* name : {"optSpace", "optComma", "optTab", "optSemicolon", "optDetect"}) {
        const QRadioButton* option = test::control<QRadioButton>(*window, name);
        EXPECT_GE(option->y(), 0) << name;
        EXPECT_LE(option->geometry().bottom(), ui(*window).fraTypeOfDelimiter->height() - 1) << name;
    }
    EXPECT_EQ(ui(*window).cmdImportData->geometry().topLeft(), QPoint(496, 104));
    EXPECT_EQ(ui(*window).lblCurrentFile->geometry(), QRect(496, 80, 137, 17));
    // The focus order of the design among the controls that take focus.
    const QList<QWidget*> order = {ui(*window).dirDirectory,  ui(*window).filFile,   ui(*window).drvDrive,
                                   ui(*window).cmdImportData, ui(*window).txtOutput, ui(*window).optSpace};
    window->show();
    QApplication::setActiveWindow(window.get());
    order.front()->setFocus();
    for (int i = 0; i + 1 < order.size(); ++i) {
        ASSERT_EQ(window->focusWidget(), order[i]) << i;
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(window->focusWidget(), &tab);
        EXPECT_EQ(window->focusWidget(), order[i + 1]) << i;
    }
}

// The main window waits for the splash: it appears, with its file types,
// when the two seconds are up (a real wait, in the event loop).
TEST(Splash, ShowsForTwoSecondsThenTheMainWindow)
{
    test::FakePlatform platform;
    frmMain window(platform);
    QElapsedTimer clock;
    clock.start();
    window.Form_Load();
    ASSERT_NE(window.splash(), nullptr);
    EXPECT_TRUE(window.splash()->isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(ui(window).cmbFileType->count(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 10000));
    EXPECT_GE(clock.elapsed(), 1990);
    EXPECT_TRUE(window.splash() == nullptr || !window.splash()->isVisible());
    EXPECT_EQ(ui(window).cmbFileType->currentText(), "Text (*.txt)");
}

// A key or a click on the frame closes the splash and brings the main window
// up at once; a click on a label does nothing.
TEST(Splash, KeyOrFrameClickShowsTheMainWindowAtOnce)
{
    for (const bool useKey : {true, false}) {
        test::FakePlatform platform;
        frmMain window(platform);
        window.Form_Load();
        frmSplash* splash = window.splash();
        ASSERT_NE(splash, nullptr);
        const QPoint screenCentre = window.screen()->availableGeometry().center();
        EXPECT_LE((splash->geometry().center() - screenCentre).manhattanLength(), 2);
        QTest::mouseClick(splash->lblCopyright, Qt::LeftButton);
        EXPECT_TRUE(splash->isVisible());
        EXPECT_FALSE(window.isVisible());
        if (useKey) {
            QTest::keyClick(splash, Qt::Key_Space);
        } else {
            QTest::mouseClick(splash->Frame1, Qt::LeftButton, {}, QPoint(1, 1));
        }
        EXPECT_FALSE(splash->isVisible());
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(ui(window).cmbFileType->currentText(), "Text (*.txt)");
        // The timer dies with the splash: nothing happens when the two seconds are up.
        QTest::qWait(50);
        EXPECT_EQ(window.splash(), nullptr);
    }
}

TEST(Splash, Texts)
{
    frmSplash splash;
    EXPECT_EQ(splash.lblProductName->text(), "Orvalis");
    EXPECT_TRUE(splash.lblProductName->font().bold());
    EXPECT_DOUBLE_EQ(splash.lblProductName->font().pointSizeF(), 27.75);
    EXPECT_FALSE(splash.lblCopyright->text().isEmpty());
    EXPECT_FALSE(splash.lblCompany->text().isEmpty());
    EXPECT_TRUE(splash.windowTitle().isEmpty());
}

// A screen reader can announce every control a user can tab to: each has an
// accessible name (its caption, or the label beside it), and each frame
// describes what it holds.
TEST_F(WindowTest, EveryControlHasAnAccessibleName)
{
    const DataSet data = *importDataBuffer("a b\n1 2\n3 4\n", Delimiter::Space);
    const std::vector<std::unique_ptr<QWidget>> windows = everyDialog(data);
    std::vector<QWidget*> all = {window.get()};
    for (const auto& w : windows) {
        all.push_back(w.get());
    }
    for (QWidget* w : all) {
        w->show();
        for (QWidget* control : w->findChildren<QWidget*>()) {
            if (!control->isVisible() || (control->focusPolicy() & Qt::TabFocus) == 0
                || control->objectName().startsWith("qt_")) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << w->objectName().toStdString() << "." << control->objectName().toStdString() << " ("
                << control->metaObject()->className() << ")";
        }
        for (QGroupBox* frame : w->findChildren<QGroupBox*>()) {
            EXPECT_FALSE(frame->accessibleDescription().isEmpty())
                << w->objectName().toStdString() << "." << frame->objectName().toStdString();
        }
        w->hide();
    }
}

// Made larger, each dialog gives the room to its lists (and the navigator to
// its labels); at the design size nothing moves, and it cannot be smaller.
TEST_F(WindowTest, DialogsGiveRoomToTheirLists)
{
    const DataSet data = *importDataBuffer("a b\n1 2\n", Delimiter::Space);
    const std::vector<std::unique_ptr<QWidget>> windows = everyDialog(data);
    const QSize extra(300, 200);
    for (const auto& w : windows) {
        SCOPED_TRACE(w->objectName().toStdString());
        w->show();
        const QSize design = w->size();
        EXPECT_EQ(w->minimumSize(), design);
        std::vector<std::pair<QWidget*, QRect>> before;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            before.emplace_back(c, c->geometry());
        }
        // The widgets that take the room: the lists, or the navigator's labels.
        QList<QWidget*> takers;
        for (QListWidget* list : w->findChildren<QListWidget*>()) {
            takers << list;
        }
        if (auto* navigator = qobject_cast<frmNavigate*>(w.get())) {
            takers = {navigator->lblRow, navigator->lblColumn};
        }
        ASSERT_FALSE(takers.isEmpty());
        std::vector<QSize> sizes;
        for (QWidget* taker : takers) {
            sizes.push_back(taker->size());
        }

        w->resize(design + extra);
        QApplication::processEvents();
        for (int k = 0; k < takers.size(); ++k) {
            // Every list or label gets a third of the width at least.
            EXPECT_GE(takers[k]->width(), sizes[static_cast<std::size_t>(k)].width() + extra.width() / 3 - 1)
                << takers[k]->objectName().toStdString();
        }
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->isVisible() && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_")) {
                EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry()))
                    << c->objectName().toStdString() << " leaves its parent";
            }
        }

        w->resize(design);
        QApplication::processEvents();
        for (const auto& [c, r] : before) {
            EXPECT_EQ(c->geometry(), r) << c->objectName().toStdString() << " moved at the design size";
        }
        w->hide();
    }
}

// Enter presses the focused button in every window, as Space does.
TEST_F(WindowTest, EnterPressesTheFocusedButtonInEveryWindow)
{
    const DataSet data = *importDataBuffer("1 2\n3 4\n", Delimiter::Space);
    const std::vector<std::unique_ptr<QWidget>> windows = everyDialog(data);
    int buttons = 0;
    auto pressEach = [&](QWidget& w) {
        for (QPushButton* button : w.findChildren<QPushButton*>()) {
            if (!button->isEnabled()) {
                continue; // the bootstrap dialog's Plot button before any run
            }
            SCOPED_TRACE(button->objectName().toStdString());
            w.show();
            QSignalSpy clicked(button, &QPushButton::clicked);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            // A press may start work that disables the window until it ends.
            EXPECT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, 60000));
            QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
            EXPECT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }, 60000));
            EXPECT_EQ(clicked.count(), 2);
            ++buttons;
        }
    };
    pressEach(*window);
    for (const auto& w : windows) {
        pressEach(*w);
    }
    // The hierarchical dialog's Add, Remove, OK and Cancel (Previous, Next and Plot wait for steps and runs);
    // the relative importance dialog's three Adds, two Removes, OK and Cancel (Plot and Copy wait for a run).
    EXPECT_EQ(buttons, 1 + 4 + 2 + 2 + 4 + 7 + 2 + 2);
}

// No value is cut into another: every fixed label holds the longest text it
// can show, and a file name too long for its box is shortened with "..." and
// shown whole in the tooltip.
TEST_F(WindowTest, LabelsShowTheirLongestTextsWhole)
{
    const DataSet data = *importDataBuffer("1 2\n", Delimiter::Space);
    frmNavigate navigator(data, nullptr);
    const std::pair<QLabel*, QString> worst[] = {
        {navigator.lblRow, "Row: 2147483647"},
        {navigator.lblColumn, "Column: 1000"},
        {navigator.lblCell, "-1.234568E+07"},
        {navigator.lblCell, "-3.402823E+38"},
        {navigator.lblNumberOfRows, "Number of rows: 2147483647"},
        {navigator.lblNumberOfColumns, "Number of columns: 1000"},
    };
    for (const auto& [label, text] : worst) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(text), label->contentsRect().width());
        EXPECT_TRUE(navigator.rect().contains(
            label->geometry().translated(label->parentWidget()->mapTo(&navigator, QPoint(0, 0)))));
    }
    EXPECT_FALSE(navigator.lblRow->geometry().intersects(navigator.lblNumberOfRows->geometry()));
    EXPECT_FALSE(navigator.lblColumn->geometry().intersects(navigator.lblNumberOfColumns->geometry()));

    const QString longName = QString(60, QLatin1Char('n')) + ".txt";
    dir.write(longName.toStdString(), "1 2\n");
    const auto w = ui(*window);
    w.dirDirectory->setPath(dirPath());
    test::clickItem(w.filFile, longName);
    w.cmdImportData->click();
    ASSERT_TRUE(test::waitForImport(*window));
    for (QLabel* label : {w.lblSelectedFile, w.lblCurrentFile}) {
        auto* elided = dynamic_cast<ElidedLabel*>(label);
        ASSERT_NE(elided, nullptr);
        EXPECT_EQ(elided->text(), longName);
        EXPECT_TRUE(elided->elided());
        EXPECT_TRUE(elided->shownText().contains(QChar(0x2026))) << elided->shownText().toStdString();
        EXPECT_LE(elided->fontMetrics().horizontalAdvance(elided->shownText()), elided->contentsRect().width());
        EXPECT_EQ(elided->toolTip(), longName);
    }
    // The current file's box is not a highlight bar (it read as a progress bar).
    EXPECT_NE(w.lblCurrentFile->palette().color(QPalette::Window),
              w.lblCurrentFile->palette().color(QPalette::Highlight));
    test::clickItem(w.filFile, "data.txt");
    EXPECT_FALSE(static_cast<ElidedLabel*>(w.lblSelectedFile)->elided());
    EXPECT_EQ(w.lblSelectedFile->toolTip(), "The file selected for import");
}

TEST_F(WindowTest, AFailingDrivePutsTheDriveListBack)
{
    ui(*window).dirDirectory->setPath(dirPath());
    ui(*window).drvDrive->addItem("/no/such/drive");
    QTest::keyClick(ui(*window).drvDrive, Qt::Key_End); // straight to the last drive
    EXPECT_EQ(ui(*window).drvDrive->currentText(), DriveList::driveOf(dirPath()));
    EXPECT_EQ(ui(*window).dirDirectory->path(), QDir(dirPath()).canonicalPath());
}

TEST_F(WindowTest, PickingAFileInTheRootGivesTwoSeparators)
{
    ui(*window).dirDirectory->setPath("/");
    ui(*window).filFile->setPattern("*");
    window->filFile_Click("x.txt");
    EXPECT_EQ(window->selectedFileName(), "//x.txt");
}

TEST_F(WindowTest, SaveNameRules)
{
    const QString d = dirPath();
    EXPECT_EQ(frmSaveOutput::savePath(d, "results"), d + "/results.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "results.txt"), d + "/results.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "results.TXT"), d + "/results.TXT.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "ab"), d + "/ab.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "   "), d + "/   .txt");
    EXPECT_EQ(frmSaveOutput::savePath("/", "r"), "//r.txt");
    // A typed path is used as typed, "~" as the home folder.
    EXPECT_EQ(frmSaveOutput::savePath(d, "/tmp/x.txt"), "/tmp/x.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "/tmp/x"), "/tmp/x.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "~/r"), QDir::homePath() + "/r.txt");
    EXPECT_EQ(frmSaveOutput::savePath(d, "~r"), d + "/~r.txt");
}

TEST_F(WindowTest, SaveWritesTheLogExactlyAndAsksBeforeReplacingAFile)
{
    window->outputLog().append(QString::fromUtf8("Résumé\r\nline two\r\n"));
    saveAs(dirPath(), "results");
    EXPECT_EQ(fileBytes(dirPath() + "/results.txt"), QByteArray("R\xc3\xa9sum\xc3\xa9\r\nline two\r\n"));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(window->saveOutputDialog()->isVisible());

    // A data file picked in the list by mistake: No (the default) keeps it and the dialog.
    window->outputLog().replaceAll("new");
    EXPECT_TRUE(saveInDialog(*window, dirPath(), "data.txt", true));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "data.txt already exists. Do you want to replace it?");
    EXPECT_EQ(platform.messages[0].title, "Save Output");
    EXPECT_EQ(platform.messages[0].buttons, Platform::Buttons::YesNo);
    EXPECT_EQ(fileBytes(dirPath() + "/data.txt"), QByteArray("3.5 -2\n. 12345678\n"));

    platform.answers = {Platform::Answer::Yes};
    saveAs(dirPath(), "results.txt");
    EXPECT_EQ(fileBytes(dirPath() + "/results.txt"), QByteArray("new"));
    EXPECT_EQ(platform.messages.size(), 2u);
    EXPECT_FALSE(window->saveOutputDialog()->isVisible());

    // An empty log writes an empty file.
    window->outputLog().clear();
    saveAs(dirPath(), "empty");
    EXPECT_EQ(fileBytes(dirPath() + "/empty.txt"), QByteArray());
}

// While it lives, the kernel refuses to let this process write beyond `bytes`
// in any file (EFBIG): a real write failure that needs no privileges.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

QStringList entries(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Saves the log under each name into directory while writes fail; every save
// must warn, keep the dialog open and leave the directory exactly as it was.
void expectEverySaveFails(frmMain& window, test::FakePlatform& platform, const QString& directory)
{
    const QStringList before = entries(directory);
    const QByteArray kept = fileBytes(directory + "/keep.txt");
    // A short log (held in the write buffer until the end) and a long one.
    for (const QString& log : {QStringLiteral("short log\r\n"), QString(100000, QLatin1Char('x'))}) {
        for (const QString& name : {QStringLiteral("keep"), QStringLiteral("fresh")}) {
            SCOPED_TRACE((name + " " + QString::number(log.size())).toStdString());
            window.outputLog().replaceAll(log);
            platform.messages.clear();
            platform.answers = {Platform::Answer::Yes}; // replace keep.txt
            EXPECT_TRUE(saveInDialog(window, directory, name));
            ASSERT_FALSE(platform.messages.empty());
            EXPECT_TRUE(platform.messages.back().text.startsWith("The output could not be saved to "))
                << platform.messages.back().text.toStdString();
            EXPECT_EQ(fileBytes(directory + "/keep.txt"), kept);
            EXPECT_EQ(entries(directory), before);
        }
    }
    // Exit, Yes, Yes: the save fails, the user gives up in the dialog, and the
    // program stays open with its log.
    window.outputLog().replaceAll("the only copy");
    platform.answers = {Platform::Answer::Yes, Platform::Answer::Yes};
    whenModal([&] {
        frmSaveOutput* dialog = window.saveOutputDialog();
        dialog->dirDirectory->setPath(directory);
        dialog->txtSavedFileName->setText("fresh");
        dialog->cmdSave->click();
        dialog->cmdCancel->click();
    });
    ui(window).mnuExit->trigger();
    EXPECT_FALSE(window.leaving());
    EXPECT_EQ(window.outputLog().readAll(), "the only copy");
    EXPECT_EQ(entries(directory), before);
}

TEST_F(WindowTest, AFailedWriteNeverEmptiesAFileNorReportsSuccess)
{
    dir.write("keep.txt", "precious results\r\n");
    window->show();
    const FileSizeLimit limit(0);
    expectEverySaveFails(*window, platform, dirPath());
}

TEST_F(WindowTest, SavingToAFullFileSystemKeepsTheFileAndTheProgram)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const std::string mountPoint = (dir.path() / "full").string();
    std::filesystem::create_directories(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    dir.write("full/keep.txt", "precious results\r\n");
    {
        // Fill what is left.
        std::FILE* filler = std::fopen((mountPoint + "/filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        std::setvbuf(filler, nullptr, _IONBF, 0);
        const std::string block(4096, 'f');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
        }
        while (std::fputc('f', filler) != EOF) {
        }
        std::fclose(filler);
    }
    window->show();
    expectEverySaveFails(*window, platform, QString::fromStdString(mountPoint));
}

TEST_F(WindowTest, SaveNeverReplacesTheImportedDataFile)
{
    const auto w = ui(*window);
    w.dirDirectory->setPath(dirPath());
    test::clickItem(w.filFile, "data.txt");
    w.cmdImportData->click();
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_TRUE(window->dataSet().hasStorage());
    const QByteArray data = fileBytes(dirPath() + "/data.txt");
    platform.messages.clear();
    platform.answers = {Platform::Answer::Yes}; // "data.txt already exists. Replace it?"
    EXPECT_TRUE(saveInDialog(*window, dirPath(), "data"));
    ASSERT_FALSE(platform.messages.empty());
    EXPECT_TRUE(platform.messages.back().text.endsWith(": it is the data file being analysed."))
        << platform.messages.back().text.toStdString();
    EXPECT_EQ(fileBytes(dirPath() + "/data.txt"), data);
    EXPECT_FALSE(window->saveOutputDialog()->fileWritten());
}

// The real program, not this test process: it must ignore SIGXFSZ from its
// start, so that a save under a file-size limit fails with a warning instead
// of killing it with the unsaved log.
TEST(DesktopProgram, IgnoresTheFileSizeSignal)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(ORVALIS_APP_PATH, ORVALIS_APP_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    bool ignored = false;
    for (int attempt = 0; attempt < 200 && !ignored; ++attempt) {
        usleep(10000);
        std::ifstream status("/proc/" + std::to_string(child) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigIgn:", 0) == 0) {
                const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
                ignored = ((mask >> (SIGXFSZ - 1)) & 1u) != 0;
            }
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(ignored);
}

TEST_F(WindowTest, SaveWithAnEmptyNameWarnsAndKeepsTheDialogAsLeft)
{
    saveAs(dirPath(), "");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "A file name has not been provided.");
    EXPECT_EQ(platform.messages[0].title, "Save Output");
    frmSaveOutput* dialog = window->saveOutputDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->dirDirectory->path(), QDir(dirPath()).canonicalPath());
}

// Save Output starts in the file name: letters typed at once are the name,
// and the folder lists stay where they were (a search in the folder list
// would walk into another folder). So does every later showing, with the
// name kept from the last one selected, so that typing replaces it.
TEST_F(WindowTest, SaveOutputStartsWithTheFocusInTheFileName)
{
    dir.write("results/old.txt", "");
    dir.write("rabbit/old.txt", "");
    for (const QString& typed : {QStringLiteral("results"), QStringLiteral("rerun")}) {
        whenModal([&] {
            frmSaveOutput* dialog = window->saveOutputDialog();
            if (typed == "results") {
                dialog->dirDirectory->setPath(dirPath());
            }
            QWidget* focused = dialog->focusWidget();
            ASSERT_NE(focused, nullptr);
            EXPECT_EQ(focused, dialog->txtSavedFileName) << focused->objectName().toStdString();
            QTest::keyClicks(focused, typed);
            EXPECT_EQ(dialog->txtSavedFileName->text(), typed);
            EXPECT_EQ(dialog->dirDirectory->path(), QDir(dirPath()).canonicalPath());
            // Leave with the focus elsewhere, as a user who browsed would.
            dialog->dirDirectory->setFocus();
            dialog->cmdCancel->click();
        });
        ui(*window).mnuSaveOutput->trigger();
    }
}

TEST_F(WindowTest, AFailedSaveWarnsNamingThePathAndStaysOpen)
{
    window->outputLog().append("text");
    dir.write("gone/keep.txt", "");
    EXPECT_TRUE(saveInDialog(*window, dirPath() + "/gone", "out", false,
                             [&] { std::filesystem::remove_all(dir.path() / "gone"); }));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Save Output");
    EXPECT_TRUE(platform.messages[0].text.contains(QDir(dirPath()).canonicalPath() + "/gone/out.txt"))
        << platform.messages[0].text.toStdString();
    EXPECT_FALSE(window->saveOutputDialog()->fileWritten());
}

TEST_F(WindowTest, OpenReadsLinesAndSaveOpenGivesTheSameLog)
{
    dir.write("unended.txt", "a\r\nb");
    dir.write("lf.txt", "one\ntwo\n\nthree\n");
    dir.write("latin.txt", "caf\xe9\r\n");
    dir.write("empty.txt", "");
    open(dirPath(), "unended.txt");
    EXPECT_EQ(window->outputLog().readAll(), "a\r\nb\r\n");
    open(dirPath(), "lf.txt");
    EXPECT_EQ(window->outputLog().readAll(), "one\r\ntwo\r\n\r\nthree\r\n");
    open(dirPath(), "latin.txt");
    EXPECT_EQ(window->outputLog().readAll(), QString::fromUtf8("café\r\n"));
    open(dirPath(), "empty.txt");
    EXPECT_EQ(window->outputLog().readAll(), "");
    EXPECT_TRUE(platform.messages.empty());

    const QString log = QString::fromUtf8("Report ü\r\n\r\nsecond\r\n");
    window->outputLog().replaceAll(log);
    saveAs(dirPath(), "round");
    window->outputLog().clear();
    const QFont font = ui(*window).txtOutput->document()->defaultFont();
    open(dirPath(), "round.txt");
    EXPECT_EQ(window->outputLog().readAll(), log);

    // The opened text (laid out on another thread) is the log like any other:
    // reports append to it, its font is the log's, and it has no undo.
    window->outputLog().append("next\r\n");
    EXPECT_EQ(window->outputLog().readAll(), log + "next\r\n");
    EXPECT_EQ(ui(*window).txtOutput->document()->defaultFont(), ui(*window).txtOutput->font());
    EXPECT_EQ(ui(*window).txtOutput->document()->defaultFont(), font);
    EXPECT_FALSE(ui(*window).txtOutput->document()->isUndoRedoEnabled());
    EXPECT_EQ(ui(*window).txtOutput->document()->thread(), window->thread());
}

TEST_F(WindowTest, OpenWithoutAChoiceOrOfAMissingFileKeepsTheLog)
{
    window->outputLog().replaceAll("keep me");
    whenModal([&] { window->openOutputDialog()->cmdOpen->click(); });
    ui(*window).mnuOpenOutput->trigger();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "A file has not been selected.");
    EXPECT_EQ(platform.messages[0].title, "Open Output");

    // Chosen in one directory, then looked for in another.
    dir.write("only-here.txt", "x");
    dir.write("other/unrelated.txt", "y");
    bool stayedOpen = false;
    whenModal([&] {
        frmOpenOutput* dialog = window->openOutputDialog();
        dialog->dirDirectory->setPath(dirPath());
        dialog->filFile_Click("only-here.txt");
        dialog->dirDirectory->setPath(dirPath() + "/other");
        EXPECT_TRUE(clickOpen(dialog));
        stayedOpen = dialog->isVisible();
        EXPECT_EQ(dialog->focusWidget(), dialog->cmdOpen); // a keyboard user can go on
        dialog->cmdCancel->click();
    });
    ui(*window).mnuOpenOutput->trigger();
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].title, "Open Output");
    EXPECT_TRUE(platform.messages[1].text.contains("/other/only-here.txt")) << platform.messages[1].text.toStdString();
    EXPECT_EQ(window->outputLog().readAll(), "keep me");
}

// While Open Output reads, the dialog says which file it opens and only Cancel
// answers: Cancel hides the dialog with the log as it was, Escape (or the close
// box) stops waiting and keeps the dialog; what the reading gives is dropped.
// (The end of a reading is handled only when the dialog's events run, so
// clicks right after Open come while it reads, however small the file.)
TEST_F(WindowTest, CancelWhileOpeningOutputLeavesTheLog)
{
    window->outputLog().replaceAll("keep me\r\n");
    dir.write("other.txt", "the other log\r\n");
    QString titleWhileOpening;
    bool cancelAnswers = false;
    bool openAnswers = true;
    bool hidden = false;
    whenModal([&] {
        frmOpenOutput* dialog = window->openOutputDialog();
        dialog->dirDirectory->setPath(dirPath());
        dialog->filFile_Click("other.txt");
        QTest::mouseClick(dialog->cmdOpen, Qt::LeftButton);
        titleWhileOpening = dialog->windowTitle();
        cancelAnswers = dialog->cmdCancel->isEnabled();
        openAnswers = dialog->cmdOpen->isEnabled();
        QTest::mouseClick(dialog->cmdCancel, Qt::LeftButton);
        hidden = !dialog->isVisible();
    });
    ui(*window).mnuOpenOutput->trigger();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(60000));
    QCoreApplication::processEvents(); // the reading's end, dropped
    EXPECT_EQ(titleWhileOpening, "Open Output - opening other.txt...");
    EXPECT_TRUE(cancelAnswers);
    EXPECT_FALSE(openAnswers);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->outputLog().readAll(), "keep me\r\n");
    frmOpenOutput* dialog = window->openOutputDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Open Output");
    EXPECT_TRUE(dialog->cmdOpen->isEnabled());

    bool stayed = false;
    bool opened = false;
    whenModal([&] {
        frmOpenOutput* shown = window->openOutputDialog();
        QTest::mouseClick(shown->cmdOpen, Qt::LeftButton);
        QTest::keyClick(shown, Qt::Key_Escape);
        stayed = shown->isVisible() && shown->cmdOpen->isEnabled();
        opened = clickOpen(shown); // and now opened to its end
        if (shown->isVisible()) {
            shown->cmdCancel->click();
        }
    });
    ui(*window).mnuOpenOutput->trigger();
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->outputLog().readAll(), "the other log\r\n");
}

TEST_F(WindowTest, OpenOutputAsksBeforeItReplacesUnsavedResults)
{
    using A = Platform::Answer;
    struct Case {
        const char* name;
        bool savedFirst;        // the log was saved after its last result
        std::vector<A> answers; // to "Save them first?"
        bool saveDialogSaves;   // when Yes shows the save dialog
        bool asked;
        bool opened;
    };
    const Case cases[] = {
        {"saved log: no question", true, {}, false, false, true},
        {"No: results dropped, file opened", false, {A::No}, false, true, true},
        {"Cancel: nothing happens", false, {A::Cancel}, false, true, false},
        {"Yes, saved: then opened", false, {A::Yes}, true, true, true},
        {"Yes, save cancelled: not opened", false, {A::Yes}, false, true, false},
    };
    dir.write("other.txt", "the other log\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakePlatform p;
        frmMain w(p);
        test::startPastSplash(w);
        w.outputLog().replaceAll("opened earlier\r\n");
        w.outputLog().append("a new result\r\n");
        if (c.savedFirst) {
            saveInDialog(w, dirPath(), "saved-first");
        }
        p.answers.assign(c.answers.begin(), c.answers.end());
        auto openOther = [&] {
            frmOpenOutput* dialog = w.openOutputDialog();
            dialog->dirDirectory->setPath(dirPath());
            dialog->filFile_Click("other.txt");
            EXPECT_TRUE(clickOpen(dialog));
        };
        if (!c.answers.empty() && c.answers[0] == A::Yes) {
            whenModal([&] {
                frmSaveOutput* dialog = w.saveOutputDialog();
                dialog->dirDirectory->setPath(dirPath());
                dialog->txtSavedFileName->setText("before-open");
                if (c.saveDialogSaves) {
                    whenModal(openOther);
                    dialog->cmdSave->click();
                } else {
                    dialog->cmdCancel->click();
                }
            });
        } else if (c.opened) {
            whenModal(openOther);
        }
        ui(w).mnuOpenOutput->trigger();
        const bool asked = std::any_of(p.messages.begin(), p.messages.end(), [](const auto& m) {
            return m.text == "The output has unsaved results. Save them first?" && m.title == "Open Output"
                   && m.buttons == Platform::Buttons::YesNoCancel;
        });
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(w.outputLog().readAll(), c.opened ? "the other log\r\n" : "opened earlier\r\na new result\r\n");
        if (c.saveDialogSaves) {
            EXPECT_EQ(fileBytes(dirPath() + "/before-open.txt"), "opened earlier\r\na new result\r\n");
        }
    }
}

TEST_F(WindowTest, DialogsKeepTheirStateWhileHidden)
{
    saveAs(dirPath(), "first");
    whenModal([&] {
        frmSaveOutput* dialog = window->saveOutputDialog();
        EXPECT_EQ(dialog->txtSavedFileName->text(), "first");
        EXPECT_EQ(dialog->dirDirectory->path(), QDir(dirPath()).canonicalPath());
        EXPECT_EQ(dialog->filFile->pattern(), "*.txt");
        dialog->cmdCancel->click();
    });
    ui(*window).mnuSaveOutput->trigger();
    EXPECT_FALSE(window->saveOutputDialog()->cmdSave->isDefault());
    EXPECT_FALSE(window->saveOutputDialog()->cmdSave->autoDefault());
}

TEST_F(WindowTest, ExitDialogue)
{
    using A = Platform::Answer;
    struct Case {
        const char* name;
        std::vector<A> answers;
        bool saveDialogSaves;
        int expectedFlag;
        int expectedQuestions;
    };
    const Case cases[] = {
        {"No to leaving", {A::No}, false, 0, 1},
        {"Cancel to leaving", {A::Cancel}, false, 0, 1},
        {"Yes, then Cancel", {A::Yes, A::Cancel}, false, 0, 2},
        {"Yes, then No", {A::Yes, A::No}, false, 1, 2},
        {"Yes, Yes, Save dialog cancelled: nothing written, stay", {A::Yes, A::Yes}, false, 0, 2},
        {"Yes, Yes, saved", {A::Yes, A::Yes}, true, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakePlatform p;
        frmMain w(p);
        test::startPastSplash(w);
        w.show();
        w.outputLog().append("log");
        p.answers.assign(c.answers.begin(), c.answers.end());
        if (c.answers.size() == 2 && c.answers[1] == A::Yes) {
            whenModal([&] {
                frmSaveOutput* dialog = w.saveOutputDialog();
                if (c.saveDialogSaves) {
                    dialog->dirDirectory->setPath(dirPath());
                    dialog->txtSavedFileName->setText("exit-save");
                    dialog->cmdSave->click();
                } else {
                    dialog->cmdCancel->click();
                }
            });
        }
        ui(w).mnuExit->trigger();
        EXPECT_EQ(w.leaving(), c.expectedFlag == 1);
        EXPECT_EQ(w.isVisible(), c.expectedFlag == 0);
        ASSERT_EQ(static_cast<int>(p.messages.size()), c.expectedQuestions);
        EXPECT_EQ(p.messages[0].text, "Do you want to exit Orvalis?");
        EXPECT_EQ(p.messages[0].title, "Orvalis");
        EXPECT_EQ(p.messages[0].buttons, Platform::Buttons::YesNoCancel);
        if (c.expectedQuestions == 2) {
            EXPECT_EQ(p.messages[1].text, "Do you want to save the contents of the output?");
            EXPECT_EQ(p.messages[1].title, "Save Output");
        }
        EXPECT_EQ(w.outputLog().readAll(), "log");
    }
}

TEST_F(WindowTest, ClosingTheWindowRunsTheExitDialogue)
{
    window->show();
    platform.answers = {Platform::Answer::No};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    platform.answers = {Platform::Answer::Yes, Platform::Answer::No};
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->leaving());
    EXPECT_EQ(platform.messages.size(), 3u);
}

// ---- navigator -------------------------------------------------------------

TEST(Navigator, MovesStopAtTheEdges)
{
    ImportOutcome outcome = importDataBuffer("3.5 -2\n. 12345678\n1\n", Delimiter::Space);
    ASSERT_TRUE(outcome.ok());
    frmNavigate navigator(*outcome, nullptr);
    EXPECT_EQ(navigator.windowTitle(), "Navigate Data File");
    EXPECT_EQ(navigator.lblNumberOfRows->text(), "Number of rows: 3");
    EXPECT_EQ(navigator.lblNumberOfColumns->text(), "Number of columns: 2");
    EXPECT_EQ(navigator.lblRow->text(), "Row: 1");
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 1");
    EXPECT_EQ(navigator.lblCell->text(), "3.5");
    for (QPushButton* button : {navigator.cmdUp, navigator.cmdDown, navigator.cmdLeft, navigator.cmdRight}) {
        EXPECT_FALSE(button->autoDefault());
        EXPECT_FALSE(button->isDefault());
    }

    navigator.cmdUp->click(); // blocked, refreshed anyway
    EXPECT_EQ(navigator.lblRow->text(), "Row: 1");
    navigator.cmdLeft->click();
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 1");
    navigator.cmdRight->click();
    EXPECT_EQ(navigator.lblCell->text(), "-2");
    navigator.cmdRight->click();
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 2");
    navigator.cmdDown->click();
    EXPECT_EQ(navigator.lblCell->text(), "1.234568E+07");
    navigator.cmdLeft->click();
    EXPECT_EQ(navigator.lblCell->text(), ".");
    navigator.cmdDown->click();
    navigator.cmdRight->click();
    EXPECT_EQ(navigator.lblCell->text(), "."); // unfilled by a short line: missing
    navigator.cmdDown->click();
    EXPECT_EQ(navigator.lblRow->text(), "Row: 3");
    EXPECT_EQ(navigator.currentRow(), 3);
}

// R's row names and a text column: the row shows the case's label, the cell
// its category's label (a long one cut, whole in the tooltip).
TEST(Navigator, ShowsCaseAndCategoryLabels)
{
    ImportOutcome outcome =
        importDataBuffer("\"\",\"y\",\"g\"\n\"Courtelary\",1,\"a category with a long label\"\n\"Delemont\",2,\"b\"\n",
                         Delimiter::Comma);
    ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
    frmNavigate navigator(*outcome, nullptr);
    navigator.resize(navigator.sizeHint());
    EXPECT_EQ(navigator.lblRow->text(), "Row: 1  Courtelary");
    EXPECT_EQ(navigator.lblCell->text(), "1");
    navigator.cmdRight->click();
    EXPECT_EQ(navigator.lblColumn->text(), "Column: 2  g");
    EXPECT_EQ(navigator.lblCell->text(), "a category with a long label");
    EXPECT_TRUE(navigator.lblCell->elided());
    EXPECT_EQ(navigator.lblCell->toolTip(), "a category with a long label");
    navigator.cmdDown->click();
    EXPECT_EQ(navigator.lblRow->text(), "Row: 2  Delemont");
    EXPECT_EQ(navigator.lblCell->text(), "b");
}

TEST_F(WindowTest, NavigatorShowsNothingWithoutARowOne)
{
    bool shown = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    guard.start(50);
    ui(*window).mnuNavigateDataFile->trigger(); // no import yet
    dir.write("empty.txt", "");
    ui(*window).filFile->refresh();
    ui(*window).dirDirectory->setPath(dirPath());
    test::clickItem(ui(*window).filFile, "empty.txt");
    ui(*window).cmdImportData->click();
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_TRUE(window->dataSet().hasStorage());
    ui(*window).mnuNavigateDataFile->trigger(); // an empty file
    EXPECT_FALSE(shown);
}

// ---- bootstrap distribution ------------------------------------------------

// A run whose 1000 valid changes are spread evenly over [0, 1]: ten bins of a
// tenth, the observed change at 0.5, and a modified lower limit of 0.
BootstrapResult evenRun()
{
    BootstrapResult r;
    r.request.DependentVariable = 1;
    r.request.AddedList = {2};
    r.request.NumTrials = 1000;
    r.NumValid = 1000;
    for (int k = 0; k < 1000; ++k) {
        r.DrawTrials.push_back(k + 1);
        r.Draws.push_back(k / 999.0);
    }
    r.ReducedR2 = 0.1;
    r.FullR2 = 0.6;
    r.DeltaR2 = 0.5;
    r.FValue = 1.0f;
    r.df1 = 1;
    r.df2 = 10;
    r.ModifiedLowerIsZero = true;
    r.setPercentileIntervals(0.025f, 0.975f);
    return r;
}

// The keys users' settings are stored under keep their spelling, and the two
// figure windows share one caption choice: turned on in the power curve, the
// distribution window shows its caption, and turned off there, the next power
// curve has none.
TEST_F(WindowTest, SettingsKeysKeepTheirSpellingAndTheFigureWindowsShareTheCaption)
{
    const std::vector<std::pair<QString, const char*>> keys = {
        {SettingsKeys::PickerDirectory, "picker/directory"},
        {SettingsKeys::ImportDelimiter, "import/delimiter"},
        {SettingsKeys::ApaReportInterval, "apa/interval"},
        {SettingsKeys::EffectSizeCovariance, "effectSizes/robust"},
        {SettingsKeys::EffectSizeModifiedFollowsRobust, "effectSizes/modifiedFollowsRobust"},
        {SettingsKeys::BootstrapDetails, "bootstrap/details"},
        {SettingsKeys::FigureSize, "figure/size"},
        {SettingsKeys::FigureWidth, "figure/width"},
        {SettingsKeys::FigureHeight, "figure/height"},
        {SettingsKeys::FigureResolution, "figure/dpi"},
        {SettingsKeys::FigureCaption, "figure/caption"},
        {SettingsKeys::FigureAlfGraf, "figure/alfGraf"},
    };
    for (const auto& [key, stored] : keys) {
        EXPECT_EQ(key, QString::fromLatin1(stored));
    }

    QSettings().remove("figure");
    PowerQuestion question;
    question.p = 2;
    question.q = 1;
    question.f2 = 0.15;
    const auto curve = [&] {
        return std::make_unique<frmPowerCurve>(platform, question, powerCurve(question, 10, 60, 5), std::nullopt,
                                               std::nullopt, nullptr);
    };
    {
        const auto first = curve();
        EXPECT_FALSE(first->chkCaption->isChecked());
        first->chkCaption->click();
        ASSERT_TRUE(first->chkCaption->isChecked());
    }
    EXPECT_TRUE(QSettings().value("figure/caption").toBool());
    const BootstrapResult run = evenRun();
    {
        frmDistribution window(platform, run, nullptr);
        EXPECT_TRUE(window.chkCaption->isChecked());
        window.chkCaption->click();
        ASSERT_FALSE(window.chkCaption->isChecked());
    }
    EXPECT_FALSE(curve()->chkCaption->isChecked());
}

// The figure has its bars and lines where the values put them, its legend
// gives their values, and the SVG one element per bar; the exports write
// their files or warn.
TEST_F(WindowTest, TheDistributionWindowDrawsAndExports)
{
    QSettings().remove("figure");
    const BootstrapResult run = evenRun();
    frmDistribution window(platform, run, nullptr);
    window.show();
    const DistributionPlot& plot = *window.plotDistribution;
    ASSERT_EQ(plot.histogram().counts.size(), 10u);
    EXPECT_DOUBLE_EQ(plot.xMin(), -0.03); // the values' range padded by 3% on each side
    EXPECT_DOUBLE_EQ(plot.xMax(), 1.03);
    EXPECT_EQ(plot.caption(), "Var 1 on no predictors; adding Var 2");
    QStringList labels;
    for (const DistributionPlot::Marker& marker : plot.markers()) {
        labels << marker.label;
    }
    EXPECT_EQ(labels, QStringList({QString::fromUtf8("Observed \u0394R\u00b2 = .500"), "95% percentile CI [.025, .975]",
                                   "", "Modified lower limit 0 (F test not significant)"}));

    // At 144 dpi a point is two pixels.
    const QImage image = plot.toImage(144);
    EXPECT_EQ(image.size(), QSize(482, 363)); // 85 x 64 mm
    const QRectF area = plot.plotRect();
    auto xOf = [&](double v) { return 2 * (area.left() + (v + 0.03) / 1.06 * area.width()); };
    const int middle = static_cast<int>(2 * area.center().y());
    // Within a pixel of x, somewhere on 20 rows (a dashed line has gaps).
    auto nearX = [&](double x, QColor color) {
        const int column = static_cast<int>(std::lround(x));
        for (int dx = -1; dx <= 1; ++dx) {
            for (int y = middle - 10; y <= middle + 10; ++y) {
                if (image.pixelColor(column + dx, y) == color) {
                    return true;
                }
            }
        }
        return false;
    };
    const QColor blue(0x00, 0x72, 0xb2);
    EXPECT_TRUE(nearX(xOf(0.5), Qt::black)) << "observed change";
    EXPECT_TRUE(nearX(xOf(0.025), blue)) << "traditional lower limit";
    EXPECT_TRUE(nearX(xOf(0.975), blue)) << "traditional upper limit";
    EXPECT_TRUE(nearX(xOf(0.0), QColor(0xd5, 0x5e, 0x00))) << "modified lower limit 0";
    for (int k = 0; k < 10; ++k) {
        const int x = static_cast<int>(xOf(0.1 * k + 0.05));
        EXPECT_EQ(image.pixelColor(x, static_cast<int>(2 * area.bottom()) - 6), DistributionPlot::barColor()) << k;
    }
    const QString svg = QString::fromUtf8(plot.toSvg());
    EXPECT_EQ(svg.count("<rect"), 1 + 10) << "the background and one per bar";
    // The axis title is text, in runs of its scripts.
    EXPECT_TRUE(svg.contains(QString::fromUtf8(">\u0394</text>"))
                && svg.contains(QString::fromUtf8(">R\u00b2</text>")));
    EXPECT_TRUE(svg.contains("width=\"85.00mm\" height=\"64.00mm\""));

    // Two lines that would fall within a line's width both show.
    BootstrapResult close = run;
    close.DeltaR2 = 0.025;
    close.ModifiedLowerIsZero = false;
    close.setPercentileIntervals(0.025f, 0.975f);
    const DistributionPlot both(close);
    const std::vector<double> placed = both.markerPositions();
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_GE(placed[1] - placed[0], 1.2) << "the observed change and the lower limit, a line's width apart";
    const QImage pair = both.toImage(600);
    auto showing = [&](QColor color) {
        const double scale = 600.0 / 72.0;
        const int y = static_cast<int>(both.plotRect().center().y() * scale);
        for (int x = static_cast<int>((placed[0] - 3) * scale); x <= static_cast<int>((placed[1] + 3) * scale); ++x) {
            for (int dy = 0; dy < 40; ++dy) {
                if (pair.pixelColor(x, y + dy) == color) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(showing(Qt::black));
    EXPECT_TRUE(showing(blue));

    const QString png = dirPath() + "/plot";
    platform.saveNames = {png, dirPath() + "/plot.svg", dirPath() + "/plot.pdf", dirPath() + "/trials.csv",
                          dirPath() + "/none/plot.png"};
    // By their mnemonics, as a keyboard user exports: Alt+P, Alt+S, Alt+D, Alt+C.
    window.show();
    QApplication::setActiveWindow(&window);
    // (A mnemonic presses its button as a click that shows: a moment later.)
    for (const Qt::Key key : {Qt::Key_P, Qt::Key_S, Qt::Key_D, Qt::Key_C}) {
        const std::size_t left = platform.saveNames.size();
        QTest::keyClick(&window, key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return platform.saveNames.size() < left; }, 5000)) << key;
    }
    EXPECT_TRUE(platform.messages.empty());
    QImage saved(png + ".png");
    EXPECT_EQ(saved.size(), QSize(1004, 756)); // 85 x 64 mm at 300 dpi
    EXPECT_EQ(saved.dotsPerMeterX(), 11811);
    EXPECT_TRUE(fileBytes(dirPath() + "/plot.svg").startsWith("<?xml"));
    EXPECT_TRUE(fileBytes(dirPath() + "/plot.pdf").startsWith("%PDF-"));
    EXPECT_EQ(fileBytes(dirPath() + "/trials.csv").toStdString(), FormatDraws(run));
    QTest::mouseClick(window.cmdSavePNG, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.startsWith("The picture could not be saved to " + dirPath() + "/none/"));
    EXPECT_EQ(platform.messages[0].title, "Bootstrap Distribution");
    QTest::mouseClick(window.cmdSavePNG, Qt::LeftButton); // cancelled: nothing happens
    EXPECT_EQ(platform.messages.size(), 1u);
    QTest::mouseClick(window.cmdCopy, Qt::LeftButton);
    EXPECT_EQ(platform.clipboardImage.size(), QSize(1004, 756));
    QTest::mouseClick(window.cmdCopyNote, Qt::LeftButton);
    EXPECT_EQ(
        platform.clipboard.value_or(QString()),
        QString::fromUtf8("Note. Histogram of the 1,000 valid of 1,000 bootstrap resamples of \u0394R\u00b2 (Var 1 "
                          "on no predictors; adding Var 2; 0 complete cases, seed 0). Solid line: observed "
                          "\u0394R\u00b2 = .500. Dashed lines: 95% percentile bootstrap confidence limits "
                          "[.025, .975]. Dash-dotted line: the modified lower limit, 0, since the F test of the "
                          "added predictors was not significant at \u03b1 = .05."));
    QSettings().remove("figure");
}

// The sizes and the resolution: the presets, a custom size kept for the next
// window, text at its printed size, and the files as other programs read them
// (poppler's pdfinfo and pdftotext, librsvg's rsvg-convert, ImageMagick's identify).
TEST_F(WindowTest, TheFigureHasItsPrintedSizeInEveryReader)
{
    QSettings().remove("figure");
    BootstrapResult run = evenRun();
    run.Intervals.push_back({IntervalKind::BCa, ConfidenceLevel::P95, 0.03, 0.96});
    {
        frmDistribution window(platform, run, nullptr);
        EXPECT_EQ(window.cmbSize->currentText(), "One column (85 mm)");
        EXPECT_FALSE(window.spnWidth->isEnabled());
        window.cmbSize->setCurrentIndex(1);
        EXPECT_EQ(window.spnWidth->value(), 175.0);
        EXPECT_EQ(window.plotDistribution->figure().heightMm, 105.0);
        window.cmbSize->setCurrentIndex(2);
        ASSERT_TRUE(window.spnWidth->isEnabled());
        window.spnWidth->setValue(120);
        window.spnHeight->setValue(80);
        window.cmbResolution->setCurrentIndex(1);
        window.chkCaption->setChecked(true);
    }
    frmDistribution window(platform, run, nullptr);
    EXPECT_EQ(window.cmbSize->currentText(), "Custom");
    EXPECT_EQ(window.resolution(), 600);
    const FigureSpec figure = window.plotDistribution->figure();
    EXPECT_EQ(figure.widthMm, 120.0);
    EXPECT_EQ(figure.heightMm, 80.0);
    EXPECT_TRUE(figure.caption);

    const QString pdf = dirPath() + "/figure.pdf";
    const QString svg = dirPath() + "/figure.svg";
    const QString png = dirPath() + "/figure.png";
    platform.saveNames = {png, svg, pdf};
    window.cmdSavePNG_Click();
    window.cmdSaveSVG_Click();
    window.cmdSavePDF_Click();
    ASSERT_TRUE(platform.messages.empty());
    auto output = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": "
                                         << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    // 120 x 80 mm are 340.16 x 226.77 points; the PDF's page box is in whole points.
    EXPECT_TRUE(output("pdfinfo", {pdf}).contains(QRegularExpression("Page size: +340 x 227 pts")));
    const QString text = output("pdftotext", {pdf, "-"});
    EXPECT_TRUE(text.contains(QString::fromUtf8("\u0394R\u00b2"))) << text.toStdString();
    EXPECT_TRUE(text.contains("Frequency"));
    EXPECT_TRUE(text.contains("BCa [.030, .960]"));
    output("pdftoppm", {"-r", "72", "-png", "-singlefile", pdf, dirPath() + "/page"});
    EXPECT_EQ(QImage(dirPath() + "/page.png").size(), QSize(340, 227));
    // librsvg sizes millimetres at 96 dpi: 120 mm are 453.5 pixels.
    output("rsvg-convert", {"-o", dirPath() + "/svg.png", svg});
    const QSize drawn = QImage(dirPath() + "/svg.png").size();
    EXPECT_NEAR(drawn.width(), 453.5, 1.0);
    EXPECT_NEAR(drawn.height(), 302.4, 1.0);
    EXPECT_EQ(output("identify", {"-units", "PixelsPerInch", "-format", "%w %h %x", png}).left(14), "2835 1890 600");

    // Text and lines keep their printed size: at twice the resolution the
    // figure inks four times the pixels (a text of fixed pixels would not).
    auto inked = [](const QImage& image) {
        qint64 count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
        return static_cast<double>(count);
    };
    const double ratio = inked(window.plotDistribution->toImage(600)) / inked(window.plotDistribution->toImage(300));
    EXPECT_NEAR(ratio, 4.0, 0.4);
    QSettings().remove("figure");
}

// The words of an SVG's text elements in the order drawn, without blanks: a
// legend line is in it whole however it is wrapped or split into runs of its
// scripts.
QString svgText(const QByteArray& svg)
{
    static const QRegularExpression element(QStringLiteral("<text[^>]*>([^<]*)</text>"));
    QString words;
    for (const QRegularExpressionMatch& match : element.globalMatch(QString::fromUtf8(svg))) {
        words += match.captured(1);
    }
    return words.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The page of a one-page PDF in points: its MediaBox's width and height.
QSizeF pdfPage(const QByteArray& pdf)
{
    static const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    const QRegularExpressionMatch match = box.match(QString::fromLatin1(pdf));
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) : QSizeF();
}

// orvalis-cli's --figure is the window's figure: the same run saved from the
// Bootstrap Distribution window at the same size gives the same SVG and PNG,
// byte for byte, so the legend gives the window's values; the PDF's page is
// the size asked for, and the PNG has that size times its resolution in
// pixels, with the resolution stored. A hierarchical run draws the step
// --figure-step names, the last by default.
TEST_F(WindowTest, TheCommandLineFigureIsTheWindowsFigure)
{
    QSettings().remove("figure");
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    auto path = [&](const char* name) { return (dir.path() / name).string(); };
    auto cli = [&](std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::runCli(args, out, err);
        EXPECT_EQ(status, cli::ExitSuccess) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    };
    const std::vector<std::string> bootstrap = {"--delimiter=comma", mtcars,     "bootstrap",       "--dv=mpg",
                                                "--predictors",      "wt",       "--added=hp,qsec", "--trials=300",
                                                "--seed=21",         "--details"};
    auto with = [](std::vector<std::string> args, const std::vector<std::string>& extra) {
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const std::string report = cli(bootstrap);
    EXPECT_EQ(cli(with(bootstrap, {"--figure", path("cli.svg"), "--figure-size", "120x80"})), report);
    EXPECT_EQ(cli(with(bootstrap, {"--figure=" + path("cli.PDF"), "--figure-size=120x80"})), report);
    EXPECT_EQ(cli(with(bootstrap, {"--figure", path("cli.png"), "--figure-size", "120x80", "--figure-dpi", "600"})),
              report);
    EXPECT_EQ(cli(with(bootstrap, {"--figure", path("default.png")})), report);
    EXPECT_EQ(cli(with(bootstrap, {"--figure", path("two.pdf"), "--figure-size", "two-column"})), report);

    // The window's figure of the same run, at the same size and resolution.
    const ImportOutcome data = ImportDataFile(mtcars, Delimiter::Comma);
    ASSERT_TRUE(data.ok());
    auto variable = [&](const char* name) { return *variableNamed(*data, name); };
    BootstrapRequest request;
    request.DependentVariable = variable("mpg");
    request.PredictorList = {variable("wt")};
    request.AddedList = {variable("hp"), variable("qsec")};
    std::sort(request.AddedList.begin(), request.AddedList.end());
    request.NumTrials = 300;
    request.Details = true;
    const Outcome<BootstrapResult> result = RunBootstrap(request, *data, 21);
    ASSERT_TRUE(result.ok());
    frmDistribution window(platform, *result, nullptr);
    window.cmbSize->setCurrentIndex(2);
    window.spnWidth->setValue(120);
    window.spnHeight->setValue(80);
    window.cmbResolution->setCurrentIndex(1);
    platform.saveNames = {dirPath() + "/window.svg", dirPath() + "/window.pdf", dirPath() + "/window.png"};
    window.cmdSaveSVG_Click();
    window.cmdSavePDF_Click();
    window.cmdSavePNG_Click();
    ASSERT_TRUE(platform.messages.empty());

    const QByteArray svg = fileBytes(dirPath() + "/cli.svg");
    EXPECT_TRUE(svg.contains("width=\"120.00mm\" height=\"80.00mm\""));
    EXPECT_EQ(svg, fileBytes(dirPath() + "/window.svg"));
    const QString words = svgText(svg);
    int legends = 0;
    for (const DistributionPlot::Marker& marker : window.plotDistribution->markers()) {
        if (!marker.label.isEmpty()) {
            EXPECT_TRUE(words.contains(QString(marker.label).remove(QRegularExpression(QStringLiteral("\\s")))))
                << marker.label.toStdString() << "\n"
                << words.toStdString();
            ++legends;
        }
    }
    EXPECT_GE(legends, 3) << "the observed change, the percentile interval and BCa";
    EXPECT_TRUE(words.contains(QStringLiteral("BCa[")));

    // 120 x 80 mm are 340.157 x 226.772 points; 175 x 105 mm 496.063 x 297.638.
    for (const QString& name : {QStringLiteral("cli.PDF"), QStringLiteral("window.pdf")}) {
        const QByteArray pdf = fileBytes(dirPath() + "/" + name);
        EXPECT_TRUE(pdf.startsWith("%PDF-")) << name.toStdString();
        const QSizeF page = pdfPage(pdf);
        EXPECT_NEAR(page.width(), 340.157, 0.5) << name.toStdString();
        EXPECT_NEAR(page.height(), 226.772, 0.5) << name.toStdString();
    }
    const QSizeF two = pdfPage(fileBytes(dirPath() + "/two.pdf"));
    EXPECT_NEAR(two.width(), 496.063, 0.5);
    EXPECT_NEAR(two.height(), 297.638, 0.5);
    // At 600 dpi 120 x 80 mm are 2835 x 1890 pixels; the default, 85 x 64 mm at 300 dpi, 1004 x 756.
    const QImage png(dirPath() + "/cli.png");
    EXPECT_EQ(png.size(), QSize(2835, 1890));
    EXPECT_EQ(png.dotsPerMeterX(), 23622);
    EXPECT_EQ(png.dotsPerMeterY(), 23622);
    EXPECT_EQ(fileBytes(dirPath() + "/cli.png"), fileBytes(dirPath() + "/window.png"));
    const QImage small(dirPath() + "/default.png");
    EXPECT_EQ(small.size(), QSize(1004, 756));
    EXPECT_EQ(small.dotsPerMeterX(), 11811);

    // A hierarchical run: step 1 as asked, the last step by default.
    const std::vector<std::string> hierarchical = {"--delimiter=comma", mtcars,         "hierarchical",
                                                   "--dv=mpg",          "--step=wt",    "--step",
                                                   "hp,qsec",           "--trials=200", "--seed=5"};
    const std::string steps = cli(hierarchical);
    EXPECT_EQ(cli(with(hierarchical, {"--figure", path("step1.svg"), "--figure-step", "1"})), steps);
    EXPECT_EQ(cli(with(hierarchical, {"--figure", path("last.svg")})), steps);
    HierarchicalRequest stepwise;
    stepwise.DependentVariable = variable("mpg");
    stepwise.Steps = {{variable("wt")}, request.AddedList};
    stepwise.NumTrials = 200;
    const Outcome<HierarchicalResult> run = RunHierarchical(stepwise, *data, 5);
    ASSERT_TRUE(run.ok());
    ASSERT_EQ(run->steps.size(), 2u);
    for (const auto& [name, step] : {std::pair{"step1.svg", 0}, std::pair{"last.svg", 1}}) {
        const DistributionPlot plot(run->steps[static_cast<std::size_t>(step)]);
        EXPECT_EQ(fileBytes(dirPath() + "/" + name), plot.toSvg()) << name;
    }
    QSettings().remove("figure");
}

// A run with simple slopes made by hand: y on x and w, the slopes of x
// (2) at w (3), three lines 10 + x, 20 and 30 - x over x from 0 to 10; the
// slope of x across w from -4 to 4 is 1 + w with a standard error of 1, so
// at t = 2 its band is [w - 1, w + 3], and it is significant below w = -3
// and above w = 1.
HierarchicalResult madeModeration()
{
    HierarchicalResult result;
    result.request.DependentVariable = 1;
    result.VariableNames = {"", "y", "x", "w"};
    ModerationResult m;
    m.request.focal = 2;
    m.request.moderator = 3;
    m.step = 1;
    m.focalMin = 0.0;
    m.focalMax = 10.0;
    m.moderatorMin = -4.0;
    m.moderatorMax = 4.0;
    m.moderatorMean = 5.0;
    m.moderatorSD = 1.0;
    m.critical = 2.0;
    m.b1 = 1.0;
    m.b3 = 1.0;
    m.v11 = 1.0;
    const std::pair<SlopePoint, double> points[] = {
        {SlopePoint::BelowMean, 4.0}, {SlopePoint::Mean, 5.0}, {SlopePoint::AboveMean, 6.0}};
    for (int k = 0; k < 3; ++k) {
        SimpleSlope slope;
        slope.point = points[k].first;
        slope.at = points[k].second;
        slope.intercept = 10.0 * (k + 1);
        slope.B = 1.0 - k;
        m.slopes.push_back(slope);
    }
    m.johnsonNeyman = JohnsonNeyman{{-3.0, 1.0}, {true, false, true}};
    result.Moderation = m;
    return result;
}

// Whether image has a pixel within a few of colour's channels near (x, y).
bool colourNear(const QImage& image, double x, double y, QColor colour, int radius, int tolerance = 0)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint at(static_cast<int>(std::lround(x)) + dx, static_cast<int>(std::lround(y)) + dy);
            if (!image.rect().contains(at)) {
                continue;
            }
            const QColor c = image.pixelColor(at);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance
                && std::abs(c.blue() - colour.blue()) <= tolerance) {
                return true;
            }
        }
    }
    return false;
}

// The numbers of the legends and bounds: four significant digits.
TEST(ModerationFigures, NumbersHaveFourSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {{78.1246, "78.12"}, {146.6875, "146.7"},         {-3.0, "-3"},
                                                    {0.0125, "0.0125"}, {123456.7, "123457"},        {0.0, "0"},
                                                    {2.5, "2.5"},       {-0.000123456, "-0.0001235"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(figureNumber(value), text) << value;
    }
}

// The simple slopes: each line where intercept + B x puts it, in its own
// colour and dash pattern, the legend naming the moderator values as the
// report does; the CSV gives the lines.
TEST_F(WindowTest, TheSimpleSlopesFigureDrawsEachLine)
{
    const HierarchicalResult run = madeModeration();
    const SimpleSlopesFigure figure(run);
    EXPECT_EQ(figure.xTitle(), "x");
    EXPECT_EQ(figure.yTitle(), "Predicted y");
    EXPECT_EQ(figure.legendTitle(), "w");
    QStringList labels;
    for (const ModerationFigure::LegendEntry& entry : figure.legend()) {
        labels << entry.label;
    }
    EXPECT_EQ(labels, QStringList({"mean - 1 SD (4)", "mean (5)", "mean + 1 SD (6)"}));
    // x over the observed range; y from 10 to 30 with 5% of 20 on either side.
    EXPECT_DOUBLE_EQ(figure.xMin(), 0.0);
    EXPECT_DOUBLE_EQ(figure.xMax(), 10.0);
    EXPECT_DOUBLE_EQ(figure.yMin(), 9.0);
    EXPECT_DOUBLE_EQ(figure.yMax(), 31.0);
    ASSERT_EQ(figure.lines().size(), 3u);
    EXPECT_NE(figure.lines()[0].style, figure.lines()[1].style);
    EXPECT_NE(figure.lines()[1].style, figure.lines()[2].style);
    EXPECT_NE(figure.lines()[0].style, figure.lines()[2].style);

    const double scale = 300.0 / 72.0;
    const QImage image = figure.toImage(300);
    const QRectF area = figure.plotRect();
    auto px = [&](double x) { return scale * (area.left() + x / 10.0 * area.width()); };
    auto py = [&](double y) { return scale * (area.bottom() - (y - 9.0) / 22.0 * area.height()); };
    // Somewhere along the line near x (a dashed line has gaps).
    auto onLine = [&](QColor colour, double intercept, double B, double x) {
        for (double t = x - 0.4; t <= x + 0.4; t += 0.02) {
            if (colourNear(image, px(t), py(intercept + B * t), colour, 1)) {
                return true;
            }
        }
        return false;
    };
    const QColor colours[] = {figure.lines()[0].color, figure.lines()[1].color, figure.lines()[2].color};
    for (const double x : {2.0, 5.0, 8.0}) {
        EXPECT_TRUE(onLine(colours[0], 10.0, 1.0, x)) << x;
        EXPECT_TRUE(onLine(colours[1], 20.0, 0.0, x)) << x;
        EXPECT_TRUE(onLine(colours[2], 30.0, -1.0, x)) << x;
        EXPECT_FALSE(onLine(colours[0], 30.0, -1.0, x)) << x;
        EXPECT_FALSE(onLine(colours[2], 10.0, 1.0, x)) << x;
    }
    const QString words = svgText(figure.toSvg());
    EXPECT_TRUE(words.contains("mean-1SD(4)")) << words.toStdString();
    EXPECT_TRUE(words.contains("Predictedy"));

    EXPECT_EQ(FormatSimpleSlopesCsv(*run.Moderation),
              "moderator,value,intercept,B\nmean - 1 SD,4,10,1\nmean,5,20,0\nmean + 1 SD,6,30,-1\n");
    // A categorical moderator: its categories by their labels, quoted where CSV needs it.
    HierarchicalResult byCategory = run;
    ModerationResult& m = *byCategory.Moderation;
    m.categoricalModerator = true;
    m.categoryLabels = {"a,b", "plain"};
    m.johnsonNeyman.reset();
    m.slopes.resize(2);
    for (std::int32_t k = 0; k < 2; ++k) {
        m.slopes[static_cast<std::size_t>(k)].point = SlopePoint::Category;
        m.slopes[static_cast<std::size_t>(k)].category = k + 1;
        m.slopes[static_cast<std::size_t>(k)].at = k + 1;
    }
    EXPECT_EQ(FormatSimpleSlopesCsv(m), "moderator,value,intercept,B\n\"a,b\",1,10,1\nplain,2,20,0\n");
    const SimpleSlopesFigure categories(byCategory);
    ASSERT_EQ(categories.legend().size(), 2u);
    EXPECT_EQ(categories.legend()[0].label, "a,b");
    EXPECT_EQ(categories.legend()[1].label, "plain");
    EXPECT_EQ(ModerationFigure::make(byCategory, ModerationFigureKind::JohnsonNeyman), nullptr);
    EXPECT_NE(ModerationFigure::make(byCategory, ModerationFigureKind::SimpleSlopes), nullptr);
}

// The Johnson-Neyman figure: the slope, its band, the line at 0, the
// significant regions shaded and the bounds marked, where the made values put
// them; the CSV gives the grid the figure draws.
TEST_F(WindowTest, TheJohnsonNeymanFigureDrawsTheBandAndRegions)
{
    const HierarchicalResult run = madeModeration();
    const JohnsonNeymanFigure figure(run);
    EXPECT_EQ(figure.xTitle(), "w");
    EXPECT_EQ(figure.yTitle(), "Slope of x");
    // The band runs from -5 (at w = -4) to 7 (at w = 4); 5% of 12 either side.
    EXPECT_DOUBLE_EQ(figure.xMin(), -4.0);
    EXPECT_DOUBLE_EQ(figure.xMax(), 4.0);
    EXPECT_DOUBLE_EQ(figure.yMin(), -5.6);
    EXPECT_DOUBLE_EQ(figure.yMax(), 7.6);
    EXPECT_EQ(figure.regions(), (std::vector<std::pair<double, double>>{{-4.0, -3.0}, {1.0, 4.0}}));
    EXPECT_EQ(figure.bounds(), (std::vector<double>{-3.0, 1.0}));

    const std::vector<SlopeBandPoint> grid = johnsonNeymanGrid(*run.Moderation);
    ASSERT_EQ(grid.size(), 101u);
    auto same = [](const SlopeBandPoint& p, double at, double B, double SE, double lower, double upper) {
        EXPECT_DOUBLE_EQ(p.at, at);
        EXPECT_DOUBLE_EQ(p.B, B);
        EXPECT_DOUBLE_EQ(p.SE, SE);
        EXPECT_DOUBLE_EQ(p.lower, lower);
        EXPECT_DOUBLE_EQ(p.upper, upper);
    };
    same(grid.front(), -4.0, -3.0, 1.0, -5.0, -1.0);
    same(grid[50], 0.0, 1.0, 1.0, -1.0, 3.0);
    same(grid.back(), 4.0, 5.0, 1.0, 3.0, 7.0);
    const std::string csv = FormatJohnsonNeymanCsv(*run.Moderation);
    EXPECT_EQ(csv.rfind("moderator,B,SE,lower,upper\n-4,-3,1,-5,-1\n", 0), 0u);
    EXPECT_NE(csv.find("\n0,1,1,-1,3\n"), std::string::npos);
    EXPECT_TRUE(csv.ends_with("\n4,5,1,3,7\n"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 102);

    const double scale = 300.0 / 72.0;
    const QImage image = figure.toImage(300);
    const QRectF area = figure.plotRect();
    auto px = [&](double w) { return scale * (area.left() + (w + 4.0) / 8.0 * area.width()); };
    auto py = [&](double y) { return scale * (area.bottom() - (y + 5.6) / 13.2 * area.height()); };
    // The slope 1 + w.
    for (const double w : {-2.0, 0.5, 3.0}) {
        EXPECT_TRUE(colourNear(image, px(w), py(1.0 + w), JohnsonNeymanFigure::slopeColor(), 2)) << w;
    }
    // The band's edges, w - 1 and w + 3, and its inside: the band's colour at
    // 0x66 over white, (0x56, 0xb4, 0xe9) x 0.4 + 255 x 0.6 = (187, 225, 246).
    for (const double w : {-2.0, 0.5}) {
        EXPECT_TRUE(colourNear(image, px(w), py(w - 1.0), JohnsonNeymanFigure::bandColor(), 2, 24)) << w;
        EXPECT_TRUE(colourNear(image, px(w), py(w + 3.0), JohnsonNeymanFigure::bandColor(), 2, 24)) << w;
    }
    EXPECT_TRUE(colourNear(image, px(0.0), py(2.2), QColor(187, 225, 246), 0, 3));
    EXPECT_TRUE(colourNear(image, px(0.0), py(6.5), Qt::white, 0)) << "not significant, outside the band";
    // The regions shaded where the slope is significant, outside the band.
    EXPECT_TRUE(colourNear(image, px(-3.5), py(6.0), JohnsonNeymanFigure::regionColor(), 0));
    EXPECT_TRUE(colourNear(image, px(2.5), py(-4.0), JohnsonNeymanFigure::regionColor(), 0));
    EXPECT_FALSE(colourNear(image, px(-2.0), py(6.0), JohnsonNeymanFigure::regionColor(), 3));
    // The line at 0, dashed: dark somewhere along it beyond the band's reach.
    bool zero = false;
    for (double w = -3.9; w <= -3.1 && !zero; w += 0.01) {
        zero = colourNear(image, px(w), py(0.0), Qt::black, 1, 60);
    }
    EXPECT_TRUE(zero);
    // Each bound a dotted line from top to bottom.
    for (const double bound : {-3.0, 1.0}) {
        int dots = 0;
        for (double y = -5.0; y <= 7.0; y += 0.05) {
            dots += colourNear(image, px(bound), py(y), JohnsonNeymanFigure::boundColor(), 1) ? 1 : 0;
        }
        EXPECT_GT(dots, 40) << bound;
    }
    const QString words = svgText(figure.toSvg());
    for (const char* word : {"Slopeofx", "95%confidenceband", "Significantatthe5%level", "Johnson-Neymanbound"}) {
        EXPECT_TRUE(words.contains(QString::fromLatin1(word))) << word << "\n" << words.toStdString();
    }

    // Bounds beyond the observed range: none drawn, the region cut to the range.
    HierarchicalResult beyond = run;
    beyond.Moderation->johnsonNeyman = JohnsonNeyman{{-9.0}, {false, true}};
    const JohnsonNeymanFigure wide(beyond);
    EXPECT_TRUE(wide.bounds().empty());
    EXPECT_EQ(wide.regions(), (std::vector<std::pair<double, double>>{{-4.0, 4.0}}));
    const QString wideWords = svgText(wide.toSvg());
    EXPECT_FALSE(wideWords.contains("Johnson-Neymanbound"));
    EXPECT_TRUE(wideWords.contains("Significantatthe5%level"));
}

// The window refuses a run without slopes and the Johnson-Neyman figure of a
// categorical moderator with a warning; otherwise its exports work from the
// keyboard and write the figure and the plotted values.
TEST_F(WindowTest, TheModerationWindowRefusesAndExports)
{
    QSettings().remove("figure");
    HierarchicalResult none = madeModeration();
    none.Moderation.reset();
    frmModerationFigure::showFor(platform, none, ModerationFigureKind::SimpleSlopes, nullptr);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "The run has no simple slopes: ask for the slopes of a predictor at a "
                                         "moderator whose product a step enters, and run it again.");
    EXPECT_EQ(platform.messages[0].title, "Simple Slopes");
    EXPECT_FALSE(platform.messages[0].information);
    HierarchicalResult categorical = madeModeration();
    categorical.Moderation->categoricalModerator = true;
    categorical.Moderation->johnsonNeyman.reset();
    frmModerationFigure::showFor(platform, categorical, ModerationFigureKind::JohnsonNeyman, nullptr);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "The Johnson-Neyman figure needs a numeric moderator; the simple slopes of a "
                                         "categorical one are the slopes in its categories.");
    EXPECT_EQ(platform.messages[1].title, "Johnson-Neyman");
    EXPECT_TRUE(frmModerationFigure::refusal(categorical, ModerationFigureKind::SimpleSlopes).isEmpty());

    for (const ModerationFigureKind kind : {ModerationFigureKind::SimpleSlopes, ModerationFigureKind::JohnsonNeyman}) {
        const HierarchicalResult run = madeModeration();
        frmModerationFigure window(platform, run, kind, nullptr);
        EXPECT_EQ(window.windowTitle(), ModerationFigure::titleOf(kind));
        window.show();
        QApplication::setActiveWindow(&window);
        const QString stem = dirPath() + "/" + (kind == ModerationFigureKind::SimpleSlopes ? "slopes" : "jn");
        platform.saveNames = {stem + ".svg", stem + ".csv", stem};
        // Alt+S, Alt+C and Alt+P, as a keyboard user exports.
        for (const Qt::Key key : {Qt::Key_S, Qt::Key_C, Qt::Key_P}) {
            const std::size_t left = platform.saveNames.size();
            QTest::keyClick(&window, key, Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor([&] { return platform.saveNames.size() < left; }, 5000)) << key;
        }
        EXPECT_EQ(platform.messages.size(), 2u);
        EXPECT_EQ(fileBytes(stem + ".svg"), window.plotModeration->toSvg());
        EXPECT_TRUE(fileBytes(stem + ".svg").contains(ModerationFigure::titleOf(kind)));
        EXPECT_EQ(fileBytes(stem + ".csv").toStdString(), kind == ModerationFigureKind::SimpleSlopes
                                                              ? FormatSimpleSlopesCsv(*run.Moderation)
                                                              : FormatJohnsonNeymanCsv(*run.Moderation));
        EXPECT_EQ(QImage(stem + ".png").size(), QSize(1004, 756)); // 85 x 64 mm at 300 dpi
        // The caption is the figure's own choice, kept for every figure window.
        window.chkCaption->setChecked(true);
        EXPECT_TRUE(window.plotModeration->figure().caption);
        EXPECT_TRUE(window.plotModeration->drawing()->figure().caption);
        window.chkCaption->setChecked(false);
    }
    QSettings().remove("figure");
}

// orvalis-cli's --figure-of slopes and johnson-neyman are the window's
// figures: the same run's SVG and PNG, byte for byte, and the report as
// without a figure.
TEST_F(WindowTest, TheCommandLineModerationFiguresAreTheWindowsFigures)
{
    QSettings().remove("figure");
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    auto path = [&](const std::string& name) { return (dir.path() / name).string(); };
    auto cli = [&](std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::runCli(args, out, err);
        EXPECT_EQ(status, cli::ExitSuccess) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    };
    const std::vector<std::string> command = {
        "--delimiter=comma", mtcars,  "hierarchical", "--dv=mpg", "--step=wt,hp", "--step",  "wt*hp",
        "--center",          "wt,hp", "--slopes",     "wt@hp",    "--trials=100", "--seed=5"};
    const std::string report = cli(command);
    ASSERT_NE(report.find("Johnson-Neyman: "), std::string::npos);
    auto with = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = command;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    EXPECT_EQ(cli(with({"--figure", path("slopes.svg"), "--figure-of", "slopes", "--figure-size", "120x80"})), report);
    EXPECT_EQ(cli(with({"--figure=" + path("jn.svg"), "--figure-of=johnson-neyman", "--figure-size=120x80"})), report);
    EXPECT_EQ(cli(with({"--figure", path("slopes.png"), "--figure-of", "slopes"})), report);
    EXPECT_EQ(cli(with({"--figure", path("distribution.svg"), "--figure-of", "distribution"})), report);

    const ImportOutcome data = ImportDataFile(mtcars, Delimiter::Comma);
    ASSERT_TRUE(data.ok());
    auto variable = [&](const char* name) { return *variableNamed(*data, name); };
    HierarchicalRequest request;
    request.DependentVariable = variable("mpg");
    std::vector<std::int32_t> first = {variable("wt"), variable("hp")};
    std::sort(first.begin(), first.end());
    request.Steps = {first, {}};
    request.Products = {{}, {{variable("wt"), variable("hp")}}};
    request.Centred = {variable("wt"), variable("hp")};
    request.Slopes = SlopesRequest{variable("wt"), variable("hp"), {}};
    request.NumTrials = 100;
    const Outcome<HierarchicalResult> run = RunHierarchical(request, *data, 5);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    ASSERT_TRUE(run->Moderation.has_value());

    for (const auto& [kind, name] : {std::pair{ModerationFigureKind::SimpleSlopes, std::string("slopes")},
                                     std::pair{ModerationFigureKind::JohnsonNeyman, std::string("jn")}}) {
        frmModerationFigure window(platform, *run, kind, nullptr);
        window.cmbSize->setCurrentIndex(2);
        window.spnWidth->setValue(120);
        window.spnHeight->setValue(80);
        platform.saveNames = {dirPath() + "/window-" + QString::fromStdString(name) + ".svg"};
        window.cmdSaveSVG_Click();
        ASSERT_TRUE(platform.messages.empty());
        const QByteArray svg = fileBytes(QString::fromStdString(path(name + ".svg")));
        EXPECT_TRUE(svg.contains("width=\"120.00mm\" height=\"80.00mm\"")) << name;
        EXPECT_EQ(svg, fileBytes(dirPath() + "/window-" + QString::fromStdString(name) + ".svg")) << name;
    }
    frmModerationFigure window(platform, *run, ModerationFigureKind::SimpleSlopes, nullptr);
    window.cmbSize->setCurrentIndex(0);
    window.cmbResolution->setCurrentIndex(0);
    platform.saveNames = {dirPath() + "/window-slopes.png"};
    window.cmdSavePNG_Click();
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_EQ(fileBytes(QString::fromStdString(path("slopes.png"))), fileBytes(dirPath() + "/window-slopes.png"));
    // The legend names hp's values as the report does.
    const QString words = svgText(fileBytes(QString::fromStdString(path("slopes.svg"))));
    EXPECT_TRUE(words.contains("mean-1SD(78.12)")) << words.toStdString();
    EXPECT_TRUE(words.contains("mean+1SD(215.3)")) << words.toStdString();
    QSettings().remove("figure");
}

// Analyses > Relative Importance (Alt+A, L) opens the window on the imported
// data, the same window each time until an import discards it; an import
// under way disables it as it does the other analyses.
TEST_F(WindowTest, RelativeImportanceOpensFromTheAnalysesMenu)
{
    QAction* item = control<QAction>(*window, "mnuDominance");
    EXPECT_EQ(item->text(), "Re&lative Importance...");
    EXPECT_TRUE(item->isEnabled());
    std::set<QChar> mnemonics;
    for (QAction* action : qobject_cast<QWidget*>(item->parent())->actions()) {
        const qsizetype at = action->text().indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < action->text().size()) {
            EXPECT_TRUE(mnemonics.insert(action->text()[at + 1].toLower()).second) << action->text().toStdString();
        }
    }
    for (int k = 0; k < 2; ++k) {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<frmDominance*>(QApplication::activeModalWidget());
            opened = dialog != nullptr && dialog == window->dominanceDialog()
                     && dialog->lstVariables->count() == window->dataSet().NumVariables();
            if (dialog != nullptr) {
                dialog->cmdCancel->click();
            }
        });
        item->trigger();
        EXPECT_TRUE(opened) << k;
    }
}

// The Relative Importance window as the other dialogs: made larger, its
// three lists take the room (each a third of the extra width at least); at
// its design size it cannot be smaller; every control it tabs to has a name.
TEST_F(WindowTest, TheRelativeImportanceWindowGivesRoomToItsLists)
{
    const DataSet data = *importDataBuffer("a b c\n1 2 3\n4 5 7\n", Delimiter::Space);
    frmDominance dialog(platform, data, window->outputLog(), nullptr);
    dialog.show();
    const QSize design = dialog.size();
    EXPECT_EQ(dialog.minimumSize(), design);
    for (QWidget* control : dialog.findChildren<QWidget*>()) {
        if (control->isVisible() && (control->focusPolicy() & Qt::TabFocus) != 0
            && !control->objectName().startsWith("qt_")) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << control->objectName().toStdString();
        }
    }
    const QList<QListWidget*> lists = dialog.findChildren<QListWidget*>();
    ASSERT_EQ(lists.size(), 3);
    std::vector<int> widths;
    for (const QListWidget* list : lists) {
        widths.push_back(list->width());
    }
    const QSize extra(300, 200);
    dialog.resize(design + extra);
    QApplication::processEvents();
    for (int k = 0; k < lists.size(); ++k) {
        EXPECT_GE(lists[k]->width(), widths[static_cast<std::size_t>(k)] + extra.width() / 3 - 1)
            << lists[k]->objectName().toStdString();
    }
}

// A made dominance result: units a, b and the group "c, d" with general
// weights 0.1, 0.3 and 0.2, shares .125, .375 and .25 of an R^2 of 0.8 (0.2 of
// it the covariate's), percentile limits [0.05, 0.2], [0.2, 0.5] and
// [0.1, 0.25], the group's lower limit undefined.
DominanceResult madeDominance()
{
    DominanceResult result;
    result.request.DependentVariable = 1;
    result.request.Covariates = {5};
    result.VariableNames = {"", "y", "a", "b", "x", "z"};
    result.units = {{"", {2}, {2}}, {"", {3}, {3}}, {"c, d", {4}, {4}}};
    result.observed.general = {0.1, 0.3, 0.2};
    result.observed.share = {0.125, 0.375, 0.25};
    result.generalPercentile = {{0.05, 0.2}, {0.2, 0.5}, {std::nullopt, 0.25}};
    result.NumValid = 100;
    return result;
}

// The dominance figure: a bar per unit, the largest weight at the top, from 0
// to the weight on an axis from 0 to 0.5 (the highest limit), its interval a
// black line at the middle of its row; the CSV lists the same rows.
TEST(DominanceFigures, EachBarEndsAtItsWeightWithItsIntervalAcrossIt)
{
    const DominanceResult result = madeDominance();
    DominanceFigure figure(result);
    ASSERT_EQ(figure.bars().size(), 3u);
    EXPECT_EQ(figure.bars()[0].label, "b");
    EXPECT_EQ(figure.bars()[1].label, "c, d");
    EXPECT_EQ(figure.bars()[2].label, "a");
    EXPECT_EQ(figure.xMin(), 0.0);
    EXPECT_EQ(figure.xMax(), 0.5);
    EXPECT_EQ(figure.axisTitle(), QStringLiteral("General dominance weight (R\u00b2)"));
    EXPECT_EQ(figure.caption(), "General dominance weights in predicting y, with their 95% percentile intervals "
                                "from 100 valid bootstrap trials, beyond z");

    const QRectF area = figure.plotRect();
    ASSERT_GT(area.width(), 100.0);
    auto px = [&](double x) { return area.left() + x / 0.5 * area.width(); };
    const double rowHeight = area.height() / 3.0;
    for (std::size_t k = 0; k < 3; ++k) {
        const double weight = std::array{0.3, 0.2, 0.1}[k];
        const QRectF bar = figure.barRect(k);
        EXPECT_NEAR(bar.left(), px(0.0), 1e-9) << k;
        EXPECT_NEAR(bar.right(), px(weight), 1e-9) << k;
        EXPECT_NEAR(bar.center().y(), area.top() + (k + 0.5) * rowHeight, 1e-9) << k;
        EXPECT_NEAR(bar.height(), 0.6 * rowHeight, 1e-9) << k;
    }

    const double scale = 300.0 / 72.0;
    const QImage image = figure.toImage(300);
    const QColor white(Qt::white);
    auto at = [&](double x, double y, QColor colour) { return colourNear(image, scale * x, scale * y, colour, 0); };
    // b's row: the bar up to 0.3 below the line, white beyond; the interval's line from 0.2 to 0.5.
    const double middle = area.top() + 0.5 * rowHeight;
    const double belowLine = middle + 0.25 * rowHeight;
    EXPECT_TRUE(at(px(0.15), belowLine, DominanceFigure::barColor()));
    EXPECT_TRUE(at(px(0.29), belowLine, DominanceFigure::barColor()));
    EXPECT_TRUE(at(px(0.31), belowLine, white));
    EXPECT_TRUE(at(px(0.15), middle, DominanceFigure::barColor())) << "no interval below 0.2";
    EXPECT_TRUE(at(px(0.25), middle, DominanceFigure::intervalColor()));
    EXPECT_TRUE(at(px(0.45), middle, DominanceFigure::intervalColor()));
    EXPECT_TRUE(at(px(0.48), belowLine, white));
    // The group's row: no interval without its lower limit.
    const double groupMiddle = area.top() + 1.5 * rowHeight;
    EXPECT_TRUE(at(px(0.22), groupMiddle, white));
    EXPECT_TRUE(at(px(0.1), groupMiddle, DominanceFigure::barColor()));
    // a's row: the bar to 0.1, the interval from 0.05 to 0.2.
    const double lastMiddle = area.top() + 2.5 * rowHeight;
    EXPECT_TRUE(at(px(0.09), lastMiddle + 0.25 * rowHeight, DominanceFigure::barColor()));
    EXPECT_TRUE(at(px(0.11), lastMiddle + 0.25 * rowHeight, white));
    EXPECT_TRUE(at(px(0.15), lastMiddle, DominanceFigure::intervalColor()));
    EXPECT_TRUE(at(px(0.21), lastMiddle, white));

    EXPECT_EQ(FormatDominanceFigureCsv(result), "unit,general,lower,upper,share\n"
                                                "b,0.3,0.2,0.5,0.375\n"
                                                "\"c, d\",0.2,,0.25,0.25\n"
                                                "a,0.1,0.05,0.2,0.125\n");
}

// orvalis-cli's dominance --figure is the Relative Importance window's figure:
// the same run's SVG and PNG byte for byte, and the report as without it; the
// window's exports work from the keyboard.
TEST_F(WindowTest, TheCommandLineDominanceFigureIsTheWindowsFigure)
{
    QSettings().remove("figure");
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    auto path = [&](const std::string& name) { return (dir.path() / name).string(); };
    auto cli = [&](std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::runCli(args, out, err);
        EXPECT_EQ(status, cli::ExitSuccess) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    };
    const std::vector<std::string> command = {"--delimiter=comma", mtcars,         "dominance",   "--dv=mpg",
                                              "--units=wt,hp,qsec", "--group",     "engine=cyl,disp", "--trials=100",
                                              "--seed=5"};
    const std::string report = cli(command);
    auto with = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = command;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    EXPECT_EQ(cli(with({"--figure", path("dominance.svg"), "--figure-size", "120x80"})), report);
    EXPECT_EQ(cli(with({"--figure=" + path("dominance.png"), "--figure-dpi=300"})), report);

    const ImportOutcome data = ImportDataFile(mtcars, Delimiter::Comma);
    ASSERT_TRUE(data.ok());
    auto variable = [&](const char* name) { return *variableNamed(*data, name); };
    DominanceRequest request;
    request.DependentVariable = variable("mpg");
    request.Units = {variable("wt"), variable("hp"), variable("qsec")};
    request.Groups = {{"engine", {variable("cyl"), variable("disp")}}};
    request.NumTrials = 100;
    const Outcome<DominanceResult> run = RunDominance(request, *data, 5);
    ASSERT_TRUE(run.ok()) << run.refusal().message;

    frmDominanceFigure window(platform, *run, nullptr);
    EXPECT_EQ(window.windowTitle(), "Relative Importance");
    window.cmbSize->setCurrentIndex(2);
    window.spnWidth->setValue(120);
    window.spnHeight->setValue(80);
    platform.saveNames = {dirPath() + "/window.svg"};
    window.cmdSaveSVG_Click();
    ASSERT_TRUE(platform.messages.empty());
    const QByteArray svg = fileBytes(QString::fromStdString(path("dominance.svg")));
    EXPECT_TRUE(svg.contains("width=\"120.00mm\" height=\"80.00mm\""));
    EXPECT_EQ(svg, fileBytes(dirPath() + "/window.svg"));
    const QString words = svgText(svg);
    EXPECT_TRUE(words.contains("engine")) << words.toStdString();
    EXPECT_TRUE(words.contains("Generaldominanceweight(R")) << words.toStdString();

    window.cmbSize->setCurrentIndex(0);
    window.cmbResolution->setCurrentIndex(0);
    window.show();
    QApplication::setActiveWindow(&window);
    // Alt+P and Alt+C, as a keyboard user exports.
    platform.saveNames = {dirPath() + "/window.png", dirPath() + "/window.csv"};
    for (const Qt::Key key : {Qt::Key_P, Qt::Key_C}) {
        const std::size_t left = platform.saveNames.size();
        QTest::keyClick(&window, key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return platform.saveNames.size() < left; }, 5000)) << key;
    }
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(fileBytes(QString::fromStdString(path("dominance.png"))), fileBytes(dirPath() + "/window.png"));
    EXPECT_EQ(fileBytes(dirPath() + "/window.csv").toStdString(), FormatDominanceFigureCsv(*run));
    QSettings().remove("figure");
}

// A distribution window whose figure is wider than any image can be: QImage
// gives a null image for it, as it does when the memory for a large picture
// runs out, without trying to allocate it.
class OversizedDistribution : public frmDistribution {
public:
    OversizedDistribution(Platform& platform, const BootstrapResult& run) : frmDistribution(platform, run, nullptr)
    {
        figureChanged();
    }

protected:
    void adjustFigure(FigureSpec& figure) const override
    {
        frmDistribution::adjustFigure(figure);
        figure.widthMm = 3'000'000.0;
    }
};

// A picture that could not be rendered is never written: the existing file
// keeps its bytes and a warning gives the reason; Copy picture warns and
// leaves the clipboard as it was. The other exports still work.
TEST_F(WindowTest, AFailedRenderingNeverReplacesAFigure)
{
    QSettings().remove("figure");
    OversizedDistribution window(platform, evenRun());
    window.show();
    window.cmbResolution->setCurrentIndex(1); // 600 dpi
    ASSERT_EQ(window.plotDistribution->figure().widthMm, 3'000'000.0);
    dir.write("plot.png", "the old picture");
    platform.saveNames = {dirPath() + "/plot.png", dirPath() + "/trials.csv"};
    QTest::mouseClick(window.cmdSavePNG, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 1u);
    // 3,000 m at 600 dpi are 70,866,142 pixels; 64 mm are 1,512.
    EXPECT_EQ(platform.messages[0].text, "The picture could not be saved to " + dirPath()
                                             + "/plot.png: there is not enough memory for a picture of "
                                               "70866142 x 1512 pixels.");
    EXPECT_EQ(platform.messages[0].title, "Bootstrap Distribution");
    EXPECT_EQ(fileBytes(dirPath() + "/plot.png"), "the old picture");

    const QImage before(3, 2, QImage::Format_RGB32);
    platform.clipboardImage = before;
    QTest::mouseClick(window.cmdCopy, Qt::LeftButton);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text,
              "The picture could not be copied: there is not enough memory for a picture of 70866142 x 1512 pixels.");
    EXPECT_EQ(platform.messages[1].title, "Bootstrap Distribution");
    EXPECT_EQ(platform.clipboardImage.size(), QSize(3, 2));
    EXPECT_EQ(platform.clipboardImage.cacheKey(), before.cacheKey());

    QTest::mouseClick(window.cmdSaveCSV, Qt::LeftButton);
    EXPECT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(fileBytes(dirPath() + "/trials.csv").toStdString(), FormatDraws(evenRun()));
    QSettings().remove("figure");
}

// The Analyses menu's "Bootstrap Distribution" waits for a run, and a new
// import takes it away again.
TEST_F(WindowTest, TheDistributionMenuItemFollowsTheRuns)
{
    std::string rows;
    for (int r = 1; r <= 20; ++r) {
        rows += std::to_string(r) + " " + std::to_string((r * 7) % 11) + "\n";
    }
    dir.write("pairs.txt", rows);
    const auto w = ui(*window);
    w.dirDirectory->setPath(dirPath());
    test::clickItem(w.filFile, "pairs.txt");
    w.cmdImportData->click();
    ASSERT_TRUE(test::waitForImport(*window));
    auto* item = control<QAction>(*window, "mnuBootstrapDistribution");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text().remove(QLatin1Char('&')), "Bootstrap Distribution");
    EXPECT_FALSE(item->isEnabled());
    whenModal([&] {
        frmESBootstrap* dialog = window->esBootstrapDialog();
        dialog->lstDV->item(0)->setCheckState(Qt::Checked);
        dialog->lstAdded->item(1)->setCheckState(Qt::Checked);
        EXPECT_TRUE(test::pressAndWait(dialog->cmdOK, dialog, &frmESBootstrap::runFinished,
                                       [dialog] { dialog->cmdOK->click(); }));
    });
    w.mnuESBootstrap->trigger();
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_TRUE(item->isEnabled());
    QString title;
    whenModal([&] {
        QWidget* shown = QApplication::activeModalWidget();
        ASSERT_NE(shown, nullptr);
        title = shown->windowTitle();
        shown->close();
    });
    item->trigger();
    EXPECT_EQ(title, "Bootstrap Distribution");
    w.cmdImportData->click();
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_FALSE(item->isEnabled());
}

TEST(OutputFiles, LineEndsAndEncodings)
{
    EXPECT_EQ(logTextFromFile(""), "");
    EXPECT_EQ(logTextFromFile("a"), "a\r\n");
    EXPECT_EQ(logTextFromFile("a\r"), "a\r\n");
    EXPECT_EQ(logTextFromFile("a\r\n\r\n"), "a\r\n\r\n");
    EXPECT_EQ(logTextFromFile("a\n\rb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(logTextFromFile("\xc3\xa9"), QString::fromUtf8("é\r\n"));
    EXPECT_EQ(logTextFromFile("\xe9\xff"), QString::fromLatin1("\xe9\xff") + "\r\n");
    EXPECT_EQ(logTextFromFile("a\r\nb\r\n"), "a\r\nb\r\n"); // a saved log comes back as it was
    EXPECT_EQ(logTextFromFile("\r\r\n\n"), "\r\n\r\n\r\n");

    // The text box's line breaks and back: one LF for each CR LF, lone CR or lone LF.
    EXPECT_EQ(toBoxLineBreaks("a\r\nb\rc\nd\r"), "a\nb\nc\nd\n");
    EXPECT_EQ(toBoxLineBreaks("\r\r\n\n\r"), "\n\n\n\n");
    EXPECT_EQ(toBoxLineBreaks("no breaks"), "no breaks");
    EXPECT_EQ(toLogLineBreaks(u"a\nb\n\n"), "a\r\nb\r\n\r\n");
    EXPECT_EQ(toLogLineBreaks(u""), "");
}

// A path that cannot be read or written is named on one line, its control
// characters escaped as everywhere a name from outside is shown.
TEST(OutputFiles, RefusalsShowThePathEscaped)
{
    test::TempDir dir;
    const QString odd = QString::fromStdString((dir.path() / "log\nfile\x1b[2J").string());
    ASSERT_TRUE(QDir().mkdir(odd)); // a directory: neither read nor written
    const QString shown = QString::fromStdString((dir.path() / "log\\nfile\\x1B[2J").string());
    const Outcome<QString> read = readOutputFile(odd);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(QString::fromStdString(read.refusal().message),
              "The file " + shown + " could not be read: it is a directory.");
    const Status written = writeOutputFile(odd, "text");
    ASSERT_FALSE(written.ok());
    EXPECT_TRUE(QString::fromStdString(written.refusal().message)
                    .startsWith("The output could not be saved to " + shown + ": it is a directory"))
        << written.refusal().message;
}

} // namespace
} // namespace orvalis
