// The heteroscedasticity-robust F test of an added block of predictors: a Wald test with the HC3 or HC4
// covariance of the full model's coefficients.
#pragma once

#include "analyses/BootstrapRequest.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvalis {

struct CaseMatrix;

struct RobustFTest {
    double F = 0.0;
    std::int32_t df1 = 0; // q
    std::int32_t df2 = 0; // n - p - q - 1
    double PValue = 1.0;  // P(F(df1, df2) > F), in double precision
};

// The Wald test that the added predictors' coefficients (columns p+1..p+q of
// the case matrix) are all 0 in the least-squares fit of column 0 on an
// intercept and columns 1..p+q: F = b' V^-1 b / q, V their block of the robust
// covariance, on (q, n - p - q - 1) degrees of freedom. In double precision
// through Eigen's column-pivoting Householder QR of the case matrix. Why it is
// undefined, when it is: a rank-deficient design, a case with leverage 1 (its
// weight is infinite), a covariance block that is not positive definite (every
// residual 0), too few cases.
struct RobustOutcome {
    std::optional<RobustFTest> test;
    std::string problem;
};
RobustOutcome robustFChange(const CaseMatrix& cases, std::int32_t p, std::int32_t q, RobustCovariance covariance);

} // namespace orvalis
