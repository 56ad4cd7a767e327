// The bootstrap written the straightforward way: per-pair sums over a copied
// sample, rank placement, one thread. Tests compare the fast engine with it
// bit for bit; the benchmark measures the engine against it.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/CompleteCases.h"
#include "analyses/NestedR2.h"
#include "analyses/RandomStream.h"

#include <cmath>
#include <vector>

namespace orvalis::reference {

// SampleMatrix: rows 1..n, MaxColumns columns, single precision.
using SampleMatrix = std::vector<std::array<float, MaxColumns>>;

inline NestedR2Result nestedR2(const SampleMatrix& sample, std::int32_t n, std::int32_t p, std::int32_t q)
{
    const std::int32_t K = p + q;
    CorrMatrix C{};
    // A column that is constant in the sample has no correlations and a zero
    // diagonal: as a predictor its tolerance is 0, as the dependent variable
    // it has no R^2.
    for (std::int32_t a = 0; a <= K; ++a) {
        double Sx = 0, Sxx = 0;
        for (std::int32_t i = 1; i <= n; ++i) {
            const double x = sample[i][a];
            Sx += x;
            Sxx += x * x;
        }
        C[a][a] = Sxx - Sx * Sx / n > 0 ? 1.0 : 0.0;
    }
    for (std::int32_t a = 0; a <= K; ++a) {
        for (std::int32_t b = a + 1; b <= K; ++b) {
            double Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0;
            for (std::int32_t i = 1; i <= n; ++i) {
                const double x = sample[i][a];
                const double y = sample[i][b];
                Sx += x;
                Sy += y;
                Sxx += x * x;
                Syy += y * y;
                Sxy += y * x;
            }
            const double SSx = Sxx - Sx * Sx / n;
            const double SSy = Syy - Sy * Sy / n;
            double r = 0;
            if (SSx > 0 && SSy > 0) {
                r = (Sxy - Sy * Sx / n) / std::sqrt(SSy * SSx);
            }
            C[a][b] = r;
            C[b][a] = r;
        }
    }
    const double dyRed = CorrDeterminant(C, 0, p);
    const double dxRed = CorrDeterminant(C, 1, p);
    const double dyFull = CorrDeterminant(C, 0, K);
    const double dxFull = CorrDeterminant(C, 1, K);
    // Predictors 1..sound each keep a tolerance (the ratio of successive
    // leading determinants) of at least 1e-8.
    std::int32_t sound = 0;
    while (sound < K && CorrDeterminant(C, 1, sound + 1) / CorrDeterminant(C, 1, sound) >= 1e-8) {
        ++sound;
    }
    NestedR2Result result;
    if (C[0][0] == 0) {
        return result;
    }
    if (dxRed > 0 && sound >= p) {
        result.reduced = 1 - dyRed / dxRed;
    }
    if (dxFull > 0 && sound >= K) {
        result.full = 1 - dyFull / dxFull;
    }
    result.valid = result.reduced && result.full;
    return result;
}

inline void copyRow(const CaseMatrix& cases, std::int32_t r, std::array<float, MaxColumns>& row)
{
    for (std::int32_t c = 0; c < cases.columns; ++c) {
        row[c] = cases.at(r, c);
    }
}

struct Trials {
    std::int32_t numValid = 0;
    std::vector<double> sorted; // positions 0..NumTrials
    NestedR2Result observed;
};

// The observed pass and the trials, the same streams as the engine, then the
// rank placement.
inline Trials runTrials(const CaseMatrix& cases, std::int32_t p, std::int32_t q, std::int32_t numTrials,
                        std::uint64_t seed)
{
    const std::int32_t n = cases.NumComplete;
    SampleMatrix sample(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 1; i <= n; ++i) {
        copyRow(cases, i, sample[i]);
    }
    Trials trials;
    trials.observed = nestedR2(sample, n, p, q);
    std::vector<double> deltas(static_cast<std::size_t>(numTrials) + 1, 0.0);
    for (std::int32_t t = 1; t <= numTrials; ++t) {
        RandomStream random(seed, static_cast<std::uint64_t>(t));
        for (std::int32_t i = 1; i <= n; ++i) {
            copyRow(cases, random.drawCase(n), sample[i]);
        }
        const NestedR2Result r = nestedR2(sample, n, p, q);
        if (r.valid) {
            deltas[++trials.numValid] = *r.full - *r.reduced;
        }
    }
    trials.sorted.assign(static_cast<std::size_t>(numTrials) + 1, 0.0);
    for (std::int32_t i = 1; i <= trials.numValid; ++i) {
        std::int32_t less = 0;
        std::int32_t ties = 0;
        for (std::int32_t k = 1; k <= trials.numValid; ++k) {
            less += deltas[k] < deltas[i] ? 1 : 0;
            ties += (k <= i && deltas[k] == deltas[i]) ? 1 : 0;
        }
        trials.sorted[static_cast<std::size_t>(less + ties)] = deltas[i];
    }
    return trials;
}

} // namespace orvalis::reference
