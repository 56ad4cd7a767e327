// Planning: the power of the F test against Cohen's example and R, the sample size for a power, the populations,
// and the width plan's determinism, stop and coverage.
#include "analyses/Planning.h"
#include "analyses/PlanningReport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvalis {
namespace {

// Cohen (1988, example 9.1): u = 5, v = 89, f^2 = .1/.9 has power .6736 with
// pwr's lambda = f^2 (u + v + 1). The others from R's noncentral F,
//   f <- function(N, p, q, f2, a = .05, l = f2 * N) { v <- N - p - q - 1
//     1 - pf(qf(1 - a, q, v), q, v, ncp = l) }
// and pwr::pwr.f2.test(u = 2, v = 144, f2 = .05/.75)$power for pwr's convention.
TEST(Planning, PowerOfTheFTest)
{
    struct Case {
        std::int32_t p, q;
        double f2, alpha;
        Noncentrality convention;
        std::int32_t n;
        double power;
    };
    const Case cases[] = {
        {0, 5, 0.1 / 0.9, 0.05, Noncentrality::Pwr, 95, 0.6735857709},
        {0, 5, 0.1 / 0.9, 0.05, Noncentrality::GPower, 95, 0.6735857709}, // p = 0: the conventions agree
        {3, 2, 0.05 / 0.75, 0.05, Noncentrality::GPower, 150, 0.8068245565},
        {3, 2, 0.05 / 0.75, 0.05, Noncentrality::Pwr, 150, 0.798371973},
        {2, 3, 0.15, 0.01, Noncentrality::GPower, 60, 0.4233233290},
        {4, 1, 0.02, 0.05, Noncentrality::GPower, 400, 0.8055366966},
    };
    for (const Case& c : cases) {
        const PowerQuestion question{c.p, c.q, c.f2, c.alpha, c.convention};
        const std::optional<PowerAnswer> answer = powerAt(question, c.n);
        ASSERT_TRUE(answer.has_value());
        EXPECT_NEAR(answer->power, c.power, 1e-9) << c.n;
        EXPECT_EQ(answer->df2, c.n - c.p - c.q - 1);
    }
    // The smallest N, from R by counting up: g <- function(t, p, q, f2) { N <- p + q + 2
    //   while (f(N, p, q, f2) < t) N <- N + 1; N }
    struct Target {
        std::int32_t p, q;
        double f2, target;
        std::int32_t n;
        double power;
    };
    const Target targets[] = {{3, 2, 0.05 / 0.75, 0.8, 148, 0.8010990743}, {2, 1, 0.02, 0.9, 528, 0.9003748476}};
    for (const Target& t : targets) {
        const std::optional<PowerAnswer> answer =
            sampleForPower({t.p, t.q, t.f2, 0.05, Noncentrality::GPower}, t.target);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->n, t.n);
        EXPECT_NEAR(answer->power, t.power, 1e-9);
    }
    // A huge effect reaches the power at the smallest sample; a tiny one at none below 10,000,000.
    EXPECT_EQ(sampleForPower({1, 1, 50.0, 0.05, Noncentrality::GPower}, 0.5)->n, 4);
    EXPECT_FALSE(sampleForPower({1, 1, 1e-9, 0.05, Noncentrality::GPower}, 0.99));
    EXPECT_FALSE(powerAt({3, 2, 0.1, 0.05, Noncentrality::GPower}, 6)); // no error df
    EXPECT_FALSE(CheckPowerQuestion({0, 0, 0.1, 0.05, Noncentrality::GPower}).ok());
    EXPECT_FALSE(CheckPowerQuestion({1, 1, 0.0, 0.05, Noncentrality::GPower}).ok());
    EXPECT_FALSE(CheckPowerQuestion({1, 1, 0.1, 1.0, Noncentrality::GPower}).ok());
    const std::vector<PowerAnswer> curve = powerCurve({3, 2, 0.05 / 0.75, 0.05, Noncentrality::GPower}, 0, 200, 50);
    ASSERT_EQ(curve.size(), 4u); // 50, 100, 150, 200 (0 is below the smallest sample)
    EXPECT_EQ(FormatPowerCurveCsv(curve).substr(0, 11), "n,power\n50,");
}

// A power that rounds to 1 at four decimals is shown as "> .9999", never
// "1". From R, with f() as above: f(80, 2, 2, .5) = 0.9999465178,
// f(81, 2, 2, .5) = 0.9999546187, f(100, 0, 1, 1) = 0.999999999999999.
TEST(Planning, PowerNearOneIsShownBelowOne)
{
    struct Case {
        std::int32_t p, q;
        double f2;
        std::int32_t n;
        double power;
        const char* shown;
    };
    const Case cases[] = {
        {2, 2, 0.5, 80, 0.9999465178, "0.9999"},
        {2, 2, 0.5, 81, 0.9999546187, "> .9999"},
        {0, 1, 1.0, 100, 0.999999999999999, "> .9999"},
    };
    for (const Case& c : cases) {
        const PowerQuestion question{c.p, c.q, c.f2, 0.05, Noncentrality::GPower};
        const std::optional<PowerAnswer> answer = powerAt(question, c.n);
        ASSERT_TRUE(answer.has_value());
        EXPECT_NEAR(answer->power, c.power, 1e-9) << c.n;
        EXPECT_EQ(powerText(answer->power), c.shown) << c.n;
        const std::string report = FormatPowerReport(question, *answer);
        EXPECT_NE(report.find(std::string("\r\nPower: ") + c.shown + "\r\n"), std::string::npos) << report;
        EXPECT_EQ(report.find("Power: 1\r\n"), std::string::npos) << report;
    }
    EXPECT_EQ(powerText(0.8010990743), "0.8011");
}

// A population by its structure has the R^2 it was asked for; a matrix that
// is not a correlation matrix, or has the wrong size, is refused by name.
TEST(Planning, Populations)
{
    struct Case {
        std::int32_t p, q;
        double r, reduced, change;
    };
    for (const Case& c : {Case{3, 2, 0.3, 0.2, 0.05}, Case{0, 4, 0.5, 0.0, 0.13}, Case{2, 2, 0.0, 0.3, 0.02},
                          Case{5, 1, -0.1, 0.1, 0.1}}) {
        const Outcome<Population> population = populationFromStructure(c.p, c.q, c.r, c.reduced, c.change);
        ASSERT_TRUE(population.ok()) << population.refusal().message;
        EXPECT_NEAR(population->reducedR2, c.reduced, 1e-12);
        EXPECT_NEAR(population->fullR2, c.reduced + c.change, 1e-12);
    }
    EXPECT_FALSE(populationFromStructure(2, 2, -0.5, 0.2, 0.05).ok()); // below -1/(k - 1)
    EXPECT_FALSE(populationFromStructure(0, 2, 0.3, 0.2, 0.05).ok());  // no reduced model, yet an R^2
    EXPECT_FALSE(populationFromStructure(2, 1, 0.3, 0.6, 0.45).ok());  // a sum of 1.05

    // By hand: y correlates .5 with x1 and .3 with x2, which correlate .2:
    // rho^2 full = (.25 + .09 - 2 .5 .3 .2) / (1 - .04) = .28 / .96.
    const Outcome<std::vector<std::vector<double>>> parsed =
        parseCorrelationMatrix("# y, x1, x2\n1, .5, +.3\n.5 1 .2\n\n0.3;0.2;1\n");
    ASSERT_TRUE(parsed.ok()) << parsed.refusal().message;
    const Outcome<Population> matrix = populationFromMatrix(1, 1, *parsed);
    ASSERT_TRUE(matrix.ok());
    EXPECT_NEAR(matrix->reducedR2, 0.25, 1e-12);
    EXPECT_NEAR(matrix->fullR2, 0.28 / 0.96, 1e-12);
    struct Bad {
        std::string text;
        std::string says;
    };
    for (const Bad& bad :
         {Bad{"1 .5\n.5 1\n", "has 2 rows"}, Bad{"1 .5 .3\n.5 1 .2\n.3 .2\n", "Row 3"},
          Bad{"1 .9 .9\n.9 1 -.9\n.9 -.9 1\n", "not positive definite"},
          Bad{"1 .5 .3\n.4 1 .2\n.3 .2 1\n", "symmetric"}, Bad{"1 x 0\n", "\"x\", which is not"},
          // The entry quoted with its control characters escaped.
          Bad{"1 .5\n.5 1\x1b[2J\n", "Line 2 of the correlation matrix has \"1\\x1B[2J\", which is not"},
          Bad{"1 \x9bm31\n", "\"\\x9Bm31\", which is not"}}) {
        Outcome<std::vector<std::vector<double>>> rows = parseCorrelationMatrix(bad.text);
        const std::string message =
            rows.ok() ? populationFromMatrix(1, 1, *rows).refusal().message : rows.refusal().message;
        EXPECT_NE(message.find(bad.says), std::string::npos) << message;
        EXPECT_EQ(message.find('\x1b'), std::string::npos) << message;
    }
}

// The width plan: the same rows on 1 and 2 threads; a stop request stops it;
// the modified interval's coverage within Algina, Keselman and Penfield's
// range, [.925, .975], at n >= 50 with 4 predictors (3 and 1 added) and a
// change of .04. (With 2 added predictors and n = 50 this simulation finds
// .90 to .92, below the range; by n = 100 it is within. README says so.)
TEST(Planning, WidthPlan)
{
    WidthQuestion question;
    question.population = *populationFromStructure(3, 1, 0.3, 0.3, 0.04);
    question.sampleSizes = {50, 150};
    question.dataSets = 600;
    question.trials = 500;
    question.targetWidth = 0.2;
    question.seed = 11;
    const Outcome<WidthPlan> one = RunWidthPlan(question, {}, 1);
    const Outcome<WidthPlan> two = RunWidthPlan(question, {}, 2);
    ASSERT_TRUE(one.ok() && two.ok());
    ASSERT_EQ(one->rows.size(), 2u);
    EXPECT_EQ(FormatWidthPlan(*one), FormatWidthPlan(*two));
    for (const WidthRow& row : one->rows) {
        EXPECT_EQ(row.dataSets, 600);
        EXPECT_GE(row.modifiedCoverage, 0.925) << row.n;
        EXPECT_LE(row.modifiedCoverage, 0.975) << row.n;
        EXPECT_GE(row.modifiedCoverage, row.coverage); // a lower limit of 0 only adds coverage
        EXPECT_LT(row.medianWidth, row.assuranceWidth);
    }
    EXPECT_GT(one->rows[0].lowerZero, one->rows[1].lowerZero); // the test gains power with n
    EXPECT_GT(one->rows[0].medianWidth, one->rows[1].medianWidth);
    const std::string text = FormatWidthPlan(*one);
    EXPECT_NE(text.find("Smallest N whose modified intervals are at most 0.2 wide in 80% of the data sets: "),
              std::string::npos)
        << text;

    std::stop_source stop;
    std::int32_t reported = 0;
    const RunControl control{[&](std::int32_t done) {
                                 reported = done;
                                 stop.request_stop();
                             },
                             stop.get_token()};
    question.dataSets = 5000;
    const Outcome<WidthPlan> stopped = RunWidthPlan(question, control, 2);
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.refusal().reason, Refusal::Reason::Stopped);
    EXPECT_GT(reported, 0);

    question.sampleSizes = {5};
    EXPECT_NE(CheckWidthQuestion(question).refusal().message.find("at least 7 cases"), std::string::npos);
    EXPECT_DOUBLE_EQ(quantileOf({1.0, 2.0, 3.0, 4.0, 5.0}, 0.8), 4.2); // R: quantile(1:5, .8)
}

// The Monte Carlo error of a quantile width, by the order statistics. From R:
//   x <- ((1:200) / 200)^2; p <- .8; s <- sqrt(p * (1 - p) / 200)
//   (quantile(x, p + s, type = 7) - quantile(x, p - s, type = 7)) / 2   # 0.0450835598259594
// (a bootstrap of the quantile, sd(replicate(20000, quantile(sample(x, TRUE), .8))),
// gives 0.0449, the same size); y <- c(1, 2, 3), p + s held at 1: 0.43094010767585.
TEST(Planning, TheMonteCarloErrorOfAQuantile)
{
    std::vector<double> x;
    for (int k = 1; k <= 200; ++k) {
        x.push_back((k / 200.0) * (k / 200.0));
    }
    EXPECT_NEAR(quantileError(x, 0.8), 0.0450835598259594, 1e-12);
    EXPECT_NEAR(quantileError({1.0, 2.0, 3.0}, 0.8), 0.43094010767585, 1e-12);
    EXPECT_EQ(quantileError({0.5}, 0.8), 0.0);
    EXPECT_EQ(quantileError({}, 0.8), 0.0);
}

// With details, the width plan gives each row the Monte Carlo errors of its
// assurance widths and marks the rows within one error of the target; with
// a target set at a row's own width that row is marked, and the answer at
// it is said to be uncertain. Without details the block is as before.
TEST(Planning, TheWidthPlanMarksAnswersWithinTheirMonteCarloError)
{
    WidthQuestion question;
    question.population = *populationFromStructure(1, 1, 0.0, 0.2, 0.1);
    question.sampleSizes = {40, 80, 120};
    question.dataSets = 100;
    question.trials = 200;
    question.targetWidth = 0.5;
    question.seed = 5;
    const Outcome<WidthPlan> first = RunWidthPlan(question, {}, 2);
    ASSERT_TRUE(first.ok());
    // The target at the middle row's own assurance width.
    question.targetWidth = first->rows[1].assuranceWidth;
    const Outcome<WidthPlan> plan = RunWidthPlan(question, {}, 2);
    ASSERT_TRUE(plan.ok());
    for (const WidthRow& row : plan->rows) {
        EXPECT_GT(row.assuranceWidthError, 0.0) << row.n;
        EXPECT_LT(row.assuranceWidthError, 0.1 * row.assuranceWidth) << row.n;
        EXPECT_GT(row.assuranceModifiedWidthError, 0.0) << row.n;
    }
    EXPECT_TRUE(plan->rows[1].nearTarget);
    ASSERT_EQ(plan->smallestTraditional, std::optional<std::int32_t>(80));
    const std::string plain = FormatWidthPlan(*plan);
    const std::string details = FormatWidthPlan(*plan, true);
    EXPECT_EQ(plain.find("MC error"), std::string::npos);
    EXPECT_EQ(plain.find("Near"), std::string::npos);
    EXPECT_NE(details.find("  P80 MC error  P80 mod. MC error  Near\r\n"), std::string::npos) << details;
    EXPECT_NE(details.find("The traditional answer, N = 80, is within the Monte Carlo error of the target"),
              std::string::npos)
        << details;
    // The table's first columns and the lines below it are the plain block's.
    EXPECT_EQ(details.substr(0, details.find("\r\n\r\nN")), plain.substr(0, plain.find("\r\n\r\nN")));
    EXPECT_NE(details.find(plain.substr(plain.find("Smallest N whose traditional"),
                                        plain.find("Widths:") - plain.find("Smallest N whose traditional"))),
              std::string::npos);
}

} // namespace
} // namespace orvalis
