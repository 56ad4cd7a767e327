// NestedR2: one pass of sums per sample, correlations, and four determinants.
#include "analyses/NestedR2.h"

#include "analyses/CaseMatrix.h"
#include "common/CheckedMath.h"
#include "common/Cpu.h"

#include <cmath>
#include <utility>

namespace orvalis {
namespace {

// Four doubles, one AVX register (two SSE registers on older processors).
typedef double Lanes __attribute__((vector_size(32)));

// Widens row r into vectors of four doubles, padding with zeros.
template <int Columns, int Blocks>
[[gnu::always_inline]] inline void loadRow(const float* cells, std::int32_t r, Lanes (&xv)[Blocks])
{
    const float* row = cells + static_cast<std::size_t>(r) * Columns;
    double x[Blocks * 4] = {};
#pragma GCC unroll 16
    for (int a = 0; a < Columns; ++a) {
        x[a] = row[a];
    }
#pragma GCC unroll 4
    for (int k = 0; k < Blocks; ++k) {
        xv[k] = Lanes{x[4 * k], x[4 * k + 1], x[4 * k + 2], x[4 * k + 3]};
    }
}

// The per-row work for a compile-time number of columns. Each sum lives in
// one lane of a vector accumulator and receives its additions in row order, so
// the results equal those of a plain loop per sum; only independent sums are
// computed side by side. Only the blocks on or right of the diagonal are kept
// (cross[a][b] for b >= a, rounded to whole blocks of four).
template <int Columns>
[[gnu::always_inline]] inline void accumulateFixed(const float* cells, const std::int32_t* rows, std::int32_t n,
                                                   SampleSums& out)
{
    constexpr int Blocks = (Columns + 3) / 4;
    Lanes sum[Blocks] = {};
    Lanes cross[Columns][Blocks] = {};
    // Two rows per step: each accumulator still adds row i, then row i + 1,
    // but is loaded and stored once for both.
    constexpr std::int32_t Ahead = 8;
    std::int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        if (rows != nullptr && i + Ahead + 1 < n) {
            // Resampled rows are scattered over the case matrix: fetch a few rows ahead.
            __builtin_prefetch(cells + static_cast<std::size_t>(rows[i + Ahead]) * Columns);
            __builtin_prefetch(cells + static_cast<std::size_t>(rows[i + Ahead + 1]) * Columns);
        }
        Lanes u[Blocks] = {};
        Lanes v[Blocks] = {};
        loadRow<Columns, Blocks>(cells, rows != nullptr ? rows[i] : i + 1, u);
        loadRow<Columns, Blocks>(cells, rows != nullptr ? rows[i + 1] : i + 2, v);
#pragma GCC unroll 4
        for (int k = 0; k < Blocks; ++k) {
            sum[k] = (sum[k] + u[k]) + v[k];
        }
#pragma GCC unroll 16
        for (int a = 0; a < Columns; ++a) {
            const Lanes ua = Lanes{u[a / 4][a % 4], u[a / 4][a % 4], u[a / 4][a % 4], u[a / 4][a % 4]};
            const Lanes va = Lanes{v[a / 4][a % 4], v[a / 4][a % 4], v[a / 4][a % 4], v[a / 4][a % 4]};
#pragma GCC unroll 4
            for (int k = a / 4; k < Blocks; ++k) {
                cross[a][k] = (cross[a][k] + ua * u[k]) + va * v[k];
            }
        }
    }
    for (; i < n; ++i) {
        Lanes u[Blocks] = {};
        loadRow<Columns, Blocks>(cells, rows != nullptr ? rows[i] : i + 1, u);
#pragma GCC unroll 4
        for (int k = 0; k < Blocks; ++k) {
            sum[k] += u[k];
        }
#pragma GCC unroll 16
        for (int a = 0; a < Columns; ++a) {
            const Lanes ua = Lanes{u[a / 4][a % 4], u[a / 4][a % 4], u[a / 4][a % 4], u[a / 4][a % 4]};
#pragma GCC unroll 4
            for (int k = a / 4; k < Blocks; ++k) {
                cross[a][k] += ua * u[k];
            }
        }
    }
    for (int a = 0; a < Columns; ++a) {
        out.sum[static_cast<std::size_t>(a)] = sum[a / 4][a % 4];
        for (int b = a; b < Columns; ++b) {
            const double value = cross[a][b / 4][b % 4];
            out.cross[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] = value;
            out.cross[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] = value;
        }
    }
}

// Built for AVX2 beside the baseline, picked at load time where the build
// dispatches (common/Cpu.h).
template <int Columns>
ORVALIS_CLONES_FOR("avx2")
void accumulateDispatch(const float* cells, const std::int32_t* rows, std::int32_t n, SampleSums& out)
{
    accumulateFixed<Columns>(cells, rows, n, out);
}

} // namespace

void AccumulateSums(const CaseMatrix& cases, const std::int32_t* rows, std::int32_t n, SampleSums& sums)
{
    // One instance per column count, as the side-by-side kernels have.
    using Sums = void (*)(const float*, const std::int32_t*, std::int32_t, SampleSums&);
    constexpr Sums byColumns[] = {
        accumulateDispatch<2>,  accumulateDispatch<3>,  accumulateDispatch<4>,  accumulateDispatch<5>,
        accumulateDispatch<6>,  accumulateDispatch<7>,  accumulateDispatch<8>,  accumulateDispatch<9>,
        accumulateDispatch<10>, accumulateDispatch<11>, accumulateDispatch<12>, accumulateDispatch<13>,
        accumulateDispatch<14>, accumulateDispatch<15>, accumulateDispatch<16>, accumulateDispatch<17>,
        accumulateDispatch<18>, accumulateDispatch<19>, accumulateDispatch<20>, accumulateDispatch<21>,
        accumulateDispatch<22>, accumulateDispatch<23>, accumulateDispatch<24>, accumulateDispatch<25>};
    static_assert(std::size(byColumns) == MaxColumns - 1);
    checkSubscript(cases.columns, 2, MaxColumns, "sample columns");
    byColumns[cases.columns - 2](cases.cells.data(), rows, n, sums);
    CheckSums(sums, cases.columns);
}

void CheckSums(const SampleSums& sums, std::int32_t columns)
{
    for (int a = 0; a < columns; ++a) {
        checked::step(sums.sum[static_cast<std::size_t>(a)]);
        for (int b = a; b < columns; ++b) {
            checked::step(sums.cross[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]);
        }
    }
}

void CorrelationsFromSums(const SampleSums& sums, std::int32_t n, std::int32_t K, CorrMatrix& C)
{
    const double count = n;
    double squares[MaxColumns] = {};
    for (std::int32_t a = 0; a <= K; ++a) {
        const double s = sums.sum[static_cast<std::size_t>(a)];
        squares[a] = checked::step(sums.cross[static_cast<std::size_t>(a)][static_cast<std::size_t>(a)]
                                   - checked::divide(checked::step(s * s), count));
    }
    for (std::int32_t a = 0; a <= K; ++a) {
        const auto ua = static_cast<std::size_t>(a);
        // A constant column has no correlation with anything: its diagonal is
        // 0, so a constant predictor has tolerance 0 (it depends on the
        // intercept) and a constant dependent variable has no R^2.
        C[ua][ua] = squares[a] > 0.0 ? 1.0 : 0.0;
        for (std::int32_t b = a + 1; b <= K; ++b) {
            const auto ub = static_cast<std::size_t>(b);
            double r = 0.0;
            if (squares[a] > 0.0 && squares[b] > 0.0) {
                const double centred = checked::step(
                    sums.cross[ua][ub] - checked::divide(checked::step(sums.sum[ub] * sums.sum[ua]), count));
                r = checked::divide(centred, std::sqrt(checked::step(squares[b] * squares[a])));
            }
            C[ua][ub] = r;
            C[ub][ua] = r;
        }
    }
}

double CorrDeterminant(const CorrMatrix& C, std::int32_t lo, std::int32_t hi)
{
    const std::int32_t m = hi - lo + 1;
    if (m <= 0) {
        return 1.0;
    }
    const auto L = static_cast<std::size_t>(lo);
    const auto H = static_cast<std::size_t>(hi);
    if (m == 1) {
        return C[L][L];
    }
    if (m == 2) {
        return checked::step(C[L][L] * C[H][H] - C[L][H] * C[L][H]);
    }
    CorrMatrix T = C;
    float sign = 1.0f;
    for (std::size_t c = L; c + 2 <= H; ++c) {
        if (T[c][c] == 0.0) {
            std::size_t found = 0;
            for (std::size_t j = H; j >= c + 1; --j) {
                if (T[c][j] != 0.0) {
                    found = j;
                }
            }
            if (found != 0) {
                sign = -sign;
                for (std::size_t a = L; a <= H; ++a) {
                    std::swap(T[a][c], T[a][found]);
                }
            }
        }
        for (std::size_t j = c + 1; j <= H; ++j) {
            if (T[c][j] != 0.0) {
                const double f = checked::step(-T[c][j] / T[c][c]);
                for (std::size_t a = L; a <= H; ++a) {
                    T[a][j] = f * T[a][c] + T[a][j];
                }
            }
        }
    }
    double det = (T[H][H] * T[H - 1][H - 1] - T[H - 1][H] * T[H][H - 1]) * static_cast<double>(sign);
    for (std::size_t d = L; d + 2 <= H; ++d) {
        det *= T[d][d];
    }
    return checked::step(det);
}

namespace {

// Eliminates the predictors 1..K of C in order, handing each pivot (the
// tolerance of predictor c given those before it) to take, which returns
// false to stop; returns the number of pivots taken.
template <typename Take>
std::int32_t eliminatePredictors(const CorrMatrix& C, std::int32_t K, Take&& take)
{
    CorrMatrix T = C;
    for (std::int32_t c = 1; c <= K; ++c) {
        const auto uc = static_cast<std::size_t>(c);
        const double pivot = T[uc][uc];
        if (!take(pivot)) {
            return c - 1;
        }
        for (std::int32_t j = c + 1; j <= K; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const double f = T[uj][uc] / pivot;
            for (std::int32_t a = c + 1; a <= K; ++a) {
                const auto ua = static_cast<std::size_t>(a);
                T[uj][ua] -= f * T[uc][ua];
            }
        }
    }
    return K;
}

} // namespace

std::int32_t SoundPredictors(const CorrMatrix& C, std::int32_t K)
{
    return eliminatePredictors(C, K, [](double pivot) { return pivot >= DependenceTolerance; });
}

double SmallestPivot(const CorrMatrix& C, std::int32_t K)
{
    double smallest = 1.0;
    eliminatePredictors(C, K, [&](double pivot) {
        smallest = std::min(smallest, pivot);
        return pivot > 0.0;
    });
    return smallest;
}

NestedR2Result NestedR2FromCorrelations(const CorrMatrix& C, std::int32_t p, std::int32_t q)
{
    const std::int32_t K = p + q;
    const double dyReduced = CorrDeterminant(C, 0, p);
    const double dxReduced = CorrDeterminant(C, 1, p);
    const double dyFull = CorrDeterminant(C, 0, K);
    const double dxFull = CorrDeterminant(C, 1, K);
    const std::int32_t sound = SoundPredictors(C, K);
    NestedR2Result result;
    if (C[0][0] == 0.0) {
        return result; // a constant dependent variable: R^2 is 0/0
    }
    if (dxReduced > 0.0 && sound >= p) {
        result.reduced = checked::step(1.0 - checked::divide(dyReduced, dxReduced));
    }
    if (dxFull > 0.0 && sound >= K) {
        result.full = checked::step(1.0 - checked::divide(dyFull, dxFull));
    }
    result.valid = result.reduced.has_value() && result.full.has_value();
    return result;
}

NestedR2Result NestedR2(const CaseMatrix& cases, const std::int32_t* rows, std::int32_t n, std::int32_t p,
                        std::int32_t q)
{
    SampleSums sums;
    AccumulateSums(cases, rows, n, sums);
    return NestedR2FromSums(sums, n, p, q);
}

NestedR2Result NestedR2FromSums(const SampleSums& sums, std::int32_t n, std::int32_t p, std::int32_t q)
{
    CorrMatrix C{};
    CorrelationsFromSums(sums, n, p + q, C);
    return NestedR2FromCorrelations(C, p, q);
}

} // namespace orvalis
