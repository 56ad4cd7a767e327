// RunNestedModels: one bootstrap of several pairs of nested models on the same case matrix, every pair from the
// same resamples.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/NestedR2.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

struct CaseMatrix;

// A pair of nested models of a case matrix: the reduced one has the predictor
// columns 1..p, the full one 1..p+q.
struct NestedModel {
    std::int32_t p = 0;
    std::int32_t q = 0;
    // With coefficients, also the bootstrap intervals of the reduced model's
    // (a model sequence shows each step's full model only).
    bool reducedCoefficients = true;
    // Linear combinations of the full model's raw coefficients B_1..B_p+q
    // (each p + q weights) whose percentile intervals over the valid trials
    // the run also gives (BootstrapResult::CombinationIntervals).
    std::vector<std::vector<double>> combinations;
};

// Called with each trial's number and the correlations of its resample (the
// largest model's columns), from the trial's worker: it may write only what
// belongs to that trial.
using TrialHook = std::function<void(std::int32_t trial, const CorrMatrix& C)>;

struct RunSettings {
    std::uint64_t seed = 0;
    std::int32_t numTrials = 0;
    bool details = false;
    const RunControl& control;
    unsigned threads = 0;
    TrialKernel kernel = TrialKernel::Best;
    const TrialHook* trialHook = nullptr; // more to read from each trial (a dominance analysis's subsets)
};

// The bootstrap of every model pair at once: each trial's resample is summed
// once, and each pair's R^2 change is read from those sums, so every pair's
// changes come from the same resamples (trial t draws from its stream (seed,
// t), as RunBootstrap's do). results[m] (its request, names and counts set by
// the caller) receives model m's observed R^2, F test, valid trials, limits
// and, with details, the details and BCa limits, exactly as RunBootstrap
// computes them for that pair. columnNames[c] names column c in a refusal
// ("Var 4", "Var 5 (Species: virginica)"). Returns the first refusal, in the
// order RunBootstrap gives them; may throw std::bad_alloc or RuntimeError.
std::optional<Refusal> RunNestedModels(const CaseMatrix& cases, const std::vector<NestedModel>& models,
                                       const std::vector<std::string>& columnNames, const RunSettings& settings,
                                       std::vector<BootstrapResult>& results);

} // namespace orvalis
