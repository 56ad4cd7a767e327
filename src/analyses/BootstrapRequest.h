// BootstrapRequest: what one effect-size bootstrap run is asked to do.
#pragma once

#include "analyses/ConfidenceLevel.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace orvalis {

// The most explanatory variables (predictors plus added predictors).
constexpr std::int32_t MaxExplanatory = 12;

// The covariance of the robust F test (RobustTest.h): the sandwich
// (X'X)^-1 X' diag(w) X (X'X)^-1 with the weights of
// MacKinnon and White's HC3, w_i = e_i^2 / (1 - h_i)^2, or Cribari-Neto's HC4,
// w_i = e_i^2 / (1 - h_i)^d_i, d_i = min(4, n h_i / k), k the coefficients
// with the intercept, h_i the leverage of case i.
enum class RobustCovariance { HC3, HC4 };

const char* robustCovarianceName(RobustCovariance covariance); // "HC3", "HC4"

// What the effect sizes and analytic intervals beside the bootstrap use: the
// robust covariance of the robust F test, and whether the modified lower
// limit follows that test instead of the classical F test.
struct EffectSizeRequest {
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
    // Numeric predictors entered as categorical in this run (each of its
    // distinct values a category, categoricalView); with a text variable named
    // here, the model takes it as the indicators of its categories too. A
    // categorical predictor enters as the indicators of its categories but
    // the reference one: ReferenceCategory's (1-based), else the first.
    std::set<std::int32_t> Categorical;
    std::map<std::int32_t, std::int32_t> ReferenceCategory;
    std::int32_t NumTrials = 600;
    ConfidenceLevel Level = ConfidenceLevel::P95;
    // Also compute the details: exact p-value, bootstrap mean and standard
    // error, BCa limits (a jackknife over the complete cases).
    bool Details = false;
    // Also compute each model's coefficients (ModelCoefficients).
    bool Coefficients = false;
    // Also compute the effect sizes and analytic intervals (EffectSizeStatistics).
    std::optional<EffectSizeRequest> EffectSizes;

    std::int32_t NumPredictors() const { return static_cast<std::int32_t>(PredictorList.size()); }
    std::int32_t NumAdded() const { return static_cast<std::int32_t>(AddedList.size()); }
};

} // namespace orvalis
