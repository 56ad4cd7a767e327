// Bootstrap speed: RunBootstrap against the straightforward implementation, in the same run.
//
// Usage: bench_bootstrap [RUNS] [REFERENCE_RUNS] [hierarchical|plan|effect-sizes|coefficients|moderation|dominance]
// Cases: n = 10,000, p = 11, q = 1, 2000 trials (also timed with the
// straightforward per-pair, rank-placement, one-thread implementation of
// tests/ReferenceBootstrap.h); n = 200, p = 3, q = 1, 2000 trials; and
// n = 1,000,000, p = 2, q = 1, 600 trials; and how long a run at n = 10,000
// (p = 11) and at n = 1,000,000 takes to return once asked to stop; and a
// hierarchical run of 3 steps against the pair with the same largest model
// (12 and 24 predictor columns, n = 10,000, 2000 trials), timed in turns.
// Prints medians; with "hierarchical" only the last. "plan": the width plan
// of p = 3, q = 2, N = 50 to 500 by 50, 200 data sets of 1,000 trials, on
// every core and on one. "effect-sizes": a run of n = 10,000 and 1,000,000
// with and without the effect sizes (the robust test's pass over the cases).
// "coefficients": n = 10,000, p = 11, q = 1, 2000 trials with and without the
// coefficients and their bootstrap intervals, without and with the details
// (the BCa limits' jackknife), in turns. "moderation": n = 10,000, a step of
// three predictors and a step of the product of two of them, 2000 trials,
// without and with the simple slopes (each trial's slopes from its sums), in
// turns. "dominance": n = 10,000, 12 units, 2000 trials: the dominance
// analysis (every trial's 4,096 subsets) against the pair of the same full
// model, in turns.
#include "ReferenceBootstrap.h"

#include "analyses/Bootstrap.h"
#include "analyses/Dominance.h"
#include "analyses/Hierarchical.h"
#include "analyses/Planning.h"
#include "data/DataSet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stop_token>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// n cases of 1 + K correlated variables, no missing values.
orvalis::DataSet makeData(std::int32_t n, std::int32_t K)
{
    orvalis::DataSet data(n, K + 2);
    std::mt19937_64 random(99);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (std::int32_t r = 1; r <= n; ++r) {
        float* row = data.rowData(r);
        double y = 0;
        for (std::int32_t c = 2; c <= K + 1; ++c) {
            const double x = 50 + 10 * normal(random);
            row[c] = static_cast<float>(x);
            y += 0.3 * x;
        }
        row[1] = static_cast<float>(y + 10 * normal(random));
    }
    data.setNumVariables(K + 1);
    return data;
}

orvalis::BootstrapRequest makeRequest(std::int32_t p, std::int32_t q, std::int32_t trials)
{
    orvalis::BootstrapRequest request;
    request.DependentVariable = 1;
    for (std::int32_t v = 2; v <= p + 1; ++v) {
        request.PredictorList.push_back(v);
    }
    for (std::int32_t v = p + 2; v <= p + q + 1; ++v) {
        request.AddedList.push_back(v);
    }
    request.NumTrials = trials;
    return request;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median seconds of RunBootstrap with each kernel, the kernels' runs interleaved
// so that the machine's load falls alike on all of them.
std::vector<double> timeEngine(const orvalis::DataSet& data, const orvalis::BootstrapRequest& request, int runs,
                               const std::vector<orvalis::TrialKernel>& kernels)
{
    std::vector<std::vector<double>> times(kernels.size());
    for (int run = 0; run < runs; ++run) {
        for (std::size_t k = 0; k < kernels.size(); ++k) {
            const auto start = Clock::now();
            const auto outcome =
                orvalis::RunBootstrap(request, data, 1234 + static_cast<std::uint64_t>(run), {}, 0, kernels[k]);
            times[k].push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (!outcome.ok()) {
                std::fprintf(stderr, "run failed: %s\n", outcome.refusal().message.c_str());
                std::exit(1);
            }
        }
    }
    std::vector<double> medians;
    for (const auto& kernelTimes : times) {
        medians.push_back(median(kernelTimes));
    }
    return medians;
}

// The kernel RunBootstrap picks, then today's one-trial-at-a-time kernel.
std::vector<orvalis::TrialKernel> bestAndBaseline()
{
    return {orvalis::resolveKernel(orvalis::TrialKernel::Best), orvalis::TrialKernel::OneAtATime};
}

// Seconds from a stop request, made while the trials are under way, to the
// run's return with its Stopped refusal.
double timeStop(const orvalis::DataSet& data, const orvalis::BootstrapRequest& request, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        std::stop_source stop;
        Clock::time_point requested;
        std::atomic<bool> asked{false};
        const orvalis::RunControl control{[&](std::int32_t) {
                                              if (!asked.exchange(true)) {
                                                  requested = Clock::now();
                                                  stop.request_stop();
                                              }
                                          },
                                          stop.get_token()};
        const auto outcome = orvalis::RunBootstrap(request, data, 77 + static_cast<std::uint64_t>(run), control);
        const auto returned = Clock::now();
        if (outcome.ok() || outcome.refusal().reason != orvalis::Refusal::Reason::Stopped) {
            std::fprintf(stderr, "the run was not stopped\n");
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double>(returned - requested).count());
    }
    return median(times);
}

// A sequence of 3 steps of K / 3 columns against the pair of the same largest
// model (the first 2K / 3 columns reduced, the rest added; beyond the pair's
// 12 predictors, the sequence of one step of all K, whose pair has the model
// without predictors as its reduced one), in turns.
void timeSequence(std::int32_t K, int runs)
{
    const orvalis::DataSet data = makeData(10000, K);
    const orvalis::BootstrapRequest pair = makeRequest(2 * K / 3, K / 3, 2000);
    orvalis::HierarchicalRequest sequence;
    sequence.DependentVariable = 1;
    sequence.NumTrials = 2000;
    for (std::int32_t s = 0; s < 3; ++s) {
        std::vector<std::int32_t> step;
        for (std::int32_t v = 2 + s * K / 3; v < 2 + (s + 1) * K / 3; ++v) {
            step.push_back(v);
        }
        sequence.Steps.push_back(step);
    }
    orvalis::HierarchicalRequest whole = sequence;
    whole.Steps = {{}};
    for (const auto& step : sequence.Steps) {
        whole.Steps[0].insert(whole.Steps[0].end(), step.begin(), step.end());
    }
    std::vector<double> pairTimes;
    std::vector<double> sequenceTimes;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        const bool ran =
            K <= 12 ? orvalis::RunBootstrap(pair, data, 1234).ok() : orvalis::RunHierarchical(whole, data, 1234).ok();
        if (!ran) {
            std::exit(1);
        }
        pairTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        if (!orvalis::RunHierarchical(sequence, data, 1234).ok()) {
            std::exit(1);
        }
        sequenceTimes.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    const double one = median(pairTimes);
    const double three = median(sequenceTimes);
    std::printf("n = 10000, %d predictor columns, 2000 trials: pair %.3f s, 3 steps %.3f s (medians of %d), %.2fx\n", K,
                one, three, runs, three / one);
}

void timePlan(int runs)
{
    orvalis::WidthQuestion question;
    question.population = *orvalis::populationFromStructure(3, 2, 0.3, 0.2, 0.05);
    for (std::int32_t n = 50; n <= 500; n += 50) {
        question.sampleSizes.push_back(n);
    }
    question.dataSets = 200;
    question.trials = 1000;
    question.targetWidth = 0.1;
    question.seed = 1;
    for (const unsigned threads : {0u, 1u}) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const auto start = Clock::now();
            const auto plan = orvalis::RunWidthPlan(question, {}, threads);
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (!plan.ok()) {
                std::exit(1);
            }
        }
        std::printf("width plan, p = 3, q = 2, N = 50..500 by 50, 200 data sets x 1000 trials, %s: %.1f s (median "
                    "of %d)\n",
                    threads == 0 ? "every core" : "one thread", median(times), runs);
    }
}

void timeEffectSizes(int runs)
{
    for (const std::int32_t n : {10000, 1000000}) {
        const orvalis::DataSet data = makeData(n, 6);
        orvalis::BootstrapRequest request = makeRequest(3, 2, n > 10000 ? 600 : 2000);
        std::vector<double> without;
        std::vector<double> with;
        for (int run = 0; run < runs; ++run) {
            for (const bool effectSizes : {false, true}) {
                request.EffectSizes = effectSizes
                                          ? std::optional<orvalis::EffectSizeRequest>(orvalis::EffectSizeRequest{})
                                          : std::nullopt;
                const auto start = Clock::now();
                const auto result = orvalis::RunBootstrap(request, data, 5);
                (effectSizes ? with : without).push_back(std::chrono::duration<double>(Clock::now() - start).count());
                if (!result.ok()) {
                    std::exit(1);
                }
            }
        }
        std::printf("n = %d, p = 3, q = 2, %d trials: without effect sizes %.3f s, with %.3f s (medians of %d)\n", n,
                    request.NumTrials, median(without), median(with), runs);
    }
}

void timeCoefficients(int runs)
{
    const orvalis::DataSet data = makeData(10000, 12);
    orvalis::BootstrapRequest request = makeRequest(11, 1, 2000);
    for (const bool details : {false, true}) {
        request.Details = details;
        std::vector<double> without;
        std::vector<double> with;
        for (int run = 0; run < runs; ++run) {
            for (const bool coefficients : {false, true}) {
                request.Coefficients = coefficients;
                const auto start = Clock::now();
                const auto result = orvalis::RunBootstrap(request, data, 5);
                (coefficients ? with : without).push_back(std::chrono::duration<double>(Clock::now() - start).count());
                if (!result.ok()) {
                    std::exit(1);
                }
            }
        }
        std::printf("n = 10000, p = 11, q = 1, 2000 trials%s: without coefficients %.3f s, with %.3f s (%.2f times; "
                    "medians of %d)\n",
                    details ? ", details" : "", median(without), median(with), median(with) / median(without), runs);
    }
}

void timeModeration(int runs)
{
    const orvalis::DataSet data = makeData(10000, 4);
    orvalis::HierarchicalRequest request;
    request.DependentVariable = 1;
    request.Steps = {{2, 3, 4}, {}};
    request.Products = {{}, {{2, 3}}};
    request.Centred = {2, 3};
    request.NumTrials = 2000;
    std::vector<double> without;
    std::vector<double> with;
    for (int run = 0; run < runs; ++run) {
        for (const bool slopes : {false, true}) {
            request.Slopes = slopes ? std::optional<orvalis::SlopesRequest>(orvalis::SlopesRequest{2, 3, {}})
                                    : std::nullopt;
            const auto start = Clock::now();
            const auto result = orvalis::RunHierarchical(request, data, 5);
            (slopes ? with : without).push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (!result.ok()) {
                std::exit(1);
            }
        }
    }
    std::printf("n = 10000, steps x,w,z then x*w, 2000 trials: without simple slopes %.3f s, with %.3f s (%.2f times; "
                "medians of %d)\n",
                median(without), median(with), median(with) / median(without), runs);
}

void timeDominance(int runs)
{
    const orvalis::DataSet data = makeData(10000, 12);
    orvalis::DominanceRequest request;
    request.DependentVariable = 1;
    for (std::int32_t v = 2; v <= 13; ++v) {
        request.Units.push_back(v);
    }
    request.NumTrials = 2000;
    orvalis::BootstrapRequest pair = makeRequest(0, 12, 2000);
    std::vector<double> dominance;
    std::vector<double> alone;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        if (!orvalis::RunDominance(request, data, 5).ok()) {
            std::exit(1);
        }
        dominance.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        if (!orvalis::RunBootstrap(pair, data, 5).ok()) {
            std::exit(1);
        }
        alone.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("n = 10000, 12 units, 2000 trials: dominance analysis %.3f s, the pair of its full model %.3f s "
                "(medians of %d)\n",
                median(dominance), median(alone), runs);
}

} // namespace

int main(int argc, char** argv)
{
    using orvalis::TrialKernel;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int referenceRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    if (argc > 3 && std::string(argv[3]) == "plan") {
        timePlan(runs);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "effect-sizes") {
        timeEffectSizes(runs);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "coefficients") {
        timeCoefficients(runs);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "dominance") {
        timeDominance(runs);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "moderation") {
        timeModeration(runs);
        return 0;
    }
    if (argc > 3 && std::string(argv[3]) == "hierarchical") {
        timeSequence(12, runs);
        timeSequence(24, runs);
        return 0;
    }

    {
        const orvalis::DataSet data = makeData(10000, 12);
        const orvalis::BootstrapRequest request = makeRequest(11, 1, 2000);
        std::vector<TrialKernel> kernels;
        for (const TrialKernel kernel : {TrialKernel::Avx512, TrialKernel::Avx2, TrialKernel::OneAtATime}) {
            if (orvalis::kernelSupported(kernel)) {
                kernels.push_back(kernel);
            }
        }
        const std::vector<double> engine = timeEngine(data, request, runs, kernels);
        const orvalis::CaseMatrix cases = *orvalis::CollectCompleteCases(request, data);
        std::vector<double> times;
        for (int run = 0; run < referenceRuns; ++run) {
            const auto start = Clock::now();
            const auto trials = orvalis::reference::runTrials(cases, 11, 1, 2000, 1234);
            times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (trials.numValid == 0) {
                return 1;
            }
        }
        const double reference = median(times);
        std::printf("n = 10000, p = 11, q = 1, 2000 trials: straightforward %.2f s (median of %d)\n", reference,
                    referenceRuns);
        for (std::size_t k = 0; k < kernels.size(); ++k) {
            std::printf("  RunBootstrap, %s kernel%s: %.3f s (median of %d), %.1fx\n", orvalis::kernelName(kernels[k]),
                        kernels[k] == orvalis::resolveKernel(TrialKernel::Best) ? " (chosen)" : "", engine[k], runs,
                        reference / engine[k]);
        }
    }
    {
        const orvalis::DataSet data = makeData(200, 4);
        const std::vector<double> engine = timeEngine(data, makeRequest(3, 1, 2000), runs, bestAndBaseline());
        std::printf("n = 200, p = 3, q = 1, 2000 trials: RunBootstrap %.4f s, one at a time %.4f s (medians of %d)\n",
                    engine[0], engine[1], runs);
    }
    {
        const orvalis::DataSet data = makeData(1000000, 3);
        const int bigRuns = std::min(runs, 3);
        const std::vector<double> engine = timeEngine(data, makeRequest(2, 1, 600), bigRuns, bestAndBaseline());
        std::printf("n = 1000000, p = 2, q = 1, 600 trials: RunBootstrap %.2f s, one at a time %.2f s (medians of "
                    "%d), %.2fx\n",
                    engine[0], engine[1], bigRuns, engine[1] / engine[0]);
    }
    {
        const orvalis::DataSet data = makeData(10000, 12);
        std::printf("stop at n = 10000, p = 11, q = 1: returns %.1f ms after the request (median of %d)\n",
                    1000 * timeStop(data, makeRequest(11, 1, 100000), runs), runs);
    }
    {
        const orvalis::DataSet data = makeData(1000000, 3);
        std::printf("stop at n = 1000000, p = 2, q = 1: returns %.1f ms after the request (median of %d)\n",
                    1000 * timeStop(data, makeRequest(2, 1, 100000), std::min(runs, 3)), std::min(runs, 3));
    }
    timeSequence(12, runs);
    timeSequence(24, runs);
    return 0;
}
