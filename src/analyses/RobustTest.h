// The heteroscedasticity-robust F test of an added block of predictors: a Wald test with the HC3 or HC4
// covariance of the full model's coefficients.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvalis {

struct CaseMatrix;

// The sandwich covariances (X'X)^-1 X' diag(w) X (X'X)^-1 with the weights of
// MacKinnon and White's HC3, w_i = e_i^2 / (1 - h_i)^2, or Cribari-Neto's HC4,
// w_i = e_i^2 / (1 - h_i)^d_i, d_i = min(4, n h_i / k), k the coefficients
// with the intercept, h_i the leverage of case i.
enum class RobustCovariance { HC3, HC4 };

const char* robustCovarianceName(RobustCovariance covariance); // "HC3", "HC4"

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
