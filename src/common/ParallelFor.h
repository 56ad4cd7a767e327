// parallelFor: the one worker pool: its thread count, work split, progress throttle, stop and first failure.
#pragma once

#include "common/RunControl.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>

namespace orvalis {

// How a loop is spread over threads.
struct PoolShape {
    // The threads asked for; 0: one per core (hardware_concurrency, at least 1).
    unsigned threads = 0;
    // No more threads than this (the caller's own limit, say one per four trials).
    std::size_t maxThreads = std::numeric_limits<std::size_t>::max();
    // The indices a worker takes at a time (at least 1).
    std::int32_t grain = 1;
};

// The indices [begin, end) a worker runs at once, and which worker it is
// (0 is the calling thread; every worker is below poolWorkers(count, shape)),
// so a caller can keep one workspace per worker.
struct IndexRange {
    std::int32_t begin = 0;
    std::int32_t end = 0;
    unsigned worker = 0;
};

// How a range ended: every index run, failed (the body keeps what failed, for
// its worker), or cut short by the stop request.
enum class RangeEnd { Done, Failed, Stopped };

// How a loop ended. A failure and a stop may both be set.
struct PoolResult {
    bool stopped = false;       // the stop request left indices unrun
    std::int32_t failedAt = -1; // the first index of the failed range that comes first in index order
    unsigned failedWorker = 0;  // the worker that ran it
    bool failed() const { return failedAt >= 0; }
};

// The one thread-count rule: threads, or one per core when 0; at most
// maxThreads and the number of ranges of grain indices in count; at least 1.
unsigned poolWorkers(std::int32_t count, const PoolShape& shape);

// Runs body over the indices 0..count-1 in ranges of shape.grain, handed out in
// index order to poolWorkers(count, shape) workers (the calling thread is
// worker 0; fewer when a thread cannot be started). Every index runs at most
// once, and exactly once when nothing fails or stops. Which worker runs a
// range is left to timing, so a caller whose results must not depend on the
// thread count writes each index's result to its own place and reduces them
// in index order afterwards.
// Stop: control.stop is checked before each range; once it is requested no
// range starts, and a range that ends Stopped counts as stopped.
// Failure: a range that ends Failed or throws fails at its begin index; no
// range after the earliest failure in index order starts, the ones before it
// run on, so the failure reported is the first in index order whatever the
// timing. Once every worker has stopped, the exception of that failure, if it
// threw one (std::bad_alloc, a run-time error), is rethrown to the caller.
// Progress: control.progress receives the count of indices done, non-decreasing,
// at most every 30 ms from any one worker at a time, and count at the end when
// every index ran (also for count 0).
PoolResult parallelFor(std::int32_t count, const PoolShape& shape, const RunControl& control,
                       const std::function<RangeEnd(const IndexRange&)>& body);

} // namespace orvalis
