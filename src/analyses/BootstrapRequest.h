// BootstrapRequest: what one effect-size bootstrap run is asked to do.
#pragma once

#include "analyses/ConfidenceLevel.h"
#include "analyses/RobustTest.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvalis {

// The most explanatory variables (predictors plus added predictors).
constexpr std::int32_t MaxExplanatory = 12;

// What the effect sizes and analytic intervals beside the bootstrap use: the
// robust covariance of the robust F test, and whether the modified lower
// limit follows that test instead of the classical F test.
struct CompanionRequest {
    RobustCovariance covariance = RobustCovariance::HC3;
    bool modifiedFollowsRobust = false;
};

struct BootstrapRequest {
    // 1-based variable number; none when no dependent variable is chosen.
    std::optional<std::int32_t> DependentVariable;
    // Reduced-model predictors, ascending; may be empty.
    std::vector<std::int32_t> PredictorList;
    // Added predictors, ascending.
    std::vector<std::int32_t> AddedList;
    std::int32_t NumTrials = 600;
    ConfidenceLevel Level = ConfidenceLevel::P95;
    // Also compute the details: exact p-value, bootstrap mean and standard
    // error, BCa limits (a jackknife over the complete cases).
    bool Details = false;
    // Also compute the effect sizes and analytic intervals (CompanionStatistics).
    std::optional<CompanionRequest> Companions;

    std::int32_t NumPredictors() const { return static_cast<std::int32_t>(PredictorList.size()); }
    std::int32_t NumAdded() const { return static_cast<std::int32_t>(AddedList.size()); }
};

} // namespace orvalis
