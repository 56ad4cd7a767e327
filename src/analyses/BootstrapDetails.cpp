// ComputeBootstrapDetails: Boost.Math for the F and normal distributions, a linear-time jackknife for BCa.
#include "analyses/BootstrapDetails.h"

#include "analyses/CompleteCases.h"
#include "analyses/NestedR2.h"
#include "common/RuntimeErrors.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>

#include <cmath>

namespace orvalis {
namespace {

// The jackknife acceleration: each complete case left out in turn, its terms
// subtracted from the observed sums, so the whole costs one pass over the
// cases. None when a leave-one-out sample is not valid.
std::optional<double> jackknifeAcceleration(const BootstrapResult& result, const CaseMatrix& cases)
{
    const std::int32_t n = cases.NumComplete;
    const std::int32_t p = result.request.NumPredictors();
    const std::int32_t q = result.request.NumAdded();
    const std::int32_t K = p + q;
    if (n < 3) {
        return std::nullopt;
    }
    SampleSums all;
    AccumulateSums(cases, nullptr, n, all);
    std::vector<double> leftOut(static_cast<std::size_t>(n));
    double total = 0.0;
    for (std::int32_t i = 1; i <= n; ++i) {
        SampleSums without = all;
        const float* row = cases.row(i);
        for (std::int32_t a = 0; a <= K; ++a) {
            const auto ua = static_cast<std::size_t>(a);
            const double xa = row[a];
            without.sum[ua] -= xa;
            for (std::int32_t b = 0; b <= K; ++b) {
                without.cross[ua][static_cast<std::size_t>(b)] -= xa * static_cast<double>(row[b]);
            }
        }
        CorrMatrix C{};
        CorrelationsFromSums(without, n - 1, K, C);
        const NestedR2Result r = NestedR2FromCorrelations(C, p, q);
        if (!r.valid) {
            return std::nullopt;
        }
        leftOut[static_cast<std::size_t>(i - 1)] = *r.full - *r.reduced;
        total += *r.full - *r.reduced;
    }
    const double mean = total / n;
    double squares = 0.0;
    double cubes = 0.0;
    for (const double theta : leftOut) {
        const double influence = (n - 1) * (mean - theta);
        squares += influence * influence;
        cubes += influence * influence * influence;
    }
    return squares > 0.0 ? cubes / (6.0 * std::pow(squares, 1.5)) : 0.0;
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

BootstrapDetails ComputeBootstrapDetails(const BootstrapResult& result, const CaseMatrix& cases,
                                         const std::vector<double>& sorted)
{
    BootstrapDetails details;
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
    }

    if (!result.DeltaR2 || valid < 2) {
        return details;
    }
    std::int32_t below = 0;
    for (std::int32_t k = 1; k <= valid; ++k) {
        below += sorted[static_cast<std::size_t>(k)] < *result.DeltaR2 ? 1 : 0;
    }
    if (below == 0 || below == valid) {
        return details; // the bias correction would be infinite
    }
    std::optional<double> a;
    try {
        a = jackknifeAcceleration(result, cases);
    } catch (const RuntimeError&) {
        a.reset();
    }
    if (!a) {
        return details;
    }
    const double z0 = normalQuantile(static_cast<double>(below) / valid);
    details.BiasCorrection = z0;
    details.Acceleration = *a;
    const double tail = (1.0 - static_cast<double>(levelValue(result.request.Level))) / 2.0;
    auto limit = [&](double alpha) {
        const double z = normalQuantile(alpha);
        const double adjusted = normalCdf(z0 + (z0 + z) / (1.0 - *a * (z0 + z)));
        return valueAtRank(sorted, valid, adjusted * (valid + 1));
    };
    details.BCaLower = limit(tail);
    details.BCaUpper = limit(1.0 - tail);
    return details;
}

} // namespace orvalis
