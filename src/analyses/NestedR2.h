// R^2 of a reduced and a full regression model from determinants of a correlation matrix.
#pragma once

#include "analyses/CaseMatrix.h"

#include <array>
#include <cstdint>
#include <optional>

namespace orvalis {

// A MaxColumns x MaxColumns double matrix; the block 0..K holds the
// correlations of a sample's columns 0..K.
using CorrMatrix = std::array<std::array<double, MaxColumns>, MaxColumns>;

// The least tolerance (1 - R^2 of a predictor on the predictors before it) a
// predictor may have; below it the predictor counts as a linear combination of
// the others within rounding (a variance inflation above 10^8). The same bound
// on 1 - R^2 of the full model means it fits the cases exactly.
constexpr double DependenceTolerance = 1e-8;

// Each R^2 is absent when it is undefined: its predictor determinant is not
// positive, or one of its predictors has a tolerance below DependenceTolerance.
struct NestedR2Result {
    std::optional<double> reduced;
    std::optional<double> full;
    bool valid = false; // both R^2 defined
};

// The determinant of the block lo..hi of C, by column elimination with
// exact-zero pivoting (a zero pivot is exchanged with the nearest column to
// its right that has a non-zero entry in its row, flipping the sign). An
// empty block has determinant 1, a block of one variable its diagonal (1, or
// 0 for a constant column). C is not changed. Throws
// OverflowError or InvalidOperationError when the result is not finite.
double CorrDeterminant(const CorrMatrix& C, std::int32_t lo, std::int32_t hi);

// Per-column and per-pair sums of one sample, accumulated in double in row
// order starting from 0: sum[a] = sum of x_a, cross[a][b] = sum of x_a * x_b
// for a <= b (single-precision values widened to double before multiplying).
struct SampleSums {
    std::array<double, MaxColumns> sum{};
    std::array<std::array<double, MaxColumns>, MaxColumns> cross{};
};

// Accumulates the sums over rows rows[0..n-1] of cases (all of cases' rows
// 1..n when rows is null). Allocation-free; vectorised across the sums, so
// every sum sees the same additions in the same order as a plain loop would.
void AccumulateSums(const CaseMatrix& cases, const std::int32_t* rows, std::int32_t n, SampleSums& sums);

// Throws OverflowError or InvalidOperationError when a sum of the first
// columns columns is not finite (some addition overflowed or was invalid).
void CheckSums(const SampleSums& sums, std::int32_t columns);

// The correlation matrix of columns 0..K from the sums of n rows: 1 on the
// diagonal, or 0 for a column constant in the sample, whose correlations are
// all 0.
void CorrelationsFromSums(const SampleSums& sums, std::int32_t n, std::int32_t K, CorrMatrix& C);

// How many of the predictors 1..K, taken in order, have a tolerance of at least
// DependenceTolerance on the ones before them: an elimination of the block
// 1..K without exchanges, whose pivot for predictor c is its tolerance. K when
// every predictor is sound.
std::int32_t SoundPredictors(const CorrMatrix& C, std::int32_t K);

// The smallest pivot of the same elimination (the least tolerance of a
// predictor on the ones before it): how near the predictors 1..K are to
// dependence, which sets how much rounding an R^2 of them carries. 1 for
// K = 0; 0 once a pivot is 0 (the rest are not looked at).
double SmallestPivot(const CorrMatrix& C, std::int32_t K);

// Reduced R^2 (predictors 1..p) and full R^2 (predictors 1..p+q) of the
// dependent variable in column 0, each 1 - det(C_y)/det(C_x), or none when
// det(C_x) is not positive, a predictor of the model is not sound
// (SoundPredictors; a constant predictor never is) or the dependent variable
// is constant. Throws on a non-finite step.
NestedR2Result NestedR2FromCorrelations(const CorrMatrix& C, std::int32_t p, std::int32_t q);

// NestedR2FromCorrelations of the correlations from the sums of n rows.
NestedR2Result NestedR2FromSums(const SampleSums& sums, std::int32_t n, std::int32_t p, std::int32_t q);

// NestedR2 of the sample made of rows[0..n-1] of cases (the cases themselves
// when rows is null).
NestedR2Result NestedR2(const CaseMatrix& cases, const std::int32_t* rows, std::int32_t n, std::int32_t p,
                        std::int32_t q);

} // namespace orvalis
