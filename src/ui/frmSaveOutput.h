// frmSaveOutput: saves the output log to a ".txt" file.
#pragma once

#include "ui/OutputFileDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalis {

class OutputLog;

class frmSaveOutput : public OutputFileDialog {
    Q_OBJECT
public:
    frmSaveOutput(Platform& platform, OutputLog& log, QWidget* parent);

    QLineEdit* txtSavedFileName = nullptr;
    QLabel* lblFileName = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

    void filFile_Click(const QString& name) override;
    void cmdSave_Click();

    // The path a name is saved under: the directory, "/", the name, and ".txt"
    // unless the name's last four characters are exactly ".txt". A name that
    // starts with "/" is that path, one that starts with "~/" is in the home folder.
    static QString savePath(const QString& directory, const QString& name);

    // Whether the present showing wrote a file; reset when it is shown.
    bool fileWritten() const { return m_fileWritten; }
    void resetFileWritten() { m_fileWritten = false; }

    // The imported data file, which a save never replaces.
    void setDataFileName(const QString& path) { m_dataFileName = path; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    OutputLog& m_log;
    QString m_dataFileName;
    bool m_fileWritten = false;
};

} // namespace orvalis
