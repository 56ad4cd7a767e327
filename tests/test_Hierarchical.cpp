// The hierarchical bootstrap: every step against the straightforward bootstrap of its pair, against R, and its
// refusals.
#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/Hierarchical.h"
#include "analyses/HierarchicalReport.h"
#include "analyses/RequestCheck.h"
#include "common/MissingValue.h"
#include "data/CategoricalView.h"
#include "ReferenceBootstrap.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

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
        request.Coefficients = true;
        BootstrapRequest pair;
        pair.Coefficients = true;
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
        // The last step's coefficients and their bootstrap intervals are the pair's full model's.
        ASSERT_TRUE(last.Coefficients && last.Coefficients->full.table && expected->Coefficients->full.table);
        const std::vector<Coefficient>& rows = last.Coefficients->full.table->rows;
        const std::vector<Coefficient>& pairRows = expected->Coefficients->full.table->rows;
        ASSERT_EQ(rows.size(), pairRows.size());
        for (std::size_t j = 1; j < rows.size(); ++j) {
            ASSERT_TRUE(rows[j].betaPercentile && rows[j].sr2BCa && pairRows[j].betaPercentile) << j;
            EXPECT_EQ(rows[j].betaPercentile->lower, pairRows[j].betaPercentile->lower) << j;
            EXPECT_EQ(rows[j].betaPercentile->upper, pairRows[j].betaPercentile->upper) << j;
            EXPECT_EQ(rows[j].sr2BCa->lower, pairRows[j].sr2BCa->lower) << j;
            EXPECT_EQ(rows[j].sr2BCa->upper, pairRows[j].sr2BCa->upper) << j;
        }
        // A step shows its full model only, so its reduced model draws no intervals.
        if (last.Coefficients->reduced.table && last.Coefficients->reduced.table->rows.size() > 1) {
            EXPECT_FALSE(last.Coefficients->reduced.table->rows[1].betaPercentile);
            EXPECT_TRUE(expected->Coefficients->reduced.table->rows[1].betaPercentile);
        }
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
    // A text variable of 30 categories: 29 indicator columns, too many for one model.
    std::string text = "y,g\n";
    for (int r = 0; r < 60; ++r) {
        text += std::to_string(r % 7) + ",c" + std::to_string(r % 30) + "\n";
    }
    const DataSet thirty = test::dataOf(text, ',');
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
        {thirty, requestOf(1, {{2}}, 10),
         "The largest model has 29 predictor columns (a categorical variable counts one column less than its "
         "categories), and at most 24 are allowed."},
    };
    for (const Case& c : cases) {
        const Outcome<HierarchicalResult> run = RunHierarchical(c.request, c.data, 1);
        ASSERT_FALSE(run.ok()) << c.message;
        EXPECT_EQ(run.refusal().message, c.message);
    }
}

// A numeric variable declared categorical: its distinct values, ascending,
// named by their value labels or by their number, enter as indicators exactly
// as the same codes would as a text variable, in the model sequence and in the
// pair; the refusals of a declaration.
TEST(Hierarchical, DeclaredNumericCategorical)
{
    std::mt19937 random(5);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    const float groups[] = {30.0f, 10.0f, 20.0f};
    std::vector<std::vector<float>> rows;
    std::vector<std::vector<float>> coded; // the same with the groups as the codes 1..3 of a text variable
    for (int r = 0; r < 45; ++r) {
        const float x = normal(random);
        const float g = groups[r % 3];
        const float y = x + (g == 20.0f ? 1.0f : g == 30.0f ? 0.5f : 0.0f) + normal(random);
        rows.push_back({y, x, r == 7 ? MissingValue : g, static_cast<float>(r % 2)});
        coded.push_back({y, x, r == 7 ? MissingValue : g / 10.0f, static_cast<float>(r % 2)});
    }
    DataSet numeric = tableOf(rows);
    numeric.setVariableNames({"", "y", "x", "group", "odd"});
    numeric.setValueLabels(3, {{30.0f, "high"}, {10.0f, "low"}, {99.0f, "unused"}});
    DataSet text = tableOf(coded);
    text.setVariableNames({"", "y", "x", "group", "odd"});
    text.setCategories(3, {"low", "20", "high"});

    const CategoricalView view = categoricalView(numeric, 3, 25);
    EXPECT_EQ(view.labels, (std::vector<std::string>{"low", "20", "high"}));
    EXPECT_EQ(view.values, (std::vector<float>{10.0f, 20.0f, 30.0f}));
    EXPECT_EQ(view.categoryLabelled("high"), 3);
    EXPECT_EQ(view.categoryOfValue(20.0f), 2);
    EXPECT_EQ(view.categoryOfValue(99.0f), 0);
    EXPECT_EQ(categoricalView(numeric, 2, 5).size(), 6u); // counting stops past the limit
    EXPECT_EQ(categoricalView(text, 3, 25).values, (std::vector<float>{1.0f, 2.0f, 3.0f}));
    // One label on two values names two categories: each carries its value.
    DataSet twice = tableOf(rows);
    twice.setValueLabels(3, {{30.0f, "other"}, {10.0f, "low"}, {20.0f, "other"}});
    const CategoricalView same = categoricalView(twice, 3, 25);
    EXPECT_EQ(same.labels, (std::vector<std::string>{"low", "other (20)", "other (30)"}));
    EXPECT_EQ(same.categoryLabelled("other"), 0);
    EXPECT_EQ(same.categoryLabelled("other (30)"), 3);

    for (const std::int32_t reference : {1, 3}) {
        SCOPED_TRACE(reference);
        HierarchicalRequest declared = requestOf(1, {{2}, {3}}, 50);
        declared.Categorical = {3};
        declared.ReferenceCategory[3] = reference;
        HierarchicalRequest asText = declared;
        asText.Categorical.clear();
        const Outcome<HierarchicalResult> a = RunHierarchical(declared, numeric, 9);
        const Outcome<HierarchicalResult> b = RunHierarchical(asText, text, 9);
        ASSERT_TRUE(a.ok()) << a.refusal().message;
        ASSERT_TRUE(b.ok()) << b.refusal().message;
        EXPECT_EQ(a->stepColumns, (std::vector<std::int32_t>{1, 2}));
        EXPECT_EQ(a->steps[1].df1, 2);
        EXPECT_EQ(a->steps[1].df2, 44 - 4);
        EXPECT_EQ(a->steps[1].FullR2, b->steps[1].FullR2);
        EXPECT_EQ(a->steps[1].Draws, b->steps[1].Draws);
        EXPECT_EQ(DescribeStep(*a, 1), DescribeStep(*b, 1));
        EXPECT_EQ(DescribeStep(*a, 1),
                  reference == 1 ? "Var3 (group): 20, high vs low" : "Var3 (group): low, 20 vs high");
        EXPECT_TRUE(a->ValueLabelledPredictors.empty());

        // The pair of the same models: the step's numbers, digit for digit.
        BootstrapRequest pair;
        pair.DependentVariable = 1;
        pair.PredictorList = {2};
        pair.AddedList = {3};
        pair.NumTrials = 50;
        pair.Categorical = {3};
        pair.ReferenceCategory[3] = reference;
        const Outcome<BootstrapResult> c = RunBootstrap(pair, numeric, 9);
        ASSERT_TRUE(c.ok()) << c.refusal().message;
        EXPECT_EQ(c->df1, 2);
        EXPECT_EQ(c->FullR2, a->steps[1].FullR2);
        EXPECT_EQ(c->DeltaR2, a->steps[1].DeltaR2);
        EXPECT_EQ(c->Draws, a->steps[1].Draws);
        ASSERT_EQ(c->Columns.size(), 3u);
        EXPECT_EQ(c->Columns[1].category, reference == 1 ? 2 : 1);
    }

    // Undeclared, the labelled variable enters as one number, and the report says so in one line.
    const Outcome<HierarchicalResult> undeclared = RunHierarchical(requestOf(1, {{2}, {3}}, 20), numeric, 9);
    ASSERT_TRUE(undeclared.ok());
    EXPECT_EQ(undeclared->ValueLabelledPredictors, (std::vector<std::int32_t>{3}));
    const std::string warning = "Warning: Var3 (group) has value labels and enters as a number; declare it "
                                "categorical (--categorical group, or the Categorical mark in the hierarchical window) to enter "
                                "its categories.\r\n\r\n\r\n\r\n";
    const std::string report = FormatHierarchicalReport(*undeclared);
    EXPECT_EQ(report.substr(report.size() - warning.size()), warning);
    EXPECT_EQ(FormatValueLabelWarning({}, {}), "");

    // Refusals.
    std::vector<std::vector<float>> many;
    for (int r = 0; r < 30; ++r) {
        many.push_back({static_cast<float>(r % 7), static_cast<float>(r), static_cast<float>(r % 26), 4.0f});
    }
    const DataSet wide = tableOf(many);
    auto declaring = [](HierarchicalRequest request, std::set<std::int32_t> declared) {
        request.Categorical = std::move(declared);
        return request;
    };
    const struct {
        const DataSet& data;
        HierarchicalRequest request;
        const char* message;
    } cases[] = {
        {numeric, declaring(requestOf(1, {{2}, {3}}, 10), {6}), "Var 6 is not in the data (it has 4 variables)"},
        {numeric, declaring(requestOf(1, {{2}, {3}}, 10), {1}),
         "Var 1 (y) is the dependent variable; only a predictor can be declared categorical."},
        {wide, declaring(requestOf(1, {{3}}, 10), {3}),
         "Var 3 has more than 25 different values; a categorical predictor has at most 25 categories (24 indicator "
         "columns)."},
        {wide, declaring(requestOf(1, {{2}}, 10), {2}),
         "Var 2 has more than 25 different values; a categorical predictor has at most 25 categories (24 indicator "
         "columns)."},
        {wide, declaring(requestOf(1, {{4}}, 10), {4}),
         "Var 4 has one category, so it adds no indicator column to the model."},
    };
    for (const auto& c : cases) {
        const Outcome<HierarchicalResult> run = RunHierarchical(c.request, c.data, 1);
        ASSERT_FALSE(run.ok()) << c.message;
        EXPECT_EQ(run.refusal().message, c.message);
        BootstrapRequest pair;
        pair.DependentVariable = c.request.DependentVariable;
        pair.AddedList = c.request.Steps.back();
        pair.Categorical = c.request.Categorical;
        const Status checked = CheckBootstrapRequest(pair, c.data);
        ASSERT_FALSE(checked.ok()) << c.message;
        EXPECT_EQ(checked.refusal().message, c.message);
    }
    // The pair takes a text variable only when it is declared; then it is as it is.
    BootstrapRequest textPair;
    textPair.DependentVariable = 1;
    textPair.AddedList = {3};
    textPair.NumTrials = 20;
    EXPECT_EQ(CheckBootstrapRequest(textPair, text).refusal().message,
              "Var 3 (group) is a text variable with 3 categories; the bootstrap takes numeric variables only.");
    textPair.Categorical = {3};
    const Outcome<BootstrapResult> textRun = RunBootstrap(textPair, text, 2);
    ASSERT_TRUE(textRun.ok()) << textRun.refusal().message;
    EXPECT_EQ(textRun->df1, 2);
}

} // namespace
} // namespace orvalis
