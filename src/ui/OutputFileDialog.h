// The part the two output-file dialogs share: drive, directory and file lists and their coupling.
#pragma once

#include <QDialog>

namespace orvalis {

class DirectoryList;
class DriveList;
class FileList;
class Platform;

// A modal dialog listing "*.txt" files. It starts at the process's current
// directory and keeps its drive, directory and choices while hidden. A close
// through the window's close box marks it discarded; Escape does nothing.
class OutputFileDialog : public QDialog {
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

    // True once the window's own close has been used; the owner then discards it.
    bool discarded() const { return m_discarded; }

protected:
    // Creates the lists at their design positions and runs Form_Load.
    void buildLists();
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    Platform& m_platform;

private:
    bool m_discarded = false;
};

} // namespace orvalis
