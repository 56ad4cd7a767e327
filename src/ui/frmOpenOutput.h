// frmOpenOutput: replaces the output log with the text of a ".txt" file.
#pragma once

#include "common/Outcome.h"
#include "ui/OutputFileDialog.h"

#include <QFutureWatcher>
#include <QString>

#include <memory>

class QLabel;
class QPushButton;
class QTextDocument;

namespace orvalis {

class OutputLog;

// The file read and laid out as the log's next document, or why it could not be.
using OpenedLog = Outcome<std::unique_ptr<QTextDocument>>;

class frmOpenOutput : public OutputFileDialog {
    Q_OBJECT
public:
    frmOpenOutput(Platform& platform, OutputLog& log, QWidget* parent);
    ~frmOpenOutput() override;

    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOpen = nullptr;
    QLabel* lblFileNameLabel = nullptr;
    QLabel* lblSelectedFile = nullptr;

    void filFile_Click(const QString& name) override;
    // Reads and lays out the file away from the window's thread, with the
    // dialog's controls disabled and the busy pointer; the log is replaced
    // (or the failure shown) when that ends.
    void cmdOpen_Click();

signals:
    // An open started by cmdOpen_Click has ended (the log replaced, or a warning shown).
    void openFinished();

protected:
    bool busy() const override { return m_opening; }

private:
    void openEnded();
    void setControlsEnabled(bool enabled);

    OutputLog& m_log;
    QFutureWatcher<OpenedLog> m_watcher;
    // From the start of an open until its end has been handled.
    bool m_opening = false;
};

} // namespace orvalis
