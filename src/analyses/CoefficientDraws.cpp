// Coefficient draws: one sweep of a trial's correlations per model pair; intervals as the R^2 change has them.
#include "analyses/CoefficientDraws.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CaseMatrix.h"
#include "analyses/RunNestedModels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

// One value's limits over the trials that have it.
struct ValueLimits {
    ResampledInterval percentile;
    std::optional<ResampledInterval> bca;
};

ValueLimits limitsOf(std::vector<double>& sorted, ConfidenceLevel level, const std::optional<double>& observed,
                     const std::optional<double>& acceleration)
{
    ValueLimits limits;
    // sorted[1..count]: the values, position 0 unused (as the R^2 change's).
    const auto count = static_cast<std::int32_t>(sorted.size()) - 1;
    if (count < 1) {
        return limits;
    }
    std::sort(sorted.begin() + 1, sorted.end());
    const PercentilePositions positions = percentilePositions(count, level);
    limits.percentile.lower = sorted[static_cast<std::size_t>(positions.lower)];
    limits.percentile.upper = sorted[static_cast<std::size_t>(positions.upper)];
    if (!observed || !acceleration) {
        return limits;
    }
    if (const std::optional<double> z0 = BiasCorrection(sorted, count, *observed)) {
        const BCaLimits bca = BCaLimitsOf(sorted, count, *z0, *acceleration, level);
        limits.bca = ResampledInterval{bca.lower, bca.upper};
    }
    return limits;
}

// The correlations of columns 0..K with predictors swept out one by one (the
// sweep operator), kept in the upper triangle (A[a][b], a <= b): once
// predictor j is swept, A[0][j] is beta_j and A[j][j] is -(Rxx^-1)_jj of the
// model of the predictors swept so far. Sweeps 1..p and then p+1..p+q give
// the nested models in turn. A pivot (the predictor's tolerance on the ones
// swept before it) below DependenceTolerance, as the R^2 code has it, ends
// the sweep.
struct Sweep {
    CorrMatrix A; // only the upper triangle of 0..K is set
    std::int32_t K = 0;

    Sweep(const CorrMatrix& C, std::int32_t columns) : K(columns)
    {
        for (std::int32_t a = 0; a <= K; ++a) {
            const auto ua = static_cast<std::size_t>(a);
            std::copy(C[ua].begin() + a, C[ua].begin() + K + 1, A[ua].begin() + a);
        }
    }

    bool pivot(std::int32_t j)
    {
        const auto uj = static_cast<std::size_t>(j);
        const double d = A[uj][uj];
        if (!(d >= DependenceTolerance)) {
            return false;
        }
        // Row j of the symmetric matrix, and the same over the pivot.
        std::array<double, MaxColumns> row{};
        std::array<double, MaxColumns> scaled{};
        for (std::int32_t l = 0; l <= K; ++l) {
            const auto ul = static_cast<std::size_t>(l);
            row[ul] = l < j ? A[ul][uj] : A[uj][ul];
            scaled[ul] = row[ul] / d;
        }
        for (std::int32_t i = 0; i <= K; ++i) {
            if (i == j) {
                continue;
            }
            const auto ui = static_cast<std::size_t>(i);
            const double factor = row[ui];
            for (std::int32_t l = i; l <= K; ++l) {
                A[ui][static_cast<std::size_t>(l)] -= factor * scaled[static_cast<std::size_t>(l)];
            }
        }
        for (std::int32_t i = 0; i <= K; ++i) {
            const auto ui = static_cast<std::size_t>(i);
            (i < j ? A[ui][uj] : A[uj][ui]) = scaled[ui];
        }
        A[uj][uj] = -1.0 / d;
        return true;
    }

    // beta and sr^2 of the predictors 1..k, all swept.
    bool read(std::int32_t k, double* beta, double* sr2) const
    {
        for (std::int32_t j = 1; j <= k; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const double b = A[0][uj];
            const double diagonal = -A[uj][uj];
            if (!(diagonal > 0.0) || !std::isfinite(b)) {
                return false;
            }
            beta[j - 1] = b;
            sr2[j - 1] = b * b / diagonal;
        }
        return true;
    }
};

} // namespace

bool StandardizedCoefficients(const CorrMatrix& C, std::int32_t k, double* beta, double* sr2)
{
    if (k <= 0) {
        return true;
    }
    Sweep sweep(C, k);
    for (std::int32_t j = 1; j <= k; ++j) {
        if (!sweep.pivot(j)) {
            return false;
        }
    }
    return sweep.read(k, beta, sr2);
}

std::int32_t coefficientDrawWidth(std::int32_t p, std::int32_t q, bool reduced)
{
    return (reduced ? 2 * p : 0) + 2 * (p + q);
}

void DrawCoefficients(const CorrMatrix& C, std::int32_t p, std::int32_t q, double* out, bool withReduced)
{
    double* reduced = out;
    double* full = out + (withReduced ? 2 * p : 0);
    std::fill(out, out + coefficientDrawWidth(p, q, withReduced), NotANumber);
    // One sweep: the reduced model's predictors, then the added ones.
    Sweep sweep(C, p + q);
    for (std::int32_t j = 1; j <= p + q; ++j) {
        if (!sweep.pivot(j)) {
            return;
        }
        if (withReduced && j == p && !sweep.read(p, reduced, reduced + p)) {
            std::fill(reduced, reduced + 2 * p, NotANumber);
        }
    }
    if (!sweep.read(p + q, full, full + p + q)) {
        std::fill(full, full + 2 * (p + q), NotANumber);
    }
}

CoefficientJackknife JackknifeWithCoefficients(const CaseMatrix& cases, std::int32_t p, std::int32_t q, bool reduced)
{
    const auto width = static_cast<std::size_t>(coefficientDrawWidth(p, q, reduced));
    std::vector<std::optional<double>> all = JackknifeAccelerations(
        cases, p + q, 1 + width,
        [p, q, reduced](const CorrMatrix& C, double* out) {
            const NestedR2Result r = NestedR2FromCorrelations(C, p, q);
            if (!r.valid) {
                return false;
            }
            out[0] = *r.full - *r.reduced;
            DrawCoefficients(C, p, q, out + 1, reduced);
            return true;
        },
        1);
    CoefficientJackknife jackknife;
    jackknife.change = all.front();
    jackknife.values.assign(all.begin() + 1, all.end());
    return jackknife;
}

void AddCoefficientIntervals(ModelCoefficients& coefficients, const std::vector<double>& draws, std::int32_t p,
                             std::int32_t q, ConfidenceLevel level,
                             const std::vector<std::optional<double>>& accelerations, bool reduced)
{
    const auto width = static_cast<std::size_t>(coefficientDrawWidth(p, q, reduced));
    if (width == 0) {
        return;
    }
    const std::size_t trials = draws.size() / width;
    const bool bca = accelerations.size() == width;
    std::vector<double> sorted;
    sorted.reserve(trials + 1);
    auto model = [&](CoefficientsOutcome& outcome, std::int32_t k, std::size_t offset) {
        if (!outcome.table) {
            return;
        }
        for (Coefficient& row : outcome.table->rows) {
            if (row.column < 1 || row.column > k) {
                continue;
            }
            for (const bool isBeta : {true, false}) {
                const std::size_t s =
                    offset + (isBeta ? 0 : static_cast<std::size_t>(k)) + static_cast<std::size_t>(row.column - 1);
                sorted.assign(1, 0.0);
                for (std::size_t t = 0; t < trials; ++t) {
                    const double v = draws[t * width + s];
                    if (std::isfinite(v)) {
                        sorted.push_back(v);
                    }
                }
                const ValueLimits limits =
                    limitsOf(sorted, level, isBeta ? row.beta : row.sr2, bca ? accelerations[s] : std::nullopt);
                (isBeta ? row.betaPercentile : row.sr2Percentile) = limits.percentile;
                if (bca) {
                    (isBeta ? row.betaBCa : row.sr2BCa) = limits.bca.value_or(ResampledInterval{});
                }
            }
        }
    };
    if (reduced) {
        model(coefficients.reduced, p, 0);
    }
    model(coefficients.full, p + q, reduced ? 2 * static_cast<std::size_t>(p) : 0);
}

void DrawCombinations(const CorrMatrix& C, const SampleSums& sums, std::int32_t n, std::int32_t k,
                      const std::vector<std::vector<double>>& weights, double* out)
{
    std::array<double, MaxColumns> beta{};
    std::array<double, MaxColumns> sr2{};
    std::fill(out, out + weights.size(), NotANumber);
    if (!StandardizedCoefficients(C, k, beta.data(), sr2.data())) {
        return;
    }
    const double count = n;
    auto squares = [&](std::int32_t c) {
        const auto u = static_cast<std::size_t>(c);
        return sums.cross[u][u] - sums.sum[u] * sums.sum[u] / count;
    };
    const double yy = squares(0);
    std::array<double, MaxColumns> B{};
    for (std::int32_t j = 1; j <= k; ++j) {
        B[static_cast<std::size_t>(j) - 1] = beta[static_cast<std::size_t>(j) - 1] * std::sqrt(yy / squares(j));
    }
    for (std::size_t i = 0; i < weights.size(); ++i) {
        double value = 0.0;
        for (std::size_t j = 0; j < weights[i].size() && j < static_cast<std::size_t>(k); ++j) {
            value += weights[i][j] * B[j];
        }
        out[i] = value;
    }
}

std::vector<ResampledLimits> ResampledLimitsOf(const std::vector<double>& draws, std::size_t count,
                                               ConfidenceLevel level, const std::vector<double>& observed,
                                               const std::vector<std::optional<double>>& accelerations)
{
    std::vector<ResampledLimits> all;
    if (count == 0) {
        return all;
    }
    const std::size_t trials = draws.size() / count;
    std::vector<double> sorted;
    sorted.reserve(trials + 1);
    for (std::size_t i = 0; i < count; ++i) {
        sorted.assign(1, 0.0);
        for (std::size_t t = 0; t < trials; ++t) {
            const double v = draws[t * count + i];
            if (std::isfinite(v)) {
                sorted.push_back(v);
            }
        }
        const ValueLimits limits =
            limitsOf(sorted, level, i < observed.size() ? std::optional<double>(observed[i]) : std::nullopt,
                     i < accelerations.size() ? accelerations[i] : std::nullopt);
        all.push_back({limits.percentile, limits.bca});
    }
    return all;
}

std::vector<ResampledInterval> PercentileIntervals(const std::vector<double>& draws, std::size_t count,
                                                   ConfidenceLevel level)
{
    std::vector<ResampledInterval> intervals;
    for (const ResampledLimits& limits : ResampledLimitsOf(draws, count, level, {}, {})) {
        intervals.push_back(limits.percentile);
    }
    return intervals;
}

} // namespace orvalis
