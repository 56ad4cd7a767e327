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
}

void frmOpenOutput::filFile_Click(const QString& name)
{
    trap([&] { lblSelectedFile->setText(name); });
}

namespace {

// Drops what a reading gave on this thread, where its document lives.
void dropResult(QFutureWatcher<OpenedLog>& watcher)
{
    if (watcher.future().isValid() && watcher.future().resultCount() > 0) {
        (void)watcher.future().takeResult();
    }
}

} // namespace

frmOpenOutput::~frmOpenOutput()
{
    // Every reading still going on (the one waited for, and cancelled ones)
    // is waited for: a future whose result was taken is reset and would never
    // report finished again, so only running ones.
    for (auto* watcher : findChildren<QFutureWatcher<OpenedLog>*>(Qt::FindDirectChildrenOnly)) {
        if (watcher->isRunning()) {
            watcher->waitForFinished();
        }
        dropResult(*watcher);
    }
}

void frmOpenOutput::setControlsEnabled(bool enabled)
{
    // Cancel stays enabled: it stops waiting for the open.
    for (QWidget* control : std::initializer_list<QWidget*>{cmdOpen, filFile, dirDirectory, drvDrive}) {
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
        return Refusal{QStringLiteral("There is not enough memory to open %1.").arg(shownPath(path)).toStdString(),
                       OpenOutputTitle, Refusal::Reason::OutOfMemory};
    }
}

} // namespace

void frmOpenOutput::cmdOpen_Click()
{
    trap([&] {
        if (m_opening != nullptr) {
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
        auto watcher = std::make_unique<QFutureWatcher<OpenedLog>>(this);
        connect(watcher.get(), &QFutureWatcherBase::finished, this,
                [this, watched = watcher.get()] { openEnded(watched); });
        // Started first: should starting fail, the dialog is left as it was.
        watcher->setFuture(QtConcurrent::run([path, style, owner] { return openLog(path, style, owner); }));
        m_opening = watcher.release();
        setControlsEnabled(false);
        // The busy pointer over the dialog (Cancel still answers), and the file in its title.
        setCursor(Qt::BusyCursor);
        setWindowTitle(QStringLiteral("%1 - opening %2...").arg(QString::fromLatin1(OpenOutputTitle), shownPath(name)));
    });
}

void frmOpenOutput::stopWork()
{
    if (m_opening == nullptr) {
        return;
    }
    // The reading has no way to stop; its watcher lives on until it ends, and
    // its document is dropped then (openEnded).
    m_opening = nullptr;
    unsetCursor();
    setWindowTitle(QString::fromLatin1(OpenOutputTitle));
    setControlsEnabled(true);
    cmdOpen->setFocus();
    emit openFinished();
}

void frmOpenOutput::cmdCancel_Click()
{
    stopWork();
    OutputFileDialog::cmdCancel_Click();
}

void frmOpenOutput::openEnded(QFutureWatcher<OpenedLog>* watcher)
{
    watcher->deleteLater();
    if (watcher != m_opening) {
        trap([&] { dropResult(*watcher); }); // cancelled: the log keeps its text
        return;
    }
    m_opening = nullptr;
    unsetCursor();
    setWindowTitle(QString::fromLatin1(OpenOutputTitle));
    setControlsEnabled(true);
    trap([&] {
        OpenedLog opened = watcher->future().takeResult();
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
