// RunBootstrap: trials spread over threads, each with its own random stream; the rest in trial order.
#include "analyses/Bootstrap.h"

#include "analyses/CompleteCases.h"
#include "analyses/NestedR2.h"
#include "analyses/RandomStream.h"
#include "common/CheckedMath.h"
#include "common/NumberText.h"
#include "common/RuntimeErrors.h"
#include "stats/modGeneral.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace orvalis {
namespace {

// Trials a worker takes at a time.
constexpr std::int32_t TrialsPerChunk = 4;
// The least time between two progress reports.
constexpr auto ProgressInterval = std::chrono::milliseconds(30);

// A failure raised while the run is under way, kept with the trial it came
// from so that the earliest one is reported.
struct TrialError {
    std::int32_t trial = -1;
    std::string what;
};

struct TrialOutcomes {
    std::vector<double> delta;
    std::vector<unsigned char> valid;
};

void runTrials(const CaseMatrix& cases, std::int32_t p, std::int32_t q, std::int32_t numTrials, std::uint64_t seed,
               const ProgressHook& progress, unsigned threadCount, TrialOutcomes& outcomes, TrialError& error)
{
    const std::int32_t n = cases.NumComplete;
    std::atomic<std::int32_t> nextTrial{1};
    std::atomic<std::int32_t> finished{0};
    std::atomic<bool> stop{false};
    std::mutex errorMutex;

    auto worker = [&](bool reports) {
        // All the memory a worker needs, taken before its first trial.
        std::vector<std::int32_t> rows(static_cast<std::size_t>(n));
        auto lastReport = std::chrono::steady_clock::now();
        while (!stop.load(std::memory_order_relaxed)) {
            const std::int32_t first = nextTrial.fetch_add(TrialsPerChunk, std::memory_order_relaxed);
            if (first > numTrials) {
                break;
            }
            const std::int32_t last = std::min(numTrials, first + TrialsPerChunk - 1);
            for (std::int32_t t = first; t <= last; ++t) {
                try {
                    RandomStream random(seed, static_cast<std::uint64_t>(t));
                    for (std::int32_t i = 0; i < n; ++i) {
                        rows[static_cast<std::size_t>(i)] = random.drawCase(n);
                    }
                    const NestedR2Result r = NestedR2(cases, rows.data(), n, p, q);
                    if (r.valid) {
                        outcomes.delta[static_cast<std::size_t>(t)] = checked::step(r.full - r.reduced);
                        outcomes.valid[static_cast<std::size_t>(t)] = 1;
                    }
                } catch (const RuntimeError& failure) {
                    const std::lock_guard lock(errorMutex);
                    if (error.trial < 0 || t < error.trial) {
                        error.trial = t;
                        error.what = failure.what();
                    }
                    stop.store(true, std::memory_order_relaxed);
                    return;
                }
            }
            const std::int32_t done =
                finished.fetch_add(last - first + 1, std::memory_order_relaxed) + (last - first + 1);
            if (reports && progress) {
                const auto now = std::chrono::steady_clock::now();
                if (now - lastReport >= ProgressInterval) {
                    lastReport = now;
                    progress(done);
                }
            }
        }
    };

    std::vector<std::jthread> helpers;
    helpers.reserve(threadCount > 0 ? threadCount - 1 : 0);
    for (unsigned k = 1; k < threadCount; ++k) {
        helpers.emplace_back(worker, false);
    }
    worker(true);
    for (std::jthread& helper : helpers) {
        helper.join();
    }
}

std::string pValueFailure(const BootstrapResult& result, const char* what)
{
    return "The p-value of the F test of the added predictors could not be computed (F = " + formatFloat(result.FValue)
           + ", df1 = " + formatInteger(result.df1) + ", df2 = " + formatInteger(result.df2) + "): " + what;
}

} // namespace

FTestDecision decideFTest(float FValue, std::int32_t df1, std::int32_t df2, float confidenceLevel)
{
    const double alpha = confidenceLevel == 0.90f ? 0.1 : confidenceLevel == 0.95f ? 0.05 : 0.01;
    FTestDecision decision;
    if (df1 < 5) {
        const float critical = confidenceLevel == 0.90f   ? modGeneral::FCritical10(df1, df2)
                               : confidenceLevel == 0.95f ? modGeneral::FCritical05(df1, df2)
                                                          : modGeneral::FCritical01(df1, df2);
        decision.PValue = FValue > critical ? 0.0001 : 0.2;
        decision.ModifiedLowerIsZero = roundHalfEven(decision.PValue, 3) > alpha;
    } else {
        const float pValue = modGeneral::FProb(FValue, df1, df2);
        decision.PValue = pValue;
        decision.PValueIsSingle = true;
        decision.ModifiedLowerIsZero = static_cast<double>(roundHalfEven(pValue, 3)) > alpha;
    }
    return decision;
}

PercentilePositions percentilePositions(std::int32_t numValid, float confidenceLevel)
{
    const double tail = (1.0 - static_cast<double>(confidenceLevel)) / 2.0;
    // nearbyint rounds halves to even in the default rounding mode.
    const auto m = static_cast<std::int32_t>(std::nearbyint(tail * static_cast<double>(numValid)));
    return {m + 1, numValid - m};
}

BootstrapOutcome RunBootstrap(const BootstrapRequest& request, const DataSet& dataSet, std::uint64_t seed,
                              const ProgressHook& progress, unsigned threads)
{
    CompleteCasesOutcome collected;
    try {
        collected = CollectCompleteCases(request, dataSet);
    } catch (const RuntimeError& error) {
        return BootstrapFailure{std::string("A variable of the request is not in the data: ") + error.what()};
    }
    if (const auto* refusal = std::get_if<std::string>(&collected)) {
        return *refusal;
    }
    const float level = request.ConfidenceLevel;
    if (level != 0.90f && level != 0.95f && level != 0.99f) {
        return BootstrapFailure{"The confidence level must be 90, 95 or 99%."};
    }
    if (request.NumTrials < 1) {
        return BootstrapFailure{"The number of bootstrap trials must be at least 1."};
    }

    const CaseMatrix& cases = std::get<CaseMatrix>(collected);
    const std::int32_t n = cases.NumComplete;
    const std::int32_t p = request.NumPredictors();
    const std::int32_t q = request.NumAdded();
    const std::int32_t numTrials = request.NumTrials;

    BootstrapResult result;
    result.request = request;

    // The observed pass: the complete cases themselves.
    try {
        const NestedR2Result observed = NestedR2(cases, nullptr, n, p, q);
        if (observed.valid) {
            result.ReducedR2 = observed.reduced;
            result.FullR2 = observed.full;
            result.DeltaR2 = checked::step(observed.full - observed.reduced);
            result.df1 = q;
            result.df2 = checked::subtract(checked::subtract(checked::subtract(n, p), q), 1);
            const double residual = checked::step(1.0 - result.FullR2);
            if (residual == 0.0) {
                return BootstrapFailure{
                    "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined."};
            }
            result.FValue =
                checked::toSingle(checked::divide(checked::step(static_cast<double>(result.df2) * result.DeltaR2),
                                                  checked::step(residual * static_cast<double>(result.df1))));
        }
    } catch (const RuntimeError& error) {
        return BootstrapFailure{std::string("A numerical fault stopped the bootstrap in the observed sample: ")
                                + error.what()};
    }

    // The trials.
    TrialOutcomes outcomes;
    TrialError trialError;
    try {
        outcomes.delta.assign(static_cast<std::size_t>(numTrials) + 1, 0.0);
        outcomes.valid.assign(static_cast<std::size_t>(numTrials) + 1, 0);
    } catch (const std::bad_alloc&) {
        return BootstrapFailure{"There is not enough memory for " + formatInteger(numTrials) + " trials."};
    }
    unsigned threadCount = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    threadCount = std::min<unsigned>(threadCount, static_cast<unsigned>(std::max(1, numTrials / TrialsPerChunk)));
    runTrials(cases, p, q, numTrials, seed, progress, threadCount, outcomes, trialError);
    if (trialError.trial >= 0) {
        return BootstrapFailure{"A numerical fault stopped the bootstrap in trial " + formatInteger(trialError.trial)
                                + ": " + trialError.what};
    }

    // Valid changes in trial order, then sorted; equal changes keep trial order.
    std::vector<double> sorted;
    sorted.reserve(static_cast<std::size_t>(numTrials) + 1);
    sorted.push_back(0.0); // position 0
    for (std::int32_t t = 1; t <= numTrials; ++t) {
        if (outcomes.valid[static_cast<std::size_t>(t)] != 0) {
            sorted.push_back(outcomes.delta[static_cast<std::size_t>(t)]);
        }
    }
    result.NumValid = static_cast<std::int32_t>(sorted.size()) - 1;
    std::stable_sort(sorted.begin() + 1, sorted.end());
    sorted.resize(static_cast<std::size_t>(numTrials) + 1, 0.0); // positions past NumValid hold 0

    const PercentilePositions positions = percentilePositions(result.NumValid, level);
    try {
        result.TraditionalLower = checked::toSingle(sorted[static_cast<std::size_t>(positions.lower)]);
        result.TraditionalUpper = checked::toSingle(sorted[static_cast<std::size_t>(positions.upper)]);
    } catch (const RuntimeError& error) {
        return BootstrapFailure{std::string("A numerical fault stopped the bootstrap: ") + error.what()};
    }

    // The F test of the added predictors on the observed sample.
    if (result.fDefined()) {
        if (result.df1 < 5 && result.df2 < 0) {
            return BootstrapFailure{"There are too few complete cases for the F test of the added predictors: df2 = "
                                    + formatInteger(result.df2) + "."};
        }
        try {
            const FTestDecision decision = decideFTest(result.FValue, result.df1, result.df2, level);
            result.PValue = decision.PValue;
            result.PValueIsSingle = decision.PValueIsSingle;
            result.ModifiedLowerIsZero = decision.ModifiedLowerIsZero;
        } catch (const RuntimeError& error) {
            if (result.df2 <= 0) {
                return BootstrapFailure{"There are too few complete cases for the F test of the added "
                                        "predictors: df2 = "
                                        + formatInteger(result.df2) + "."};
            }
            return BootstrapFailure{pValueFailure(result, error.what())};
        }
    }

    if (progress) {
        progress(numTrials);
    }
    return result;
}

} // namespace orvalis
