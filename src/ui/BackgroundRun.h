// BackgroundRun: the life of a window's long work off the user-interface thread: start, progress, stop, end, wait.
#pragma once

#include "analyses/Bootstrap.h"
#include "common/Outcome.h"
#include "common/RuntimeErrors.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdint>
#include <functional>
#include <new>
#include <stop_token>
#include <utility>

class QProgressBar;
class QWidget;

namespace orvalis {

class Platform;

// Where a run's progress shows. Each part may be left empty.
struct RunProgress {
    // A run starts that counts up to total.
    std::function<void(std::int32_t total)> begin;
    // The count the work has reached (delivered on the window's thread).
    std::function<void(int done)> show;
    // The run ended without a result: stopped by the user, or refused.
    std::function<void()> stopped;
    std::function<void()> refused;

    // A progress bar: at 0 of total when a run starts, each count shown, back
    // to 0 when a run ends without a result; a result leaves it as it is.
    static RunProgress bar(QProgressBar* bar);
};

// One window's long work, one run at a time. The window writes the work (a
// function of a RunControl that returns an Outcome, run on a worker thread)
// and what it does with a result; everything else happens here, the same way
// for every window:
// - a run gets a fresh stop source; stop() asks the work to stop through the
//   RunControl's token (the work ends with a Stopped refusal);
// - while it runs the window shows the wait cursor and its controls are
//   disabled (enableControls(false)); when it ends the cursor goes and the
//   controls come back (enableControls(true)) before the outcome is handled;
// - the work's progress reaches RunProgress::show on the window's thread;
// - the outcome, on the window's thread: a value goes to the window's done;
//   a Stopped refusal is quiet; any other refusal is warned of with its own
//   message and title; a run that ended without an outcome (memory ran out
//   on the worker, or a run-time error ended the work) is warned of with
//   outOfMemory under title. A run-time error
//   while the result is handled ends the handling (through trap), warned of
//   under title when warnOfErrors says so. Then ended() is emitted.
// - destroying the run (with its window) stops the work and waits for it,
//   since the work may read what the window lends it (the data set).
class BackgroundRun : public QObject {
    Q_OBJECT
public:
    struct Window {
        // Shows the wait cursor during a run; the parent of the warnings.
        QWidget* widget = nullptr;
        Platform& platform;
        // Disables (false) and enables again (true) what must not change during a run.
        std::function<void(bool enabled)> enableControls;
        RunProgress progress;
        // The warning when the outcome could not be kept, and its title.
        QString outOfMemory;
        QString title;
        // Whether a run-time error met while handling a result is warned of
        // (under title) or ends the handling quietly.
        bool warnOfErrors = true;
    };

    explicit BackgroundRun(Window window);
    // Stops the run under way, if any, and waits for its end; the window's
    // done and ended() are not called for it.
    ~BackgroundRun() override;
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    bool running() const { return m_watcher.isRunning(); }
    // Asks the run under way to stop; nothing when none is.
    void stop() { m_stop.request_stop(); }

    // Starts work(const RunControl&) -> Outcome<T> on a worker thread, its
    // progress counting from 0 to total; done(T&&) gets the value on the
    // window's thread. Refuses (false, nothing started) while a run is under
    // way. Should starting the thread fail (it throws), the window is left as
    // it was.
    template <typename T, typename Work, typename Done>
    bool start(std::int32_t total, Work work, Done done);

signals:
    // A run has ended, whatever its outcome, after the outcome was handled.
    void ended();

private:
    void begin(const QFuture<void>& future, std::function<void()> deliver, std::int32_t total);
    void finished();
    // The two endings without a value, called by the delivery start made.
    void refused(const Refusal& refusal);
    void outOfMemory();

    Window m_window;
    QFutureWatcher<void> m_watcher;
    // Asks the run under way to stop; a new one for every run.
    std::stop_source m_stop;
    // Reads the run's outcome and hands it on; set by start, cleared at the end.
    std::function<void()> m_deliver;
};

template <typename T, typename Work, typename Done>
bool BackgroundRun::start(std::int32_t total, Work work, Done done)
{
    if (running()) {
        return false;
    }
    std::stop_source stop;
    QFuture<Outcome<T>> future =
        QtConcurrent::run([work = std::move(work), total, token = stop.get_token()](QPromise<Outcome<T>>& promise) {
            promise.setProgressRange(0, total);
            const RunControl control{[&promise](std::int32_t count) { promise.setProgressValue(count); }, token};
            // Memory running out (or a run-time error) ends the run without an
            // outcome, which the window reports. Caught here: left to
            // QtConcurrent it would be kept and thrown again by every wait on
            // the run, the last wait of the window's end included.
            try {
                promise.addResult(work(control));
            } catch (const std::bad_alloc&) {
                return;
            } catch (const RuntimeError&) {
                return;
            }
        });
    m_stop = std::move(stop);
    begin(
        QFuture<void>(future),
        [this, future, done = std::move(done)]() mutable {
            // The work throws nothing the window acts on; only keeping its
            // outcome can fail (for want of memory), and then there is none.
            if (future.resultCount() == 0) {
                outOfMemory();
                return;
            }
            Outcome<T> outcome = future.result();
            if (!outcome.ok()) {
                refused(outcome.refusal());
                return;
            }
            done(std::move(*outcome));
        },
        total);
    return true;
}

} // namespace orvalis
