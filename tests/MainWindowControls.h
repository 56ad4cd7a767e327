// The main window's controls as a test finds them (by their design names), and the user's ways of working them.
#pragma once

#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace orvalis::test {

// The named child of the window; a missing one fails the test.
template <typename T>
T* control(QObject& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control named " << name;
    return found;
}

struct MainWindowControls {
    explicit MainWindowControls(frmMain& w)
        : fraSelectData(control<QGroupBox>(w, "fraSelectData")),
          dirDirectory(control<DirectoryList>(w, "dirDirectory")), filFile(control<FileList>(w, "filFile")),
          drvDrive(control<DriveList>(w, "drvDrive")), lblSelectedFile(control<QLabel>(w, "lblSelectedFile")),
          cmdImportData(control<QPushButton>(w, "cmdImportData")),
          lblSelectedFileLabel(control<QLabel>(w, "lblSelectedFileLabel")),
          fraTypeOfDelimiter(control<QGroupBox>(w, "fraTypeOfDelimiter")),
          optSpace(control<QRadioButton>(w, "optSpace")), optComma(control<QRadioButton>(w, "optComma")),
          optTab(control<QRadioButton>(w, "optTab")), lblCurrentFileLabel(control<QLabel>(w, "lblCurrentFileLabel")),
          lblCurrentFile(control<QLabel>(w, "lblCurrentFile")), cmbFileType(control<QComboBox>(w, "cmbFileType")),
          fraOutput(control<QGroupBox>(w, "fraOutput")), txtOutput(control<QPlainTextEdit>(w, "txtOutput")),
          mnuOpenOutput(control<QAction>(w, "mnuOpenOutput")), mnuSaveOutput(control<QAction>(w, "mnuSaveOutput")),
          mnuExit(control<QAction>(w, "mnuExit")), mnuCut(control<QAction>(w, "mnuCut")),
          mnuCopy(control<QAction>(w, "mnuCopy")), mnuPaste(control<QAction>(w, "mnuPaste")),
          mnuClearOutput(control<QAction>(w, "mnuClearOutput")),
          mnuNavigateDataFile(control<QAction>(w, "mnuNavigateDataFile")),
          mnuDescriptives(control<QAction>(w, "mnuDescriptives")), mnuESBootstrap(control<QAction>(w, "mnuESBootstrap"))
    {
    }

    QGroupBox* fraSelectData;
    DirectoryList* dirDirectory;
    FileList* filFile;
    DriveList* drvDrive;
    QLabel* lblSelectedFile;
    QPushButton* cmdImportData;
    QLabel* lblSelectedFileLabel;
    QGroupBox* fraTypeOfDelimiter;
    QRadioButton* optSpace;
    QRadioButton* optComma;
    QRadioButton* optTab;
    QLabel* lblCurrentFileLabel;
    QLabel* lblCurrentFile;
    QComboBox* cmbFileType;
    QGroupBox* fraOutput;
    QPlainTextEdit* txtOutput;
    QAction* mnuOpenOutput;
    QAction* mnuSaveOutput;
    QAction* mnuExit;
    QAction* mnuCut;
    QAction* mnuCopy;
    QAction* mnuPaste;
    QAction* mnuClearOutput;
    QAction* mnuNavigateDataFile;
    QAction* mnuDescriptives;
    QAction* mnuESBootstrap;
};

inline MainWindowControls ui(frmMain& window)
{
    return MainWindowControls(window);
}

// Waits until the import the window is reading (away from its thread) has
// ended, at most a minute. True when no import is reading then.
inline bool waitForImport(frmMain& window)
{
    if (!window.importing()) {
        return true;
    }
    QEventLoop loop;
    QObject::connect(&window, &frmMain::importFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    return !window.importing();
}

// The start-up as a user in a hurry has it: Form_Load, then a key that closes
// the splash, which brings up the main window at once.
inline void startPastSplash(frmMain& window)
{
    window.Form_Load();
    ASSERT_NE(window.splash(), nullptr);
    QTest::keyClick(window.splash(), Qt::Key_Space);
    ASSERT_TRUE(window.isVisible());
}

// A click on the item with the given text (the list must be shown).
inline void clickItem(QListWidget* list, const QString& text)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->scrollToItem(found.front());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.front()).center());
}

// Chooses an item of a combo box with the arrow keys, as a user without a
// mouse does; the box reports each step as activated (none when the item is
// already the current one).
inline void chooseWithKeys(QComboBox* box, int index)
{
    while (box->currentIndex() != index) {
        const int before = box->currentIndex();
        QTest::keyClick(box, before > index ? Qt::Key_Up : Qt::Key_Down);
        ASSERT_NE(box->currentIndex(), before) << "the arrow key did not move the box";
    }
}

} // namespace orvalis::test
