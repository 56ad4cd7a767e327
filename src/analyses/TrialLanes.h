// Several bootstrap trials at once, one trial per vector lane.
#pragma once

#include "analyses/NestedR2.h"

#include <cstdint>
#include <stop_token>

namespace orvalis {

class RandomStream;

// Which kernel computes the trials' sums. Every kernel gives each trial the
// same sums, bit for bit: each lane adds its rows in row order, and a product
// of two single-precision values is exact in double, so a fused multiply-add
// rounds like the separate multiply and add.
enum class TrialKernel {
    Best,       // the fastest one this processor runs
    OneAtATime, // one trial after another, vectorised across the sums (baseline x86-64)
    Avx2,       // 4 trials side by side, AVX2 and FMA
    Avx512,     // 8 trials side by side, AVX-512
};

const char* kernelName(TrialKernel kernel);

// Whether this build has the kernel and this processor runs it (Best always).
bool kernelSupported(TrialKernel kernel);

// The kernel Best stands for on this processor (AVX-512, else AVX2, else one
// at a time); other kernels unchanged.
TrialKernel resolveKernel(TrialKernel kernel);

// How many trials the kernel computes side by side (1 for OneAtATime).
int trialsSideBySide(TrialKernel kernel);

// The sums of count trials (1..trialsSideBySide(kernel)) computed side by
// side: trial k's sample is n = cases.NumComplete rows, each drawn as
// streams[k].drawCase(n), in that order; its sums go to sums[k]. The streams
// advance as those draws do. Returns false, with sums unset, when stop was
// requested before the sums were complete. kernel must be supported and not
// OneAtATime or Best. Does not check the sums for overflow (checkSums).
bool AccumulateTrialSums(TrialKernel kernel, const CaseMatrix& cases, RandomStream* streams, int count,
                         SampleSums* sums, const std::stop_token& stop);

} // namespace orvalis
