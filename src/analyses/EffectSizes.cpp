// Alf and Graf's standard error, the noncentral F inversion (Boost.Math, TOMS 748), Ezekiel and Olkin-Pratt.
#include "analyses/EffectSizes.h"

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

// The noncentrality at which P(F' <= F) equals target; 0 where even lambda = 0
// leaves P(F' <= F) below it (the probability only falls as lambda grows).
std::optional<double> noncentralityAt(double F, double df1, double df2, double target)
{
    using Dist = boost::math::non_central_f_distribution<double>;
    auto below = [&](double lambda) { return boost::math::cdf(Dist(df1, df2, lambda), F) - target; };
    if (below(0.0) <= 0.0) {
        return 0.0;
    }
    // Bracket the root: the probability falls to 0 as lambda grows.
    double low = 0.0;
    double high = std::max(1.0, 2.0 * F * df1);
    while (below(high) > 0.0) {
        low = high;
        high *= 2.0;
        if (!std::isfinite(high) || high > 1e15) {
            return std::nullopt;
        }
    }
    std::uintmax_t iterations = 300;
    const auto root =
        boost::math::tools::toms748_solve(below, low, high, boost::math::tools::eps_tolerance<double>(52), iterations);
    return (root.first + root.second) / 2.0;
}

} // namespace

std::optional<double> alfGrafStandardError(double fullR2, double reducedR2, std::int32_t n)
{
    if (!isProportion(fullR2) || !isProportion(reducedR2) || reducedR2 > fullR2 || fullR2 <= 0.0 || n < 1) {
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
    double series = 0.0;
    if (z == 1.0) {
        // 2F1(1, 1; c; 1) = (c - 1) / (c - 2), for c > 2.
        if (c <= 2.0) {
            return std::nullopt;
        }
        series = (c - 1.0) / (c - 2.0);
    } else {
        // Terms k! z^k / (c)_k: each the last times (k + 1) z / (c + k), all positive.
        double term = 1.0;
        series = 1.0;
        for (std::int64_t k = 0; k < 100'000'000; ++k) {
            term *= static_cast<double>(k + 1) * z / (c + static_cast<double>(k));
            const double next = series + term;
            if (next == series) {
                break;
            }
            series = next;
        }
    }
    return 1.0 - static_cast<double>(n - 3) / static_cast<double>(n - p - 1) * z * series;
}

std::optional<double> cohenF2(double deltaR2, double fullR2)
{
    if (!std::isfinite(deltaR2) || !std::isfinite(fullR2) || fullR2 >= 1.0) {
        return std::nullopt;
    }
    return deltaR2 / (1.0 - fullR2);
}

} // namespace orvalis
