// RunBootstrap: the observed R^2 change, the resampling trials, the percentile limits and the F test.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "analyses/BootstrapResult.h"
#include "analyses/TrialLanes.h"
#include "common/Outcome.h"
#include "common/RunControl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// Runs the bootstrap. Trial t draws its resample from its own random stream
// (seed, t), so the result for a given seed is the same for any thread count
// (threads = 0: one per core) and any trial kernel (Best: the fastest this
// processor runs; one it cannot run is refused as a Fault). Invalid trials are dropped; the limits are the
// percentile positions of the sorted valid changes; the F test decides with
// the exact p-value (decideFTest).
// Refusals: those of CollectCompleteCases; fewer than one trial; complete
// cases whose R^2 is undefined (a constant dependent variable, too few cases
// for the predictors, a constant or linearly dependent predictor: each named);
// a full model that fits exactly; a numerical fault (reason Fault); too little
// memory for the cases or the trials (OutOfMemory); a stop request (Stopped,
// within a few trials' time, with every worker joined). Nothing is thrown.
Outcome<BootstrapResult> RunBootstrap(const BootstrapRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control = {}, unsigned threads = 0,
                                      TrialKernel kernel = TrialKernel::Best);

// The F test of the added predictors at a confidence level, for any df1:
// the exact p-value P(F(df1, df2) > F) (Boost.Math), significant when it is
// below the level's alpha; otherwise the modified lower limit is 0. The
// critical-value tables and FProb are not consulted. df1 and df2 must be at
// least 1 (Boost.Math throws std::domain_error otherwise).
struct FTestDecision {
    double PValue = 0.0;
    bool ModifiedLowerIsZero = false;
};
FTestDecision decideFTest(float FValue, std::int32_t df1, std::int32_t df2, ConfidenceLevel level);

PercentilePositions percentilePositions(std::int32_t numValid, ConfidenceLevel level);

} // namespace orvalis
