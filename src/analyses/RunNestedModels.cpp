// RunNestedModels: trials spread over threads, each with its own random stream; the rest in trial order.
#include "analyses/RunNestedModels.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CoefficientDraws.h"
#include "analyses/EffectSizeBlock.h"
#include "analyses/CaseMatrix.h"
#include "analyses/NestedR2.h"
#include "analyses/RandomStream.h"
#include "analyses/RequestCheck.h"
#include "analyses/TrialLanes.h"
#include "common/CheckedMath.h"
#include "common/NumberText.h"
#include "common/ParallelFor.h"
#include "common/RuntimeErrors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvalis {
namespace {

// The fewest trials a worker takes at a time (a kernel's lanes may make it
// more); a stop request is seen between two groups, and inside a long one.
constexpr std::int32_t TrialsPerChunk = 4;

// What ended the trials early, kept with the trial it came from so that the
// earliest one is reported.
struct TrialError {
    std::int32_t trial = -1;
    std::string what;
    bool outOfMemory = false;
};

// Per nested model, per trial: the change, the full model's R^2 and whether the trial is valid for it.
struct TrialOutcomes {
    std::vector<std::vector<double>> delta;
    std::vector<std::vector<double>> full;
    std::vector<std::vector<unsigned char>> valid;
    // With coefficients: coefficientDrawWidth values per trial (trial t at t x width).
    std::vector<std::vector<double>> coefficients;
    // A model's combinations of coefficients: as many values per trial as it has combinations.
    std::vector<std::vector<double>> combinations;
};

Refusal fault(std::string message)
{
    return analysisRefusal(std::move(message), Refusal::Reason::Fault);
}

Refusal outOfMemory(const std::string& what)
{
    return analysisRefusal("There is not enough memory " + what + ".", Refusal::Reason::OutOfMemory);
}

std::int32_t trialsPerChunk(TrialKernel kernel)
{
    return std::max(TrialsPerChunk, trialsSideBySide(kernel));
}

// What the trials compute: each trial's sums of all the case matrix's columns
// (one pass over its sample), from which the R^2 of every nested model is
// read: for each pair of models, the reduced one (predictors 1..p) and the
// full one (1..p+q).
struct TrialPlan {
    const CaseMatrix& cases;
    const std::vector<NestedModel>& models;
    std::int32_t numTrials = 0;
    std::uint64_t seed = 0;
    TrialKernel kernel = TrialKernel::OneAtATime; // resolved, supported
    unsigned threads = 1;                         // asked for; 0: one per core
    std::size_t maxThreads = 1;                   // one per chunk of trials, at least 1
    const RunControl& control;
    bool coefficients = false; // also each model's beta and sr^2 in every valid trial
    const TrialHook* hook = nullptr;
};

// Runs trials 1..plan.numTrials, a few at a time on each worker (trial t is
// index t - 1 of the pool); returns false when a stop request ended them early.
// The failure kept is the one in the earliest trial.
bool runTrials(const TrialPlan& plan, TrialOutcomes& outcomes, TrialError& error)
{
    const CaseMatrix& cases = plan.cases;
    const RunControl& control = plan.control;
    const std::int32_t n = cases.NumComplete;
    const int sideBySide = trialsSideBySide(plan.kernel);
    const PoolShape shape{plan.threads, plan.maxThreads, trialsPerChunk(plan.kernel)};

    // All the memory a worker needs, taken before the first trial.
    std::vector<TrialWorkspace> workspaces;
    try {
        const unsigned workers = poolWorkers(plan.numTrials, shape);
        workspaces.reserve(workers);
        for (unsigned k = 0; k < workers; ++k) {
            workspaces.emplace_back(plan.kernel, n);
        }
    } catch (const std::bad_alloc&) {
        error.trial = 0;
        error.outOfMemory = true;
        return true;
    }
    std::vector<TrialError> failures(workspaces.size());

    // Every model's R^2 from the correlations of the largest one's columns
    // (each correlation is the same whichever model reads it).
    std::int32_t widest = 0;
    for (const NestedModel& model : plan.models) {
        widest = std::max(widest, model.p + model.q);
    }
    auto keep = [&](std::int32_t t, const SampleSums& sums) {
        CorrMatrix C{};
        CorrelationsFromSums(sums, n, widest, C);
        if (plan.hook != nullptr) {
            (*plan.hook)(t, C);
        }
        for (std::size_t m = 0; m < plan.models.size(); ++m) {
            const NestedR2Result r = NestedR2FromCorrelations(C, plan.models[m].p, plan.models[m].q);
            if (r.valid) {
                outcomes.delta[m][static_cast<std::size_t>(t)] = checked::step(*r.full - *r.reduced);
                outcomes.full[m][static_cast<std::size_t>(t)] = *r.full;
                outcomes.valid[m][static_cast<std::size_t>(t)] = 1;
                if (plan.coefficients) {
                    const NestedModel& model = plan.models[m];
                    const auto width =
                        static_cast<std::size_t>(coefficientDrawWidth(model.p, model.q, model.reducedCoefficients));
                    DrawCoefficients(C, model.p, model.q,
                                     &outcomes.coefficients[m][static_cast<std::size_t>(t) * width],
                                     model.reducedCoefficients);
                }
                const NestedModel& model = plan.models[m];
                if (!model.combinations.empty()) {
                    DrawCombinations(
                        C, sums, n, model.p + model.q, model.combinations,
                        &outcomes.combinations[m][static_cast<std::size_t>(t) * model.combinations.size()]);
                }
            }
        }
    };

    const PoolResult ran = parallelFor(plan.numTrials, shape, control, [&](const IndexRange& range) {
        TrialWorkspace& work = workspaces[range.worker];
        const std::int32_t first = range.begin + 1;
        const std::int32_t last = range.end;
        // Groups of as many trials as the kernel computes side by side (one
        // at a time: groups of one).
        for (std::int32_t group = first; group <= last; group += sideBySide) {
            const int count = std::min(sideBySide, last - group + 1);
            work.streams.clear();
            for (std::int32_t t = group; t < group + count; ++t) {
                work.streams.emplace_back(plan.seed, static_cast<std::uint64_t>(t));
            }
            std::int32_t t = group;
            try {
                if (!AccumulateTrialSums(plan.kernel, cases, work, control.stop)) {
                    return RangeEnd::Stopped;
                }
                for (; t < group + count; ++t) {
                    const SampleSums& trialSums = work.sums[static_cast<std::size_t>(t - group)];
                    CheckSums(trialSums, cases.columns);
                    keep(t, trialSums);
                }
            } catch (const RuntimeError& failure) {
                failures[range.worker] = TrialError{t, failure.what(), false};
                return RangeEnd::Failed;
            }
        }
        return RangeEnd::Done;
    });
    if (ran.failed()) {
        error = std::move(failures[ran.failedWorker]);
    }
    return !ran.stopped;
}

std::string pValueFailure(const BootstrapResult& result, const char* what)
{
    return "The p-value of the F test of the added predictors could not be computed (F = " + formatFloat(*result.FValue)
           + ", df1 = " + formatInteger(result.df1) + ", df2 = " + formatInteger(result.df2) + "): " + what;
}

Refusal tooFewCasesForF(std::int32_t df2)
{
    return fault("There are too few complete cases for the F test of the added predictors: df2 = " + formatInteger(df2)
                 + ".");
}

// Why the complete cases give no R^2 for a model of K predictor columns, in the
// order a user would look: the dependent variable, the number of cases, then
// the first predictor column that is constant or a linear combination of the
// ones before it (named by columnNames).
Refusal undefinedObserved(std::int32_t K, const std::vector<std::string>& columnNames, const CaseMatrix& cases)
{
    SampleSums sums;
    AccumulateSums(cases, nullptr, cases.NumComplete, sums);
    CorrMatrix C{};
    CorrelationsFromSums(sums, cases.NumComplete, K, C);
    if (C[0][0] == 0.0) {
        return analysisRefusal("The dependent variable has no variance in the complete cases.");
    }
    if (cases.NumComplete <= K + 1) {
        return analysisRefusal("There are too few complete cases for the model: " + formatInteger(cases.NumComplete)
                               + " complete cases for " + formatInteger(K) + " predictors, and at least "
                               + formatInteger(K + 2) + " are needed.");
    }
    const std::int32_t sound = SoundPredictors(C, K);
    if (sound < K) {
        const std::string& name = columnNames[static_cast<std::size_t>(sound) + 1];
        if (C[static_cast<std::size_t>(sound) + 1][static_cast<std::size_t>(sound) + 1] == 0.0) {
            return analysisRefusal(name + " is constant in the complete cases, so no R^2 that includes it is defined.");
        }
        return analysisRefusal(name
                               + " is a linear combination of the predictors before it in the complete cases"
                                 " (its tolerance is below 1e-8), so no R^2 that includes it is defined.");
    }
    return analysisRefusal("The R^2 of the complete cases is undefined.");
}

// The observed sample, the complete cases themselves: R^2 of both models, the
// change and F into result. Without their R^2 there is nothing to put an
// interval around (a refusal naming why); an exact fit has no F test.
std::optional<Refusal> observedSample(const CaseMatrix& cases, const NestedModel& model,
                                      const std::vector<std::string>& columnNames, BootstrapResult& result)
{
    const std::int32_t n = cases.NumComplete;
    const std::int32_t p = model.p;
    const std::int32_t q = model.q;
    try {
        const NestedR2Result observed = NestedR2(cases, nullptr, n, p, q);
        if (!observed.valid) {
            return undefinedObserved(p + q, columnNames, cases);
        }
        result.ReducedR2 = observed.reduced;
        result.FullR2 = observed.full;
        result.DeltaR2 = checked::step(*observed.full - *observed.reduced);
        result.df1 = q;
        result.df2 = checked::subtract(checked::subtract(checked::subtract(n, p), q), 1);
        const double residual = checked::step(1.0 - *result.FullR2);
        if (residual < DependenceTolerance) {
            return fault("The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.");
        }
        result.FValue =
            checked::toSingle(checked::divide(checked::step(static_cast<double>(result.df2) * *result.DeltaR2),
                                              checked::step(residual * static_cast<double>(result.df1))));
    } catch (const RuntimeError& error) {
        return fault(std::string("A numerical fault stopped the bootstrap in the observed sample: ") + error.what());
    }
    return std::nullopt;
}

// The trials: for each model, every valid trial's change in trial order
// (results[m].DrawTrials, .Draws), and the valid changes sorted at positions
// 1..NumValid of the model's returned vector (0 beyond them, up to NumTrials).
// With coefficients, coefficientDraws[m] receives each valid trial's beta and
// sr^2 in trial order.
Outcome<std::vector<std::vector<double>>> allTrials(const TrialPlan& plan, std::vector<BootstrapResult>& results,
                                                    std::vector<std::vector<double>>& coefficientDraws)
{
    const std::int32_t numTrials = plan.numTrials;
    const std::size_t models = plan.models.size();
    TrialOutcomes outcomes;
    TrialError trialError;
    try {
        outcomes.delta.assign(models, std::vector<double>(static_cast<std::size_t>(numTrials) + 1, 0.0));
        outcomes.full.assign(models, std::vector<double>(static_cast<std::size_t>(numTrials) + 1, 0.0));
        outcomes.valid.assign(models, std::vector<unsigned char>(static_cast<std::size_t>(numTrials) + 1, 0));
        if (plan.coefficients) {
            for (const NestedModel& model : plan.models) {
                const auto width =
                    static_cast<std::size_t>(coefficientDrawWidth(model.p, model.q, model.reducedCoefficients));
                outcomes.coefficients.emplace_back((static_cast<std::size_t>(numTrials) + 1) * width, 0.0);
            }
            coefficientDraws.assign(models, {});
        }
        for (const NestedModel& model : plan.models) {
            outcomes.combinations.emplace_back((static_cast<std::size_t>(numTrials) + 1) * model.combinations.size(),
                                               0.0);
        }
    } catch (const std::bad_alloc&) {
        return outOfMemory("for " + formatInteger(numTrials) + " trials");
    }
    if (!runTrials(plan, outcomes, trialError)) {
        return analysisRefusal("The bootstrap was stopped.", Refusal::Reason::Stopped);
    }
    if (trialError.outOfMemory) {
        return outOfMemory("for the bootstrap samples of " + formatInteger(plan.cases.NumComplete) + " cases");
    }
    if (trialError.trial >= 0) {
        return fault("A numerical fault stopped the bootstrap in trial " + formatInteger(trialError.trial) + ": "
                     + trialError.what);
    }

    std::vector<std::vector<double>> allSorted(models);
    for (std::size_t m = 0; m < models; ++m) {
        const std::vector<double>& delta = outcomes.delta[m];
        const std::vector<unsigned char>& valid = outcomes.valid[m];
        BootstrapResult& result = results[m];
        // Valid changes in trial order, then sorted; equal changes keep trial order.
        std::vector<double>& sorted = allSorted[m];
        sorted.reserve(static_cast<std::size_t>(numTrials) + 1);
        sorted.push_back(0.0); // position 0
        for (std::int32_t t = 1; t <= numTrials; ++t) {
            if (valid[static_cast<std::size_t>(t)] != 0) {
                sorted.push_back(delta[static_cast<std::size_t>(t)]);
            }
        }
        result.NumValid = static_cast<std::int32_t>(sorted.size()) - 1;
        std::stable_sort(sorted.begin() + 1, sorted.end());
        sorted.resize(static_cast<std::size_t>(numTrials) + 1, 0.0); // positions past NumValid hold 0
        result.DrawTrials.reserve(static_cast<std::size_t>(result.NumValid));
        result.Draws.reserve(static_cast<std::size_t>(result.NumValid));
        result.DrawFullR2.reserve(static_cast<std::size_t>(result.NumValid));
        for (std::int32_t t = 1; t <= numTrials; ++t) {
            if (valid[static_cast<std::size_t>(t)] != 0) {
                result.DrawTrials.push_back(t);
                result.Draws.push_back(delta[static_cast<std::size_t>(t)]);
                result.DrawFullR2.push_back(outcomes.full[m][static_cast<std::size_t>(t)]);
            }
        }
        if (plan.coefficients) {
            const NestedModel& model = plan.models[m];
            const auto width =
                static_cast<std::size_t>(coefficientDrawWidth(model.p, model.q, model.reducedCoefficients));
            const std::vector<double>& all = outcomes.coefficients[m];
            std::vector<double>& kept = coefficientDraws[m];
            kept.reserve(static_cast<std::size_t>(result.NumValid) * width);
            for (const std::int32_t t : result.DrawTrials) {
                const auto first = all.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(t) * width);
                kept.insert(kept.end(), first, first + static_cast<std::ptrdiff_t>(width));
            }
            std::vector<double>().swap(outcomes.coefficients[m]);
        }
        const std::size_t combinations = plan.models[m].combinations.size();
        if (combinations > 0) {
            std::vector<double> kept;
            kept.reserve(static_cast<std::size_t>(result.NumValid) * combinations);
            const std::vector<double>& all = outcomes.combinations[m];
            for (const std::int32_t t : result.DrawTrials) {
                const auto first =
                    all.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(t) * combinations);
                kept.insert(kept.end(), first, first + static_cast<std::ptrdiff_t>(combinations));
            }
            result.CombinationIntervals = PercentileIntervals(kept, combinations, result.request.Level);
        }
    }
    return allSorted;
}

// The F test of the added predictors on the observed sample, into result.
std::optional<Refusal> fTest(BootstrapResult& result)
{
    if (!result.FValue) {
        return std::nullopt;
    }
    if (result.df2 < 1) {
        return tooFewCasesForF(result.df2);
    }
    try {
        const FTestDecision decision = decideFTest(*result.FValue, result.df1, result.df2, result.request.Level);
        result.PValue = decision.PValue;
        result.ModifiedLowerIsZero = decision.ModifiedLowerIsZero;
    } catch (const std::exception& error) {
        return fault(pValueFailure(result, error.what()));
    }
    return std::nullopt;
}

// The percentile positions and the traditional and modified intervals, from
// the sorted valid changes (after the F test, which the modified one follows).
std::optional<Refusal> limits(const std::vector<double>& sorted, BootstrapResult& result)
{
    const PercentilePositions positions = percentilePositions(result.NumValid, result.request.Level);
    result.Positions = positions;
    // The traditional limits, rounded to single precision; none without a valid trial.
    std::optional<float> lower;
    std::optional<float> upper;
    if (result.NumValid > 0) {
        try {
            lower = checked::toSingle(sorted[static_cast<std::size_t>(positions.lower)]);
            upper = checked::toSingle(sorted[static_cast<std::size_t>(positions.upper)]);
        } catch (const RuntimeError& error) {
            return fault(std::string("A numerical fault stopped the bootstrap: ") + error.what());
        }
    }
    result.setPercentileIntervals(lower, upper);
    return std::nullopt;
}

} // namespace

std::optional<Refusal> RunNestedModels(const CaseMatrix& cases, const std::vector<NestedModel>& models,
                                       const std::vector<std::string>& columnNames, const RunSettings& settings,
                                       std::vector<BootstrapResult>& results)
{
    if (!kernelSupported(settings.kernel)) {
        return fault(std::string("This processor cannot run the ") + kernelName(settings.kernel) + " trial kernel.");
    }
    const TrialKernel kernel = resolveKernel(settings.kernel);
    if (settings.numTrials < 1) {
        return analysisRefusal("The number of bootstrap trials must be at least 1.");
    }
    for (std::size_t m = 0; m < models.size(); ++m) {
        if (const std::optional<Refusal> refused = observedSample(cases, models[m], columnNames, results[m])) {
            return refused;
        }
    }

    const auto maxThreads = static_cast<std::size_t>(std::max(1, settings.numTrials / trialsPerChunk(kernel)));
    const bool coefficients =
        std::any_of(results.begin(), results.end(), [](const BootstrapResult& r) { return r.request.Coefficients; });
    const TrialPlan plan{cases,      models,           settings.numTrials, settings.seed,     kernel, settings.threads,
                         maxThreads, settings.control, coefficients,       settings.trialHook};
    std::vector<std::vector<double>> coefficientDraws;
    Outcome<std::vector<std::vector<double>>> sorted = allTrials(plan, results, coefficientDraws);
    if (!sorted.ok()) {
        return sorted.refusal();
    }

    for (std::size_t m = 0; m < models.size(); ++m) {
        BootstrapResult& result = results[m];
        if (const std::optional<Refusal> refused = fTest(result)) {
            return refused;
        }
        if (const std::optional<Refusal> refused = limits((*sorted)[m], result)) {
            return refused;
        }
        // With coefficients, one jackknife for the change and every coefficient.
        std::optional<CoefficientJackknife> jackknife;
        if (settings.details && result.request.Coefficients) {
            try {
                jackknife = JackknifeWithCoefficients(cases, models[m].p, models[m].q, models[m].reducedCoefficients);
            } catch (const std::bad_alloc&) {
                return outOfMemory("for the jackknife of " + formatInteger(cases.NumComplete) + " cases");
            }
        }
        if (settings.details) {
            ComputedDetails computed = ComputeBootstrapDetails(result, cases, (*sorted)[m], models[m].p, models[m].q,
                                                               jackknife ? &jackknife->change : nullptr);
            result.Details = computed.details;
            result.Intervals.push_back(computed.bca);
        }
        if (result.request.EffectSizes) {
            try {
                ComputeEffectSizes(result, cases, models[m].p, models[m].q);
            } catch (const std::bad_alloc&) {
                return outOfMemory("for the robust F test of " + formatInteger(cases.NumComplete) + " cases");
            }
        }
        if (result.request.Coefficients) {
            try {
                const std::int32_t p = models[m].p;
                const std::int32_t q = models[m].q;
                result.Coefficients = ModelCoefficients{ComputeCoefficients(cases, p, result.request.Level),
                                                        ComputeCoefficients(cases, p + q, result.request.Level)};
                AddCoefficientIntervals(*result.Coefficients, coefficientDraws[m], p, q, result.request.Level,
                                        jackknife ? jackknife->values : std::vector<std::optional<double>>{},
                                        models[m].reducedCoefficients);
            } catch (const std::bad_alloc&) {
                return outOfMemory("for the coefficients of " + formatInteger(cases.NumComplete) + " cases");
            }
        }
    }
    if (settings.control.progress) {
        settings.control.progress(settings.numTrials);
    }
    return std::nullopt;
}

FTestDecision decideFTest(float FValue, std::int32_t df1, std::int32_t df2, ConfidenceLevel level)
{
    FTestDecision decision;
    decision.PValue = fUpperTail(FValue, df1, df2);
    decision.ModifiedLowerIsZero = !(decision.PValue < alphaOf(level));
    return decision;
}

PercentilePositions percentilePositions(std::int32_t numValid, ConfidenceLevel level)
{
    const double tail = (1.0 - static_cast<double>(levelValue(level))) / 2.0;
    // nearbyint rounds halves to even in the default rounding mode.
    const auto m = static_cast<std::int32_t>(std::nearbyint(tail * static_cast<double>(numValid)));
    return {m + 1, numValid - m};
}

} // namespace orvalis
