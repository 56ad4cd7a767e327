// BootstrapRequest: what one effect-size bootstrap run is asked to do.
#pragma once

#include <cstdint>
#include <vector>

namespace orvalis {

// The marker of "none" and "undefined" in the bootstrap, equal to the data
// table's missing-value code.
constexpr std::int32_t NoneMarker = 9999999;

struct BootstrapRequest {
    // 1-based variable number, or NoneMarker when none is chosen.
    std::int32_t DependentVariable = NoneMarker;
    // Reduced-model predictors, ascending; may be empty.
    std::vector<std::int32_t> PredictorList;
    // Added predictors, ascending.
    std::vector<std::int32_t> AddedList;
    std::int32_t NumTrials = 600;
    // 0.90f, 0.95f or 0.99f.
    float ConfidenceLevel = 0.95f;

    std::int32_t NumPredictors() const { return static_cast<std::int32_t>(PredictorList.size()); }
    std::int32_t NumAdded() const { return static_cast<std::int32_t>(AddedList.size()); }
};

} // namespace orvalis
