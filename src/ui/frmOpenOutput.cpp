// frmOpenOutput: the file is read and laid out off the window's thread; the log is replaced only once all of it is
// ready.
#include "ui/frmOpenOutput.h"

#include "platform/Platform.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/OutputFiles.h"
#include "ui/OutputLog.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QApplication>
#include <QLabel>
#include <QTextDocument>
#include <QThread>
#include <QtConcurrent>

#include <new>
#include <QPushButton>

namespace orvalis {

frmOpenOutput::frmOpenOutput(Platform& platform, OutputLog& log, QWidget* parent)
    : OutputFileDialog(platform, parent), m_log(log)
{
    setUpDialog(this, "frmOpenOutput", QStringLiteral("Open Output"), 5535, 3840);

    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), twips(3000, 3120, 1215, 495));
    cmdOpen = makeButton(this, "cmdOpen", QStringLiteral("Open"), twips(1320, 3120, 1215, 495));
    buildLists();
    lblFileNameLabel = makeFileNameLabel("lblFileNameLabel");
    lblSelectedFile = makeControl<QLabel>(this, "lblSelectedFile", twips(2880, 2400, 2415, 255));
    styleBoxLabel(lblSelectedFile, QPalette::HighlightedText);

    setTabChain({cmdCancel, cmdOpen, filFile, dirDirectory, drvDrive});
    allowListsToGrow(lblFileNameLabel, lblSelectedFile, cmdOpen, cmdCancel);
    cmdCancel->setFocus();

    connect(cmdOpen, &QPushButton::clicked, this, &frmOpenOutput::cmdOpen_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOpenOutput::cmdCancel_Click);
    connect(&m_watcher, &QFutureWatcher<OpenedLog>::finished, this, &frmOpenOutput::openEnded);
}

void frmOpenOutput::filFile_Click(const QString& name)
{
    trap([&] { lblSelectedFile->setText(name); });
}

frmOpenOutput::~frmOpenOutput()
{
    // Only a running open is waited for: a future whose result was taken is
    // reset and would never report finished again.
    if (m_watcher.isRunning()) {
        m_watcher.waitForFinished();
    }
}

void frmOpenOutput::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{cmdCancel, cmdOpen, filFile, dirDirectory, drvDrive}) {
        control->setEnabled(enabled);
    }
}

namespace {

OpenedLog openLog(const QString& path, const OutputLog::DocumentStyle& style, QThread* owner)
{
    try {
        Outcome<QString> text = readOutputFile(path);
        if (!text.ok()) {
            return text.refusal();
        }
        return OutputLog::buildDocument(std::move(text).value(), style, owner);
    } catch (const std::bad_alloc&) {
        return Refusal{QStringLiteral("There is not enough memory to open %1.").arg(path).toStdString(),
                       OpenOutputTitle, Refusal::Reason::OutOfMemory};
    }
}

} // namespace

void frmOpenOutput::cmdOpen_Click()
{
    trap([&] {
        if (m_opening) {
            return;
        }
        const QString name = lblSelectedFile->text();
        if (name.isEmpty()) {
            m_platform.warn(this, QStringLiteral("A file has not been selected."), OpenOutputTitle);
            hide();
            return;
        }
        const QString path = filFile->path() + QLatin1Char('/') + name;
        const OutputLog::DocumentStyle style = m_log.documentStyle();
        QThread* const owner = thread();
        // Started first: should starting fail, the dialog is left as it was.
        QFuture<OpenedLog> opening = QtConcurrent::run([path, style, owner] { return openLog(path, style, owner); });
        m_opening = true;
        setControlsEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_watcher.setFuture(opening);
    });
}

void frmOpenOutput::openEnded()
{
    QApplication::restoreOverrideCursor();
    setControlsEnabled(true);
    m_opening = false;
    trap([&] {
        OpenedLog opened = m_watcher.future().takeResult();
        if (!opened.ok()) {
            // The log keeps its text; the dialog stays open, its Open button
            // holding the focus again (disabling took it away).
            m_platform.warn(this, opened.refusal());
            cmdOpen->setFocus();
        } else {
            m_log.adoptDocument(std::move(*opened));
            hide();
        }
    });
    emit openFinished();
}

} // namespace orvalis
