// RunBootstrap: positions, random streams, agreement with the straightforward run, threads, F test, failures, report
// text.
#include "ReferenceBootstrap.h"
#include "TestData.h"

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapDetails.h"
#include "analyses/BootstrapReport.h"
#include "analyses/CompleteCases.h"
#include "analyses/Histogram.h"
#include "analyses/RandomStream.h"
#include "data/DataImport.h"
#include "data/DataSet.h"
#include "common/NumberText.h"
#include "common/RuntimeErrors.h"
#include "stats/modGeneral.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <mutex>
#include <numeric>
#include <random>
#include <set>
#include <stop_token>

#include <sys/resource.h>
#include <unistd.h>

namespace orvalis {
namespace {

using test::tableOf;

TEST(Bootstrap, PercentilePositions)
{
    struct Case {
        std::int32_t valid;
        ConfidenceLevel level;
        std::int32_t lower, upper;
    };
    const Case cases[] = {
        {600, ConfidenceLevel::P95, 16, 585},
        {1000, ConfidenceLevel::P90, 51, 950},
        {600, ConfidenceLevel::P99, 4, 597},
        {580, ConfidenceLevel::P95, 16, 565}, // 14.5000035: the float level decides, m = 15
        {100, ConfidenceLevel::P95, 4, 97},
        {300, ConfidenceLevel::P99, 2, 299}, // 1.4999986: m = 1
        {100, ConfidenceLevel::P99, 1, 100},
        {1, ConfidenceLevel::P95, 1, 1},
        {0, ConfidenceLevel::P95, 1, 0},
        {2000, ConfidenceLevel::P95, 51, 1950},
        {20, ConfidenceLevel::P90, 2, 19}, // 20 * 0.05000001 = 1.0000002: m = 1
    };
    for (const Case& c : cases) {
        const PercentilePositions positions = percentilePositions(c.valid, c.level);
        EXPECT_EQ(positions.lower, c.lower) << c.valid << " at " << percentOf(c.level);
        EXPECT_EQ(positions.upper, c.upper) << c.valid << " at " << percentOf(c.level);
    }
}

TEST(RandomStream, EveryDrawLandsOnACase)
{
    const double belowOne = std::nextafter(1.0, 0.0);
    for (const std::int32_t n :
         {1, 2, 3, 7, 10, 1000, 10000, 1000000, 16777217, std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_EQ(RandomStream::caseFor(0.0, n), 0) << n; // the one draw that is taken again
        EXPECT_EQ(RandomStream::caseFor(0x1.0p-53, n), 1) << n;
        EXPECT_EQ(RandomStream::caseFor(belowOne, n), n) << n;
        EXPECT_EQ(RandomStream::caseFor(0.5, n), (static_cast<std::int64_t>(n) + 1) / 2) << n;
    }
    RandomStream random(42, 7);
    std::set<std::int32_t> seen;
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t r = random.drawCase(5);
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 5);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST(RandomStream, StreamsAreKeyedBySeedAndTrial)
{
    RandomStream a(1, 5);
    RandomStream b(1, 5);
    RandomStream c(1, 6);
    RandomStream d(2, 5);
    bool differsByTrial = false;
    bool differsBySeed = false;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t x = a.next();
        EXPECT_EQ(x, b.next());
        differsByTrial = differsByTrial || x != c.next();
        differsBySeed = differsBySeed || x != d.next();
    }
    EXPECT_TRUE(differsByTrial);
    EXPECT_TRUE(differsBySeed);
    // xoshiro256** itself: the first outputs from the state {1, 2, 3, 4},
    // worked out with a separate Python transcription of the published algorithm.
    RandomStream known = RandomStream::fromState(1, 2, 3, 4);
    EXPECT_EQ(known.next(), 11520u);
    EXPECT_EQ(known.next(), 0u);
    EXPECT_EQ(known.next(), 1509978240u);
    EXPECT_EQ(known.next(), 1215971899390074240u);
    RandomStream e(0, 0);
    for (int i = 0; i < 1000; ++i) {
        const double u = e.uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

DataSet studyData()
{
    ImportOutcome outcome = ImportDataFile(std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", Delimiter::Space);
    EXPECT_TRUE(outcome.ok());
    return std::move(*outcome);
}

BootstrapRequest studyRequest(std::vector<std::int32_t> predictors, std::vector<std::int32_t> added,
                              std::int32_t trials, ConfidenceLevel level)
{
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.PredictorList = std::move(predictors);
    request.AddedList = std::move(added);
    request.NumTrials = trials;
    request.Level = level;
    return request;
}

// A run's limit of an interval kind as the single-precision value the report
// prints; NaN when the run has no such interval or limit.
float limitOf(const BootstrapResult& result, IntervalKind kind, bool lower)
{
    const Interval* interval = result.interval(kind);
    const std::optional<double> limit = interval == nullptr ? std::nullopt : lower ? interval->lower : interval->upper;
    return limit ? static_cast<float>(*limit) : std::numeric_limits<float>::quiet_NaN();
}

BootstrapResult resultOf(const Outcome<BootstrapResult>& outcome)
{
    if (!outcome.ok()) {
        ADD_FAILURE() << outcome.refusal().message;
        return {};
    }
    return *outcome;
}

TEST(Bootstrap, MatchesTheStraightforwardRunBitForBit)
{
    const DataSet study = studyData();
    // 13 variables with large offsets (so that the order of the additions
    // shows in the sums), an odd number of cases.
    std::mt19937 random(41);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<std::vector<float>> rows(161, std::vector<float>(13));
    for (auto& row : rows) {
        for (std::size_t v = 0; v < row.size(); ++v) {
            row[v] = 500.0f * static_cast<float>(v) + 10.0f * normal(random) + (v == 0 ? row[1] + row[12] : 0.0f);
        }
    }
    const DataSet wide = tableOf(rows);
    struct Case {
        const DataSet& data;
        std::vector<std::int32_t> predictors, added;
        std::int32_t trials;
        ConfidenceLevel level;
        std::uint64_t seed;
    };
    // Trial counts that are not all multiples of the kernels' lanes.
    const Case cases[] = {
        {study, {2, 3}, {4}, 600, ConfidenceLevel::P95, 1},
        {study, {}, {2}, 1001, ConfidenceLevel::P90, 99},
        {study, {2, 3, 4, 5}, {6}, 303, ConfidenceLevel::P99, 12345},
        {study, {2}, {3, 4, 5, 6}, 205, ConfidenceLevel::P95, 7},
        {wide, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13}, 45, ConfidenceLevel::P95, 3},
        {wide, {2, 3, 4, 5, 6}, {7, 8, 9}, 19, ConfidenceLevel::P90, 4},
    };
    for (const Case& c : cases) {
        const DataSet& data = c.data;
        const BootstrapRequest request = studyRequest(c.predictors, c.added, c.trials, c.level);
        const CaseMatrix cases = *CollectCompleteCases(request, data);
        const reference::Trials expected =
            reference::runTrials(cases, request.NumPredictors(), request.NumAdded(), c.trials, c.seed);
        const PercentilePositions positions = percentilePositions(expected.numValid, c.level);
        std::vector<double> expectedDraws(expected.sorted.begin() + 1, expected.sorted.begin() + 1 + expected.numValid);
        for (const TrialKernel kernel : {TrialKernel::OneAtATime, TrialKernel::Avx2, TrialKernel::Avx512}) {
            if (!kernelSupported(kernel)) {
                continue;
            }
            for (unsigned threads : {1u, 2u, 3u}) {
                const BootstrapResult result = resultOf(RunBootstrap(request, data, c.seed, {}, threads, kernel));
                std::vector<double> draws = result.Draws;
                std::sort(draws.begin(), draws.end());
                EXPECT_EQ(draws, expectedDraws) << kernelName(kernel) << ", " << threads << " threads";
                EXPECT_EQ(result.NumValid, expected.numValid);
                EXPECT_EQ(limitOf(result, IntervalKind::Traditional, true),
                          static_cast<float>(expected.sorted[positions.lower]));
                EXPECT_EQ(limitOf(result, IntervalKind::Traditional, false),
                          static_cast<float>(expected.sorted[positions.upper]));
                if (expected.observed.valid) {
                    EXPECT_EQ(result.ReducedR2, expected.observed.reduced);
                    EXPECT_EQ(result.FullR2, expected.observed.full);
                    EXPECT_EQ(result.DeltaR2, *expected.observed.full - *expected.observed.reduced);
                } else {
                    EXPECT_FALSE(result.FullR2);
                    EXPECT_FALSE(result.FValue);
                }
            }
        }
    }
}

TEST(Bootstrap, ObservedValuesAndFTest)
{
    const DataSet data = studyData();
    const BootstrapRequest request = studyRequest({2, 3}, {4}, 600, ConfidenceLevel::P95);
    const BootstrapResult result = resultOf(RunBootstrap(request, data, 5));
    // 235 complete cases (five of the 240 lack variable 1, 2, 3 or 4); the R^2
    // values agree with an ordinary least-squares fit done independently.
    ASSERT_TRUE(result.ReducedR2 && result.FullR2 && result.FValue);
    EXPECT_NEAR(*result.ReducedR2, 0.5593222596464484, 1e-12);
    EXPECT_NEAR(*result.FullR2, 0.5689280749282855, 1e-12);
    EXPECT_EQ(result.df1, 1);
    EXPECT_EQ(result.df2, 231);
    const double expectedF = 231.0 * (*result.FullR2 - *result.ReducedR2) / ((1.0 - *result.FullR2) * 1.0);
    EXPECT_EQ(result.FValue, static_cast<float>(expectedF));
    EXPECT_GT(*result.FValue, 3.8820295197477286); // R: qf(0.05, 1, 231, lower.tail = FALSE)
    EXPECT_LT(result.PValue, 0.05);
    EXPECT_FALSE(result.ModifiedLowerIsZero);
    EXPECT_LE(limitOf(result, IntervalKind::Traditional, true), limitOf(result, IntervalKind::Traditional, false));
    // Significant: the modified interval is the traditional one.
    EXPECT_EQ(result.interval(IntervalKind::Modified)->lower, result.interval(IntervalKind::Traditional)->lower);
}

// The F test is decided on the exact p-value, for every number of added
// predictors: an F a hair below the level's critical quantile is not
// significant, a hair above it is. The quantiles are R's (R 4.2.2):
// qf(alpha, df1, df2, lower.tail = FALSE).
TEST(Bootstrap, FTestDecisions)
{
    struct Case {
        ConfidenceLevel level;
        std::int32_t df1;
        std::int32_t df2;
        double quantile;
    };
    const Case cases[] = {
        {ConfidenceLevel::P90, 1, 231, 2.7273753735057569}, {ConfidenceLevel::P90, 2, 30, 2.4887160176974756},
        {ConfidenceLevel::P90, 5, 33, 2.030026841981361},   {ConfidenceLevel::P90, 8, 120, 1.7219592426736197},
        {ConfidenceLevel::P95, 1, 231, 3.8820295197477286}, {ConfidenceLevel::P95, 2, 30, 3.3158295010135221},
        {ConfidenceLevel::P95, 5, 33, 2.5026350074153658},  {ConfidenceLevel::P95, 8, 120, 2.0164256130641833},
        {ConfidenceLevel::P99, 1, 231, 6.7458613972600956}, {ConfidenceLevel::P99, 2, 30, 5.3903458631778864},
        {ConfidenceLevel::P99, 5, 33, 3.6304581115586689},  {ConfidenceLevel::P99, 8, 120, 2.6629056295017142},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(percentOf(c.level)) + "% df1 = " + std::to_string(c.df1));
        const FTestDecision below = decideFTest(static_cast<float>(c.quantile * (1 - 1e-4)), c.df1, c.df2, c.level);
        EXPECT_GT(below.PValue, alphaOf(c.level));
        EXPECT_TRUE(below.ModifiedLowerIsZero);
        const FTestDecision above = decideFTest(static_cast<float>(c.quantile * (1 + 1e-4)), c.df1, c.df2, c.level);
        EXPECT_LT(above.PValue, alphaOf(c.level));
        EXPECT_FALSE(above.ModifiedLowerIsZero);
    }
    // The run that said "not significant (p-value used: 0.04972784, from
    // FProb)" although its exact p is 0.04997: R's pf(2.503, 5, 33,
    // lower.tail = FALSE) on the float 2.503 is 0.049973354466224529.
    const FTestDecision p04997 = decideFTest(2.503f, 5, 33, ConfidenceLevel::P95);
    EXPECT_NEAR(p04997.PValue, 0.049973354466224529, 1e-12);
    EXPECT_FALSE(p04997.ModifiedLowerIsZero);
    EXPECT_THROW(decideFTest(1.0f, 2, 0, ConfidenceLevel::P95), std::domain_error);
}

TEST(Bootstrap, SameSeedSameResultForAnyThreadCountAndProgressEndsAtNumTrials)
{
    const DataSet data = studyData();
    const BootstrapRequest request = studyRequest({2, 3, 5}, {4, 6}, 2000, ConfidenceLevel::P95);
    std::mutex mutex;
    std::vector<std::int32_t> reports;
    const ProgressHook hook = [&](std::int32_t t) {
        const std::lock_guard lock(mutex);
        reports.push_back(t);
    };
    const std::string one = FormatBootstrapReport(resultOf(RunBootstrap(request, data, 77, {hook, {}}, 1)));
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 2000);
    EXPECT_EQ(FormatBootstrapReport(resultOf(RunBootstrap(request, data, 77, {}, 2))), one);
    EXPECT_EQ(FormatBootstrapReport(resultOf(RunBootstrap(request, data, 77, {}, 4))), one);
    EXPECT_NE(FormatBootstrapReport(resultOf(RunBootstrap(request, data, 78, {}, 2))), one);
}

TEST(Bootstrap, RefusalsAndFailures)
{
    const DataSet data = tableOf({{1, 1, 2}, {2, 2, 1}, {3, 3, 3}, {5, 5, 1}, {4, 4, 2}});
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.NumTrials = 10;
    EXPECT_EQ(RunBootstrap(request, data, 1).refusal().message,
              "There is no added predictor: the full model needs at least one.");

    // The dependent variable copied as the added predictor: R^2 = 1 exactly.
    request.AddedList = {2};
    const auto exact = RunBootstrap(request, data, 1);
    ASSERT_FALSE(exact.ok());
    EXPECT_EQ(exact.refusal().message,
              "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.");
    EXPECT_EQ(exact.refusal().title, "Analysis Error");
}

// A stop request ends the run between a few trials, with nothing left running:
// asked before the first trial, or from the progress report while the workers
// are busy (a run of a million trials that would otherwise take seconds).
TEST(Bootstrap, StopsWhenAsked)
{
    const DataSet data = studyData();
    const BootstrapRequest request = studyRequest({2, 3, 5}, {4, 6}, 1000000, ConfidenceLevel::P95);
    for (const unsigned threads : {1u, 2u}) {
        std::stop_source early;
        early.request_stop();
        std::int32_t reported = -1;
        const auto before =
            RunBootstrap(request, data, 5, {[&](std::int32_t t) { reported = t; }, early.get_token()}, threads);
        ASSERT_FALSE(before.ok());
        EXPECT_EQ(before.refusal().reason, Refusal::Reason::Stopped);
        EXPECT_EQ(reported, -1) << "a stopped run reports no progress";

        std::stop_source during;
        std::int32_t lastReport = 0;
        const RunControl control{[&](std::int32_t t) {
                                     lastReport = t;
                                     during.request_stop();
                                 },
                                 during.get_token()};
        const auto stopped = RunBootstrap(request, data, 5, control, threads);
        ASSERT_FALSE(stopped.ok());
        EXPECT_EQ(stopped.refusal().reason, Refusal::Reason::Stopped);
        EXPECT_EQ(stopped.refusal().message, "The bootstrap was stopped.");
        EXPECT_GT(lastReport, 0);
        EXPECT_LT(lastReport, request.NumTrials);
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// The bytes of address space the process holds now.
std::uint64_t addressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Complete cases that do not fit in memory are a refusal, not an exception
// escaping to the caller (the window's end-of-run handler).
TEST(Bootstrap, TooLittleMemoryForTheCasesIsARefusal)
{
    // 224 MB of zeros, every case complete: far more than the allocator could
    // still hold from earlier tests inside the limit below.
    DataSet data(4000000, 14);
    data.setNumVariables(13);
    const BootstrapRequest request = studyRequest({2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13}, 10, ConfidenceLevel::P95);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = addressSpaceInUse() + (std::uint64_t{8} << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const Outcome<BootstrapResult> outcome = RunBootstrap(request, data, 1, {}, 1);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.refusal().reason, Refusal::Reason::OutOfMemory);
    EXPECT_EQ(outcome.refusal().message, "There is not enough memory to collect the complete cases.");
}
#endif

// Rows of integers (exact in single precision, so a sum of two columns is
// exactly dependent): y, x1, x2, x1 + x2.
DataSet dependentData()
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> value(0, 99);
    std::vector<std::vector<float>> rows;
    for (int r = 0; r < 40; ++r) {
        const float x1 = static_cast<float>(value(random));
        const float x2 = static_cast<float>(value(random));
        rows.push_back({static_cast<float>(value(random)), x1, x2, x1 + x2});
    }
    return tableOf(rows);
}

// The Longley data (US macroeconomic series, 1947-1962): Employed, then GNP
// deflator, GNP, Unemployed, Armed Forces, Population, Year. Real data whose
// predictors are nearly collinear (variance inflations in the thousands).
DataSet longleyData()
{
    return tableOf({
        {60.323f, 83.0f, 234.289f, 235.6f, 159.0f, 107.608f, 1947},
        {61.122f, 88.5f, 259.426f, 232.5f, 145.6f, 108.632f, 1948},
        {60.171f, 88.2f, 258.054f, 368.2f, 161.6f, 109.773f, 1949},
        {61.187f, 89.5f, 284.599f, 335.1f, 165.0f, 110.929f, 1950},
        {63.221f, 96.2f, 328.975f, 209.9f, 309.9f, 112.075f, 1951},
        {63.639f, 98.1f, 346.999f, 193.2f, 359.4f, 113.270f, 1952},
        {64.989f, 99.0f, 365.385f, 187.0f, 354.7f, 115.094f, 1953},
        {63.761f, 100.0f, 363.112f, 357.8f, 335.0f, 116.219f, 1954},
        {66.019f, 101.2f, 397.469f, 290.4f, 304.8f, 117.388f, 1955},
        {67.857f, 104.6f, 419.180f, 282.2f, 285.7f, 118.734f, 1956},
        {68.169f, 108.4f, 442.769f, 293.6f, 279.8f, 120.445f, 1957},
        {66.513f, 110.8f, 444.546f, 468.1f, 263.7f, 121.950f, 1958},
        {68.655f, 112.6f, 482.704f, 381.3f, 255.2f, 123.366f, 1959},
        {69.564f, 114.2f, 502.601f, 393.1f, 251.4f, 125.368f, 1960},
        {69.331f, 115.7f, 518.173f, 480.6f, 257.2f, 127.852f, 1961},
        {70.551f, 116.9f, 554.894f, 400.7f, 282.7f, 130.081f, 1962},
    });
}

BootstrapRequest modelRequest(std::int32_t dv, std::vector<std::int32_t> predictors, std::vector<std::int32_t> added)
{
    BootstrapRequest request = studyRequest(std::move(predictors), std::move(added), 200, ConfidenceLevel::P95);
    request.DependentVariable = dv;
    return request;
}

// Requests that make no sound model are refused, never turned into numbers;
// sound but collinear real data keep theirs.
TEST(Bootstrap, ModelsWithoutMeaningAreCaught)
{
    const DataSet dependent = dependentData();
    const DataSet longley = longleyData();
    // A text column reads as category codes 1..k: no amounts to regress.
    const DataSet species = test::dataOf("y,x,species\n1,2,a\n2,1,b\n3,5,a\n4,3,c\n5,4,b\n", ',');
    const std::string fitsExactly =
        "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.";
    struct Case {
        const char* what;
        const DataSet& data;
        BootstrapRequest request;
        std::string refusal; // empty: a report
    };
    const Case cases[] = {
        {"dv as predictor", dependent, modelRequest(1, {1, 2}, {3}),
         "Var 1 is used in two roles: dependent variable and predictor."},
        {"dv as added predictor", dependent, modelRequest(2, {3}, {2}),
         "Var 2 is used in two roles: dependent variable and added predictor."},
        {"predictor also added", dependent, modelRequest(1, {2, 3}, {3}),
         "Var 3 is used in two roles: predictor and added predictor."},
        {"predictor listed twice", dependent, modelRequest(1, {2, 2}, {3}),
         "Var 2 is listed twice among the predictors."},
        {"added predictor listed twice", dependent, modelRequest(1, {}, {4, 4}),
         "Var 4 is listed twice among the added predictors."},
        {"dv = x1 + x2", dependent, modelRequest(4, {2}, {3}), fitsExactly},
        {"added x1 + x2 on x1, x2", dependent, modelRequest(1, {2, 3}, {4}),
         "Var 4 is a linear combination of the predictors before it in the complete cases (its tolerance is below "
         "1e-8), so no R^2 that includes it is defined."},
        {"text variable added", species, modelRequest(1, {2}, {3}),
         "Var 3 (species) is a text variable with 3 categories; the bootstrap takes numeric variables only."},
        {"text variable as dv", species, modelRequest(3, {}, {1}),
         "Var 3 (species) is a text variable with 3 categories; the bootstrap takes numeric variables only."},
        {"longley", longley, modelRequest(1, {2, 3, 4, 5, 6}, {7}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome<BootstrapResult> outcome = RunBootstrap(c.request, c.data, 21);
        if (!c.refusal.empty()) {
            ASSERT_FALSE(outcome.ok());
            EXPECT_EQ(outcome.refusal().message, c.refusal);
            continue;
        }
        ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
        // R's lm on these data: Multiple R-squared 0.9955 (single-precision
        // input moves only the later digits).
        ASSERT_TRUE(outcome->FullR2.has_value());
        EXPECT_NEAR(*outcome->FullR2, 0.99548, 1e-4);
        EXPECT_EQ(outcome->NumValid, c.request.NumTrials);
        EXPECT_GE(limitOf(*outcome, IntervalKind::Traditional, true), 0.0f);
    }
}

// Degenerate data are refused with what is wrong, never reported as a run:
// R^2 is undefined for them (R's lm drops the aliased column instead).
TEST(Bootstrap, DegenerateDataAreRefused)
{
    struct Case {
        const char* what;
        std::vector<std::vector<float>> rows;
        BootstrapRequest request;
        std::string refusal;
    };
    const Case cases[] = {
        {"a constant predictor",
         {{1, 2, 7}, {2, 4, 7}, {4, 3, 7}, {3, 7, 7}, {5, 5, 7}, {6, 1, 7}},
         modelRequest(1, {2}, {3}),
         "Var 3 is constant in the complete cases, so no R^2 that includes it is defined."},
        {"a constant dependent variable",
         {{5, 2, 1}, {5, 4, 2}, {5, 3, 4}, {5, 7, 3}, {5, 5, 5}},
         modelRequest(1, {2}, {3}),
         "The dependent variable has no variance in the complete cases."},
        {"2 complete cases for 2 predictors",
         {{1, 2, 3}, {2, 5, 1}},
         modelRequest(1, {2}, {3}),
         "There are too few complete cases for the model: 2 complete cases for 2 predictors, and at least 4 are "
         "needed."},
        {"the added predictor a copy of the predictor",
         {{1, 2, 2}, {2, 4, 4}, {4, 3, 3}, {3, 7, 7}, {5, 5, 5}, {6, 1, 1}},
         modelRequest(1, {2}, {3}),
         "Var 3 is a linear combination of the predictors before it in the complete cases (its tolerance is below "
         "1e-8), so no R^2 that includes it is defined."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome<BootstrapResult> outcome = RunBootstrap(c.request, tableOf(c.rows), 3);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().message, c.refusal);
        EXPECT_EQ(outcome.refusal().reason, Refusal::Reason::Refused);
    }

    // A resample that leaves a predictor constant is not a valid trial: a
    // dummy that is 1 in case 3 only is valid exactly when the resample draws
    // case 3 and another case. Counted here from the trials' own streams.
    std::vector<std::vector<float>> rows;
    for (int r = 1; r <= 10; ++r) {
        rows.push_back({static_cast<float>((r * 7) % 11), r == 3 ? 1.0f : 0.0f});
    }
    BootstrapRequest request = modelRequest(1, {}, {2});
    request.NumTrials = 300;
    const BootstrapResult result = resultOf(RunBootstrap(request, tableOf(rows), 11));
    std::int32_t expected = 0;
    for (std::int32_t t = 1; t <= request.NumTrials; ++t) {
        RandomStream stream(11, static_cast<std::uint64_t>(t));
        bool three = false;
        bool other = false;
        for (int i = 0; i < 10; ++i) {
            const std::int32_t drawn = stream.drawCase(10);
            (drawn == 3 ? three : other) = true;
        }
        expected += three && other ? 1 : 0;
    }
    EXPECT_EQ(result.NumValid, expected);
    EXPECT_LT(result.NumValid, request.NumTrials);
}

// The bins of the distribution window: every value in exactly one bin, 10 to
// 60 bins, sensible edges for degenerate sets.
TEST(Histogram, BinsForEverySet)
{
    struct Case {
        const char* name;
        std::vector<double> values;
        std::size_t bins;
        double lower;
        double width;
    };
    std::vector<double> even;
    for (int k = 0; k < 1000; ++k) {
        even.push_back(k / 999.0);
    }
    const Case cases[] = {
        {"evenly spread: Freedman-Diaconis gives ten tenths", even, 10, 0.0, 0.1},
        {"all equal: ten bins around the value", {0.25, 0.25, 0.25}, 10, 0.25 - 4.5 * 0.00025, 0.00025},
        {"one value", {0.0}, 10, -4.5e-6, 1e-6},
        {"two values: no interquartile spread beyond them", {0.0, 1.0}, 10, 0.0, 0.1},
        {"most values equal, two far out: as many bins as allowed", {-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, 60, -1.0, 0.05},
        {"extreme range", {-1e300, 1e300, 0.0, 5.0}, 10, -1e300, 2e299},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Histogram h = MakeHistogram(c.values);
        EXPECT_EQ(h.counts.size(), c.bins);
        EXPECT_NEAR(h.lower, c.lower, std::fabs(c.lower) * 1e-12 + 1e-15);
        EXPECT_NEAR(h.width, c.width, c.width * 1e-9);
        EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0), static_cast<int>(c.values.size()));
    }
    EXPECT_EQ(MakeHistogram({0.25, 0.25}).counts[4], 2); // the value's bin is the middle one
    EXPECT_EQ(MakeHistogram(even).counts.back(), 100);   // the top edge is in the last bin
    EXPECT_TRUE(MakeHistogram({}).counts.empty());
}

// ---- report text ------------------------------------------------------------

BootstrapResult reportResult()
{
    BootstrapResult r;
    r.request.DependentVariable = 1;
    r.request.PredictorList = {2, 3};
    r.request.AddedList = {4};
    r.request.NumTrials = 600;
    r.request.Level = ConfidenceLevel::P95;
    r.NumValid = 598;
    r.ReducedR2 = 0.1234567;
    r.FullR2 = 0.25;
    r.DeltaR2 = 0.1265433;
    r.FValue = 12.34567f;
    r.df1 = 1;
    r.df2 = 231;
    r.PValue = 0.000612;
    r.setPercentileIntervals(0.0123456f, 0.2468f);
    return r;
}

TEST(BootstrapReport, NormalRun)
{
    EXPECT_EQ(FormatBootstrapReport(reportResult()), "Results of Bootstrap Trials\r\n"
                                                     "-------------------------------------\r\n"
                                                     "Dependent variable: Var1\r\n"
                                                     "Predictors in reduced model: Var2 Var3 \r\n"
                                                     "Predictors added in full model: Var4 \r\n"
                                                     "Number of attempted bootstrap trials: 600\r\n"
                                                     "Number of valid bootstrap trials: 598\r\n"
                                                     "Confidence interval: 95%\r\n"
                                                     "\r\n"
                                                     "Reduced Model R^2: 0.12346\r\n"
                                                     "Full Model R^2: 0.25\r\n"
                                                     "Change in R^2: 0.12654\r\n"
                                                     "\r\n"
                                                     "Traditional Bootstrap Lower Limit: 0.01235\r\n"
                                                     "Traditional Bootstrap Upper Limit: 0.2468\r\n"
                                                     "\r\n"
                                                     "Modified Bootstrap Lower Limit: 0.01235\r\n"
                                                     "Modified Bootstrap Upper Limit: 0.2468\r\n"
                                                     "F-value: 12.346(df1 = 1, df2 = 231)\r\n"
                                                     "-------------------------------------\r\n"
                                                     "Number of attempted bootstrap trials = 600\r\n"
                                                     "Number of valid robust D bootstrap trials = 598\r\n"
                                                     "\r\n\r\n\r\n\r\n\r\n");
}

// With names from the file: the variable lines name each variable beside its
// number (one left unnamed), and nothing else changes.
TEST(BootstrapReport, NormalRunWithNames)
{
    BootstrapResult r = reportResult();
    r.VariableNames = {"", "Fertility", "Agriculture", "", "Education", "Catholic"};
    EXPECT_EQ(FormatBootstrapReport(r), "Results of Bootstrap Trials\r\n"
                                        "-------------------------------------\r\n"
                                        "Dependent variable: Var1 (Fertility)\r\n"
                                        "Predictors in reduced model: Var2 (Agriculture) Var3 \r\n"
                                        "Predictors added in full model: Var4 (Education) \r\n"
                                        "Number of attempted bootstrap trials: 600\r\n"
                                        "Number of valid bootstrap trials: 598\r\n"
                                        "Confidence interval: 95%\r\n"
                                        "\r\n"
                                        "Reduced Model R^2: 0.12346\r\n"
                                        "Full Model R^2: 0.25\r\n"
                                        "Change in R^2: 0.12654\r\n"
                                        "\r\n"
                                        "Traditional Bootstrap Lower Limit: 0.01235\r\n"
                                        "Traditional Bootstrap Upper Limit: 0.2468\r\n"
                                        "\r\n"
                                        "Modified Bootstrap Lower Limit: 0.01235\r\n"
                                        "Modified Bootstrap Upper Limit: 0.2468\r\n"
                                        "F-value: 12.346(df1 = 1, df2 = 231)\r\n"
                                        "-------------------------------------\r\n"
                                        "Number of attempted bootstrap trials = 600\r\n"
                                        "Number of valid robust D bootstrap trials = 598\r\n"
                                        "\r\n\r\n\r\n\r\n\r\n");
}

// The details block: a normal run, a modified lower limit of 0 from FProb,
// and an invalid observed sample.
TEST(BootstrapReport, DetailsBlocks)
{
    BootstrapResult normal = reportResult();
    normal.Seed = 12345;
    normal.CasesRead = 240;
    normal.CompleteCases = 235;
    normal.Positions = {16, 583};
    normal.Details = BootstrapDetails{0.000612, 0.1276, 0.05234, 0.05123, -0.00417, std::nullopt, std::nullopt};
    normal.Intervals.push_back({IntervalKind::BCa, ConfidenceLevel::P95, 0.01102, 0.24911});
    BootstrapResult zero = normal;
    zero.request.Level = ConfidenceLevel::P90;
    zero.df1 = 5;
    zero.df2 = 40;
    zero.FValue = 1.5f;
    zero.PValue = 0.2146;
    zero.ModifiedLowerIsZero = true;
    zero.Details->ExactP = 0.2146;
    BootstrapResult tiny = normal; // a huge F: the p-value is below what a double holds
    tiny.FValue = 1e30f;
    tiny.PValue = 0.0;
    tiny.Details->ExactP = 0.0;
    BootstrapResult invalid = normal;
    invalid.ReducedR2.reset();
    invalid.FullR2.reset();
    invalid.DeltaR2.reset();
    invalid.FValue.reset();
    invalid.df1 = 0;
    invalid.df2 = 0;
    invalid.NumValid = 0;
    invalid.Positions = {16, -15};
    invalid.Details = BootstrapDetails{};
    const std::string head = "Details of Bootstrap Trials\r\n-------------------------------------\r\n"
                             "Seed: 12345\r\nData file: /data/study\\n.txt\r\nComplete cases used: 235 of 240\r\n";
    const std::string tail = "-------------------------------------\r\n\r\n\r\n\r\n";
    EXPECT_EQ(FormatBootstrapDetails(normal, "/data/study\n.txt"),
              head
                  + "F test of the added predictors: F = 12.346, df1 = 1, df2 = 231, p = 0.00061: significant at the "
                    "5% level\r\n"
                    "Modified lower limit: the traditional limit, since the F test is significant\r\n"
                    "Bootstrap mean of the change in R^2: 0.1276\r\n"
                    "Bootstrap standard error of the change in R^2: 0.05234\r\n"
                    "Percentile positions of the traditional limits: 16 and 583 of 598 valid trials\r\n"
                    "BCa limits (95%): 0.01102 and 0.24911 (bias correction z0 = 0.0512, acceleration a = -0.0042)\r\n"
                  + tail);
    EXPECT_EQ(FormatBootstrapDetails(zero, "/data/study\n.txt"),
              head
                  + "F test of the added predictors: F = 1.5, df1 = 5, df2 = 40, p = 0.2146: not significant at the "
                    "10% level\r\n"
                    "Modified lower limit: 0, since the F test is not significant\r\n"
                    "Bootstrap mean of the change in R^2: 0.1276\r\n"
                    "Bootstrap standard error of the change in R^2: 0.05234\r\n"
                    "Percentile positions of the traditional limits: 16 and 583 of 598 valid trials\r\n"
                    "BCa limits (90%): 0.01102 and 0.24911 (bias correction z0 = 0.0512, acceleration a = -0.0042)\r\n"
                  + tail);
    const std::string tinyText = FormatBootstrapDetails(tiny, "/data/study\n.txt");
    EXPECT_NE(tinyText.find("F = 1E+30, df1 = 1, df2 = 231, p < 1E-300: significant at the 5% level\r\n"),
              std::string::npos)
        << tinyText;
    EXPECT_EQ(FormatBootstrapDetails(invalid, "/data/study\n.txt"),
              head
                  + "F test of the added predictors: undefined (the observed sample is not valid)\r\n"
                    "Modified lower limit: the traditional limit (no F test)\r\n"
                    "Bootstrap mean of the change in R^2: undefined\r\n"
                    "Bootstrap standard error of the change in R^2: undefined\r\n"
                    "Percentile positions of the traditional limits: 16 and -15 of 0 valid trials\r\n"
                    "BCa limits (95%): undefined\r\n"
                  + tail);
}

// The standard normal distribution function, and its inverse by bisection:
// independent of the program's Boost.Math calls.
double phi(double z)
{
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double phiInverse(double p)
{
    double lo = -40;
    double hi = 40;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        (phi(mid) < p ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The details of a real run against a straightforward computation: the
// jackknife refits every leave-one-out sample from scratch (the program
// subtracts one case's terms from the sums), and the ranks are interpolated
// from the program's own draws.
// R^2 of y (column 0) on the predictors in `columns` (at most three), refitted
// from scratch in long double without case `without`: centred sums of the
// cases kept, normal equations solved by Gauss.
long double refitR2(const std::vector<std::vector<float>>& rows, std::size_t without,
                    const std::vector<std::size_t>& predictors)
{
    const std::size_t k = predictors.size();
    std::array<std::size_t, 4> column{};
    for (std::size_t a = 0; a < k; ++a) {
        column[a + 1] = predictors[a];
    }
    std::array<long double, 4> mean{};
    long double count = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i != without) {
            for (std::size_t a = 0; a <= k; ++a) {
                mean[a] += rows[i][column[a]];
            }
            count += 1;
        }
    }
    for (long double& m : mean) {
        m /= count;
    }
    std::array<std::array<long double, 4>, 4> S{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i != without) {
            for (std::size_t a = 0; a <= k; ++a) {
                for (std::size_t b = 0; b <= k; ++b) {
                    S[a][b] += (rows[i][column[a]] - mean[a]) * (rows[i][column[b]] - mean[b]);
                }
            }
        }
    }
    // Solve S[1..k][1..k] beta = S[1..k][0]; R^2 = beta . S[1..k][0] / S[0][0].
    std::array<std::array<long double, 5>, 4> A{};
    for (std::size_t a = 0; a < k; ++a) {
        for (std::size_t b = 0; b < k; ++b) {
            A[a][b] = S[a + 1][b + 1];
        }
        A[a][k] = S[a + 1][0];
    }
    for (std::size_t c = 0; c < k; ++c) {
        for (std::size_t r = c + 1; r < k; ++r) {
            const long double f = A[r][c] / A[c][c];
            for (std::size_t j = c; j <= k; ++j) {
                A[r][j] -= f * A[c][j];
            }
        }
    }
    std::array<long double, 4> beta{};
    for (std::size_t c = k; c-- > 0;) {
        long double v = A[c][k];
        for (std::size_t j = c + 1; j < k; ++j) {
            v -= A[c][j] * beta[j];
        }
        beta[c] = v / A[c][c];
    }
    long double explained = 0;
    for (std::size_t a = 0; a < k; ++a) {
        explained += beta[a] * S[a + 1][0];
    }
    return explained / S[0][0];
}

// A large offset costs no digits: 200 cases of offset + N(0, 1) in single
// precision (as a file holds them), against least squares refitted in long
// double on the same values. Before the sums were shifted, an offset of 1e6
// got the third digit of R^2 wrong. (At 1e7 itself the values round to whole
// numbers and some land on 9999999, the missing-value code: 1.5e7 instead.)
TEST(Bootstrap, OffsetsCostNoDigits)
{
    for (const float offset : {0.0f, 1e3f, 1e4f, 1e5f, 1e6f, 4e6f, 1.5e7f}) {
        SCOPED_TRACE(offset);
        std::mt19937 random(200);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        std::vector<std::vector<float>> rows;
        for (int i = 0; i < 200; ++i) {
            const float x1 = normal(random);
            const float x2 = normal(random);
            const float y = 0.5f * x1 + 0.3f * x2 + normal(random);
            rows.push_back({offset + y, offset + x1, offset + x2});
        }
        BootstrapRequest request = modelRequest(1, {2}, {3});
        request.NumTrials = 50;
        const BootstrapResult result = resultOf(RunBootstrap(request, tableOf(rows), 6));
        const long double reduced = refitR2(rows, rows.size(), {1});
        const long double full = refitR2(rows, rows.size(), {1, 2});
        ASSERT_TRUE(result.ReducedR2 && result.FullR2 && result.FValue);
        EXPECT_NEAR(*result.ReducedR2, static_cast<double>(reduced), 1e-11);
        EXPECT_NEAR(*result.FullR2, static_cast<double>(full), 1e-11);
        const auto F = static_cast<float>(197.0L * (full - reduced) / (1.0L - full));
        EXPECT_NEAR(*result.FValue, F, 1e-5f * F);
    }
}

// The jackknife's acceleration keeps its digits when one case dominates a
// column (a predictor value of 3e9 among values near 50), against refits in
// long double; and when every leave-one-out change is the same, the
// acceleration is 0/0 and the BCa limits are undefined, not rounding noise.
TEST(Bootstrap, TheJackknifeKeepsEveryDigit)
{
    std::mt19937 random(30);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<std::vector<float>> rows;
    for (int i = 0; i < 30; ++i) {
        const float x1 = 10.0f + 2.0f * normal(random);
        const float x2 = i == 17 ? 3e9f : 50.0f + 5.0f * normal(random);
        const float y = 0.5f * x1 + (i == 17 ? 0.0f : 0.1f * (x2 - 50.0f)) + normal(random);
        rows.push_back({y, x1, x2});
    }
    BootstrapRequest request = modelRequest(1, {2}, {3});
    request.NumTrials = 1000;
    request.Details = true;
    const BootstrapResult result = resultOf(RunBootstrap(request, tableOf(rows), 4));
    ASSERT_TRUE(result.Details && result.Details->Acceleration);
    long double thetaBar = 0;
    std::vector<long double> theta;
    for (std::size_t out = 0; out < rows.size(); ++out) {
        theta.push_back(refitR2(rows, out, {1, 2}) - refitR2(rows, out, {1}));
        thetaBar += theta.back() / rows.size();
    }
    long double l2 = 0;
    long double l3 = 0;
    for (const long double t : theta) {
        const long double l = (rows.size() - 1) * (thetaBar - t);
        l2 += l * l;
        l3 += l * l * l;
    }
    const auto a = static_cast<double>(l3 / (6 * std::pow(l2, 1.5L)));
    EXPECT_NEAR(*result.Details->Acceleration, a, 1e-9 * std::fabs(a));
    // The observed R^2 too: refitted over all cases.
    EXPECT_NEAR(*result.FullR2, static_cast<double>(refitR2(rows, rows.size(), {1, 2})), 1e-12);

    // Four points that a symmetry of R^2 maps onto one another, (x, y) ->
    // (-x, -y) and (y, x): every leave-one-out sample has the same R^2.
    const std::vector<std::vector<float>> symmetric = {{1, 2}, {-1, -2}, {2, 1}, {-2, -1}};
    BootstrapRequest equal = modelRequest(1, {}, {2});
    equal.NumTrials = 400;
    equal.Details = true;
    const DataSet square = tableOf(symmetric);
    BootstrapResult same = resultOf(RunBootstrap(equal, square, 5));
    // The observed change (0.64) is the least any resample gives; with draws
    // on both sides of it the bias correction is finite, and only the
    // acceleration is in question.
    const std::vector<double> draws = {0.0, 0.3, 0.5, 0.8, 0.9, 1.0};
    same.NumValid = 5;
    const ComputedDetails computed = ComputeBootstrapDetails(same, *CollectCompleteCases(equal, square), draws,
                                                             equal.NumPredictors(), equal.NumAdded());
    ASSERT_NEAR(*same.DeltaR2, 0.64, 1e-12);
    EXPECT_FALSE(computed.details.Acceleration.has_value());
    EXPECT_FALSE(computed.bca.lower.has_value() || computed.bca.upper.has_value());

    // Four cases and two added predictors: every leave-one-out sample of three
    // cases fits exactly (R^2 = 1), so every change is the same and the
    // acceleration is 0/0. Leaving out the first case leaves predictors that
    // are nearly dependent (tolerance about 1e-5), whose R^2 carries about
    // 1e-11 of rounding: rounding, not an acceleration (it came out as
    // 0.0962, 1/(6 sqrt 3), one change apart from three, with BCa limits printed).
    const std::vector<std::vector<float>> exact = {{9, 4, 5}, {6, 1, 1}, {9, 2, 2}, {4, 3, 3.01f}};
    BootstrapRequest fits = modelRequest(1, {}, {2, 3});
    fits.NumTrials = 600;
    fits.Details = true;
    const DataSet four = tableOf(exact);
    BootstrapResult exactly = resultOf(RunBootstrap(fits, four, 5));
    ASSERT_TRUE(exactly.DeltaR2.has_value());
    const std::vector<double> around = {0.0, *exactly.DeltaR2 - 0.01, *exactly.DeltaR2 + 0.001, 1.0, 1.0, 1.0};
    exactly.NumValid = 5;
    const ComputedDetails rounding =
        ComputeBootstrapDetails(exactly, *CollectCompleteCases(fits, four), around, 0, 2);
    EXPECT_FALSE(rounding.details.Acceleration.has_value()) << *rounding.details.Acceleration;
    EXPECT_FALSE(rounding.bca.lower.has_value() || rounding.bca.upper.has_value());
}

TEST(Bootstrap, DetailsAgreeWithAStraightforwardComputation)
{
    const DataSet data = studyData();
    BootstrapRequest request = studyRequest({2, 3}, {4, 5}, 400, ConfidenceLevel::P90);
    request.Details = true;
    const BootstrapResult result = resultOf(RunBootstrap(request, data, 8));
    ASSERT_TRUE(result.Details.has_value());
    const BootstrapDetails& details = *result.Details;
    ASSERT_EQ(result.Draws.size(), static_cast<std::size_t>(result.NumValid));
    ASSERT_EQ(result.DrawTrials.size(), result.Draws.size());
    EXPECT_TRUE(std::is_sorted(result.DrawTrials.begin(), result.DrawTrials.end()));

    double sum = 0;
    for (const double d : result.Draws) {
        sum += d;
    }
    const double mean = sum / result.NumValid;
    double squares = 0;
    for (const double d : result.Draws) {
        squares += (d - mean) * (d - mean);
    }
    EXPECT_NEAR(*details.Mean, mean, 1e-15);
    EXPECT_NEAR(*details.StandardError, std::sqrt(squares / (result.NumValid - 1)), 1e-15);

    const CaseMatrix cases = *CollectCompleteCases(request, data);
    const std::int32_t n = cases.NumComplete;
    std::vector<double> leftOut;
    for (std::int32_t out = 1; out <= n; ++out) {
        reference::SampleMatrix sample(1);
        for (std::int32_t r = 1; r <= n; ++r) {
            if (r != out) {
                sample.emplace_back();
                reference::copyRow(cases, r, sample.back());
            }
        }
        const NestedR2Result r = reference::nestedR2(sample, n - 1, 2, 2);
        ASSERT_TRUE(r.valid);
        leftOut.push_back(*r.full - *r.reduced);
    }
    double thetaBar = 0;
    for (const double t : leftOut) {
        thetaBar += t / n;
    }
    double l2 = 0;
    double l3 = 0;
    for (const double t : leftOut) {
        const double l = (n - 1) * (thetaBar - t);
        l2 += l * l;
        l3 += l * l * l;
    }
    const double a = l3 / (6 * std::pow(l2, 1.5));
    EXPECT_NEAR(*details.Acceleration, a, 1e-9);

    std::vector<double> sorted = result.Draws;
    std::sort(sorted.begin(), sorted.end());
    const auto below = std::count_if(sorted.begin(), sorted.end(), [&](double d) { return d < *result.DeltaR2; });
    const double z0 = phiInverse(static_cast<double>(below) / result.NumValid);
    EXPECT_NEAR(*details.BiasCorrection, z0, 1e-12);
    auto limit = [&](double alpha) {
        const double z = phiInverse(alpha);
        const double rank = phi(z0 + (z0 + z) / (1 - a * (z0 + z))) * (result.NumValid + 1);
        const auto k = static_cast<std::size_t>(std::floor(rank));
        return sorted[k - 1] + (rank - static_cast<double>(k)) * (sorted[k] - sorted[k - 1]);
    };
    // The two jackknifes differ in the last digits only; one rank apart is about 1e-4 here.
    const Interval* bca = result.interval(IntervalKind::BCa);
    ASSERT_NE(bca, nullptr);
    EXPECT_EQ(bca->level, ConfidenceLevel::P90);
    EXPECT_NEAR(*bca->lower, limit(0.05), 1e-6);
    EXPECT_NEAR(*bca->upper, limit(0.95), 1e-6);
    EXPECT_FALSE(details.BCaAtExtreme);
    EXPECT_EQ(FormatBootstrapDetails(result, "study.txt").find("extreme order statistics"), std::string::npos);

    // Five valid changes: a 90% BCa limit's rank falls below the first
    // (Phi(..) x 6 < 1), so the limit is the smallest change, and the details
    // say so as R's boot.ci warns ("extreme order statistics used as endpoints").
    BootstrapResult few = result;
    const std::vector<double> five = {0.0, *result.DeltaR2 - 0.02, *result.DeltaR2 - 0.01, *result.DeltaR2 + 0.01,
                                      *result.DeltaR2 + 0.02, *result.DeltaR2 + 0.03};
    few.NumValid = 5;
    const ComputedDetails extreme = ComputeBootstrapDetails(few, cases, five, 2, 2);
    ASSERT_TRUE(extreme.bca.lower.has_value());
    EXPECT_TRUE(extreme.details.BCaAtExtreme);
    few.Details = extreme.details;
    std::erase_if(few.Intervals, [](const Interval& i) { return i.kind == IntervalKind::BCa; });
    few.Intervals.push_back(extreme.bca);
    const std::string text = FormatBootstrapDetails(few, "study.txt");
    EXPECT_NE(text.find(", acceleration a = " + formatDouble(roundHalfEven(*extreme.details.Acceleration, 4))
                        + "); extreme order statistics used as endpoints\r\n"),
              std::string::npos)
        << text;
    // R: pf(F, 2, df2, lower.tail = FALSE) for this F.
    ASSERT_TRUE(details.ExactP.has_value());
    EXPECT_GT(*details.ExactP, 0.0);
    EXPECT_LT(*details.ExactP, 1.0);
    // Without details nothing of this is computed, and the report is the same.
    request.Details = false;
    const BootstrapResult plain = resultOf(RunBootstrap(request, data, 8));
    EXPECT_FALSE(plain.Details.has_value());
    EXPECT_EQ(FormatBootstrapReport(plain), FormatBootstrapReport(result));
}

TEST(BootstrapReport, NoPredictorsAndModifiedLowerLimitZero)
{
    BootstrapResult r = reportResult();
    r.request.PredictorList = {};
    r.request.AddedList = {2, 5};
    r.ReducedR2 = 0;
    r.FullR2 = 0.0421;
    r.DeltaR2 = 0.0421;
    r.df1 = 2;
    r.df2 = 200;
    r.FValue = 1.5f;
    r.PValue = 0.2;
    r.ModifiedLowerIsZero = true;
    r.setPercentileIntervals(-0.00512f, 0.2468f);
    EXPECT_EQ(FormatBootstrapReport(r), "Results of Bootstrap Trials\r\n"
                                        "-------------------------------------\r\n"
                                        "Dependent variable: Var1\r\n"
                                        "Predictors in reduced model: No predictors\r\n"
                                        "Predictors added in full model: Var2 Var5 \r\n"
                                        "Number of attempted bootstrap trials: 600\r\n"
                                        "Number of valid bootstrap trials: 598\r\n"
                                        "Confidence interval: 95%\r\n"
                                        "\r\n"
                                        "Reduced Model R^2: 0\r\n"
                                        "Full Model R^2: 0.0421\r\n"
                                        "Change in R^2: 0.0421\r\n"
                                        "\r\n"
                                        "Traditional Bootstrap Lower Limit: -0.00512\r\n"
                                        "Traditional Bootstrap Upper Limit: 0.2468\r\n"
                                        "\r\n"
                                        "Modified Bootstrap Lower Limit: 0\r\n"
                                        "Modified Bootstrap Upper Limit: 0.2468\r\n"
                                        "F-value: 1.5(df1 = 2, df2 = 200)\r\n"
                                        "-------------------------------------\r\n"
                                        "Number of attempted bootstrap trials = 600\r\n"
                                        "Number of valid robust D bootstrap trials = 598\r\n"
                                        "\r\n\r\n\r\n\r\n\r\n");
}

TEST(BootstrapReport, InvalidObservedSampleNoValidTrialAt99Percent)
{
    BootstrapResult r;
    r.request.DependentVariable = 3;
    r.request.PredictorList = {1};
    r.request.AddedList = {1};
    r.request.NumTrials = 2000;
    r.request.Level = ConfidenceLevel::P99;
    r.NumValid = 0;
    r.ModifiedLowerIsZero = true; // not meaningful without an F value
    EXPECT_EQ(FormatBootstrapReport(r), "Results of Bootstrap Trials\r\n"
                                        "-------------------------------------\r\n"
                                        "Dependent variable: Var3\r\n"
                                        "Predictors in reduced model: Var1 \r\n"
                                        "Predictors added in full model: Var1 \r\n"
                                        "Number of attempted bootstrap trials: 2000\r\n"
                                        "Number of valid bootstrap trials: 0\r\n"
                                        "Confidence interval: 99%\r\n"
                                        "\r\n"
                                        "Reduced Model R^2: Undefined\r\n"
                                        "Full Model R^2: Undefined\r\n"
                                        "Change in R^2: Undefined\r\n"
                                        "\r\n"
                                        "Traditional Bootstrap Lower Limit: 0\r\n"
                                        "Traditional Bootstrap Upper Limit: 0\r\n"
                                        "\r\n"
                                        "Modified Bootstrap Lower Limit: 0\r\n"
                                        "Modified Bootstrap Upper Limit: 0\r\n"
                                        "F-value: 9999999(df1 = 0, df2 = 0)\r\n"
                                        "-------------------------------------\r\n"
                                        "Number of attempted bootstrap trials = 2000\r\n"
                                        "Number of valid robust D bootstrap trials = 0\r\n"
                                        "\r\n\r\n\r\n\r\n\r\n");
}

TEST(BootstrapReport, NinetyPercentLevelLine)
{
    BootstrapResult r = reportResult();
    r.request.Level = ConfidenceLevel::P90;
    const std::string text = FormatBootstrapReport(r);
    EXPECT_NE(text.find("\r\nConfidence interval: 90%\r\n"), std::string::npos);
}

} // namespace
} // namespace orvalis
