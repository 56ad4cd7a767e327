// The main window driven through its controls: picking, importing (atomically), the Edit menu.
#include "FakePlatform.h"
#include "TempDir.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/frmDescriptives.h"
#include "ui/frmESBootstrap.h"
#include "platform/QtPlatform.h"
#include "ui/frmMain.h"

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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace orvalis {
namespace {

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
        window = std::make_unique<frmMain>(platform);
        window->Form_Load();
        window->dirDirectory->setPath(QString::fromStdString(dir.path().string()));
    }

    // Clicks a file in the file list.
    void pick(const QString& name)
    {
        const auto found = window->filFile->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        emit window->filFile->itemClicked(found.front());
    }

    QString dirPath() const { return QString::fromStdString(dir.path().string()); }

    test::TempDir dir;
    test::FakePlatform platform;
    std::unique_ptr<frmMain> window;
};

TEST_F(frmMainTest, StartsEmptyWithSpaceDelimiter)
{
    EXPECT_EQ(window->windowTitle(), "Orvalis");
    EXPECT_TRUE(window->m_strFileName.isEmpty());
    EXPECT_TRUE(window->optSpace->isChecked());
    EXPECT_EQ(window->lblSelectedFile->text(), "");
    EXPECT_EQ(window->lblCurrentFile->text(), "");
    EXPECT_FALSE(window->dataSet().hasStorage());
    EXPECT_EQ(window->cmbFileType->count(), 2);
    EXPECT_EQ(window->cmbFileType->itemText(0), "Text (*.txt)");
    EXPECT_EQ(window->cmbFileType->itemText(1), "Data (*.dat)");
    EXPECT_EQ(window->cmdImportData->text(), "Import Selected Data File");
}

TEST_F(frmMainTest, FileTypeFiltersTheFileListCaseSensitively)
{
    EXPECT_EQ(items(window->filFile), QStringList({"a.txt", "bad.txt"}));
    emit window->cmbFileType->activated(1);
    EXPECT_EQ(items(window->filFile), QStringList({"b.dat"}));
    emit window->cmbFileType->activated(0);
    EXPECT_EQ(items(window->filFile), QStringList({"a.txt", "bad.txt"}));
}

TEST_F(frmMainTest, PickingAFileSetsThePathAndLabel)
{
    pick("a.txt");
    EXPECT_EQ(window->m_strFileName, dirPath() + "/a.txt");
    EXPECT_EQ(window->lblSelectedFile->text(), "a.txt");
    // Moving to another directory keeps the picked file.
    ASSERT_TRUE(window->dirDirectory->setPath(dirPath() + "/sub"));
    EXPECT_EQ(items(window->filFile), QStringList({"inner.txt"}));
    EXPECT_EQ(window->m_strFileName, dirPath() + "/a.txt");
    EXPECT_EQ(window->lblSelectedFile->text(), "a.txt");
}

TEST_F(frmMainTest, ImportWithoutAPickedFileWarnsAndChangesNothing)
{
    window->cmdImportData->click();
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
    window->cmdImportData->click();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->dataSet().DataTable(2, 3), 0.0f);
    EXPECT_EQ(window->lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->outputLog().readAll(),
              "Earlier textOpened the text file: " + dirPath()
                  + "/a.txt\r\nNumber of Cases: 2\r\nNumber of Variables: 3\r\n\r\n\r\n");

    // The label names the imported file even when the list shows another directory.
    ASSERT_TRUE(window->dirDirectory->setPath(dirPath() + "/sub"));
    window->optComma->setChecked(true);
    emit window->cmbFileType->activated(1);
    window->dirDirectory->setPath(dirPath());
    pick("b.dat");
    window->dirDirectory->setPath(dirPath() + "/sub");
    window->cmdImportData->click();
    EXPECT_EQ(window->lblCurrentFile->text(), "b.dat");
    EXPECT_EQ(window->dataSet().NumVariables(), 2);
    EXPECT_EQ(window->dataSet().DataTable(1, 2), 8.0f);
}

TEST_F(frmMainTest, FailedImportLeavesEverythingAsItWas)
{
    pick("a.txt");
    window->cmdImportData->click();
    const QString logBefore = window->outputLog().readAll();

    pick("bad.txt");
    window->cmdImportData->click();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Row 2 of Column 2 has an invalid entry for analysis.");
    EXPECT_EQ(platform.messages[0].title, "Data Editor");
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->dataSet().NumVariables(), 3);
    EXPECT_EQ(window->dataSet().DataTable(1, 1), 1.0f);
    EXPECT_EQ(window->dataSet().DataTable(2, 2), 5.0f);
    EXPECT_EQ(window->lblCurrentFile->text(), "a.txt");
    EXPECT_EQ(window->outputLog().readAll(), logBefore);

    // A file that vanished after it was picked.
    pick("a.txt");
    std::filesystem::remove(dir.path() / "a.txt");
    window->cmdImportData->click();
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[1].text,
              "The file " + dirPath() + "/a.txt could not be read: No such file or directory.");
    EXPECT_EQ(platform.messages[1].title, "Data Editor");
    EXPECT_EQ(window->dataSet().NumCases(), 2);
    EXPECT_EQ(window->outputLog().readAll(), logBefore);
}

TEST_F(frmMainTest, ImportDiscardsTheAnalysisDialogs)
{
    // Opens both dialogs modally and hides them from inside their event loops.
    auto openAndHide = [&] {
        QTimer::singleShot(0, [&] { window->descriptivesDialog()->cmdCancel->click(); });
        window->mnuDescriptives->trigger();
        QTimer::singleShot(0, [&] { window->esBootstrapDialog()->cmdCancel->click(); });
        window->mnuESBootstrap->trigger();
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
    window->cmdImportData->click();
    EXPECT_EQ(window->descriptivesDialog(), nullptr);
    EXPECT_EQ(window->esBootstrapDialog(), nullptr);
    openAndHide();
    EXPECT_FALSE(window->descriptivesDialog()->property("first").toBool());
    EXPECT_EQ(window->descriptivesDialog()->lstItems->count(), 3);
    EXPECT_EQ(window->esBootstrapDialog()->lstDV->count(), 3);

    // A failed import keeps the dialogs.
    window->descriptivesDialog()->setProperty("first", true);
    pick("bad.txt");
    window->cmdImportData->click();
    ASSERT_NE(window->descriptivesDialog(), nullptr);
    EXPECT_TRUE(window->descriptivesDialog()->property("first").toBool());
}

TEST_F(frmMainTest, EditCommandsActOnTheLogOnlyWhenItHasTheFocus)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    window->outputLog().replaceAll("Hello World");
    QTextCursor cursor = window->txtOutput->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    window->txtOutput->setTextCursor(cursor);

    window->cmdImportData->setFocus();
    platform.clipboard = "before";
    window->mnuCopy->trigger();
    EXPECT_EQ(platform.clipboard, QString(""));
    window->mnuCut->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");
    platform.clipboard = "X";
    window->mnuPaste->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");

    window->txtOutput->setFocus();
    window->mnuCut->trigger();
    EXPECT_EQ(platform.clipboard, QString("Hello"));
    EXPECT_EQ(window->outputLog().readAll(), " World");
    window->mnuPaste->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "Hello World");

    // Clear Output does not care where the focus is.
    window->cmdImportData->setFocus();
    window->mnuClearOutput->trigger();
    EXPECT_EQ(window->outputLog().readAll(), "");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(frmMainTest, PasteKeysInTheLogGoThroughTheProgramsPaste)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    window->outputLog().replaceAll("ab");
    window->txtOutput->setFocus();
    QTextCursor cursor = window->txtOutput->textCursor();
    cursor.setPosition(1);
    window->txtOutput->setTextCursor(cursor);
    QGuiApplication::clipboard()->setText("from Qt");
    platform.clipboard = "[P]";
    QTest::keyClick(window->txtOutput, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->outputLog().readAll(), "a[P]b");
    QTest::keyClick(window->txtOutput, Qt::Key_Insert, Qt::ShiftModifier);
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
    for (QAction* command : {window.mnuCopy, window.mnuCut}) {
        window.cmdImportData->setFocus();
        command->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(data->hasText());
        EXPECT_EQ(data->text(), "");
        // Pasting it, by key or menu, inserts nothing and does not crash.
        window.txtOutput->setFocus();
        QTest::keyClick(window.txtOutput, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(window.txtOutput, Qt::Key_Insert, Qt::ShiftModifier);
        window.mnuPaste->trigger();
        EXPECT_EQ(window.outputLog().readAll(), "keep");
    }
}

TEST_F(frmMainTest, MenuCaptions)
{
    const std::pair<QAction*, const char*> captions[] = {
        {window->mnuOpenOutput, "Open Output"},
        {window->mnuSaveOutput, "Save Output"},
        {window->mnuExit, "Exit"},
        {window->mnuCut, "Cut"},
        {window->mnuCopy, "Copy"},
        {window->mnuPaste, "Paste"},
        {window->mnuClearOutput, "Clear Output"},
        {window->mnuNavigateDataFile, "Navigate Data File"},
        {window->mnuDescriptives, "Descriptives"},
        {window->mnuESBootstrap, "Effect Size Bootstrap"},
    };
    for (const auto& [action, caption] : captions) {
        EXPECT_EQ(action->text(), caption);
        EXPECT_TRUE(action->shortcut().isEmpty());
        EXPECT_TRUE(action->isEnabled());
    }
}

} // namespace
} // namespace orvalis
