// The details of a bootstrap run: exact p-value, bootstrap mean and standard error, BCa limits.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/NestedR2.h"

#include <functional>
#include <optional>
#include <vector>

namespace orvalis {

struct CaseMatrix;

// The details of a finished run and its BCa interval.
struct ComputedDetails {
    BootstrapDetails details;
    Interval bca; // kind BCa at the run's level; limits absent where undefined
};

// The details of a finished run on its complete cases. sorted holds the valid
// changes in ascending order at positions 1..result.NumValid. Values that
// cannot be computed (no F, fewer than two valid trials, a jackknife sample
// that is not valid, every change on one side of the observed one, equal
// leave-one-out changes) stay absent. The BCa limits: ranks
// Phi(z0 + (z0 + z) / (1 - a (z0 + z))) x (NumValid + 1), interpolated.
// Throws nothing but std::bad_alloc.
// p and q: the reduced model's predictor columns 1..p, the full model's 1..p+q.
// acceleration: the jackknife acceleration when the caller has it already
// (JackknifeWithCoefficients); computed here when null.
ComputedDetails ComputeBootstrapDetails(const BootstrapResult& result, const CaseMatrix& cases,
                                        const std::vector<double>& sorted, std::int32_t p, std::int32_t q,
                                        const std::optional<double>* acceleration = nullptr);

// The bias correction z0 of a BCa interval of sorted[1..count] (ascending)
// around an observed value: the normal quantile of the share below it. None
// for fewer than two values or when every value is on one side of it.
std::optional<double> BiasCorrection(const std::vector<double>& sorted, std::int32_t count, double observed);

// The BCa limits of sorted[1..count] at a level for a bias correction and an
// acceleration: ranks Phi(z0 + (z0 + z) / (1 - a (z0 + z))) x (count + 1),
// interpolated linearly between neighbouring ranks and held at the ends
// (atExtreme: a rank fell at or beyond the smallest or largest value).
struct BCaLimits {
    std::optional<double> lower;
    std::optional<double> upper;
    bool atExtreme = false;
};
BCaLimits BCaLimitsOf(const std::vector<double>& sorted, std::int32_t count, double z0, double a,
                      ConfidenceLevel level);

// Statistics of one leave-one-out sample's correlations: writes them to out
// and returns true, or returns false when the sample has none.
using JackknifeStatistics = std::function<bool(const CorrMatrix& C, double* out)>;

// The jackknife accelerations of `count` statistics of the complete cases'
// columns 0..K, each left out in turn: all absent when a leave-one-out sample
// has none (or a numerical fault stops them), one absent where its
// leave-one-out values are equal within rounding or not all numbers. The
// first `kept` statistics keep their n leave-one-out values and sum their
// influences afterwards (the R^2 change's, as it always has); the rest are
// summed as the cases go, in memory that does not grow with n. Throws
// std::bad_alloc.
std::vector<std::optional<double>> JackknifeAccelerations(const CaseMatrix& cases, std::int32_t K, std::size_t count,
                                                          const JackknifeStatistics& statistics, std::size_t kept);

// The standard normal distribution function and its inverse (Boost.Math).
double normalCdf(double z);
double normalQuantile(double p);

// P(F(df1, df2) > F) in double precision (Boost.Math); 0 when it is below
// the smallest double. Throws std::domain_error for df1 or df2 below 1.
double fUpperTail(double F, std::int32_t df1, std::int32_t df2);

} // namespace orvalis
