// Alf and Graf's standard error, the noncentral F inversion (Boost.Math, TOMS 748), Ezekiel and Olkin-Pratt.
#include "analyses/EffectSizes.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/tools/roots.hpp>

#include <cmath>
#include <cstdint>
#include <limits>

namespace orvalis {
namespace {

bool isProportion(double r2)
{
    return std::isfinite(r2) && r2 >= 0.0 && r2 <= 1.0;
}

// Beyond this noncentrality Boost's noncentral F cannot start its series
// (the index of its largest term, lambda / 2, must fit an int; R's pnbeta
// does not converge there either).
constexpr double LargeNoncentrality = 2e9;

// The noncentrality at which P(F' <= F) equals target; 0 where even lambda = 0
// leaves P(F' <= F) below it (the probability only falls as lambda grows).
// F' = (X1 / df1) / (X2 / df2), X1 noncentral chi-square (df1, lambda). Where
// lambda is beyond LargeNoncentrality, X1 varies by less than 5e-5 of its
// mean (d1 + lambda), and F' is taken as (d1 + lambda) / d1 over X2 / df2:
// P(F' <= F) = P(X2 >= df2 (d1 + lambda) / (d1 F)), solved in closed form
// with the chi-square quantile. Its error in lambda is of the order of
// 1 / lambda relative to the chi-square's own spread: far below the digits of
// R^2 = lambda / (lambda + N).
std::optional<double> noncentralityAt(double F, double df1, double df2, double target)
{
    using Dist = boost::math::non_central_f_distribution<double>;
    auto below = [&](double lambda) { return boost::math::cdf(Dist(df1, df2, lambda), F) - target; };
    if (below(0.0) <= 0.0) {
        return 0.0;
    }
    const double threshold = boost::math::quantile(
        boost::math::complement(boost::math::chi_squared_distribution<double>(df2), target));
    const double far = df1 * F * threshold / df2 - df1;
    if (far > LargeNoncentrality) {
        return std::isfinite(far) ? std::optional<double>(far) : std::nullopt;
    }
    // Bracket the root: the probability falls to 0 as lambda grows.
    double low = 0.0;
    double high = std::max(1.0, 2.0 * F * df1);
    while (below(high) > 0.0) {
        low = high;
        high *= 2.0;
        if (!std::isfinite(high) || high > 2.0 * LargeNoncentrality) {
            return std::nullopt;
        }
    }
    std::uintmax_t iterations = 300;
    const auto root =
        boost::math::tools::toms748_solve(below, low, high, boost::math::tools::eps_tolerance<double>(52), iterations);
    return (root.first + root.second) / 2.0;
}

// The series of 2F1(1, 1; c; z) for 0 <= z < 1: terms k! z^k / (c)_k, each
// the last times (k + 1) z / (c + k), all positive, summed until a term no
// longer changes the sum. Used where it converges fast: z <= 0.9, or c >= 6,
// where the terms fall at least as k^(1 - c) (at most about 40,000 of them).
double hypergeometricSeries(double c, double z)
{
    double term = 1.0;
    double sum = 1.0;
    for (std::int64_t k = 0;; ++k) {
        term *= static_cast<double>(k + 1) * z / (c + static_cast<double>(k));
        const double next = sum + term;
        if (next == sum) {
            return sum;
        }
        sum = next;
    }
}

// 2F1(1, 1; c; z) at z = 1 - x, for 1 < c and 0 <= x <= 1 (x is R^2 as it is,
// not 1 - z again, which would lose its digits near 0), where c is a whole or half
// number (N - p + 1) / 2, to about full double precision for every case:
// the series where it converges fast; near z = 1 with c < 6, where the
// series would need up to 10^16 terms, a closed form in x = 1 - z:
// - c whole (m = c): from (c - 1) times the integral of (1 - t)^(c - 2) /
//   (1 - z t), substituting s = 1 - z t and expanding (s - x)^(m - 2):
//   (m - 1) z^(1 - m) [(-x)^n (-ln x) + sum_j C(n, j) (-x)^(n - j) (1 - x^j) / j],
//   n = m - 2, j = 1..n;
// - c half a whole number: the connection formula between z and 1 - z
//   (Abramowitz and Stegun 15.3.6; 2F1(c - 1, c - 1; c - 1; x) = (1 - x)^(1 - c)):
//   (c - 1) / (c - 2) 2F1(1, 1; 3 - c; x) + Gamma(c) Gamma(2 - c) x^(c - 2) z^(1 - c).
// At z = 1 the series' sum is (c - 1) / (c - 2), finite for c > 2 only.
std::optional<double> hypergeometric11(double c, double x)
{
    const double z = 1.0 - x;
    if (x == 0.0) {
        if (c <= 2.0) {
            return std::nullopt;
        }
        return (c - 1.0) / (c - 2.0);
    }
    if (z <= 0.9 || c >= 6.0) {
        return hypergeometricSeries(c, z);
    }
    if (c == std::floor(c)) {
        const auto m = static_cast<int>(c);
        const int n = m - 2;
        double bracket = std::pow(-x, n) * -std::log(x);
        double binomial = 1.0; // C(n, j)
        for (int j = 1; j <= n; ++j) {
            binomial = binomial * static_cast<double>(n - j + 1) / static_cast<double>(j);
            bracket += binomial * std::pow(-x, n - j) * (1.0 - std::pow(x, j)) / static_cast<double>(j);
        }
        return (c - 1.0) * std::pow(z, 1.0 - c) * bracket;
    }
    // x < 0.1 here, so the series in x converges at once, even where 3 - c < 0.
    const double regular = (c - 1.0) / (c - 2.0) * hypergeometricSeries(3.0 - c, x);
    const double singular = std::tgamma(c) * std::tgamma(2.0 - c) * std::pow(x, c - 2.0) * std::pow(z, 1.0 - c);
    return regular + singular;
}

} // namespace

std::optional<double> alfGrafStandardError(double fullR2, double reducedR2, std::int32_t n)
{
    if (!isProportion(fullR2) || !isProportion(reducedR2) || reducedR2 >= fullR2 || fullR2 <= 0.0 || n < 1) {
        return std::nullopt;
    }
    const double ra = std::sqrt(fullR2);
    const double rb = std::sqrt(reducedR2);
    const double rho = rb / ra; // the correlation of the two models' predicted values
    const double common = 1.0 - fullR2 - reducedR2;
    const double covariance = rho * common - 0.5 * ra * rb * (common - rho * rho);
    const double variance = (4.0 * fullR2 * (1.0 - fullR2) * (1.0 - fullR2)
                             + 4.0 * reducedR2 * (1.0 - reducedR2) * (1.0 - reducedR2) - 8.0 * ra * rb * covariance)
                            / static_cast<double>(n);
    // Rounding can leave a variance of exactly equal models a hair below 0.
    return std::sqrt(std::max(variance, 0.0));
}

std::optional<AnalyticInterval> alfGrafInterval(double fullR2, double reducedR2, std::int32_t n, double level)
{
    const std::optional<double> se = alfGrafStandardError(fullR2, reducedR2, n);
    if (!se) {
        return std::nullopt;
    }
    const double z = boost::math::quantile(boost::math::normal_distribution<double>(), 0.5 + level / 2.0);
    const double change = fullR2 - reducedR2;
    return AnalyticInterval{change - z * *se, change + z * *se};
}

std::optional<AnalyticInterval> exactR2Interval(double r2, std::int32_t df1, std::int32_t df2, double level)
{
    if (df1 < 1 || df2 < 1 || !isProportion(r2) || r2 >= 1.0) {
        return std::nullopt;
    }
    const double d1 = df1;
    const double d2 = df2;
    const double N = d1 + d2 + 1.0;
    const double F = (r2 / d1) / ((1.0 - r2) / d2);
    const double tail = (1.0 - level) / 2.0;
    try {
        const std::optional<double> lower = noncentralityAt(F, d1, d2, 1.0 - tail);
        const std::optional<double> upper = noncentralityAt(F, d1, d2, tail);
        if (!lower || !upper) {
            return std::nullopt;
        }
        return AnalyticInterval{*lower / (*lower + N), *upper / (*upper + N)};
    } catch (const std::exception&) {
        // Boost.Math's evaluation error: no limit rather than a wrong one.
        return std::nullopt;
    }
}

std::optional<double> ezekielAdjusted(double r2, std::int32_t n, std::int32_t p)
{
    if (!isProportion(r2) || p < 0 || n - p - 1 < 1) {
        return std::nullopt;
    }
    return 1.0 - (1.0 - r2) * static_cast<double>(n - 1) / static_cast<double>(n - p - 1);
}

std::optional<double> olkinPrattAdjusted(double r2, std::int32_t n, std::int32_t p)
{
    if (!isProportion(r2) || p < 0 || n - p - 1 < 1 || n < 4) {
        return std::nullopt;
    }
    if (p == 0) {
        return 0.0;
    }
    const double z = 1.0 - r2;
    const double c = static_cast<double>(n - p + 1) / 2.0;
    const std::optional<double> series = hypergeometric11(c, r2);
    if (!series) {
        return std::nullopt;
    }
    return 1.0 - static_cast<double>(n - 3) / static_cast<double>(n - p - 1) * z * *series;
}

std::optional<double> cohenF2(double deltaR2, double fullR2)
{
    if (!std::isfinite(deltaR2) || !std::isfinite(fullR2) || fullR2 >= 1.0) {
        return std::nullopt;
    }
    return deltaR2 / (1.0 - fullR2);
}

} // namespace orvalis
