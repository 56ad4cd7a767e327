// Product terms, simple slopes and Johnson-Neyman values against R, on examples/moderation.csv
// (examples/make_moderation.R made the data and printed every number quoted here).
#include "analyses/Hierarchical.h"
#include "analyses/Moderation.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvalis {
namespace {

constexpr std::int32_t Wellbeing = 1, Stress = 2, Support = 3, Condition = 4;

DataSet moderationData()
{
    return test::fileData(std::string(ORVALIS_EXAMPLES_DIR) + "/moderation.csv", Delimiter::Comma);
}

// wellbeing on stress and a moderator (step 1), then their product (step 2).
HierarchicalRequest productRequest(std::int32_t moderator)
{
    HierarchicalRequest request;
    request.DependentVariable = Wellbeing;
    request.Steps = {{Stress, moderator}, {}};
    request.Products = {{}, {{Stress, moderator}}};
    request.NumTrials = 200;
    request.Coefficients = true;
    return request;
}

void expectRelative(double actual, double expected, double tolerance, const std::string& what)
{
    EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected)) << what;
}

// The B column of a model: the intercept, then its columns in order.
void expectCoefficients(const CoefficientsOutcome& model, const std::vector<double>& expected, const std::string& what)
{
    ASSERT_TRUE(model.table) << model.problem;
    ASSERT_EQ(model.table->rows.size(), expected.size()) << what;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        expectRelative(model.table->rows[k].B, expected[k], 2e-6, what + " B" + std::to_string(k));
    }
}

// R: m1 <- lm(wellbeing ~ stress + support); m2 <- lm(wellbeing ~ stress * support); anova(m1, m2), and the
// same with both centred (stress_c, support_c): R^2 0.4521446286 and 0.5368990335, F change 32.21063 on 1 and
// 176 df; the coefficients of m2 and of the centred model.
TEST(Moderation, ANumericProductMatchesRCentredOrNot)
{
    const DataSet data = moderationData();
    HierarchicalRequest request = productRequest(Support);
    for (const bool centred : {false, true}) {
        SCOPED_TRACE(centred ? "centred" : "as read");
        request.Centred = centred ? std::set<std::int32_t>{Stress, Support} : std::set<std::int32_t>{};
        const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 5);
        ASSERT_TRUE(run.ok()) << run.refusal().message;
        ASSERT_EQ(run->columns.size(), 3u);
        EXPECT_TRUE(run->columns[2].isProduct());
        EXPECT_EQ(run->stepColumns, (std::vector<std::int32_t>{2, 1}));
        const BootstrapResult& step = run->steps[1];
        expectRelative(*step.ReducedR2, 0.4521446286, 1e-6, "reduced R^2");
        expectRelative(*step.FullR2, 0.5368990335, 1e-6, "full R^2");
        expectRelative(*step.DeltaR2, 0.0847544049, 1e-5, "change");
        expectRelative(*step.FValue, 32.21063, 1e-5, "F change");
        EXPECT_EQ(step.df1, 1);
        EXPECT_EQ(step.df2, 176);
        ASSERT_TRUE(step.Coefficients);
        if (centred) {
            expectCoefficients(step.Coefficients->full, {51.0062481463, -0.7871853812, 1.9509512614, 0.3812594893},
                               "centred");
        } else {
            expectCoefficients(step.Coefficients->full, {85.7680114867, -2.1168702139, -5.5352906132, 0.3812594893},
                               "as read");
        }
        // The product's standard error: 0.06717706604 either way.
        expectRelative(step.Coefficients->full.table->rows[3].SE, 0.06717706604, 2e-6, "SE of the product");
    }
}

// The simple slopes by hand from vcov(m2c) at support's mean and one SD either side, and the
// Johnson-Neyman roots of (b1 + b3 d)^2 - t^2 (v11 + 2 d v13 + d^2 v33) plus the centre (see the R script).
TEST(Moderation, SimpleSlopesAndJohnsonNeymanMatchR)
{
    const DataSet data = moderationData();
    HierarchicalRequest request = productRequest(Support);
    request.Slopes = SlopesRequest{Stress, Support, {}};
    for (const bool centred : {false, true}) {
        SCOPED_TRACE(centred ? "centred" : "as read");
        request.Centred = centred ? std::set<std::int32_t>{Support} : std::set<std::int32_t>{};
        const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 5);
        ASSERT_TRUE(run.ok()) << run.refusal().message;
        ASSERT_TRUE(run->Moderation);
        const ModerationResult& moderation = *run->Moderation;
        EXPECT_EQ(moderation.step, 1u);
        EXPECT_FALSE(moderation.categoricalModerator);
        expectRelative(moderation.moderatorMean, 3.4876111156, 1e-7, "mean");
        ASSERT_EQ(moderation.slopes.size(), 3u);
        const struct {
            double at, B, SE, t, p;
        } r[3] = {{2.5147834359, -1.1580851656, 0.0887141719, -13.0541168439, 1.125359241e-27},
                  {3.4876111156, -0.7871853812, 0.0678880184, -11.5953506862, 1.848098769e-23},
                  {4.4604387954, -0.4162855969, 0.0994437209, -4.1861426076, 4.475450398e-05}};
        for (std::size_t k = 0; k < 3; ++k) {
            const SimpleSlope& slope = moderation.slopes[k];
            const std::string what = "slope " + std::to_string(k);
            expectRelative(slope.at, r[k].at, 1e-7, what + " at");
            expectRelative(slope.B, r[k].B, 2e-6, what + " B");
            expectRelative(slope.SE, r[k].SE, 2e-6, what + " SE");
            expectRelative(slope.t, r[k].t, 2e-6, what + " t");
            expectRelative(slope.p, r[k].p, 1e-4, what + " p");
            EXPECT_NEAR(slope.lower, slope.B - moderation.critical * slope.SE, 1e-12);
            ASSERT_TRUE(slope.percentile && slope.percentile->lower && slope.percentile->upper);
            EXPECT_LT(*slope.percentile->lower, slope.B);
            EXPECT_GT(*slope.percentile->upper, slope.B);
        }
        EXPECT_EQ(moderation.slopes[0].point, SlopePoint::BelowMean);
        EXPECT_EQ(moderation.slopes[2].point, SlopePoint::AboveMean);
        // The line at the mean passes through the mean of wellbeing where stress is at its mean (all else at
        // its mean): 51.0062481463 is the centred model's intercept.
        const SimpleSlope& mean = moderation.slopes[1];
        expectRelative(mean.intercept + mean.B * 19.6355555349, 51.0062481463, 1e-4, "the mean's line");
        ASSERT_TRUE(moderation.johnsonNeyman);
        const JohnsonNeyman& jn = *moderation.johnsonNeyman;
        ASSERT_EQ(jn.bounds.size(), 2u);
        expectRelative(jn.bounds[0], 4.912952806, 1e-6, "first bound");
        expectRelative(jn.bounds[1], 6.791288864, 1e-6, "second bound");
        EXPECT_EQ(jn.significant, (std::vector<bool>{true, false, true}));
        EXPECT_FLOAT_EQ(static_cast<float>(moderation.moderatorMin), 1.08f);
        EXPECT_FLOAT_EQ(static_cast<float>(moderation.moderatorMax), 5.97f);
        // The slope at a bound has |t| at the critical value.
        const ModerationResult::SlopeAt at = moderation.slopeAt(jn.bounds[0]);
        EXPECT_NEAR(std::fabs(at.B / at.SE), moderation.critical, 1e-9);
    }
    // Values given take the place of the mean and one SD either side.
    request.Slopes->at = {2.0, 5.0};
    const Outcome<HierarchicalResult> given = RunHierarchical(request, data, 5);
    ASSERT_TRUE(given.ok()) << given.refusal().message;
    ASSERT_EQ(given->Moderation->slopes.size(), 2u);
    EXPECT_EQ(given->Moderation->slopes[1].point, SlopePoint::Given);
    EXPECT_EQ(given->Moderation->slopes[1].at, 5.0);
    // -0.7871853812 + (5 - 3.4876111156) x 0.3812594893
    expectRelative(given->Moderation->slopes[1].B, -0.2105729, 1e-5, "slope at 5");
}

// R: k1 <- lm(wellbeing ~ stress + condition); k2 <- lm(wellbeing ~ stress * condition); anova(k1, k2):
// change 0.05592982895, F 9.47909 on 2 and 174 df; the slope of stress in each condition from coef and vcov.
TEST(Moderation, ACategoricalModeratorMatchesR)
{
    const DataSet data = moderationData();
    HierarchicalRequest request = productRequest(Condition);
    request.Slopes = SlopesRequest{Stress, Condition, {}};
    const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 5);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    EXPECT_EQ(run->stepColumns, (std::vector<std::int32_t>{3, 2}));
    const BootstrapResult& step = run->steps[1];
    expectRelative(*step.DeltaR2, 0.05592982895, 1e-5, "change");
    expectRelative(*step.FValue, 9.47909, 1e-5, "F change");
    EXPECT_EQ(step.df1, 2);
    expectCoefficients(step.Coefficients->full,
                       {71.1903368494, -1.1273910763, -10.6819733817, -2.1718202843, 0.7518796820, 0.2365129159},
                       "stress * condition");
    const ModerationResult& moderation = *run->Moderation;
    EXPECT_TRUE(moderation.categoricalModerator);
    EXPECT_FALSE(moderation.johnsonNeyman);
    ASSERT_EQ(moderation.slopes.size(), 3u);
    const double B[3] = {-1.1273910763, -0.3755113943, -0.8908781604};
    const double SE[3] = {0.1341280248, 0.1201126946, 0.1161778151};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(moderation.slopes[k].category, static_cast<std::int32_t>(k) + 1);
        expectRelative(moderation.slopes[k].B, B[k], 2e-6, "B in category " + std::to_string(k + 1));
        expectRelative(moderation.slopes[k].SE, SE[k], 2e-6, "SE in category " + std::to_string(k + 1));
    }
    EXPECT_EQ(moderation.categoryLabels, (std::vector<std::string>{"control", "mindfulness", "exercise"}));
    // A categorical moderator takes no values.
    request.Slopes->at = {1.0};
    EXPECT_EQ(RunHierarchical(request, data, 5).refusal().message,
              "Var 4 (condition) is categorical: its slopes are read in each category, not at values given.");
}

// A moderator value far beyond the data takes the slope's variance past double precision: the run says so
// rather than reporting an infinite standard error. 1e150 still has a finite slope.
TEST(Moderation, SlopesAtValuesBeyondDoublePrecisionAreRefused)
{
    const DataSet data = moderationData();
    HierarchicalRequest request = productRequest(Support);
    request.Coefficients = false;
    request.NumTrials = 50;
    for (const double at : {1e300, -1e308}) {
        request.Slopes = SlopesRequest{Stress, Support, {2.0, at}};
        const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 4);
        ASSERT_FALSE(run.ok());
        EXPECT_EQ(run.refusal().message, std::string("The simple slope at ") + (at > 0 ? "1E+300" : "-1E+308")
                                             + " is beyond the range of double precision; give moderator values "
                                               "nearer its observed range (1.08000 to 5.97000).");
    }
    request.Slopes = SlopesRequest{Stress, Support, {1e150}};
    const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 4);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    EXPECT_TRUE(std::isfinite(run->Moderation->slopes[0].SE));
}

// boot(d, stat, R = 20000) of the interaction's R^2 change and of the slope of stress at support's mean less
// one SD (see the R script): percentile [0.03311988, 0.14774024] and [-1.35542427, -0.97204444]. Two Monte
// Carlo runs agree in distribution, not in digits.
TEST(Moderation, BootstrapIntervalsMatchBootInDistribution)
{
    const DataSet data = moderationData();
    HierarchicalRequest request = productRequest(Support);
    request.Coefficients = false;
    request.NumTrials = 20000;
    request.Slopes = SlopesRequest{Stress, Support, {}};
    const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 11);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    const Interval* change = run->steps[1].interval(IntervalKind::Traditional);
    ASSERT_TRUE(change && change->lower && change->upper);
    EXPECT_NEAR(*change->lower, 0.0331, 0.006);
    EXPECT_NEAR(*change->upper, 0.1477, 0.006);
    const std::optional<ResampledInterval>& slope = run->Moderation->slopes[0].percentile;
    ASSERT_TRUE(slope && slope->lower && slope->upper);
    EXPECT_NEAR(*slope->lower, -1.3554, 0.015);
    EXPECT_NEAR(*slope->upper, -0.9720, 0.015);
}

// Two categorical factors: each pair of indicators is a column. R on mtcars:
// m1 <- lm(mpg ~ factor(cyl) + factor(am)); m2 <- lm(mpg ~ factor(cyl) * factor(am)); anova(m1, m2):
// R^2 0.7651113729 and 0.7877005783, F 1.38323 on 2 and 26 df; coef(m2) 22.9, -3.775, -7.85, 5.175,
// -3.733333333, -4.825.
TEST(Moderation, TwoCategoricalFactorsMatchR)
{
    const DataSet mtcars =
        test::fileData(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
    constexpr std::int32_t Mpg = 1, Cyl = 2, Am = 9;
    HierarchicalRequest request;
    request.DependentVariable = Mpg;
    request.Steps = {{Cyl, Am}, {}};
    request.Products = {{}, {{Cyl, Am}}};
    request.Categorical = {Cyl, Am};
    request.NumTrials = 100;
    request.Coefficients = true;
    const Outcome<HierarchicalResult> run = RunHierarchical(request, mtcars, 3);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    EXPECT_EQ(run->stepColumns, (std::vector<std::int32_t>{3, 2}));
    // cyl 6 vs 4 times am 1 vs 0, then cyl 8 vs 4 times it.
    EXPECT_EQ(run->columns[3].category, 2);
    EXPECT_EQ(run->columns[3].byVariable, Am);
    EXPECT_EQ(run->columns[3].byCategory, 2);
    EXPECT_EQ(run->columns[4].category, 3);
    const BootstrapResult& step = run->steps[1];
    expectRelative(*step.ReducedR2, 0.7651113729, 1e-6, "reduced R^2");
    expectRelative(*step.FullR2, 0.7877005783, 1e-6, "full R^2");
    expectRelative(*step.FValue, 1.38323, 1e-5, "F change");
    EXPECT_EQ(step.df1, 2);
    expectCoefficients(step.Coefficients->full, {22.9, -3.775, -7.85, 5.175, -3.733333333, -4.825}, "cyl * am");
}

// y, x, w: x and w small whole numbers, so that 1e6 + x and 1e6 + w are exact in single precision.
std::vector<std::vector<float>> smallProductRows(float offset, float scale = 1.0f)
{
    const std::vector<std::vector<float>> rows = {
        {3.28f, 1, 1}, {7.32f, 2, 2},  {4.74f, 3, 1}, {9.14f, 4, 2}, {4.38f, 1, 2},  {9.73f, 2, 3},
        {8.43f, 3, 2}, {11.88f, 4, 3}, {4.77f, 1, 3}, {9.98f, 2, 4}, {11.46f, 3, 3}, {16.02f, 4, 4},
        {2.17f, 1, 1}, {5.81f, 2, 2},  {5.7f, 3, 1},  {9.3f, 4, 2},  {4.03f, 1, 2},  {8.29f, 2, 3},
        {9.64f, 3, 2}, {12.97f, 4, 3}, {6.48f, 1, 3}, {9.02f, 2, 4}, {11.37f, 3, 3}, {16.19f, 4, 4}};
    std::vector<std::vector<float>> moved = rows;
    for (std::vector<float>& row : moved) {
        row[1] = offset + scale * row[1];
        row[2] = offset + scale * row[2];
    }
    return moved;
}

// A product of variables far from 0 rounds away its interaction in single precision; centred, it keeps it.
// R: m1 <- lm(y ~ x + w); m2 <- lm(y ~ x * w): R^2 0.9298946671 and 0.9558742438, the product's B 0.5682692308,
// the same with x + 1e6 and w + 1e6 (R's own QR then drops x:w as aliased). 1e19 x times 1e19 w, and the product of
// 1e20 x and 1e20 w centred, are beyond single precision.
TEST(Moderation, ProductsThatSinglePrecisionCannotHoldAreRefused)
{
    constexpr std::int32_t Y = 1, X = 2, W = 3;
    HierarchicalRequest request;
    request.DependentVariable = Y;
    request.Steps = {{X, W}, {}};
    request.Products = {{}, {{X, W}}};
    request.NumTrials = 50;
    request.Coefficients = true;
    struct Case {
        float offset;
        float scale;
        bool centred;
        std::string refusal; // empty: the run matches R
    };
    const std::vector<Case> cases = {
        {0.0f, 1.0f, false, ""},
        {1e6f, 1.0f, true, ""},
        {1e6f, 1.0f, false,
         "The product Var 2 * Var 3 loses its interaction in single precision: its variables are far from 0 for "
         "their spread. Centre them at their means to form it."},
        // 1e38 in case 1, 4e38 in case 2; centred, (1 - 2.5) (1 - 2.5) 1e40 in case 1.
        {0.0f, 1e19f, false,
         "The product Var 2 * Var 3 of case 2 is beyond the range of single precision (about "
         "3.4E+38)."},
        {0.0f, 1e20f, true,
         "The product Var 2 * Var 3 of case 1 is beyond the range of single precision (about "
         "3.4E+38)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + " + " + std::to_string(c.scale) + (c.centred ? " centred" : ""));
        const DataSet data = test::tableOf(smallProductRows(c.offset, c.scale));
        request.Centred = c.centred ? std::set<std::int32_t>{X, W} : std::set<std::int32_t>{};
        const Outcome<HierarchicalResult> run = RunHierarchical(request, data, 2);
        if (!c.refusal.empty()) {
            ASSERT_FALSE(run.ok());
            EXPECT_EQ(run.refusal().message, c.refusal);
            continue;
        }
        ASSERT_TRUE(run.ok()) << run.refusal().message;
        expectRelative(*run->steps[1].ReducedR2, 0.9298946671, 1e-6, "reduced R^2");
        expectRelative(*run->steps[1].FullR2, 0.9558742438, 1e-6, "full R^2");
        ASSERT_TRUE(run->steps[1].Coefficients->full.table);
        expectRelative(run->steps[1].Coefficients->full.table->rows[3].B, 0.5682692308, 1e-5, "the product's B");
    }
}

TEST(Moderation, RequestsThatCannotBeAnswered)
{
    const DataSet data = moderationData();
    struct Case {
        std::vector<std::vector<std::int32_t>> steps;
        std::vector<std::vector<ProductTerm>> products;
        std::optional<SlopesRequest> slopes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{{Stress}, {}},
         {{}, {{Stress, Support}}},
         std::nullopt,
         "The product Var 2 (stress) * Var 3 (support) in step 2 needs Var 3 (support) in the model: enter it in "
         "step 2 or a step before it."},
        // A main effect in a later step does not count.
        {{{Stress}, {Support}},
         {{{Stress, Support}}},
         std::nullopt,
         "The product Var 2 (stress) * Var 3 (support) in step 1 needs Var 3 (support) in the model: enter it in "
         "step 1 or a step before it."},
        {{{Stress}},
         {{{Stress, Stress}}},
         std::nullopt,
         "The product Var 2 (stress) * Var 2 (stress) in step 1 multiplies a variable by itself; a product joins two "
         "different predictors."},
        {{{Stress, Support}, {}},
         {{{Stress, Support}}, {{Support, Stress}}},
         std::nullopt,
         "The product Var 3 (support) * Var 2 (stress) is listed twice."},
        {{{Stress}},
         {{{Stress, Wellbeing}}},
         std::nullopt,
         "The product Var 2 (stress) * Var 1 (wellbeing) in step 1 takes the dependent variable Var 1 (wellbeing)."},
        {{{Stress, Support}},
         {},
         SlopesRequest{Stress, Support, {}},
         "The simple slopes of Var 2 (stress) at Var 3 (support) need their product in a step (Var 2 (stress) * "
         "Var 3 (support))."},
        {{{Stress, Condition}, {}},
         {{}, {{Stress, Condition}}},
         SlopesRequest{Condition, Stress, {}},
         "Var 4 (condition) is categorical; simple slopes are of a numeric focal predictor (a categorical variable "
         "can be the moderator)."},
        {{{Stress, Support, Condition}, {}},
         {{}, {{Stress, Support}, {Stress, Condition}}},
         SlopesRequest{Stress, Support, {}},
         "The model of step 2 has another product of Var 2 (stress) (Var 2 (stress) * Var 4 (condition)), so its "
         "slope depends on more than Var 3 (support)."},
        {{{Stress}},
         {},
         SlopesRequest{Stress, Support, {}},
         "Var 3 (support) is not a predictor of the model, so it takes no part in simple slopes."},
        {{{Stress, Support}, {}},
         {{}, {{Stress, Support}}},
         SlopesRequest{Stress, Support, std::vector<double>(11, 1.0)},
         "There are 11 moderator values for the simple slopes, and at most 10 are allowed."},
        {{{}}, {}, std::nullopt, "Step 1 adds no predictor."},
        {{{Stress}}, {{}, {}}, std::nullopt, "There are products for 2 steps, and only 1 steps."},
    };
    for (const Case& c : cases) {
        HierarchicalRequest request;
        request.DependentVariable = Wellbeing;
        request.Steps = c.steps;
        request.Products = c.products;
        request.Slopes = c.slopes;
        const Status checked = CheckHierarchicalRequest(request, data);
        ASSERT_FALSE(checked.ok()) << c.message;
        EXPECT_EQ(checked.refusal().message, c.message);
    }
}

// The closed form of Johnson-Neyman in the cases a quadratic can take, worked by hand.
TEST(Moderation, JohnsonNeymanSolvesEveryShapeOfTheQuadratic)
{
    // d^2 - 4 (b1 0, b3 1, v11 1, t 2): significant outside -2 and 2, moved by the centre.
    JohnsonNeyman jn = SolveJohnsonNeyman(0.0, 1.0, 1.0, 0.0, 0.0, 2.0, 10.0);
    ASSERT_EQ(jn.bounds.size(), 2u);
    EXPECT_DOUBLE_EQ(jn.bounds[0], 8.0);
    EXPECT_DOUBLE_EQ(jn.bounds[1], 12.0);
    EXPECT_EQ(jn.significant, (std::vector<bool>{true, false, true}));
    // -3.99 d^2 + d + 21: significant between (1 -+ sqrt(336.16)) / 7.98.
    jn = SolveJohnsonNeyman(5.0, 0.1, 1.0, 0.0, 1.0, 2.0, 0.0);
    ASSERT_EQ(jn.bounds.size(), 2u);
    EXPECT_NEAR(jn.bounds[0], (1.0 - std::sqrt(336.16)) / 7.98, 1e-12);
    EXPECT_NEAR(jn.bounds[1], (1.0 + std::sqrt(336.16)) / 7.98, 1e-12);
    EXPECT_EQ(jn.significant, (std::vector<bool>{false, true, false}));
    // A linear one (b3^2 = t^2 v33): 2 d, significant above 0 only.
    jn = SolveJohnsonNeyman(1.0, 1.0, 1.0, 0.0, 1.0, 1.0, 0.0);
    ASSERT_EQ(jn.bounds.size(), 1u);
    EXPECT_DOUBLE_EQ(jn.bounds[0], 0.0);
    EXPECT_EQ(jn.significant, (std::vector<bool>{false, true}));
    // No root: significant everywhere (b1 10, nothing else varies), or nowhere (b1 0).
    jn = SolveJohnsonNeyman(10.0, 0.0, 1.0, 0.0, 0.0, 2.0, 0.0);
    EXPECT_TRUE(jn.bounds.empty());
    EXPECT_EQ(jn.significant, (std::vector<bool>{true}));
    jn = SolveJohnsonNeyman(0.0, 0.0, 1.0, 0.0, 1.0, 2.0, 0.0);
    EXPECT_TRUE(jn.bounds.empty());
    EXPECT_EQ(jn.significant, (std::vector<bool>{false}));
    // A double root touches 0 without a change of significance: no bound.
    jn = SolveJohnsonNeyman(0.0, 1.0, 0.0, 0.0, 0.0, 2.0, 0.0);
    EXPECT_TRUE(jn.bounds.empty());
    EXPECT_EQ(jn.significant, (std::vector<bool>{true}));
}

} // namespace
} // namespace orvalis
