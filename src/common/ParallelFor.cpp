// parallelFor: ranges of indices handed out in order to a few std::jthread workers.
#include "common/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace orvalis {
namespace {

// The least time between two progress reports.
constexpr auto ProgressInterval = std::chrono::milliseconds(30);

std::int64_t rangesOf(std::int32_t count, std::int32_t grain)
{
    return count <= 0 ? 0 : (static_cast<std::int64_t>(count) + grain - 1) / grain;
}

} // namespace

unsigned poolWorkers(std::int32_t count, const PoolShape& shape)
{
    const std::int64_t ranges = rangesOf(count, std::max(1, shape.grain));
    unsigned threads = shape.threads != 0 ? shape.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, shape.maxThreads));
    threads = static_cast<unsigned>(std::min<std::int64_t>(threads, ranges));
    return std::max(1u, threads);
}

PoolResult parallelFor(std::int32_t count, const PoolShape& shape, const RunControl& control,
                       const std::function<RangeEnd(const IndexRange&)>& body)
{
    const std::int32_t grain = std::max(1, shape.grain);
    const unsigned workers = poolWorkers(count, shape);
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int32_t> done{0};
    std::atomic<std::int32_t> firstFailure{std::numeric_limits<std::int32_t>::max()};
    std::atomic<bool> stopped{false};

    std::mutex failureMutex;
    PoolResult result;
    std::exception_ptr thrown;
    auto fail = [&](std::int32_t begin, unsigned worker, std::exception_ptr exception) {
        const std::lock_guard lock(failureMutex);
        if (!result.failed() || begin < result.failedAt) {
            result.failedAt = begin;
            result.failedWorker = worker;
            thrown = std::move(exception);
            firstFailure.store(begin, std::memory_order_relaxed);
        }
    };

    std::mutex progressMutex;
    auto lastReport = std::chrono::steady_clock::now();
    std::int32_t lastReported = -1;
    auto report = [&](std::int32_t finished) {
        // A report that would wait for another is dropped: the next one follows soon.
        const std::unique_lock lock(progressMutex, std::try_to_lock);
        if (!lock.owns_lock()) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (finished > lastReported && now - lastReport >= ProgressInterval) {
            lastReport = now;
            lastReported = finished;
            control.progress(finished);
        }
    };

    auto worker = [&](unsigned self) {
        for (;;) {
            if (stopped.load(std::memory_order_relaxed) || control.stop.stop_requested()) {
                stopped.store(true, std::memory_order_relaxed);
                return;
            }
            const std::int64_t begin = next.fetch_add(grain, std::memory_order_relaxed);
            if (begin >= count || begin > firstFailure.load(std::memory_order_relaxed)) {
                return;
            }
            const auto first = static_cast<std::int32_t>(begin);
            const auto end = static_cast<std::int32_t>(std::min<std::int64_t>(count, begin + grain));
            RangeEnd ended = RangeEnd::Done;
            try {
                ended = body(IndexRange{first, end, self});
            } catch (...) {
                fail(first, self, std::current_exception());
                return;
            }
            if (ended == RangeEnd::Failed) {
                fail(first, self, nullptr);
                return;
            }
            if (ended == RangeEnd::Stopped) {
                stopped.store(true, std::memory_order_relaxed);
                return;
            }
            const std::int32_t finished = done.fetch_add(end - first, std::memory_order_relaxed) + (end - first);
            if (control.progress) {
                report(finished);
            }
        }
    };

    {
        std::vector<std::jthread> helpers;
        try {
            helpers.reserve(workers - 1);
            for (unsigned k = 1; k < workers; ++k) {
                helpers.emplace_back(worker, k);
            }
        } catch (const std::system_error&) {
            // Fewer helpers (or none) than asked for: every range still runs, more slowly.
        } catch (const std::bad_alloc&) {
            // The same: no room for another thread.
        }
        worker(0);
    } // the helpers join here

    if (thrown) {
        std::rethrow_exception(thrown);
    }
    // A stop request seen after the last range was taken leaves nothing unrun.
    result.stopped = stopped.load(std::memory_order_relaxed) && done.load(std::memory_order_relaxed) < count;
    if (!result.stopped && !result.failed() && control.progress && lastReported < std::max(count, 0)) {
        control.progress(std::max(count, 0));
    }
    return result;
}

} // namespace orvalis
