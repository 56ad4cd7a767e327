// RunBootstrap: positions, random streams, agreement with the straightforward run, threads, F test, failures, report
// text.
#include "ReferenceBootstrap.h"
#include "TestData.h"

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/RandomStream.h"
#include "data/DataImport.h"
#include "data/DataSet.h"
#include "common/RuntimeErrors.h"
#include "stats/modGeneral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <mutex>
#include <random>
#include <set>

namespace orvalis {
namespace {

using test::tableOf;

TEST(Bootstrap, PercentilePositions)
{
    struct Case {
        std::int32_t valid;
        float level;
        std::int32_t lower, upper;
    };
    const Case cases[] = {
        {600, 0.95f, 16, 585},   {1000, 0.90f, 51, 950}, {600, 0.99f, 4, 597},
        {580, 0.95f, 16, 565},                         // 14.5000035: the float level decides, m = 15
        {100, 0.95f, 4, 97},     {300, 0.99f, 2, 299}, // 1.4999986: m = 1
        {100, 0.99f, 1, 100},    {1, 0.95f, 1, 1},       {0, 0.95f, 1, 0},
        {2000, 0.95f, 51, 1950}, {20, 0.90f, 2, 19}, // 20 * 0.05000001 = 1.0000002: m = 1
    };
    for (const Case& c : cases) {
        const PercentilePositions positions = percentilePositions(c.valid, c.level);
        EXPECT_EQ(positions.lower, c.lower) << c.valid << " at " << c.level;
        EXPECT_EQ(positions.upper, c.upper) << c.valid << " at " << c.level;
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
    ImportOutcome outcome = ImportDataFile(std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", ' ');
    EXPECT_TRUE(outcome.ok());
    return std::move(*outcome.dataSet);
}

BootstrapRequest studyRequest(std::vector<std::int32_t> predictors, std::vector<std::int32_t> added,
                              std::int32_t trials, float level)
{
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.PredictorList = std::move(predictors);
    request.AddedList = std::move(added);
    request.NumTrials = trials;
    request.ConfidenceLevel = level;
    return request;
}

BootstrapResult resultOf(const BootstrapOutcome& outcome)
{
    if (const auto* failure = std::get_if<BootstrapFailure>(&outcome)) {
        ADD_FAILURE() << failure->reason;
    }
    if (const auto* refusal = std::get_if<std::string>(&outcome)) {
        ADD_FAILURE() << *refusal;
    }
    return std::get<BootstrapResult>(outcome);
}

TEST(Bootstrap, MatchesTheStraightforwardRunBitForBit)
{
    const DataSet data = studyData();
    struct Case {
        std::vector<std::int32_t> predictors, added;
        std::int32_t trials;
        float level;
        std::uint64_t seed;
    };
    const Case cases[] = {
        {{2, 3}, {4}, 600, 0.95f, 1},       {{}, {2}, 1000, 0.90f, 99},  {{2, 3, 4, 5}, {6}, 300, 0.99f, 12345},
        {{2}, {3, 4, 5, 6}, 200, 0.95f, 7}, {{2, 2}, {3}, 50, 0.95f, 3}, // a duplicated predictor: every sample invalid
    };
    for (const Case& c : cases) {
        const BootstrapRequest request = studyRequest(c.predictors, c.added, c.trials, c.level);
        const auto cases = std::get<CaseMatrix>(CollectCompleteCases(request, data));
        const reference::Trials expected =
            reference::runTrials(cases, request.NumPredictors(), request.NumAdded(), c.trials, c.seed);
        const PercentilePositions positions = percentilePositions(expected.numValid, c.level);
        for (unsigned threads : {1u, 2u, 3u}) {
            const BootstrapResult result = resultOf(RunBootstrap(request, data, c.seed, {}, threads));
            EXPECT_EQ(result.NumValid, expected.numValid);
            EXPECT_EQ(result.TraditionalLower, static_cast<float>(expected.sorted[positions.lower]));
            EXPECT_EQ(result.TraditionalUpper, static_cast<float>(expected.sorted[positions.upper]));
            if (expected.observed.valid) {
                EXPECT_EQ(result.ReducedR2, expected.observed.reduced);
                EXPECT_EQ(result.FullR2, expected.observed.full);
                EXPECT_EQ(result.DeltaR2, expected.observed.full - expected.observed.reduced);
            } else {
                EXPECT_EQ(result.FullR2, 9999999.0);
                EXPECT_EQ(result.FValue, 9999999.0f);
            }
        }
    }
}

TEST(Bootstrap, ObservedValuesAndFTest)
{
    const DataSet data = studyData();
    const BootstrapRequest request = studyRequest({2, 3}, {4}, 600, 0.95f);
    const BootstrapResult result = resultOf(RunBootstrap(request, data, 5));
    // 235 complete cases (five of the 240 lack variable 1, 2, 3 or 4); the R^2
    // values agree with an ordinary least-squares fit done independently.
    EXPECT_NEAR(result.ReducedR2, 0.5593222596464484, 1e-12);
    EXPECT_NEAR(result.FullR2, 0.5689280749282855, 1e-12);
    EXPECT_EQ(result.df1, 1);
    EXPECT_EQ(result.df2, 231);
    const double expectedF = 231.0 * (result.FullR2 - result.ReducedR2) / ((1.0 - result.FullR2) * 1.0);
    EXPECT_EQ(result.FValue, static_cast<float>(expectedF));
    EXPECT_GT(result.FValue, modGeneral::FCritical05(1, 231));
    EXPECT_EQ(result.PValue, 0.0001);
    EXPECT_FALSE(result.ModifiedLowerIsZero);
    EXPECT_LE(result.TraditionalLower, result.TraditionalUpper);
}

TEST(Bootstrap, FTestDecisions)
{
    // Tables: F equal to the critical value is not significant, any larger F is.
    for (const float level : {0.90f, 0.95f, 0.99f}) {
        const float critical = level == 0.90f   ? modGeneral::FCritical10(2, 30)
                               : level == 0.95f ? modGeneral::FCritical05(2, 30)
                                                : modGeneral::FCritical01(2, 30);
        const FTestDecision at = decideFTest(critical, 2, 30, level);
        EXPECT_EQ(at.PValue, 0.2);
        EXPECT_TRUE(at.ModifiedLowerIsZero);
        const FTestDecision above = decideFTest(std::nextafter(critical, 1e9f), 2, 30, level);
        EXPECT_EQ(above.PValue, 0.0001);
        EXPECT_FALSE(above.ModifiedLowerIsZero);
        EXPECT_FALSE(above.PValueIsSingle);
    }
    // At 99% the 1% table decides: an F between the 5% and the 1% critical values is not significant.
    const float between = (modGeneral::FCritical05(1, 40) + modGeneral::FCritical01(1, 40)) / 2;
    EXPECT_FALSE(decideFTest(between, 1, 40, 0.95f).ModifiedLowerIsZero);
    EXPECT_TRUE(decideFTest(between, 1, 40, 0.99f).ModifiedLowerIsZero);

    // FProb: find F whose p-value rounds to a given 3-decimal value.
    auto findF = [](std::int32_t df1, std::int32_t df2, float low, float high) {
        float lo = 0.01f;
        float hi = 100.0f;
        for (int i = 0; i < 200; ++i) {
            const float mid = (lo + hi) / 2;
            const float p = modGeneral::FProb(mid, df1, df2);
            if (p >= low && p < high) {
                return mid;
            }
            (p > high ? lo : hi) = mid;
        }
        ADD_FAILURE() << "no F found";
        return 1.0f;
    };
    const FTestDecision p050 = decideFTest(findF(5, 50, 0.0496f, 0.0504f), 5, 50, 0.95f);
    EXPECT_TRUE(p050.PValueIsSingle);
    EXPECT_TRUE(p050.ModifiedLowerIsZero); // single 0.05 lies above the double 0.05
    const FTestDecision p100 = decideFTest(findF(6, 60, 0.0996f, 0.1004f), 6, 60, 0.90f);
    EXPECT_TRUE(p100.ModifiedLowerIsZero);
    const FTestDecision p010 = decideFTest(findF(5, 80, 0.00996f, 0.01004f), 5, 80, 0.99f);
    EXPECT_FALSE(p010.ModifiedLowerIsZero); // single 0.01 lies below the double 0.01
    EXPECT_THROW(decideFTest(1.0f, 2, -1, 0.95f), SubscriptError);
}

TEST(Bootstrap, SameSeedSameResultForAnyThreadCountAndProgressEndsAtNumTrials)
{
    const DataSet data = studyData();
    const BootstrapRequest request = studyRequest({2, 3, 5}, {4, 6}, 2000, 0.95f);
    std::mutex mutex;
    std::vector<std::int32_t> reports;
    const ProgressHook hook = [&](std::int32_t t) {
        const std::lock_guard lock(mutex);
        reports.push_back(t);
    };
    const std::string one = FormatBootstrapReport(resultOf(RunBootstrap(request, data, 77, hook, 1)));
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
    EXPECT_EQ(std::get<std::string>(RunBootstrap(request, data, 1)),
              "At least one variable must be added from the <Added Predictors> listbox.");

    // The dependent variable copied as the added predictor: R^2 = 1 exactly.
    request.AddedList = {2};
    const auto exact = RunBootstrap(request, data, 1);
    ASSERT_TRUE(std::holds_alternative<BootstrapFailure>(exact));
    EXPECT_EQ(std::get<BootstrapFailure>(exact).reason,
              "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.");

    // A level the program does not offer.
    request.AddedList = {3};
    request.ConfidenceLevel = 0.8f;
    EXPECT_EQ(std::get<BootstrapFailure>(RunBootstrap(request, data, 1)).reason,
              "The confidence level must be 90, 95 or 99%.");
}

TEST(Bootstrap, InvalidObservedSampleStillRunsTheTrials)
{
    const DataSet data = studyData();
    // The same variable as predictor and added predictor: every sample is invalid.
    const BootstrapResult result = resultOf(RunBootstrap(studyRequest({2}, {2}, 100, 0.95f), data, 3));
    EXPECT_EQ(result.ReducedR2, 9999999.0);
    EXPECT_EQ(result.FullR2, 9999999.0);
    EXPECT_EQ(result.DeltaR2, 9999999.0);
    EXPECT_EQ(result.FValue, 9999999.0f);
    EXPECT_EQ(result.df1, 0);
    EXPECT_EQ(result.df2, 0);
    EXPECT_EQ(result.NumValid, 0);
    EXPECT_EQ(result.TraditionalLower, 0.0f);
    EXPECT_EQ(result.TraditionalUpper, 0.0f);
}

// ---- report text ------------------------------------------------------------

BootstrapResult reportResult()
{
    BootstrapResult r;
    r.request.DependentVariable = 1;
    r.request.PredictorList = {2, 3};
    r.request.AddedList = {4};
    r.request.NumTrials = 600;
    r.request.ConfidenceLevel = 0.95f;
    r.NumValid = 598;
    r.ReducedR2 = 0.1234567;
    r.FullR2 = 0.25;
    r.DeltaR2 = 0.1265433;
    r.TraditionalLower = 0.0123456f;
    r.TraditionalUpper = 0.2468f;
    r.FValue = 12.34567f;
    r.df1 = 1;
    r.df2 = 231;
    r.PValue = 0.0001;
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
    r.TraditionalLower = -0.00512f;
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
    r.request.ConfidenceLevel = 0.99f;
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
    r.request.ConfidenceLevel = 0.90f;
    const std::string text = FormatBootstrapReport(r);
    EXPECT_NE(text.find("\r\nConfidence interval: 90%\r\n"), std::string::npos);
}

} // namespace
} // namespace orvalis
