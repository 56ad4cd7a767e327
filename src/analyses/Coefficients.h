// The coefficients of one regression model of a case matrix: B, its standard error and interval, beta, t, p,
// the squared semipartial correlation, tolerance and VIF.
#pragma once

#include "analyses/CaseMatrix.h"
#include "analyses/ConfidenceLevel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

// A bootstrap interval of beta or sr^2; a limit is absent where it is undefined.
struct ResampledInterval {
    std::optional<double> lower;
    std::optional<double> upper;
};

// One row of a model's coefficients. The intercept's row has no beta, sr^2,
// tolerance or VIF.
struct Coefficient {
    std::int32_t column = 0; // 0: the intercept; else the case matrix's predictor column
    double B = 0.0;
    double SE = 0.0;
    double lower = 0.0; // the t-based interval of B at the model's level
    double upper = 0.0;
    std::optional<double> beta; // B in standard deviations of the predictor and the dependent variable
    double t = 0.0;
    double p = 1.0; // two-sided, P(|T(df)| > |t|), in double precision
    // The R^2 the model loses when this predictor alone is dropped:
    // t^2 (1 - R^2) / df.
    std::optional<double> sr2;
    std::optional<double> tolerance; // 1 - R^2 of this predictor on the model's other predictors
    std::optional<double> vif;       // 1 / tolerance
    // From a bootstrap's resamples (a predictor's row only): the percentile
    // intervals of beta and sr^2 over the valid trials, and their BCa
    // intervals when the run computed its details.
    std::optional<ResampledInterval> betaPercentile;
    std::optional<ResampledInterval> sr2Percentile;
    std::optional<ResampledInterval> betaBCa;
    std::optional<ResampledInterval> sr2BCa;
};

struct CoefficientTable {
    std::vector<Coefficient> rows; // the intercept, then columns 1..k in order
    double R2 = 0.0;
    std::int32_t df = 0; // the residual degrees of freedom, n - k - 1
    // The covariance of the slopes B_1..B_k, s^2 (X'X)^-1, row by row (k x k).
    std::vector<double> covariance;
    // Each column's mean over the complete cases in the data's own units
    // (means[0] the dependent variable's; a centred column's too).
    std::vector<double> means;

    double covarianceOf(std::int32_t a, std::int32_t b) const // columns 1..k
    {
        const auto k = static_cast<std::size_t>(rows.size()) - 1;
        return covariance[(static_cast<std::size_t>(a) - 1) * k + static_cast<std::size_t>(b) - 1];
    }
};

// The model's coefficients, or why there are none (problem).
struct CoefficientsOutcome {
    std::optional<CoefficientTable> table;
    std::string problem;
};

// The least-squares fit of column 0 of the case matrix on an intercept and
// predictor columns 1..k, in double precision from the stored floats (each
// column's shift enters the intercept only): Eigen's column-pivoting
// Householder QR of the centred design, the covariance s^2 (X'X)^-1 from its
// factors, t and the interval of B from Student's t on n - k - 1 degrees of
// freedom (Boost.Math), beta from the complete cases' standard deviations.
// Undefined (problem): fewer than k + 2 complete cases, linearly dependent
// predictors, a constant dependent variable. Throws std::bad_alloc.
CoefficientsOutcome ComputeCoefficients(const CaseMatrix& cases, std::int32_t k, ConfidenceLevel level);

} // namespace orvalis
