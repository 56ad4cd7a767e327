// The part the two output-file dialogs share: drive, directory and file lists and their coupling.
#pragma once

#include "ui/ModalDialog.h"

class QLabel;

namespace orvalis {

class DirectoryList;
class DriveList;
class FileList;
class Platform;

// A modal dialog listing "*.txt" files. It starts at the process's current
// directory and keeps its drive, directory and choices while hidden.
class OutputFileDialog : public ModalDialog {
    Q_OBJECT
public:
    OutputFileDialog(Platform& platform, QWidget* parent);

    DriveList* drvDrive = nullptr;
    DirectoryList* dirDirectory = nullptr;
    FileList* filFile = nullptr;

    void drvDrive_Change(int index);
    void dirDirectory_Change(const QString& path);
    virtual void filFile_Click(const QString& name) = 0;
    void cmdCancel_Click();

protected:
    // Creates the lists at their design positions and runs Form_Load.
    void buildLists();
    // The "File name:" caption at its design position, right-aligned and
    // grown to the left to fit its text.
    QLabel* makeFileNameLabel(const char* name);
    // Lets the dialog grow: the two lists share the room, the file name's
    // label and box and the two buttons move down with the bottom edge.
    void allowListsToGrow(QWidget* nameLabel, QWidget* nameBox, QWidget* firstButton, QWidget* secondButton);

    Platform& m_platform;
};

} // namespace orvalis
