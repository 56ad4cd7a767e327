// The details of a bootstrap run: exact p-value, bootstrap mean and standard error, BCa limits.
#pragma once

#include "analyses/BootstrapResult.h"

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
ComputedDetails ComputeBootstrapDetails(const BootstrapResult& result, const CaseMatrix& cases,
                                        const std::vector<double>& sorted, std::int32_t p, std::int32_t q);

// The standard normal distribution function and its inverse (Boost.Math).
double normalCdf(double z);
double normalQuantile(double p);

// P(F(df1, df2) > F) in double precision (Boost.Math); 0 when it is below
// the smallest double. Throws std::domain_error for df1 or df2 below 1.
double fUpperTail(double F, std::int32_t df1, std::int32_t df2);

} // namespace orvalis
