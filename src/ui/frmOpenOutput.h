// frmOpenOutput: replaces the output log with the text of a ".txt" file.
#pragma once

#include "common/Outcome.h"
#include "ui/OutputFileDialog.h"

#include <QFutureWatcher>
#include <QPointer>
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
    // dialog's controls but Cancel disabled, the busy pointer and the title
    // naming the file; the log is replaced (or the failure shown) when that
    // ends.
    void cmdOpen_Click();
    // While an open reads: stops waiting for it (the log keeps its text, and
    // what the reading gives is dropped) and hides the dialog. Otherwise hides it.
    void cmdCancel_Click();

signals:
    // An open started by cmdOpen_Click has ended (the log replaced, a warning
    // shown, or the open cancelled).
    void openFinished();

protected:
    bool busy() const override { return m_opening != nullptr; }
    // The close box and Escape while an open reads: stop waiting for it; the dialog stays.
    void stopWork() override;

private:
    void openEnded(QFutureWatcher<OpenedLog>* watcher);
    void setControlsEnabled(bool enabled);

    OutputLog& m_log;
    // The open the dialog waits for, from its start until its end has been
    // handled; a cancelled one's watcher lives on until its reading ends.
    QPointer<QFutureWatcher<OpenedLog>> m_opening;
};

} // namespace orvalis
