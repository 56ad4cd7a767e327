// frmOpenOutput: replaces the output log with the text of a ".txt" file.
#pragma once

#include "ui/OutputFileDialog.h"

class QLabel;
class QPushButton;

namespace orvalis {

class OutputLog;

class frmOpenOutput : public OutputFileDialog {
    Q_OBJECT
public:
    frmOpenOutput(Platform& platform, OutputLog& log, QWidget* parent);

    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOpen = nullptr;
    QLabel* lblFileNameLabel = nullptr;
    QLabel* lblSelectedFile = nullptr;

    void filFile_Click(const QString& name) override;
    void cmdOpen_Click();

private:
    OutputLog& m_log;
};

} // namespace orvalis
