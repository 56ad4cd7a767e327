// RunBootstrap: the observed R^2 change, the resampling trials, the percentile limits and the F test.
#pragma once

#include "analyses/BootstrapRequest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace orvalis {

class DataSet;

struct BootstrapResult {
    BootstrapRequest request;
    std::int32_t NumValid = 0;
    // Observed sample; all three are 9999999 when it is not valid.
    double ReducedR2 = 9999999.0;
    double FullR2 = 9999999.0;
    double DeltaR2 = 9999999.0;
    float TraditionalLower = 0.0f;
    float TraditionalUpper = 0.0f;
    // 9999999 when the observed sample is not valid; then df1 = df2 = 0 and
    // there is no F test.
    float FValue = 9999999.0f;
    std::int32_t df1 = 0;
    std::int32_t df2 = 0;
    // 0.0001 or 0.2 from the critical-value tables (double), or FProb's
    // single-precision value (held exactly here) when df1 >= 5.
    double PValue = 0.0;
    bool PValueIsSingle = false;
    bool ModifiedLowerIsZero = false;

    bool fDefined() const { return FValue != 9999999.0f; }
};

// A run that had to stop: why, in words a user understands.
struct BootstrapFailure {
    std::string reason;
};

// The result, the refusal message of CollectCompleteCases, or a failure.
using BootstrapOutcome = std::variant<BootstrapResult, std::string, BootstrapFailure>;

// Receives the number of trials finished so far: non-decreasing, at most about
// every 30 ms, and NumTrials at the end of a completed run. It may be called
// from a worker thread and must be cheap.
using ProgressHook = std::function<void(std::int32_t)>;

// Runs the bootstrap. Trial t draws its resample from its own random stream
// (seed, t), so the result for a given seed is the same for any thread count
// (threads = 0: one per core). Invalid trials are dropped; the limits are the
// percentile positions of the sorted valid changes; the F test uses
// FCritical10, FCritical05 or FCritical01 for 1 to 4 added predictors at the
// 90, 95 or 99% level and FProb for more.
BootstrapOutcome RunBootstrap(const BootstrapRequest& request, const DataSet& dataSet, std::uint64_t seed,
                              const ProgressHook& progress = {}, unsigned threads = 0);

// The F test of the added predictors at a confidence level (0.90f, 0.95f or
// 0.99f): for df1 < 5 the p-value is 0.0001 when F exceeds the critical value
// of the level's table (FCritical10, FCritical05, FCritical01), else 0.2; for
// df1 >= 5 it is FProb(F, df1, df2) in single precision. The modified lower
// limit is 0 when the p-value rounded to 3 decimals (in its own precision)
// exceeds alpha = 0.1, 0.05 or 0.01. Throws the errors of the lookups and FProb.
struct FTestDecision {
    double PValue = 0.0;
    bool PValueIsSingle = false;
    bool ModifiedLowerIsZero = false;
};
FTestDecision decideFTest(float FValue, std::int32_t df1, std::int32_t df2, float confidenceLevel);

// The percentile positions for NumValid valid trials at a level: m = tail x
// NumValid rounded half to even, tail = (1 - level) / 2 in double from the
// float level; lower = m + 1, upper = NumValid - m.
struct PercentilePositions {
    std::int32_t lower;
    std::int32_t upper;
};
PercentilePositions percentilePositions(std::int32_t numValid, float confidenceLevel);

} // namespace orvalis
