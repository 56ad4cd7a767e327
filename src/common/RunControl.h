// RunControl: how a caller follows and steers a long run (progress reports and a stop request).
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>

namespace orvalis {

// Receives the number of work items finished so far: non-decreasing, at most
// about every 30 ms, and the whole count at the end of a completed run. It may
// be called from a worker thread (never from two at once) and must be cheap.
using ProgressHook = std::function<void(std::int32_t)>;

// How a caller follows and steers a run: progress reports, and a stop request
// the run checks between groups of a few work items.
struct RunControl {
    ProgressHook progress;
    std::stop_token stop;
};

} // namespace orvalis
