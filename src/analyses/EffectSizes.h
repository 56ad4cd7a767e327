// Effect sizes and analytic intervals beside the bootstrap interval: Alf and Graf's interval for the R^2 change, the
// exact interval of a model's R^2, the bias-adjusted R^2 (Ezekiel, Olkin-Pratt) and Cohen's f^2.
#pragma once

#include <cstdint>
#include <optional>

namespace orvalis {

struct AnalyticInterval {
    double lower = 0.0;
    double upper = 0.0;
};

// Alf and Graf (1999): the large-sample standard error of the change in R^2
// between nested models, from the sample R of the full model (A) and of the
// reduced one (B), whose composites correlate R_B / R_A:
//   n var = 4 R_A^2 (1 - R_A^2)^2 + 4 R_B^2 (1 - R_B^2)^2
//           - 8 R_A R_B [rho (1 - R_A^2 - R_B^2) - R_A R_B (1 - R_A^2 - R_B^2 - rho^2) / 2],
// rho = R_B / R_A. Undefined (none) when the full R^2 is 0, or either is
// outside [0, 1], the reduced above the full, or n below 1; and where the two
// are equal: the variance then vanishes, and an interval [0, 0] would claim a
// certainty the method does not give. Near a change of 0 the interval is
// unreliably narrow for the same reason.
std::optional<double> alfGrafStandardError(double fullR2, double reducedR2, std::int32_t n);

// The change +- z SE at a two-sided level (0.95), z the normal quantile; the
// limits are not cut at 0 or 1.
std::optional<AnalyticInterval> alfGrafInterval(double fullR2, double reducedR2, std::int32_t n, double level);

// The exact interval of a model's R^2 for fixed predictors, from the
// noncentral F distribution of F = (R^2 / df1) / ((1 - R^2) / df2): the
// noncentralities whose F distribution puts the observed F at the upper and
// lower tail quantiles, each mapped to R^2 as lambda / (lambda + N), N = df1 +
// df2 + 1 (Steiger and Fouladi; R's MBESS). A limit is 0 where no
// noncentrality reaches its quantile (lambda = 0 already puts F below it).
// Undefined for df1 or df2 below 1 or R^2 outside [0, 1).
std::optional<AnalyticInterval> exactR2Interval(double r2, std::int32_t df1, std::int32_t df2, double level);

// Ezekiel's adjusted R^2: 1 - (1 - R^2) (N - 1) / (N - p - 1), for p
// predictors and N cases; undefined when N - p - 1 < 1. 0 for p = 0, R^2 = 0.
std::optional<double> ezekielAdjusted(double r2, std::int32_t n, std::int32_t p);

// The Olkin-Pratt estimator of rho^2: 1 - (N - 3) / (N - p - 1) (1 - R^2)
// 2F1(1, 1; (N - p + 1) / 2; 1 - R^2), the hypergeometric series summed until
// a term no longer changes the sum (at 1 - R^2 = 1 its closed form). Not cut
// at 0. Undefined when N - p - 1 < 1 or N < 4 (and, with R^2 = 0, where
// the series diverges: N - p < 4); 0 for p = 0.
std::optional<double> olkinPrattAdjusted(double r2, std::int32_t n, std::int32_t p);

// Cohen's f^2 of the added block: change / (1 - full R^2); undefined for a
// full R^2 of 1 or more.
std::optional<double> cohenF2(double deltaR2, double fullR2);

} // namespace orvalis
