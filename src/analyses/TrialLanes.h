// Several bootstrap trials at once, one trial per vector lane.
#pragma once

#include "analyses/NestedR2.h"
#include "analyses/RandomStream.h"

#include <cstdint>
#include <stop_token>
#include <vector>

namespace orvalis {

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

// What one worker computes its trials in, taken once before its first trial:
// room for the streams of one group of trials side by side, their sums, and
// (one at a time) the rows of one sample. Throws std::bad_alloc.
struct TrialWorkspace {
    TrialWorkspace(TrialKernel kernel, std::int32_t cases);

    std::vector<RandomStream> streams; // the group's trials, filled by the caller (at most trialsSideBySide)
    std::vector<SampleSums> sums;      // sums[k] for streams[k]
    std::vector<std::int32_t> rows;    // one sample's rows, for OneAtATime
};

// The sums of the trials whose streams work.streams holds (1 to
// trialsSideBySide(kernel) of them), every kernel through this one entry:
// trial k's sample is n = cases.NumComplete rows, each drawn as
// streams[k].drawCase(n), in that order; its sums of all the case matrix's
// columns go to work.sums[k], so the R^2 of any model nested in them can be
// read from one pass. The streams advance as those draws do. Returns false,
// with the sums unset, when stop was requested before the side-by-side sums
// were complete. kernel must be supported. May leave a sum that overflowed
// unchecked (CheckSums).
bool AccumulateTrialSums(TrialKernel kernel, const CaseMatrix& cases, TrialWorkspace& work,
                         const std::stop_token& stop);

} // namespace orvalis
