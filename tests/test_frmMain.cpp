// The main window driven through its controls: picking, importing (atomically), the Edit menu.
#include "TestData.h"
#include "FakePlatform.h"
#include "MainWindowControls.h"
#include "TempDir.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/ApaCopy.h"
#include "ui/frmDescriptives.h"
#include "ui/frmESBootstrap.h"
#include "platform/QtPlatform.h"
#include "ui/frmMain.h"
#include "ui/frmUserGuide.h"
#include "common/Version.h"
#include "data/DataImport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTextBrowser>
#include <QTextCursor>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistring/version.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

namespace orvalis {
namespace {

using test::control;
using test::ui;

QStringList items(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i) {
        names << list->item(i)->text();
    }
    return names;
}

class frmMainTest : public ::testing::Test {
protected:
    frmMainTest()
    {
        dir.write("a.txt", "1 2 3\r\n4 5\r\n");
        dir.write("b.dat", "7,8\n");
        dir.write("C.TXT", "1\n");
        dir.write("bad.txt", "1 2\n3 x\n");
        dir.write("sub/inner.txt", "1\n");
        // As R's write.csv writes it: quoted names, row names under an empty name.
        dir.write("r.csv", "\"\",\"a\",\"b\"\n\"x\",1,2\n\"y\",3,4\n");
        window = std::make_unique<frmMain>(platform);
        test::startPastSplash(*window);
        ui(*window).dirDirectory->setPath(QString::fromStdString(dir.path().string()));
    }

    // Clicks a file in the file list.
    void pick(const QString& name) { test::clickItem(ui(*window).filFile, name); }

    QString dirPath() const { return QString::fromStdString(dir.path().string()); }

    test::TempDir dir;
    test::FakePlatform platform;
    std::unique_ptr<frmMain> window;
};

// The window starts at its design size, centred, or smaller where the screen
// has less room (a 1600 x 1000 screen at twice the scale is 800 x 500).
TEST(frmMainStart, TheWindowFitsTheScreen)
{
    const QSize design(792, 574);
    struct Case {
        QRect available;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(0, 0, 1600, 1000), QRect(404, 213, 792, 574)},
        {QRect(0, 0, 800, 500), QRect(8, 16, 784, 468)},
        {QRect(0, 32, 1024, 736), QRect(116, 113, 792, 574)},
    };
    for (const Case& c : cases) {
        const QRect placed = frmMain::startGeometry(design, c.available);
        EXPECT_EQ(placed, c.expected) << c.available.width() << "x" << c.available.height();
        EXPECT_TRUE(c.available.contains(placed));
    }
}

TEST_F(frmMainTest, StartsEmptyWithSpaceDelimiter)
{
    EXPECT_EQ(window->windowTitle(), "Orvalis");
    EXPECT_TRUE(window->selectedFileName().isEmpty());
    EXPECT_TRUE(ui(*window).optSpace->isChecked());
    EXPECT_EQ(ui(*window).lblSelectedFile->text(), "");
    EXPECT_EQ(ui(*window).lblCurrentFile->text(), "");
    EXPECT_FALSE(window->dataSet().hasStorage());
    EXPECT_EQ(ui(*window).cmbFileType->count(), 10);
    EXPECT_EQ(ui(*window).cmbFileType->itemText(0), "Text (*.txt)");
    EXPECT_EQ(ui(*window).cmbFileType->itemText(1), "Data (*.dat)");
    EXPECT_EQ(ui(*window).cmbFileType->itemText(4), "SPSS (*.sav *.zsav *.por)");
    EXPECT_EQ(ui(*window).cmbFileType->itemText(9), "All files (*)");
    EXPECT_EQ(ui(*window).cmdImportData->text(), "Import Selected Data File");
}

// The file-type box keeps its design width, and its open list shows every
// item whole: the list's text area is at least as wide as the widest item,
// also in a desktop's larger font, where the items are wider than the box.
TEST_F(frmMainTest, TheFileTypeListShowsEveryItemWhole)
{
    QComboBox* box = ui(*window).cmbFileType;
    EXPECT_EQ(box->width(), 153); // 2295 twips, as designed
    window->show();
    QApplication::setActiveWindow(window.get());
    for (const double scale : {1.0, 1.6}) {
        QFont font = box->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        box->setFont(font);
        box->view()->setFont(font);
        box->showPopup();
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(list->isVisible());
        const QFontMetrics metrics(list->font());
        int widest = 0;
        for (int k = 0; k < box->count(); ++k) {
            widest = std::max(widest, metrics.horizontalAdvance(box->itemText(k)));
        }
        if (scale > 1.0) {
            EXPECT_GT(widest, box->width()); // "SPSS (*.sav *.zsav *.por)" is wider than the box
        }
        EXPECT_GE(list->viewport()->width(), widest) << scale;
        EXPECT_GE(list->visualRect(box->model()->index(4, 0)).width(), widest) << scale;
        box->hidePopup();
        EXPECT_EQ(box->width(), 153);
    }
}

TEST_F(frmMainTest, FileTypeFiltersTheFileListCaseSensitively)
{
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"a.txt", "bad.txt"}));
    test::chooseWithKeys(ui(*window).cmbFileType, 1);
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"b.dat"}));
    test::chooseWithKeys(ui(*window).cmbFileType, 2);
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"r.csv"}));
    test::chooseWithKeys(ui(*window).cmbFileType, 9);
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"C.TXT", "a.txt", "b.dat", "bad.txt", "r.csv"}));
    test::chooseWithKeys(ui(*window).cmbFileType, 0);
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"a.txt", "bad.txt"}));
}

// A file created while its folder is shown appears in the list, and the
// highlighted file stays highlighted.
TEST_F(frmMainTest, TheFileListFollowsTheFolder)
{
    pick("bad.txt");
    dir.write("new.txt", "1\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return items(ui(*window).filFile).contains("new.txt"); }, 5000));
    ASSERT_NE(ui(*window).filFile->currentItem(), nullptr);
    EXPECT_EQ(ui(*window).filFile->currentItem()->text(), "bad.txt");
    std::filesystem::remove(dir.path() / "new.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !items(ui(*window).filFile).contains("new.txt"); }, 5000));
}

TEST_F(frmMainTest, PickingAFileSetsThePathAndLabel)
{
    pick("a.txt");
    EXPECT_EQ(window->selectedFileName(), dirPath() + "/a.txt");
    EXPECT_EQ(ui(*window).lblSelectedFile->text(), "a.txt");
    // Moving to another directory keeps the picked file.
    ASSERT_TRUE(ui(*window).dirDirectory->setPath(dirPath() + "/sub"));
    EXPECT_EQ(items(ui(*window).filFile), QStringList({"inner.txt"}));
    EXPECT_EQ(window->selectedFileName(), dirPath() + "/a.txt");
    EXPECT_EQ(ui(*window).lblSelectedFile->text(), "a.txt");
}

// A user without a mouse: the file the keys highlight is the file imported,
// type-ahead finds a folder by its name, Enter presses the focused button, and
// choosing the drive already shown again keeps the directory.
TEST_F(frmMainTest, TheKeyboardAloneImportsWhatItHighlights)
{
    const auto w = ui(*window);
    w.filFile->setFocus();
    QTest::keyClick(w.filFile, Qt::Key_Home);
    EXPECT_EQ(window->selectedFileName(), dirPath() + "/a.txt");
    QTest::keyClick(w.filFile, Qt::Key_End);
    EXPECT_EQ(window->selectedFileName(), dirPath() + "/bad.txt");
    EXPECT_EQ(w.lblSelectedFile->text(), "bad.txt");
    QTest::keyClicks(w.filFile, "a");
    EXPECT_EQ(window->selectedFileName(), dirPath() + "/a.txt");
    QTest::keyClick(w.filFile, Qt::Key_Down);
    EXPECT_EQ(w.lblSelectedFile->text(), "bad.txt");
    QTest::keyClick(w.filFile, Qt::Key_Up);
    EXPECT_EQ(w.lblSelectedFile->text(), "a.txt");
    w.cmdImportData->setFocus();
    QTest::keyClick(w.cmdImportData, Qt::Key_Return);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(w.lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->dataSet().NumVariables(), 3);

    w.drvDrive->setFocus();
    w.drvDrive->showPopup();
    QTest::keyClick(w.drvDrive->view(), Qt::Key_Return); // the drive already shown
    EXPECT_EQ(w.dirDirectory->path(), QDir(dirPath()).canonicalPath());

    w.dirDirectory->setFocus();
    QTest::keyClicks(w.dirDirectory, "su");
    ASSERT_NE(w.dirDirectory->currentItem(), nullptr);
    EXPECT_EQ(w.dirDirectory->currentItem()->text().trimmed(), "sub");
    QTest::keyClick(w.dirDirectory, Qt::Key_Return);
    EXPECT_EQ(w.dirDirectory->path(), QDir(dirPath() + "/sub").canonicalPath());
    EXPECT_EQ(items(w.filFile), QStringList({"inner.txt"}));
}

// Started with a data file (as the file manager starts it), the program shows
// that file selected in its directory once the splash is gone; the picker of
// a later start opens in the directory used last.
TEST_F(frmMainTest, StartedWithAFileItIsSelectedAndTheDirectoryIsRemembered)
{
    test::FakePlatform other;
    frmMain started(other);
    started.selectDataFile(dirPath() + "/b.dat");
    test::startPastSplash(started);
    EXPECT_EQ(started.selectedFileName(), dirPath() + "/b.dat");
    EXPECT_EQ(ui(started).lblSelectedFile->text(), "b.dat");
    EXPECT_EQ(ui(started).cmbFileType->currentIndex(), 1);
    ASSERT_NE(ui(started).filFile->currentItem(), nullptr);
    EXPECT_EQ(ui(started).filFile->currentItem()->text(), "b.dat");
    QTest::mouseClick(ui(started).optComma, Qt::LeftButton);
    QTest::mouseClick(ui(started).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(started));
    ASSERT_TRUE(started.dataSet().hasStorage());
    EXPECT_EQ(started.dataSet().DataTable(1, 2), 8.0f);

    started.selectDataFile(dirPath() + "/gone.txt");
    ASSERT_EQ(other.messages.size(), 1u);
    EXPECT_EQ(other.messages[0].text, "The file " + dirPath() + "/gone.txt was not found.");

    frmMain later(other);
    EXPECT_EQ(ui(later).dirDirectory->path(), QDir(dirPath()).canonicalPath());
}

// A CSV as R writes it needs no step beyond Detect from File; the choice is
// there again at the next start.
TEST_F(frmMainTest, DetectFromFileReadsACsvAndIsRemembered)
{
    test::chooseWithKeys(ui(*window).cmbFileType, 2);
    pick("r.csv");
    QRadioButton* detect = test::control<QRadioButton>(*window, "optDetect");
    QTest::mouseClick(detect, Qt::LeftButton);
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->outputLog().readAll(), "Opened the text file: " + dirPath()
                                                 + "/r.csv\r\nNumber of Cases: 2\r\nNumber of Variables: 2\r\n"
                                                   "The first line was read as variable names: a, b\r\n"
                                                   "Delimiter: comma (detected)\r\n"
                                                   "The first column was read as case labels.\r\n\r\n\r\n");
    EXPECT_EQ(window->dataSet().caseLabel(2), "y");

    frmMain later(platform);
    EXPECT_TRUE(test::control<QRadioButton>(later, "optDetect")->isChecked());
    EXPECT_FALSE(ui(later).optSpace->isChecked());
}

// A workbook of several sheets asks which one; cancelling changes nothing.
TEST_F(frmMainTest, AWorkbookAsksForItsSheet)
{
    std::ifstream in(std::string(ORVALIS_TEST_DATA_DIR) + "/formats/study.xlsx", std::ios::binary);
    dir.write("book.xlsx", std::string(std::istreambuf_iterator<char>(in), {}));
    test::chooseWithKeys(ui(*window).cmbFileType, 7);
    pick("book.xlsx");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    EXPECT_TRUE(platform.offeredItems.isEmpty()) << "the click returns before the reading asks";
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_EQ(platform.offeredItems, QStringList({"Scores", "Other"}));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(window->dataSet().hasStorage());
    EXPECT_EQ(window->outputLog().readAll(), "");

    platform.chosenItem = "Other";
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->dataSet().DataTable(2, 2), 4.0f);
    EXPECT_EQ(window->outputLog().readAll(), "Opened the Excel workbook: " + dirPath()
                                                 + "/book.xlsx\r\nNumber of Cases: 2\r\nNumber of Variables: 2"
                                                   "\r\n\r\n\r\n");
}

// Readings that wait between their two passes until the test lets them go on:
// the window's imports read any file in two passes (as they read a large
// one) with these options. Whatever is still held is let go, and waited for,
// at the end.
class HeldReading {
public:
    ~HeldReading()
    {
        release();
        QThreadPool::globalInstance()->waitForDone();
    }

    ImportOptions options()
    {
        ImportOptions options;
        options.streamAbove = 1;
        options.betweenPasses = [this] {
            std::unique_lock<std::mutex> held(m_lock);
            m_reader = std::this_thread::get_id();
            ++m_waiting;
            m_released.wait(held, [this] { return m_free; });
        };
        return options;
    }
    // Processes the window's events until a reading waits (at most a minute).
    bool reached()
    {
        return QTest::qWaitFor([this] {
            const std::lock_guard<std::mutex> held(m_lock);
            return m_waiting > 0;
        }, 60000);
    }
    std::thread::id reader()
    {
        const std::lock_guard<std::mutex> held(m_lock);
        return m_reader;
    }
    void release()
    {
        const std::lock_guard<std::mutex> held(m_lock);
        m_free = true;
        m_released.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_released;
    bool m_free = false;
    int m_waiting = 0;
    std::thread::id m_reader;
};

// The import reads away from the window's thread: the click returns at once,
// the status bar names the file with a busy bar and Cancel, the window goes on
// answering, and what must not run meanwhile is disabled. Cancel leaves the
// data, the log and the settings as they were, whatever the reading gives.
TEST_F(frmMainTest, AnImportReadsAwayFromTheWindowAndCancelChangesNothing)
{
    HeldReading held;
    const auto w = ui(*window);
    pick("a.txt");
    QTest::mouseClick(w.cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    const QString logBefore = window->outputLog().readAll();
    std::string rows;
    for (int r = 1; r <= 500; ++r) {
        rows += std::to_string(r) + ",2\n";
    }
    dir.write("large.txt", rows);
    w.filFile->refresh();
    window->setImportOptions(held.options());
    auto* status = control<QLabel>(*window, "lblImporting");
    auto* busy = control<QProgressBar>(*window, "prgImport");
    auto* cancel = control<QPushButton>(*window, "cmdCancelImport");
    ASSERT_TRUE(status && busy && cancel);
    EXPECT_FALSE(cancel->isVisible());

    w.optComma->setChecked(true);
    pick("large.txt");
    QTest::mouseClick(w.cmdImportData, Qt::LeftButton);
    EXPECT_TRUE(window->importing());
    ASSERT_TRUE(held.reached()); // the window's events went on meanwhile
    EXPECT_NE(held.reader(), std::this_thread::get_id());
    bool answered = false;
    QTimer::singleShot(0, window.get(), [&] { answered = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 60000));
    EXPECT_TRUE(window->importing());
    EXPECT_EQ(status->text(), "Importing large.txt...");
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(busy->isVisible());
    EXPECT_EQ(busy->maximum(), 0); // busy: the reading does not say how far it is
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(cancel->isEnabled());
    EXPECT_FALSE(w.cmdImportData->isEnabled());
    for (QAction* command : {w.mnuOpenOutput, w.mnuNavigateDataFile, w.mnuDescriptives, w.mnuESBootstrap}) {
        EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
    }
    EXPECT_TRUE(control<QAction>(*window, "mnuPlan")->isEnabled()); // planning needs no data
    // Enter on a file of the list starts no second import.
    w.filFile->setFocus();
    QTest::keyClick(w.filFile, Qt::Key_Return);
    EXPECT_TRUE(window->importing());
    EXPECT_TRUE(platform.messages.empty());

    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(window->importing());
    EXPECT_FALSE(status->isVisible());
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_TRUE(w.cmdImportData->isEnabled());
    for (QAction* command : {w.mnuOpenOutput, w.mnuNavigateDataFile, w.mnuDescriptives, w.mnuESBootstrap}) {
        EXPECT_TRUE(command->isEnabled()) << command->objectName().toStdString();
    }
    // The reading goes on to its end; its table is dropped.
    held.release();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->dataSet().DataTable(1, 1), 1.0f);
    EXPECT_EQ(w.lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->outputLog().readAll(), logBefore);
    frmMain later(platform);
    EXPECT_TRUE(ui(later).optSpace->isChecked()) << "the delimiter of the cancelled import was kept";

    // Not cancelled, the same import replaces the data and appends its summary, as ever.
    window->setImportOptions({});
    QTest::mouseClick(w.cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->dataSet().NumCases(), 500);
    EXPECT_EQ(window->dataSet().DataTable(500, 1), 500.0f);
    EXPECT_EQ(w.lblCurrentFile->text(), "large.txt");
    EXPECT_EQ(window->outputLog().readAll(), logBefore + "Opened the text file: " + dirPath()
                                                 + "/large.txt\r\nNumber of Cases: 500\r\nNumber of Variables: 2"
                                                   "\r\n\r\n\r\n");
}

// The exit dialogue while an import reads: refused, the import goes on and
// ends as ever; accepted, the window closes at once and the reading is
// dropped, also when the window is destroyed before it ends.
TEST_F(frmMainTest, LeavingWhileAnImportReadsKeepsTheExitDialogue)
{
    HeldReading held;
    window->setImportOptions(held.options());
    pick("a.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(held.reached());
    platform.answers = {Platform::Answer::No}; // "Do you want to exit Orvalis?"
    window->close();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Do you want to exit Orvalis?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->importing());
    held.release();
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->outputLog().readAll(),
              "Opened the text file: " + dirPath() + "/a.txt\r\nNumber of Cases: 2\r\nNumber of Variables: 3\r\n\r\n\r\n");

    HeldReading again;
    window->setImportOptions(again.options());
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(again.reached());
    platform.messages.clear();
    platform.answers = {Platform::Answer::Yes, Platform::Answer::No}; // exit, without saving
    ui(*window).mnuExit->trigger();
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "Do you want to save the contents of the output?");
    EXPECT_TRUE(window->leaving());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->importing());
    window.reset(); // the reading still waits
    again.release();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(60000));
    QCoreApplication::processEvents();
}

// A platform that notes the thread its chooser is shown on, and runs a step
// of the test while it is shown.
class ChooserPlatform : public test::FakePlatform {
public:
    QString chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items) override
    {
        chooserThread = QThread::currentThread();
        if (whileShown) {
            whileShown();
        }
        return FakePlatform::chooseItem(parent, title, label, items);
    }
    QThread* chooserThread = nullptr;
    std::function<void()> whileShown;
};

// The reading asks for a workbook's sheet on its thread; the chooser shows on
// the window's. An answer given after Cancel still reaches the reading, and
// the table it then gives is dropped.
TEST_F(frmMainTest, TheSheetChooserShowsOnTheWindowsThread)
{
    std::ifstream in(std::string(ORVALIS_TEST_DATA_DIR) + "/formats/study.xlsx", std::ios::binary);
    dir.write("book.xlsx", std::string(std::istreambuf_iterator<char>(in), {}));
    ChooserPlatform chooser;
    frmMain w(chooser);
    test::startPastSplash(w);
    ui(w).dirDirectory->setPath(dirPath());
    test::chooseWithKeys(ui(w).cmbFileType, 7);
    test::clickItem(ui(w).filFile, "book.xlsx");
    chooser.chosenItem = "Other";
    QTest::mouseClick(ui(w).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(w));
    EXPECT_EQ(chooser.chooserThread, w.thread());
    EXPECT_EQ(chooser.offeredItems, QStringList({"Scores", "Other"}));
    ASSERT_TRUE(chooser.messages.empty());
    EXPECT_EQ(w.dataSet().DataTable(2, 2), 4.0f);
    const QString log = w.outputLog().readAll();

    chooser.chosenItem = "Scores";
    chooser.whileShown = [&] {
        QPushButton* cancel = control<QPushButton>(w, "cmdCancelImport");
        ASSERT_NE(cancel, nullptr);
        QTest::mouseClick(cancel, Qt::LeftButton);
    };
    QTest::mouseClick(ui(w).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(w));
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(chooser.messages.empty());
    EXPECT_EQ(w.dataSet().DataTable(2, 2), 4.0f);
    EXPECT_EQ(w.outputLog().readAll(), log);
}

TEST_F(frmMainTest, ImportWithoutAPickedFileWarnsAndChangesNothing)
{
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "A data file has not been selected.");
    EXPECT_EQ(platform.messages[0].title, "Data Editor");
    EXPECT_EQ(platform.messages[0].buttons, Platform::Buttons::Ok);
    EXPECT_FALSE(window->dataSet().hasStorage());
    EXPECT_EQ(window->outputLog().readAll(), "");
}

TEST_F(frmMainTest, ImportReplacesTheDataAndAppendsTheSummary)
{
    window->outputLog().append("Earlier text");
    pick("a.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->dataSet().DataTable(2, 3), MissingValue); // the short line's missing cell
    EXPECT_EQ(ui(*window).lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->outputLog().readAll(),
              "Earlier textOpened the text file: " + dirPath()
                  + "/a.txt\r\nNumber of Cases: 2\r\nNumber of Variables: 3\r\n\r\n\r\n");

    // The label names the imported file even when the list shows another directory.
    ASSERT_TRUE(ui(*window).dirDirectory->setPath(dirPath() + "/sub"));
    ui(*window).optComma->setChecked(true);
    test::chooseWithKeys(ui(*window).cmbFileType, 1);
    ui(*window).dirDirectory->setPath(dirPath());
    pick("b.dat");
    ui(*window).dirDirectory->setPath(dirPath() + "/sub");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_EQ(ui(*window).lblCurrentFile->text(), "b.dat");
    EXPECT_EQ(window->dataSet().NumVariables(), 2);
    EXPECT_EQ(window->dataSet().DataTable(1, 2), 8.0f);
}

TEST_F(frmMainTest, FailedImportLeavesEverythingAsItWas)
{
    pick("a.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    const QString logBefore = window->outputLog().readAll();

    pick("bad.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_EQ(platform.messages.size(), 1u);
    // Both lines of the message in the one box.
    EXPECT_EQ(platform.messages[0].text, "Row 2 of Column 2 has an invalid entry for analysis.\nThe entry is \"x\".");
    EXPECT_EQ(platform.messages[0].title, "Data Editor");
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->dataSet().DataTable(1, 1), 1.0f);
    EXPECT_EQ(window->dataSet().DataTable(2, 2), 5.0f);
    EXPECT_EQ(ui(*window).lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->outputLog().readAll(), logBefore);

    // A file that vanished after it was picked.
    pick("a.txt");
    std::filesystem::remove(dir.path() / "a.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text,
              "The file " + dirPath() + "/a.txt could not be read: No such file or directory.");
    EXPECT_EQ(platform.messages[1].title, "Data Editor");
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->outputLog().readAll(), logBefore);

    // A file that another delimiter reads: the window names its option button.
    dir.write("commas.txt", "1,2\n3,4\n");
    ui(*window).filFile->refresh();
    pick("commas.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_EQ(platform.messages.size(), 3u);
    EXPECT_EQ(platform.messages[2].text, "Row 1 of Column 1 has an invalid entry for analysis.\nThe entry is \"1,2\". "
                                         "The file looks comma-delimited: choose Comma Delimited.");
}

TEST_F(frmMainTest, ImportDiscardsTheAnalysisDialogs)
{
    // Opens both dialogs modally and hides them from inside their event loops.
    auto openAndHide = [&] {
        QTimer::singleShot(0, [&] { window->descriptivesDialog()->cmdCancel->click(); });
        ui(*window).mnuDescriptives->trigger();
        QTimer::singleShot(0, [&] { window->esBootstrapDialog()->cmdCancel->click(); });
        ui(*window).mnuESBootstrap->trigger();
    };
    openAndHide();
    ASSERT_NE(window->descriptivesDialog(), nullptr);
    ASSERT_NE(window->esBootstrapDialog(), nullptr);
    EXPECT_EQ(window->descriptivesDialog()->lstItems->count(), 0); // no data yet
    window->descriptivesDialog()->setProperty("first", true);
    window->esBootstrapDialog()->setProperty("first", true);
    openAndHide();
    // Hidden, not destroyed: shown again as it was.
    EXPECT_TRUE(window->descriptivesDialog()->property("first").toBool());
    EXPECT_TRUE(window->esBootstrapDialog()->property("first").toBool());

    pick("a.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    EXPECT_EQ(window->descriptivesDialog(), nullptr);
    EXPECT_EQ(window->esBootstrapDialog(), nullptr);
    openAndHide();
    EXPECT_FALSE(window->descriptivesDialog()->property("first").toBool());
    EXPECT_EQ(window->descriptivesDialog()->lstItems->count(), 3);
    EXPECT_EQ(window->esBootstrapDialog()->lstDV->count(), 3);

    // A failed import keeps the dialogs.
    window->descriptivesDialog()->setProperty("first", true);
    pick("bad.txt");
    QTest::mouseClick(ui(*window).cmdImportData, Qt::LeftButton);
    ASSERT_TRUE(test::waitForImport(*window));
    ASSERT_NE(window->descriptivesDialog(), nullptr);
    EXPECT_TRUE(window->descriptivesDialog()->property("first").toBool());
}

TEST_F(frmMainTest, EditCommandsActOnTheLogOnlyWhenItHasTheFocus)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    window->outputLog().replaceAll("Hello World");
    QTextCursor cursor = ui(*window).txtOutput->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    ui(*window).txtOutput->setTextCursor(cursor);

    ui(*window).cmdImportData->setFocus();
    platform.clipboard = "before";
    ui(*window).mnuCopy->trigger();
    EXPECT_EQ(platform.clipboard, QString(""));
    ui(*window).mnuCut->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");
    platform.clipboard = "X";
    ui(*window).mnuPaste->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");

    ui(*window).txtOutput->setFocus();
    ui(*window).mnuCut->trigger();
    EXPECT_EQ(platform.clipboard, QString("Hello"));
    EXPECT_EQ(window->outputLog().readAll(), " World");
    ui(*window).mnuPaste->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");

    // Clear Output does not care where the focus is.
    ui(*window).cmdImportData->setFocus();
    ui(*window).mnuClearOutput->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(frmMainTest, PasteKeysInTheLogGoThroughTheProgramsPaste)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    window->outputLog().replaceAll("ab");
    ui(*window).txtOutput->setFocus();
    QTextCursor cursor = ui(*window).txtOutput->textCursor();
    cursor.setPosition(1);
    ui(*window).txtOutput->setTextCursor(cursor);
    QGuiApplication::clipboard()->setText("from Qt");
    platform.clipboard = "[P]";
    QTest::keyClick(ui(*window).txtOutput, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->outputLog().readAll(), "a[P]b");
    QTest::keyClick(ui(*window).txtOutput, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(window->outputLog().readAll(), "a[P][P]b");
}

TEST(QtClipboard, CopyWithTheFocusElsewhereLeavesAnEmptyTextThatPastesSafely)
{
    QtPlatform platform;
    frmMain window(platform);
    window.show();
    QApplication::setActiveWindow(&window);
    window.outputLog().replaceAll("keep");
    QGuiApplication::clipboard()->setText("old");
    for (QAction* command : {ui(window).mnuCopy, ui(window).mnuCut}) {
        ui(window).cmdImportData->setFocus();
        command->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(data->hasText());
        EXPECT_EQ(data->text(), "");
        // Pasting it, by key or menu, inserts nothing and does not crash.
        ui(window).txtOutput->setFocus();
        QTest::keyClick(ui(window).txtOutput, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(ui(window).txtOutput, Qt::Key_Insert, Qt::ShiftModifier);
        ui(window).mnuPaste->trigger();
        EXPECT_EQ(window.outputLog().readAll(), "keep");
    }
}

// The menus keep the design's captions, with a mnemonic each (Alt+F, then
// O) and the usual shortcuts; the keys work as a user presses them.
TEST_F(frmMainTest, MenusCaptionsMnemonicsAndShortcuts)
{
    struct Row {
        QAction* action;
        const char* caption; // with its mnemonic
        QKeySequence shortcut;
    };
    const Row rows[] = {
        {ui(*window).mnuOpenOutput, "&Open Output", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {ui(*window).mnuSaveOutput, "&Save Output", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {ui(*window).mnuExit, "E&xit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {ui(*window).mnuCut, "Cu&t", {}},
        {ui(*window).mnuCopy, "&Copy", {}},
        {ui(*window).mnuPaste, "&Paste", {}},
        {ui(*window).mnuClearOutput, "C&lear Output", {}},
        {ui(*window).mnuNavigateDataFile, "&Navigate Data File", {}},
        {ui(*window).mnuDescriptives, "&Descriptives", {}},
        {ui(*window).mnuESBootstrap, "&Effect Size Bootstrap", {}},
        {control<QAction>(*window, "mnuUserGuide"), "&User Guide", QKeySequence(Qt::Key_F1)},
        {control<QAction>(*window, "mnuAbout"), "&About Orvalis", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.action->text(), row.caption);
        EXPECT_EQ(row.action->shortcut(), row.shortcut) << row.caption;
        EXPECT_TRUE(row.action->isEnabled());
    }
    QStringList menus;
    for (QAction* menu : window->menuBar()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Data", "&Analyses", "&Help"}));

    // The About box names the build: its version, its terms, every library with its version, the guide.
    control<QAction>(*window, "mnuAbout")->trigger();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "About Orvalis");
    const QString about = platform.messages[0].text;
    EXPECT_TRUE(about.startsWith(QStringLiteral("Orvalis %1\n\n").arg(programVersion()))) << about.toStdString();
    EXPECT_TRUE(about.contains(QString::fromUtf8(programLicence())));
    EXPECT_NE(QString::fromUtf8(programLicence()), "");
    for (const char* library : {"Qt 6", "Boost.Math 1", "fast_float [0-9]", "GNU libunistring [0-9]"}) {
        EXPECT_TRUE(about.contains(QRegularExpression(QStringLiteral("\n    %1").arg(library)))) << library;
    }
    // The box tells, so it has the information icon, not the warning one; and
    // libunistring's version is decoded from (major << 16) + (minor << 8) +
    // subminor (Debian 12's 1.0 once showed as "256.0").
    EXPECT_TRUE(platform.messages[0].information);
    const int unistring = _libunistring_version;
    QString unistringText = QStringLiteral("%1.%2").arg(unistring >> 16).arg((unistring >> 8) & 0xff);
    if ((unistring & 0xff) != 0) {
        unistringText += QStringLiteral(".%1").arg(unistring & 0xff);
    }
    EXPECT_TRUE(about.contains(QStringLiteral("\n    GNU libunistring %1\n").arg(unistringText))) << about.toStdString();
    EXPECT_FALSE(about.contains(QStringLiteral("GNU libunistring 256")));
    EXPECT_TRUE(about.contains(QRegularExpression("\nUser guide: /.*/guide.html$"))) << about.toStdString();

    // Keys as the user presses them: Ctrl+Q asks before ending, F10 and Alt+F
    // open the first menu (F1: see the next test).
    window->show();
    QApplication::setActiveWindow(window.get());
    ui(*window).txtOutput->setFocus();
    platform.answers = {Platform::Answer::No};
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text, "Do you want to exit Orvalis?");
    EXPECT_TRUE(window->isVisible());
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F10, Qt::NoModifier}, std::pair{Qt::Key_F, Qt::AltModifier}}) {
        QTest::keyClick(window.get(), key, modifiers);
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(open, nullptr) << key;
        EXPECT_EQ(open->title(), "&File");
        open->close();
    }
}

// Analyses > APA Coefficient Column chooses the last column of the APA table
// of a run with coefficients, kept in the settings like the interval; Copy
// APA Results follows it.
TEST_F(frmMainTest, ApaCoefficientColumnIsKeptAndCopyFollowsIt)
{
    QSettings().remove("apa/coefficientColumn");
    QSettings().remove("apa/interval");
    window = std::make_unique<frmMain>(platform);
    QAction* ci = control<QAction>(*window, "mnuAPACoefficientColumn_ci");
    QAction* sr2 = control<QAction>(*window, "mnuAPACoefficientColumn_sr2");
    EXPECT_EQ(ci->text(), "&Confidence Interval of B");
    EXPECT_EQ(sr2->text(), QString::fromUtf8("&Squared Semipartial Correlation (sr\u00b2)"));
    EXPECT_TRUE(ci->isChecked());
    EXPECT_FALSE(sr2->isChecked());

    BootstrapResult run;
    run.request.DependentVariable = 1;
    run.request.AddedList = {2};
    run.request.NumTrials = 600;
    run.NumValid = 600;
    run.VariableNames = {"", "y", "x"};
    run.FullR2 = run.DeltaR2 = 0.25;
    run.ReducedR2 = 0.0;
    run.FValue = 16.0f;
    run.df1 = 1;
    run.df2 = 48;
    run.PValue = 0.0002;
    run.setPercentileIntervals(0.06f, 0.41f);
    CoefficientTable reduced;
    reduced.rows = {test::coefficientRow(0, 3.0, 1.0, 1.0, 5.0, std::nullopt, 3.0, 0.004, std::nullopt, std::nullopt,
                                         std::nullopt)};
    CoefficientTable full;
    full.rows = {
        test::coefficientRow(0, 2.0, 1.0, 0.0, 4.0, std::nullopt, 2.0, 0.05, std::nullopt, std::nullopt, std::nullopt),
        test::coefficientRow(1, 0.5, 0.125, 0.25, 0.75, 0.5, 4.0, 0.0002, 0.25, 1.0, 1.0)};
    run.Coefficients = ModelCoefficients{{reduced, ""}, {full, ""}};

    copyApaResults(platform, nullptr, std::optional<BootstrapResult>(run), false);
    EXPECT_TRUE(
        platform.clipboard.value_or(QString()).contains("  x         0.50  0.12  .50  4.00  < .001  [0.25, 0.75]\n"))
        << platform.clipboard.value_or(QString()).toStdString();
    EXPECT_TRUE(platform.clipboardHtml.contains("95% CI [<i>LL</i>, <i>UL</i>]</th>"));

    sr2->trigger();
    EXPECT_TRUE(sr2->isChecked());
    EXPECT_FALSE(ci->isChecked());
    EXPECT_EQ(QSettings().value("apa/coefficientColumn").toString(), "sr2");
    EXPECT_EQ(apaCoefficientColumnSetting(), ApaCoefficientColumn::Sr2);
    copyApaResults(platform, nullptr, std::optional<BootstrapResult>(run), true);
    EXPECT_TRUE(platform.clipboard.value_or(QString()).contains("| x | 0.50 | 0.12 | .50 | 4.00 | < .001 | .25 |\n"))
        << platform.clipboard.value_or(QString()).toStdString();
    EXPECT_TRUE(platform.clipboardHtml.contains(QString::fromUtf8("<i>sr</i>\u00b2</th>")));
    // A new window shows the kept choice.
    window = std::make_unique<frmMain>(platform);
    EXPECT_TRUE(control<QAction>(*window, "mnuAPACoefficientColumn_sr2")->isChecked());
    QSettings().remove("apa/coefficientColumn");
}

// F1 shows the guide in the program's own window, so a desktop without a web
// browser (or whose opener says it opened and shows nothing) still shows it.
// The keys work in it: Tab reaches a link of the contents, Enter goes to
// that section, Escape closes the window, and F1 brings the same window back.
TEST_F(frmMainTest, F1ShowsTheGuideInTheProgramsOwnWindow)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    ui(*window).txtOutput->setFocus();
    QTest::keyClick(window.get(), Qt::Key_F1);
    frmUserGuide* guide = window->userGuideWindow();
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.openedFiles.isEmpty()); // no outside program is asked
    // The guide's title (docs/guide.md's first heading) and its contents list.
    const QString text = guide->txtGuide->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Orvalis user guide"))) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Contents")));
    EXPECT_TRUE(guide->windowTitle().endsWith(QStringLiteral("user guide"))) << guide->windowTitle().toStdString();

    QApplication::setActiveWindow(guide);
    EXPECT_EQ(guide->focusWidget(), guide->txtGuide);
    EXPECT_EQ(guide->txtGuide->verticalScrollBar()->value(), 0);
    QTest::keyClick(guide->txtGuide, Qt::Key_Tab); // the first link of the contents
    QTest::keyClick(guide->txtGuide, Qt::Key_Tab); // the second: "The main window"
    QTest::keyClick(guide->txtGuide, Qt::Key_Return);
    EXPECT_EQ(guide->txtGuide->source().fragment(), QStringLiteral("the-main-window"));
    EXPECT_GT(guide->txtGuide->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(guide->isVisible());

    QTest::keyClick(guide->txtGuide, Qt::Key_Escape);
    EXPECT_FALSE(guide->isVisible());
    QApplication::setActiveWindow(window.get()); // back in the main window
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(window->userGuideWindow(), guide);
    EXPECT_TRUE(guide->isVisible());
    guide->close();
}

} // namespace
} // namespace orvalis
