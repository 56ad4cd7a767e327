// The coefficients a bootstrap trial gives: beta and sr^2 of a model from the trial's correlations, and their
// intervals over the valid trials.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/NestedR2.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvalis {

struct CaseMatrix;

// beta and sr^2 of the predictors 1..k of a correlation matrix whose column 0
// is the dependent variable: beta = Rxx^-1 rxy, and sr^2_j = beta_j^2 /
// (Rxx^-1)_jj, the R^2 the model loses without predictor j. Writes k values
// to each; false when a predictor's tolerance on the ones before it is below
// DependenceTolerance. Allocation-free.
bool StandardizedCoefficients(const CorrMatrix& C, std::int32_t k, double* beta, double* sr2);

// How many values a pair of nested models (reduced 1..p, full 1..p+q) draws in
// a trial: beta and sr^2 of each predictor of each model, laid out as the
// reduced model's betas, its sr^2 (both left out without `reduced`), the full
// model's betas, its sr^2.
std::int32_t coefficientDrawWidth(std::int32_t p, std::int32_t q, bool reduced = true);

// Writes one trial's values in that layout; each is NaN where the trial's
// model has none.
void DrawCoefficients(const CorrMatrix& C, std::int32_t p, std::int32_t q, double* out, bool reduced = true);

// The jackknife accelerations of a run with the details and coefficients, in
// one pass over the complete cases: the R^2 change's (what
// ComputeBootstrapDetails computes alone) and each drawn value's, in
// DrawCoefficients' layout. Throws std::bad_alloc.
struct CoefficientJackknife {
    std::optional<double> change;
    std::vector<std::optional<double>> values;
};
CoefficientJackknife JackknifeWithCoefficients(const CaseMatrix& cases, std::int32_t p, std::int32_t q,
                                               bool reduced = true);

// Adds the bootstrap intervals of beta and sr^2 to each predictor's row of the
// pair's coefficients: percentile limits at the ranks percentilePositions
// gives for the trials that have the value (as the R^2 change's traditional
// limits), and, given each value's acceleration (coefficientDrawWidth of
// them; none: no BCa), the BCa limits with the bias correction from the share
// of trials below the observed value. draws: coefficientDrawWidth(p, q)
// values per valid trial, in trial order. Throws std::bad_alloc.
void AddCoefficientIntervals(ModelCoefficients& coefficients, const std::vector<double>& draws, std::int32_t p,
                             std::int32_t q, ConfidenceLevel level,
                             const std::vector<std::optional<double>>& accelerations, bool reduced = true);

// A trial's values of linear combinations of a model's raw coefficients
// B_1..B_k (a simple slope is B_x + w B_xw): each B_j = beta_j sqrt(S_yy /
// S_jj) with the sums of squares of the trial's sums of n rows; weights[i]
// holds combination i's k weights. Writes weights.size() values, NaN where
// the trial's model has no coefficients. Allocation-free.
void DrawCombinations(const CorrMatrix& C, const SampleSums& sums, std::int32_t n, std::int32_t k,
                      const std::vector<std::vector<double>>& weights, double* out);

// The percentile interval of each of count values drawn per valid trial
// (draws: count per trial, in trial order) at the ranks the R^2 change's
// traditional limits take, over the trials that have the value. Throws
// std::bad_alloc.
std::vector<ResampledInterval> PercentileIntervals(const std::vector<double>& draws, std::size_t count,
                                                   ConfidenceLevel level);

// The same with each value's BCa limits too, given its observed value and its
// jackknife acceleration (none where either is absent).
struct ResampledLimits {
    ResampledInterval percentile;
    std::optional<ResampledInterval> bca;
};
std::vector<ResampledLimits> ResampledLimitsOf(const std::vector<double>& draws, std::size_t count,
                                               ConfidenceLevel level, const std::vector<double>& observed,
                                               const std::vector<std::optional<double>>& accelerations);

} // namespace orvalis
