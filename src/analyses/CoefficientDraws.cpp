// Coefficient draws: an LLT of the predictors' correlations per model and trial; intervals as the R^2 change has.
#include "analyses/CoefficientDraws.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CaseMatrix.h"
#include "analyses/RunNestedModels.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

// Matrices no larger than the widest model, on the stack.
using SmallMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, MaxColumns, MaxColumns>;
using SmallVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, MaxColumns, 1>;

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

} // namespace

bool StandardizedCoefficients(const CorrMatrix& C, std::int32_t k, double* beta, double* sr2)
{
    if (k <= 0) {
        return true;
    }
    SmallMatrix R(k, k);
    SmallVector r(k);
    for (std::int32_t a = 0; a < k; ++a) {
        r(a) = C[static_cast<std::size_t>(a) + 1][0];
        for (std::int32_t b = 0; b < k; ++b) {
            R(a, b) = C[static_cast<std::size_t>(a) + 1][static_cast<std::size_t>(b) + 1];
        }
    }
    const Eigen::LLT<SmallMatrix> llt(R);
    if (llt.info() != Eigen::Success) {
        return false;
    }
    const SmallVector b = llt.solve(r);
    const SmallMatrix inverse = llt.solve(SmallMatrix::Identity(k, k));
    for (std::int32_t j = 0; j < k; ++j) {
        const double diagonal = inverse(j, j);
        if (!(diagonal > 0.0) || !std::isfinite(b(j))) {
            return false;
        }
        beta[j] = b(j);
        sr2[j] = b(j) * b(j) / diagonal;
    }
    return true;
}

std::int32_t coefficientDrawWidth(std::int32_t p, std::int32_t q)
{
    return 2 * p + 2 * (p + q);
}

void DrawCoefficients(const CorrMatrix& C, std::int32_t p, std::int32_t q, double* out)
{
    double* reduced = out;
    double* full = out + 2 * p;
    if (!StandardizedCoefficients(C, p, reduced, reduced + p)) {
        std::fill(reduced, reduced + 2 * p, NotANumber);
    }
    if (!StandardizedCoefficients(C, p + q, full, full + p + q)) {
        std::fill(full, full + 2 * (p + q), NotANumber);
    }
}

void AddCoefficientIntervals(ModelCoefficients& coefficients, const std::vector<double>& draws, const CaseMatrix& cases,
                             std::int32_t p, std::int32_t q, ConfidenceLevel level, bool details)
{
    const auto width = static_cast<std::size_t>(coefficientDrawWidth(p, q));
    if (width == 0) {
        return;
    }
    const std::size_t trials = draws.size() / width;

    // With the details, every value's jackknife acceleration in one pass over the cases.
    std::vector<std::optional<double>> accelerations(width);
    if (details) {
        accelerations = JackknifeAccelerations(cases, p + q, width, [p, q](const CorrMatrix& C, double* out) {
            DrawCoefficients(C, p, q, out);
            return std::all_of(out, out + coefficientDrawWidth(p, q), [](double v) { return std::isfinite(v); });
        });
    }

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
                    limitsOf(sorted, level, isBeta ? row.beta : row.sr2, details ? accelerations[s] : std::nullopt);
                (isBeta ? row.betaPercentile : row.sr2Percentile) = limits.percentile;
                if (details) {
                    (isBeta ? row.betaBCa : row.sr2BCa) = limits.bca.value_or(ResampledInterval{});
                }
            }
        }
    };
    model(coefficients.reduced, p, 0);
    model(coefficients.full, p + q, 2 * static_cast<std::size_t>(p));
}

} // namespace orvalis
