// The details of a bootstrap run: exact p-value, bootstrap mean and standard error, BCa limits.
#pragma once

#include "analyses/Bootstrap.h"

#include <vector>

namespace orvalis {

struct CaseMatrix;

// The details of a finished run on its complete cases. sorted holds the valid
// changes in ascending order at positions 1..result.NumValid. Values that
// cannot be computed (no F, fewer than two valid trials, a jackknife sample
// that is not valid, every change on one side of the observed one) stay
// absent. Throws nothing but std::bad_alloc.
BootstrapDetails ComputeBootstrapDetails(const BootstrapResult& result, const CaseMatrix& cases,
                                         const std::vector<double>& sorted);

// The standard normal distribution function and its inverse (Boost.Math).
double normalCdf(double z);
double normalQuantile(double p);

} // namespace orvalis
