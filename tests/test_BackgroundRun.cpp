// BackgroundRun, the long-work lifecycle the analysis windows share, driven with work made in the tests.
#include "FakePlatform.h"
#include "common/RuntimeErrors.h"
#include "ui/BackgroundRun.h"
#include "ui/ModalDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace orvalis {
namespace {

using namespace std::chrono_literals;

// What the work in these tests reports back to the test's thread.
struct WorkTrace {
    std::atomic<bool> started{false};
    std::atomic<bool> sawStop{false};
    std::atomic<bool> returned{false};
};

// Counts to reached of total, then waits for a stop (at most a minute, so
// that a run nobody stops still ends) and ends with a Stopped refusal; a
// Fault refusal when no stop came.
auto countThenWaitForStop(std::shared_ptr<WorkTrace> trace, std::int32_t reached,
                          std::chrono::milliseconds linger = 0ms)
{
    return [trace, reached, linger](const RunControl& control) -> Outcome<int> {
        trace->started = true;
        control.progress(reached);
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!control.stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        trace->sawStop = control.stop.stop_requested();
        // Work that takes a while to wind down after the stop.
        std::this_thread::sleep_for(linger);
        trace->returned = true;
        if (!trace->sawStop) {
            return Refusal{"no stop came", "Test", Refusal::Reason::Fault};
        }
        return Refusal{"stopped", "Test", Refusal::Reason::Stopped};
    };
}

// A window with one control, a progress bar and its run, as an analysis window has them.
class RunWindow : public ModalDialog {
public:
    explicit RunWindow(test::FakePlatform& platform, bool warnOfErrors = true) : ModalDialog(nullptr)
    {
        cmdOK = new QPushButton(QStringLiteral("OK"), this);
        cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
        prgRun = new QProgressBar(this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(cmdOK);
        layout->addWidget(cmdCancel);
        layout->addWidget(prgRun);
        run = std::make_unique<BackgroundRun>(BackgroundRun::Window{
            .widget = this,
            .platform = platform,
            .enableControls =
                [this](bool enabled) {
                    cmdOK->setEnabled(enabled);
                    enabledStates.push_back(enabled);
                },
            .progress = RunProgress::bar(prgRun),
            .outOfMemory = QStringLiteral("There is not enough memory to finish the test run."),
            .title = QStringLiteral("Test Run"),
            .warnOfErrors = warnOfErrors,
        });
        runsInBackground(*run);
        connect(cmdCancel, &QPushButton::clicked, this, [this] { stopOrHide(); });
    }

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QProgressBar* prgRun = nullptr;
    std::vector<bool> enabledStates;
    std::vector<int> results;
    std::unique_ptr<BackgroundRun> run;

    template <typename Work>
    bool start(std::int32_t total, Work work)
    {
        return run->start<int>(total, std::move(work), [this](int value) { results.push_back(value); });
    }
    bool waitCursor() const { return testAttribute(Qt::WA_SetCursor) && cursor().shape() == Qt::WaitCursor; }
};

class BackgroundRunTest : public ::testing::Test {
protected:
    test::FakePlatform platform;
};

// While a run goes on the window shows the wait cursor, its controls are
// disabled and its bar counts; a stop ends the run with a Stopped refusal,
// which is quiet: no result, no message, the bar back at 0, the controls
// and the cursor back, ended() once.
TEST_F(BackgroundRunTest, AStopEndsTheRunQuietlyAndGivesTheControlsBack)
{
    RunWindow window(platform);
    QSignalSpy ended(window.run.get(), &BackgroundRun::ended);
    auto trace = std::make_shared<WorkTrace>();
    ASSERT_TRUE(window.start(10, countThenWaitForStop(trace, 7)));
    EXPECT_TRUE(window.run->running());
    EXPECT_FALSE(window.cmdOK->isEnabled());
    EXPECT_TRUE(window.waitCursor());
    EXPECT_EQ(window.prgRun->maximum(), 10);
    // The work's count reaches the bar on the window's thread.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.prgRun->value() == 7; }, 60000));
    // A second start while one runs is refused and changes nothing.
    EXPECT_FALSE(window.start(99, [](const RunControl&) -> Outcome<int> { return 1; }));
    EXPECT_EQ(window.prgRun->maximum(), 10);

    window.run->stop();
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_TRUE(trace->sawStop);
    EXPECT_FALSE(window.run->running());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(window.results.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(window.prgRun->value(), 0);
    EXPECT_TRUE(window.cmdOK->isEnabled());
    EXPECT_FALSE(window.waitCursor());
    EXPECT_EQ(window.enabledStates, (std::vector<bool>{false, true}));

    // Each run has its own stop: the one before does not stop the next.
    ASSERT_TRUE(window.start(5, [](const RunControl& control) -> Outcome<int> {
        control.progress(5);
        return control.stop.stop_requested() ? Outcome<int>(Refusal{"stopped", "", Refusal::Reason::Stopped}) : 42;
    }));
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(window.results, std::vector<int>{42});
}

// The endings of a run, one per row: a value goes to the window (the bar
// keeps its count), a refusal is warned of with its own words and empties
// the bar, an outcome that could not be kept (memory ran out on the worker)
// is warned of with the window's own message, and a run-time error while
// the window handles the value is warned of under the window's title, or
// not at all when the window says so. Every ending gives the controls back.
TEST_F(BackgroundRunTest, EachEndingIsHandledAndTheControlsComeBack)
{
    struct Case {
        const char* name;
        std::function<Outcome<int>(const RunControl&)> work;
        bool throwInDone;
        bool warnOfErrors;
        std::vector<int> results;
        int barAfter;
        std::vector<std::pair<QString, QString>> messages;
    };
    const std::vector<Case> cases = {
        {"a value",
         [](const RunControl& control) -> Outcome<int> {
             control.progress(3);
             return 17;
         },
         false,
         true,
         {17},
         3,
         {}},
        {"a refusal",
         [](const RunControl& control) -> Outcome<int> {
             control.progress(3);
             return Refusal{"Too few cases.", "Analysis Error", Refusal::Reason::Refused};
         },
         false,
         true,
         {},
         0,
         {{"Too few cases.", "Analysis Error"}}},
        {"no memory for the outcome",
         [](const RunControl& control) -> Outcome<int> {
             control.progress(3);
             throw std::bad_alloc();
         },
         false,
         true,
         {},
         3,
         {{"There is not enough memory to finish the test run.", "Test Run"}}},
        {"an error while the value is shown",
         [](const RunControl&) -> Outcome<int> { return 5; },
         true,
         true,
         {5},
         0,
         {{"a fault in the window", "Test Run"}}},
        {"an error while the value is shown, quietly",
         [](const RunControl&) -> Outcome<int> { return 5; },
         true,
         false,
         {5},
         0,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.messages.clear();
        RunWindow window(platform, c.warnOfErrors);
        QSignalSpy ended(window.run.get(), &BackgroundRun::ended);
        const bool started = window.run->start<int>(4, c.work, [&window, &c](int value) {
            window.results.push_back(value);
            if (c.throwInDone) {
                throw InvalidOperationError("a fault in the window");
            }
        });
        ASSERT_TRUE(started);
        EXPECT_FALSE(window.cmdOK->isEnabled());
        ASSERT_TRUE(ended.wait(60000));
        EXPECT_EQ(ended.count(), 1);
        EXPECT_EQ(window.results, c.results);
        if (!c.throwInDone && c.barAfter != 0) {
            // The count the work reached arrives at the latest with the end.
            EXPECT_EQ(window.prgRun->value(), c.barAfter);
        }
        if (c.barAfter == 0) {
            EXPECT_EQ(window.prgRun->value(), 0);
        }
        std::vector<std::pair<QString, QString>> shown;
        for (const auto& message : platform.messages) {
            shown.emplace_back(message.text, message.title);
        }
        EXPECT_EQ(shown, c.messages);
        EXPECT_TRUE(window.cmdOK->isEnabled());
        EXPECT_FALSE(window.waitCursor());
        EXPECT_EQ(window.enabledStates, (std::vector<bool>{false, true}));
    }
}

// Destroying the window during a run stops the work and waits for its end,
// even when the work takes a while to wind down: when the window is gone the
// work has returned, and nothing of the run reaches the window afterwards.
TEST_F(BackgroundRunTest, DestroyingTheWindowStopsTheRunAndWaitsForIt)
{
    auto trace = std::make_shared<WorkTrace>();
    auto window = std::make_unique<RunWindow>(platform);
    int ends = 0;
    QObject::connect(window->run.get(), &BackgroundRun::ended, [&] { ++ends; });
    ASSERT_TRUE(window->start(10, countThenWaitForStop(trace, 2, 300ms)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return trace->started.load(); }, 60000));
    window.reset();
    EXPECT_TRUE(trace->sawStop);
    EXPECT_TRUE(trace->returned);
    QCoreApplication::processEvents();
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(platform.messages.empty());
}

// The window's run makes it busy: Escape, the close box and Cancel stop the
// run and the window stays open and whole; idle, Cancel hides it.
TEST_F(BackgroundRunTest, EscapeTheCloseBoxAndCancelStopTheRun)
{
    RunWindow window(platform);
    window.show();
    QSignalSpy ended(window.run.get(), &BackgroundRun::ended);
    for (const char* how : {"Escape", "close box", "Cancel"}) {
        SCOPED_TRACE(how);
        auto trace = std::make_shared<WorkTrace>();
        ASSERT_TRUE(window.start(10, countThenWaitForStop(trace, 1)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return trace->started.load(); }, 60000));
        const std::string way = how;
        if (way == "Escape") {
            QTest::keyClick(&window, Qt::Key_Escape);
        } else if (way == "close box") {
            EXPECT_FALSE(window.close());
        } else {
            QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.run->running() && window.cmdOK->isEnabled(); }, 60000));
        EXPECT_TRUE(trace->sawStop);
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.discarded());
    }
    EXPECT_EQ(ended.count(), 3);
    EXPECT_TRUE(platform.messages.empty());
    QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.discarded());
}

} // namespace
} // namespace orvalis
