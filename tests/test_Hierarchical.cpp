// The hierarchical bootstrap: every step against the straightforward bootstrap of its pair, against R, and its
// refusals.
#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/Hierarchical.h"
#include "analyses/HierarchicalReport.h"
#include "ReferenceBootstrap.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

namespace orvalis {
namespace {

using test::tableOf;

DataSet fileData(const std::string& name, char delimiter)
{
    ImportOutcome outcome =
        ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/" + name, delimiterWithByte(delimiter));
    EXPECT_TRUE(outcome.ok()) << outcome.refusal().message;
    return outcome.ok() ? std::move(*outcome) : DataSet();
}

HierarchicalRequest requestOf(std::int32_t dv, std::vector<std::vector<std::int32_t>> steps, std::int32_t trials)
{
    HierarchicalRequest request;
    request.DependentVariable = dv;
    request.Steps = std::move(steps);
    request.NumTrials = trials;
    return request;
}

// Each step's valid changes, limits and observed R^2 are those of the
// straightforward bootstrap of its pair of models on the same case matrix,
// bit for bit, for every kernel and 1 to 3 threads: 24 predictor columns in
// three steps, and a categorical block (R's iris, Species as two indicators).
TEST(Hierarchical, EveryStepMatchesTheStraightforwardRunBitForBit)
{
    std::mt19937 random(17);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<std::vector<float>> rows(97, std::vector<float>(25));
    for (auto& row : rows) {
        for (std::size_t v = 1; v < row.size(); ++v) {
            row[v] = 300.0f * static_cast<float>(v) + 10.0f * normal(random);
        }
        row[0] = row[1] + 0.5f * row[9] + row[20] + 10.0f * normal(random);
    }
    const DataSet wide = tableOf(rows);
    const DataSet iris = fileData("iris.csv", ',');
    struct Case {
        const DataSet& data;
        HierarchicalRequest request;
        std::uint64_t seed;
    };
    std::vector<std::int32_t> first, second, third;
    for (std::int32_t v = 2; v <= 9; ++v) {
        first.push_back(v);
        second.push_back(v + 8);
        third.push_back(v + 16);
    }
    const Case cases[] = {
        {wide, requestOf(1, {first, second, third}, 29), 5},
        {iris, requestOf(1, {{2}, {5}, {3, 4}}, 61), 8},
    };
    for (const Case& c : cases) {
        const SequenceCases sequence = *CollectSequenceCases(c.request, c.data);
        std::int32_t before = 0;
        std::vector<reference::Trials> expected;
        for (const std::int32_t added : sequence.stepColumns) {
            expected.push_back(reference::runTrials(sequence.cases, before, added, c.request.NumTrials, c.seed));
            before += added;
        }
        for (const TrialKernel kernel : {TrialKernel::OneAtATime, TrialKernel::Avx2, TrialKernel::Avx512}) {
            if (!kernelSupported(kernel)) {
                continue;
            }
            for (const unsigned threads : {1u, 2u, 3u}) {
                const Outcome<HierarchicalResult> run = RunHierarchical(c.request, c.data, c.seed, {}, threads, kernel);
                ASSERT_TRUE(run.ok()) << run.refusal().message;
                ASSERT_EQ(run->steps.size(), expected.size());
                for (std::size_t s = 0; s < expected.size(); ++s) {
                    const BootstrapResult& step = run->steps[s];
                    const reference::Trials& e = expected[s];
                    std::vector<double> draws = step.Draws;
                    std::sort(draws.begin(), draws.end());
                    EXPECT_EQ(draws, std::vector<double>(e.sorted.begin() + 1, e.sorted.begin() + 1 + e.numValid))
                        << kernelName(kernel) << ", " << threads << " threads, step " << s + 1;
                    const PercentilePositions positions = percentilePositions(e.numValid, c.request.Level);
                    EXPECT_EQ(static_cast<float>(*step.interval(IntervalKind::Traditional)->lower),
                              static_cast<float>(e.sorted[static_cast<std::size_t>(positions.lower)]));
                    EXPECT_EQ(step.ReducedR2, e.observed.reduced);
                    EXPECT_EQ(step.FullR2, e.observed.full);
                }
            }
        }
    }
}

// A sequence of one step is the bootstrap of that block against no
// predictors, and a sequence's last step the bootstrap of its pair: the same
// report and details, digit for digit.
TEST(Hierarchical, StepsAreThePairsDigitForDigit)
{
    const DataSet study = *ImportDataFile(std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt", Delimiter::Space);
    struct Case {
        std::vector<std::vector<std::int32_t>> steps;
        std::vector<std::int32_t> predictors, added;
    };
    const Case cases[] = {
        {{{2, 3, 4}}, {}, {2, 3, 4}},
        {{{2}, {3, 5}, {4}}, {2, 3, 5}, {4}},
    };
    for (const Case& c : cases) {
        HierarchicalRequest request = requestOf(1, c.steps, 700);
        request.Details = true;
        BootstrapRequest pair;
        pair.DependentVariable = 1;
        pair.PredictorList = c.predictors;
        std::sort(pair.PredictorList.begin(), pair.PredictorList.end());
        pair.AddedList = c.added;
        pair.NumTrials = 700;
        pair.Details = true;
        const Outcome<HierarchicalResult> run = RunHierarchical(request, study, 31);
        const Outcome<BootstrapResult> expected = RunBootstrap(pair, study, 31);
        ASSERT_TRUE(run.ok() && expected.ok());
        BootstrapResult last = run->steps.back();
        // The pair lists its predictors in ascending order, the sequence by step.
        last.request.PredictorList = pair.PredictorList;
        EXPECT_EQ(FormatBootstrapReport(last), FormatBootstrapReport(*expected));
        EXPECT_EQ(FormatBootstrapDetails(last, "study.txt"), FormatBootstrapDetails(*expected, "study.txt"));
        EXPECT_EQ(last.Draws, expected->Draws);
    }
}

// R 4.2 (tests/data/hierarchical/make_r_data.R): lm's R^2 of each step and
// anova(smaller, larger) for each step's F change, which uses the larger
// model's own error term (SPSS's F change):
//   mtcars, mpg ~ wt; + hp; + am + qsec: R^2 .752832793658, .826785451883,
//     .857851019062; F 91.3753250038 (1, 30), 12.3813335070 (1, 29),
//     2.9503212345 (2, 27); p 1.2939587014e-10, 1.4512285316e-03, 6.9366806847e-02
//     (anova(m1, m2, m3) would give 14.0467 for step 2, on the largest model's error).
//   iris, Sepal.Length ~ Sepal.Width; + Species (a factor, setosa the reference):
//     R^2 .013822654141, .725906609143; F 2.0744268984 (1, 148), p 1.5189826071e-01 and
//     189.6511570472 (2, 146), p 2.5578704876e-41.
// The data are held in single precision, so R^2 agrees to about 1e-7.
TEST(Hierarchical, AgreesWithR)
{
    struct Step {
        double r2;
        double f;
        std::int32_t df1, df2;
        double p;
    };
    struct Case {
        const char* file;
        std::vector<std::vector<std::int32_t>> steps;
        std::vector<Step> expected;
    };
    const Case cases[] = {
        {"mtcars.csv",
         {{6}, {4}, {9, 7}},
         {{0.752832793658, 91.3753250038, 1, 30, 1.2939587014e-10},
          {0.826785451883, 12.3813335070, 1, 29, 1.4512285316e-03},
          {0.857851019062, 2.9503212345, 2, 27, 6.9366806847e-02}}},
        {"iris.csv",
         {{2}, {5}},
         {{0.013822654141, 2.0744268984, 1, 148, 1.5189826071e-01},
          {0.725906609143, 189.6511570472, 2, 146, 2.5578704876e-41}}},
    };
    for (const Case& c : cases) {
        const Outcome<HierarchicalResult> run = RunHierarchical(requestOf(1, c.steps, 200), fileData(c.file, ','), 3);
        ASSERT_TRUE(run.ok()) << run.refusal().message;
        for (std::size_t s = 0; s < c.expected.size(); ++s) {
            const BootstrapResult& step = run->steps[s];
            const Step& e = c.expected[s];
            EXPECT_NEAR(*step.FullR2, e.r2, 2e-7) << c.file << " step " << s + 1;
            EXPECT_NEAR(*step.FValue / e.f, 1.0, 1e-5) << c.file << " step " << s + 1;
            EXPECT_EQ(step.df1, e.df1);
            EXPECT_EQ(step.df2, e.df2);
            EXPECT_NEAR(step.PValue / e.p, 1.0, 1e-4) << c.file << " step " << s + 1;
        }
    }
    const Outcome<HierarchicalResult> iris =
        RunHierarchical(requestOf(1, {{2}, {5}}, 50), fileData("iris.csv", ','), 3);
    EXPECT_EQ(DescribeStep(*iris, 1), "Var5 (Species): versicolor, virginica vs setosa");
    // Another reference category gives other indicators and the same R^2.
    HierarchicalRequest virginica = requestOf(1, {{2}, {5}}, 50);
    virginica.ReferenceCategory[5] = 3;
    const Outcome<HierarchicalResult> other = RunHierarchical(virginica, fileData("iris.csv", ','), 3);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(DescribeStep(*other, 1), "Var5 (Species): setosa, versicolor vs virginica");
    EXPECT_NEAR(*other->steps[1].FullR2, 0.725906609143, 2e-7);
}

// Imputed data sets stacked in one file (tests/data/imputation/mice_long.csv,
// five imputations of mice's nhanes by R's mice): the bootstrap's and the
// hierarchical run's reports end in a warning naming the column; the same
// rows with the column named otherwise give the same reports without it.
TEST(Hierarchical, ReportsWarnOfStackedImputations)
{
    std::ifstream file(ORVALIS_TEST_DATA_DIR "/imputation/mice_long.csv", std::ios::binary);
    const std::string stacked((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(stacked.rfind("\".imp\",\".id\",", 0), 0u);
    const DataSet mice = test::dataOf(stacked, ',');
    const DataSet renamed = test::dataOf("\"imp\"" + stacked.substr(6), ',');
    const std::string warning = "Warning: Var1 (.imp) looks like the number of an imputation, but all rows were "
                                "analysed as one sample: the limits are too narrow and the F test too liberal. Pool "
                                "imputed data sets elsewhere.\r\n\r\n\r\n\r\n";

    BootstrapRequest pair;
    pair.DependentVariable = 6; // chl
    pair.PredictorList = {3};   // age
    pair.AddedList = {4};       // bmi
    pair.NumTrials = 100;
    const Outcome<BootstrapResult> warned = RunBootstrap(pair, mice, 7, {}, 1);
    const Outcome<BootstrapResult> plain = RunBootstrap(pair, renamed, 7, {}, 1);
    ASSERT_TRUE(warned.ok() && plain.ok());
    const std::string report = FormatBootstrapReport(*warned);
    EXPECT_EQ(report, FormatBootstrapReport(*plain) + warning);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 27 + 4);
    EXPECT_EQ(FormatBootstrapReport(*plain).find("Warning"), std::string::npos);

    const Outcome<HierarchicalResult> steps = RunHierarchical(requestOf(6, {{3}, {4, 5}}, 100), mice, 7);
    const Outcome<HierarchicalResult> plainSteps = RunHierarchical(requestOf(6, {{3}, {4, 5}}, 100), renamed, 7);
    ASSERT_TRUE(steps.ok() && plainSteps.ok());
    EXPECT_EQ(FormatHierarchicalReport(*steps), FormatHierarchicalReport(*plainSteps) + warning);
    EXPECT_EQ(FormatHierarchicalReport(*plainSteps).find("Warning"), std::string::npos);
}

TEST(Hierarchical, RequestsThatCannotBeAnswered)
{
    const DataSet iris = fileData("iris.csv", ',');
    std::vector<std::vector<float>> rows(40, std::vector<float>(26));
    const DataSet wide = tableOf(rows);
    auto withReference = [](HierarchicalRequest request, std::int32_t v, std::int32_t code) {
        request.ReferenceCategory[v] = code;
        return request;
    };
    std::vector<std::int32_t> all25;
    for (std::int32_t v = 2; v <= 26; ++v) {
        all25.push_back(v);
    }
    struct Case {
        const DataSet& data;
        HierarchicalRequest request;
        const char* message;
    };
    const Case cases[] = {
        {iris, requestOf(1, {{2}, {7}}, 10), "Var 7 is not in the data (it has 5 variables)"},
        {iris, requestOf(1, {}, 10), "There is no step: step 1 adds at least one predictor."},
        {iris, requestOf(1, {{2}, {}}, 10), "Step 2 adds no predictor."},
        {iris, requestOf(1, {{2}, {3}, {4}, {5}, {2}, {3}, {4}}, 10), "There are 7 steps, and at most 6 are allowed."},
        {iris, requestOf(5, {{2}}, 10),
         "Var 5 (Species) is a text variable with 3 categories; a regression's dependent variable must be numeric."},
        {iris, requestOf(1, {{2, 1}}, 10), "Var 1 is used in two roles: dependent variable and predictor."},
        {iris, requestOf(1, {{2}, {3, 2}}, 10), "Var 2 is entered in step 1 and in step 2."},
        {iris, requestOf(1, {{2, 2}}, 10), "Var 2 is listed twice in step 1."},
        {iris, withReference(requestOf(1, {{5}}, 10), 5, 4),
         "The reference category 4 of Var 5 (Species) is not one of its 3 categories."},
        {iris, withReference(requestOf(1, {{2}}, 10), 5, 1),
         "A reference category is given for Var 5 (Species), which is not a categorical predictor of the model."},
        {wide, requestOf(1, {all25}, 10),
         "The largest model has 25 predictor columns (a categorical variable counts one column less than its "
         "categories), and at most 24 are allowed."},
        {wide, requestOf(1, {{2}}, 10), "The dependent variable has no variance in the complete cases."},
    };
    for (const Case& c : cases) {
        const Outcome<HierarchicalResult> run = RunHierarchical(c.request, c.data, 1);
        ASSERT_FALSE(run.ok()) << c.message;
        EXPECT_EQ(run.refusal().message, c.message);
    }
}

} // namespace
} // namespace orvalis
