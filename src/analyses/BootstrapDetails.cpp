// ComputeBootstrapDetails: Boost.Math for the F and normal distributions, a linear-time jackknife for BCa.
#include "analyses/BootstrapDetails.h"

#include "analyses/CaseMatrix.h"
#include "analyses/NestedR2.h"
#include "common/RuntimeErrors.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

// Centred sums of squares and cross-products of a set of cases, and the
// means they are centred on.
struct Centred {
    std::array<std::array<double, MaxColumns>, MaxColumns> m{};
    std::array<double, MaxColumns> mean{};
};

// The correlation matrix of centred cross-products: 0 on the diagonal of a
// column without variance, as CorrelationsFromSums has it.
void correlationsOf(const Centred& c, std::int32_t K, CorrMatrix& C)
{
    for (std::int32_t a = 0; a <= K; ++a) {
        const auto ua = static_cast<std::size_t>(a);
        C[ua][ua] = c.m[ua][ua] > 0.0 ? 1.0 : 0.0;
        for (std::int32_t b = a + 1; b <= K; ++b) {
            const auto ub = static_cast<std::size_t>(b);
            double r = 0.0;
            if (c.m[ua][ua] > 0.0 && c.m[ub][ub] > 0.0) {
                r = c.m[ua][ub] / std::sqrt(c.m[ua][ua] * c.m[ub][ub]);
            }
            C[ua][ub] = r;
            C[ub][ua] = r;
        }
    }
}

// Two passes over the cases other than `without` (0: none): means, then
// deviations from them. No case's size costs another its digits.
Centred centredSums(const CaseMatrix& cases, std::int32_t K, std::int32_t without)
{
    const std::int32_t n = cases.NumComplete;
    const double count = without == 0 ? n : n - 1;
    Centred c;
    std::array<double, MaxColumns>& mean = c.mean;
    for (std::int32_t i = 1; i <= n; ++i) {
        if (i != without) {
            for (std::int32_t a = 0; a <= K; ++a) {
                mean[static_cast<std::size_t>(a)] += cases.at(i, a);
            }
        }
    }
    for (double& m : mean) {
        m /= count;
    }
    std::array<double, MaxColumns> d{};
    for (std::int32_t i = 1; i <= n; ++i) {
        if (i == without) {
            continue;
        }
        for (std::int32_t a = 0; a <= K; ++a) {
            d[static_cast<std::size_t>(a)] = cases.at(i, a) - mean[static_cast<std::size_t>(a)];
        }
        for (std::int32_t a = 0; a <= K; ++a) {
            for (std::int32_t b = a; b <= K; ++b) {
                c.m[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] +=
                    d[static_cast<std::size_t>(a)] * d[static_cast<std::size_t>(b)];
            }
        }
    }
    for (std::int32_t a = 0; a <= K; ++a) {
        for (std::int32_t b = a + 1; b <= K; ++b) {
            c.m[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] =
                c.m[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
        }
    }
    return c;
}

// A leave-one-out sum of squares below this share of the whole has lost more
// than 10 of its 53 bits to the downdate: that sample is summed afresh.
constexpr double DowndateLimit = 1.0 / 1024.0;

// Leave-one-out changes whose spread stays below this are equal within
// rounding: the acceleration is then 0/0. The bound grows as the samples'
// predictors near dependence: an R^2 of predictors whose least tolerance is t
// carries rounding of about the machine epsilon over t (a sample with
// tolerance 1e-6 leaves about 1e-10), and RoundingMargin times that is still
// rounding.
constexpr double EqualChanges = 1e-12;
constexpr double RoundingMargin = 64.0;

// The jackknife accelerations over the complete cases. Each case is left out
// by downdating the centred cross-products (M - n/(n-1) d d', linear in n in
// all); where that would cancel most of a column's sum of squares (a case
// that dominates the column), the sample is summed afresh in two passes.
// Since the removed terms add up to M's own diagonal, that happens for at
// most about one case per column.
// The first `kept` statistics keep every leave-one-out value and sum their
// influences in a second pass; the others, any number of them, are summed as
// the cases go (their mean and central moments updated case by case), so
// that their memory does not grow with the cases.
std::vector<std::optional<double>> accelerations(const CaseMatrix& cases, std::int32_t K, std::size_t count,
                                                 const JackknifeStatistics& statistics, std::size_t kept)
{
    const std::int32_t n = cases.NumComplete;
    std::vector<std::optional<double>> none(count);
    if (n < 3 || count == 0) {
        return none;
    }
    const Centred all = centredSums(cases, K, 0);
    const std::array<double, MaxColumns>& mean = all.mean;
    const double scale = static_cast<double>(n) / (n - 1);
    kept = std::min(kept, count);
    // leftOut[s * n + i - 1]: statistic s < kept without case i.
    std::vector<double> leftOut(static_cast<std::size_t>(n) * kept);
    // The others' running moments.
    struct Moments {
        double mean = 0.0;
        double m2 = 0.0; // sum of squared deviations from the mean
        double m3 = 0.0; // sum of cubed deviations
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
        bool finite = true;
    };
    std::vector<Moments> running(count - kept);
    std::vector<double> values(count);
    double tolerance = 1.0; // the least of every leave-one-out sample's predictors
    for (std::int32_t i = 1; i <= n; ++i) {
        Centred without = all;
        std::array<double, MaxColumns> d{};
        for (std::int32_t a = 0; a <= K; ++a) {
            d[static_cast<std::size_t>(a)] = cases.at(i, a) - mean[static_cast<std::size_t>(a)];
        }
        bool afresh = false;
        for (std::int32_t a = 0; a <= K; ++a) {
            const auto ua = static_cast<std::size_t>(a);
            for (std::int32_t b = 0; b <= K; ++b) {
                without.m[ua][static_cast<std::size_t>(b)] -= scale * d[ua] * d[static_cast<std::size_t>(b)];
            }
            afresh = afresh || (all.m[ua][ua] > 0.0 && !(without.m[ua][ua] >= all.m[ua][ua] * DowndateLimit));
        }
        if (afresh) {
            without = centredSums(cases, K, i);
        }
        CorrMatrix C{};
        correlationsOf(without, K, C);
        if (!statistics(C, values.data())) {
            return none;
        }
        tolerance = std::min(tolerance, SmallestPivot(C, K));
        for (std::size_t s = 0; s < kept; ++s) {
            leftOut[s * static_cast<std::size_t>(n) + static_cast<std::size_t>(i - 1)] = values[s];
        }
        const double seen = i; // values so far, this one included
        for (std::size_t s = kept; s < count; ++s) {
            Moments& m = running[s - kept];
            const double x = values[s];
            m.finite = m.finite && std::isfinite(x);
            m.low = std::min(m.low, x);
            m.high = std::max(m.high, x);
            // One value more: the mean and the central moments (Pebay's update).
            const double delta = x - m.mean;
            const double step = delta / seen;
            const double term = delta * step * (seen - 1.0);
            m.mean += step;
            m.m3 += term * step * (seen - 2.0) - 3.0 * step * m.m2;
            m.m2 += term;
        }
    }
    const double rounding = RoundingMargin * std::numeric_limits<double>::epsilon() / tolerance;
    std::vector<std::optional<double>> result(count);
    for (std::size_t s = kept; s < count; ++s) {
        // With L = (n - 1)(mean - theta): sum L^3 / (6 (sum L^2)^1.5) = -m3 / (6 m2^1.5).
        const Moments& m = running[s - kept];
        if (m.finite && m.high - m.low > std::max(EqualChanges, rounding)) {
            result[s] = -m.m3 / (6.0 * std::pow(m.m2, 1.5));
        }
    }
    for (std::size_t s = 0; s < kept; ++s) {
        const auto first = leftOut.begin() + static_cast<std::ptrdiff_t>(s * static_cast<std::size_t>(n));
        const auto last = first + n;
        if (!std::all_of(first, last, [](double v) { return std::isfinite(v); })) {
            continue; // some leave-one-out sample has no such value
        }
        const auto [low, high] = std::minmax_element(first, last);
        if (!(*high - *low > std::max(EqualChanges, rounding))) {
            continue; // equal within rounding, or not a number
        }
        double total = 0.0;
        for (auto theta = first; theta != last; ++theta) {
            total += *theta;
        }
        const double mean0 = total / n;
        double squares = 0.0;
        double cubes = 0.0;
        for (auto theta = first; theta != last; ++theta) {
            const double influence = (n - 1) * (mean0 - *theta);
            squares += influence * influence;
            cubes += influence * influence * influence;
        }
        result[s] = cubes / (6.0 * std::pow(squares, 1.5));
    }
    return result;
}

// The jackknife acceleration of the R^2 change: none when a leave-one-out
// sample is not valid, or when every leave-one-out change is the same.
std::optional<double> jackknifeAcceleration(const CaseMatrix& cases, std::int32_t p, std::int32_t q)
{
    return accelerations(
        cases, p + q, 1,
        [p, q](const CorrMatrix& C, double* change) {
            const NestedR2Result r = NestedR2FromCorrelations(C, p, q);
            if (!r.valid) {
                return false;
            }
            *change = *r.full - *r.reduced;
            return true;
        },
        1)[0];
}

// The value at a fractional rank of sorted[1..count], interpolated linearly
// between neighbouring ranks and held at the ends.
double valueAtRank(const std::vector<double>& sorted, std::int32_t count, double rank)
{
    if (rank <= 1.0) {
        return sorted[1];
    }
    if (rank >= count) {
        return sorted[static_cast<std::size_t>(count)];
    }
    const auto below = static_cast<std::int32_t>(std::floor(rank));
    const double low = sorted[static_cast<std::size_t>(below)];
    const double high = sorted[static_cast<std::size_t>(below) + 1];
    return low + (rank - below) * (high - low);
}

// The Monte Carlo standard error of the limit at rank k of count sorted
// changes: half the distance between the changes one binomial standard
// deviation of the rank below and above it. None for fewer than two changes.
std::optional<double> limitError(const std::vector<double>& sorted, std::int32_t count, std::int32_t k)
{
    if (count < 2 || k < 1 || k > count) {
        return std::nullopt;
    }
    const double share = static_cast<double>(k) / count;
    const double spread = std::sqrt(count * share * (1.0 - share));
    const double d = std::max(spread, 1.0); // at the ends the next rank in is the nearest other value
    return (valueAtRank(sorted, count, k + d) - valueAtRank(sorted, count, k - d)) / 2.0;
}

} // namespace

double normalCdf(double z)
{
    return boost::math::cdf(boost::math::normal_distribution<double>(), z);
}

double normalQuantile(double p)
{
    return boost::math::quantile(boost::math::normal_distribution<double>(), p);
}

double fUpperTail(double F, std::int32_t df1, std::int32_t df2)
{
    const boost::math::fisher_f_distribution<double> f(df1, df2);
    return boost::math::cdf(boost::math::complement(f, F));
}

ComputedDetails ComputeBootstrapDetails(const BootstrapResult& result, const CaseMatrix& cases,
                                        const std::vector<double>& sorted, std::int32_t p, std::int32_t q,
                                        const std::optional<double>* acceleration)
{
    ComputedDetails computed;
    computed.bca.kind = IntervalKind::BCa;
    computed.bca.level = result.request.Level;
    BootstrapDetails& details = computed.details;
    if (result.FValue && result.df1 > 0 && result.df2 > 0) {
        details.ExactP = result.PValue;
    }

    const std::int32_t valid = result.NumValid;
    if (valid >= 1) {
        double sum = 0.0;
        for (std::int32_t k = 1; k <= valid; ++k) {
            sum += sorted[static_cast<std::size_t>(k)];
        }
        details.Mean = sum / valid;
    }
    if (valid >= 2) {
        double squares = 0.0;
        for (std::int32_t k = 1; k <= valid; ++k) {
            const double d = sorted[static_cast<std::size_t>(k)] - *details.Mean;
            squares += d * d;
        }
        details.StandardError = std::sqrt(squares / (valid - 1));
        details.LowerLimitError = limitError(sorted, valid, result.Positions.lower);
        details.UpperLimitError = limitError(sorted, valid, result.Positions.upper);
    }

    if (!result.DeltaR2) {
        return computed;
    }
    const std::optional<double> z0 = BiasCorrection(sorted, valid, *result.DeltaR2);
    if (!z0) {
        return computed;
    }
    std::optional<double> a;
    if (acceleration != nullptr) {
        a = *acceleration;
    } else {
        try {
            a = jackknifeAcceleration(cases, p, q);
        } catch (const RuntimeError&) {
            a.reset();
        }
    }
    if (!a) {
        return computed;
    }
    details.BiasCorrection = *z0;
    details.Acceleration = *a;
    const BCaLimits limits = BCaLimitsOf(sorted, valid, *z0, *a, result.request.Level);
    details.BCaAtExtreme = limits.atExtreme;
    computed.bca.lower = limits.lower;
    computed.bca.upper = limits.upper;
    return computed;
}

std::optional<double> BiasCorrection(const std::vector<double>& sorted, std::int32_t count, double observed)
{
    if (count < 2) {
        return std::nullopt;
    }
    std::int32_t below = 0;
    for (std::int32_t k = 1; k <= count; ++k) {
        below += sorted[static_cast<std::size_t>(k)] < observed ? 1 : 0;
    }
    if (below == 0 || below == count) {
        return std::nullopt; // the bias correction would be infinite
    }
    return normalQuantile(static_cast<double>(below) / count);
}

BCaLimits BCaLimitsOf(const std::vector<double>& sorted, std::int32_t count, double z0, double a, ConfidenceLevel level)
{
    BCaLimits limits;
    const double tail = (1.0 - static_cast<double>(levelValue(level))) / 2.0;
    auto limit = [&](double alpha) {
        const double z = normalQuantile(alpha);
        const double adjusted = normalCdf(z0 + (z0 + z) / (1.0 - a * (z0 + z)));
        const double rank = adjusted * (count + 1);
        limits.atExtreme = limits.atExtreme || rank <= 1.0 || rank >= count;
        return valueAtRank(sorted, count, rank);
    };
    limits.lower = limit(tail);
    limits.upper = limit(1.0 - tail);
    return limits;
}

std::vector<std::optional<double>> JackknifeAccelerations(const CaseMatrix& cases, std::int32_t K, std::size_t count,
                                                          const JackknifeStatistics& statistics, std::size_t kept)
{
    try {
        return accelerations(cases, K, count, statistics, kept);
    } catch (const RuntimeError&) {
        return std::vector<std::optional<double>>(count);
    }
}

} // namespace orvalis
