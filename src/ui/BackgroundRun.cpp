// BackgroundRun: the cursor, the controls, the progress and the endings of a window's long work.
#include "ui/BackgroundRun.h"

#include "platform/Platform.h"
#include "ui/Trap.h"

#include <QProgressBar>
#include <QWidget>

namespace orvalis {

RunProgress RunProgress::bar(QProgressBar* bar)
{
    RunProgress progress;
    progress.begin = [bar](std::int32_t total) {
        bar->setRange(0, total);
        bar->setValue(0);
    };
    progress.show = [bar](int done) { bar->setValue(done); };
    progress.stopped = [bar] { bar->setValue(0); };
    progress.refused = progress.stopped;
    return progress;
}

BackgroundRun::BackgroundRun(Window window) : m_window(std::move(window))
{
    connect(&m_watcher, &QFutureWatcher<void>::progressValueChanged, this, [this](int done) {
        if (m_window.progress.show) {
            m_window.progress.show(done);
        }
    });
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &BackgroundRun::finished);
}

BackgroundRun::~BackgroundRun()
{
    // The work may read what the window lends it (the data set): it must not
    // outlive the window, and the window need not wait for the work's end.
    m_stop.request_stop();
    m_watcher.waitForFinished();
}

void BackgroundRun::begin(const QFuture<void>& future, std::function<void()> deliver, std::int32_t total)
{
    m_deliver = std::move(deliver);
    if (m_window.progress.begin) {
        m_window.progress.begin(total);
    }
    m_window.widget->setCursor(Qt::WaitCursor);
    m_window.enableControls(false);
    m_watcher.setFuture(future);
}

void BackgroundRun::finished()
{
    m_window.widget->unsetCursor();
    m_window.enableControls(true);
    std::function<void()> deliver = std::move(m_deliver);
    m_deliver = nullptr;
    trap([&] { deliver(); },
         [&](const char* reason) {
             if (m_window.warnOfErrors) {
                 m_window.platform.warn(m_window.widget, QString::fromUtf8(reason), m_window.title);
             }
         });
    emit ended();
}

void BackgroundRun::refused(const Refusal& refusal)
{
    if (refusal.reason == Refusal::Reason::Stopped) {
        if (m_window.progress.stopped) {
            m_window.progress.stopped();
        }
        return;
    }
    if (m_window.progress.refused) {
        m_window.progress.refused();
    }
    m_window.platform.warn(m_window.widget, refusal);
}

void BackgroundRun::outOfMemory()
{
    m_window.platform.warn(m_window.widget, m_window.outOfMemory, m_window.title);
}

} // namespace orvalis
