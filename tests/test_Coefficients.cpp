// A model's coefficients against R (lm, summary, confint, lm on scale()d data, VIF from each
// predictor's R^2 on the others) and against the pair's own
// R^2 change.
#include "analyses/Bootstrap.h"
#include "analyses/CoefficientDraws.h"
#include "analyses/Coefficients.h"
#include "analyses/CompleteCases.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvalis {
namespace {

constexpr std::int32_t Mpg = 1, Hp = 4, Wt = 6, Qsec = 7;

DataSet mtcars()
{
    return test::fileData(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/mtcars.csv", Delimiter::Comma);
}

CaseMatrix casesOf(const DataSet& data, std::int32_t dv, std::vector<std::int32_t> predictors,
                   std::vector<std::int32_t> added)
{
    BootstrapRequest request;
    request.DependentVariable = dv;
    request.PredictorList = std::move(predictors);
    request.AddedList = std::move(added);
    Outcome<CaseMatrix> cases = CollectCompleteCases(request, data);
    EXPECT_TRUE(cases.ok()) << cases.refusal().message;
    return cases.ok() ? std::move(*cases) : CaseMatrix();
}

void expectRelative(double actual, double expected, double tolerance, const char* what)
{
    EXPECT_NEAR(actual / expected, 1.0, tolerance) << what << ": " << actual << " against " << expected;
}

// R 4.2, on the data as the program holds them (single precision):
//   f <- function(x) readBin(writeBin(as.double(x), raw(), size = 4), "double", size = 4, n = length(x))
//   d <- read.csv("mtcars.csv"); d <- data.frame(mpg = f(d$mpg), wt = f(d$wt), hp = f(d$hp), qsec = f(d$qsec))
//   m <- lm(mpg ~ hp + wt + qsec, d); summary(m)$coefficients; confint(m, level = 0.90)
//   coef(lm(scale(mpg) ~ scale(hp) + scale(wt) + scale(qsec), d))
//   VIF: 1 / (1 - R^2 of the predictor on the other two), what car::vif(m) gives for one-column terms
//   sr2: summary(m)$r.squared less that of the model without the predictor
TEST(Coefficients, MatchRsLinearModel)
{
    const DataSet data = mtcars();
    // Columns in the case matrix: hp, wt (the reduced model's, ascending), qsec.
    const CaseMatrix cases = casesOf(data, Mpg, {Hp, Wt}, {Qsec});
    const CoefficientsOutcome outcome = ComputeCoefficients(cases, 3, ConfidenceLevel::P90);
    ASSERT_TRUE(outcome.table) << outcome.problem;
    const CoefficientTable& table = *outcome.table;
    EXPECT_EQ(table.df, 28);
    EXPECT_NEAR(table.R2, 0.834767729862, 1e-10);
    ASSERT_EQ(table.rows.size(), 4u);
    struct Expected {
        std::int32_t column;
        double B, SE, t, p, lower, upper, beta, sr2, vif;
    };
    const Expected expected[] = {
        {0, 27.6105305694769, 8.4199298645291, 3.27918771459, 2.78455636985e-03, 13.2871274125769, 41.93393372637684, 0,
         0, 0},
        {1, -0.0178222765252, 0.0149811703101, -1.18964514496, 2.44176158750e-01, -0.0433072087711, 0.00766265572077,
         -0.202747121759, 0.00835163895748, 4.92195550969},
        {2, -4.3587971987161, 0.7527004735906, -5.79087877801, 3.21722699349e-06, -5.6392392585776, -3.07835513885452,
         -0.707637978767, 0.19789088284709, 2.53044254384},
        {3, 0.5108335250993, 0.4392216037632, 1.16304280282, 2.54628610459e-01, -0.2363399320602, 1.25800698225884,
         0.151458156550, 0.00798230346819, 2.87380369299},
    };
    for (std::size_t r = 0; r < 4; ++r) {
        const Coefficient& c = table.rows[r];
        const Expected& e = expected[r];
        SCOPED_TRACE(r);
        EXPECT_EQ(c.column, e.column);
        expectRelative(c.B, e.B, 1e-9, "B");
        expectRelative(c.SE, e.SE, 1e-9, "SE");
        expectRelative(c.t, e.t, 1e-9, "t");
        expectRelative(c.p, e.p, 1e-8, "p");
        expectRelative(c.lower, e.lower, 1e-9, "lower");
        expectRelative(c.upper, e.upper, 1e-9, "upper");
        if (r == 0) {
            EXPECT_FALSE(c.beta || c.sr2 || c.tolerance || c.vif);
            continue;
        }
        ASSERT_TRUE(c.beta && c.sr2 && c.tolerance && c.vif);
        expectRelative(*c.beta, e.beta, 1e-9, "beta");
        expectRelative(*c.sr2, e.sr2, 1e-8, "sr2");
        expectRelative(*c.vif, e.vif, 1e-9, "VIF");
        expectRelative(*c.tolerance, 1.0 / e.vif, 1e-9, "tolerance");
    }
}

// sr^2 of the predictor entered last is the pair's own R^2 change for adding
// it, computed by the bootstrap's determinants; shifted columns (values far
// from 0) change the intercept only.
TEST(Coefficients, TheLastPredictorsSr2IsThePairsChangeAndShiftsMoveOnlyTheIntercept)
{
    const DataSet data = mtcars();
    BootstrapRequest request;
    request.DependentVariable = Mpg;
    request.PredictorList = {Hp, Wt};
    request.AddedList = {Qsec};
    request.NumTrials = 20;
    const Outcome<BootstrapResult> run = RunBootstrap(request, data, 3);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    const CoefficientsOutcome outcome =
        ComputeCoefficients(casesOf(data, Mpg, {Hp, Wt}, {Qsec}), 3, ConfidenceLevel::P95);
    ASSERT_TRUE(outcome.table);
    EXPECT_NEAR(*outcome.table->rows[3].sr2, *run->DeltaR2, 1e-10);
    EXPECT_NEAR(outcome.table->R2, *run->FullR2, 1e-10);

    // y = 1e6 + 2 x1 - 3 x2 + e: each column shifted by its first value.
    std::vector<std::vector<float>> rows;
    for (int i = 0; i < 40; ++i) {
        const float x1 = 5000.0f + static_cast<float>(i % 7);
        const float x2 = static_cast<float>((i * 13) % 11) - 5.0f;
        const float e = (i % 2 == 0 ? 0.5f : -0.5f) * static_cast<float>(1 + i % 3);
        rows.push_back({1000000.0f + 2.0f * (x1 - 5000.0f) - 3.0f * x2 + e, x1, x2});
    }
    const DataSet shifted = test::tableOf(rows);
    const CaseMatrix cases = casesOf(shifted, 1, {2}, {3});
    ASSERT_NE(cases.shift[1], 0.0f);
    const CoefficientsOutcome fit = ComputeCoefficients(cases, 2, ConfidenceLevel::P95);
    ASSERT_TRUE(fit.table) << fit.problem;
    // R: lm(y ~ x1 + x2) on the same rows gives slopes near 2 and -3 and an
    // intercept near 1e6 - 2 * 5000; the intercept carries the shifts.
    EXPECT_NEAR(fit.table->rows[1].B, 2.0, 0.1);
    EXPECT_NEAR(fit.table->rows[2].B, -3.0, 0.1);
    EXPECT_NEAR(fit.table->rows[0].B, 1000000.0 - 10000.0, 500.0);
    // The fitted value at the first case is its y less its residual, whatever the shifts.
    const double fitted = fit.table->rows[0].B + fit.table->rows[1].B * rows[0][1] + fit.table->rows[2].B * rows[0][2];
    EXPECT_NEAR(fitted, rows[0][0], 3.0);
}

TEST(Coefficients, AnInterceptOnlyModelAndTheRefusals)
{
    // No predictor: B is the mean, SE the standard error of the mean (R: lm(y ~ 1)).
    const DataSet data = test::tableOf({{1.0f, 0.0f}, {2.0f, 1.0f}, {4.0f, 0.0f}, {7.0f, 1.0f}});
    const CoefficientsOutcome mean = ComputeCoefficients(casesOf(data, 1, {}, {2}), 0, ConfidenceLevel::P95);
    ASSERT_TRUE(mean.table) << mean.problem;
    ASSERT_EQ(mean.table->rows.size(), 1u);
    EXPECT_DOUBLE_EQ(mean.table->rows[0].B, 3.5);
    // The squares about 3.5 sum to 21: sd = sqrt(21 / 3) = sqrt(7), SE = sd / 2;
    // qt(0.975, 3) = 3.18244630528.
    EXPECT_NEAR(mean.table->rows[0].SE, std::sqrt(7.0) / 2.0, 1e-12);
    EXPECT_NEAR(mean.table->rows[0].upper, 3.5 + 3.18244630528 * std::sqrt(7.0) / 2.0, 1e-9);
    EXPECT_EQ(mean.table->df, 3);

    const DataSet dependent =
        test::tableOf({{1.0f, 1.0f, 2.0f}, {2.0f, 2.0f, 4.0f}, {4.0f, 3.0f, 6.0f}, {3.0f, 5.0f, 10.0f}});
    EXPECT_EQ(ComputeCoefficients(casesOf(dependent, 1, {2}, {3}), 2, ConfidenceLevel::P95).problem,
              "the predictors are linearly dependent");
    const DataSet constant = test::tableOf({{1.0f, 1.0f}, {1.0f, 2.0f}, {1.0f, 4.0f}});
    EXPECT_EQ(ComputeCoefficients(casesOf(constant, 1, {}, {2}), 1, ConfidenceLevel::P95).problem,
              "the dependent variable is constant");
    const DataSet two = test::tableOf({{1.0f, 1.0f}, {2.0f, 2.0f}});
    EXPECT_EQ(ComputeCoefficients(casesOf(two, 1, {}, {2}), 1, ConfidenceLevel::P95).problem, "too few complete cases");
}

// Each trial's beta and sr^2 come from its correlations: on the observed
// sample they are the fitted model's (the QR of the data), and a trial whose
// predictors are dependent has none.
TEST(Coefficients, StandardizedCoefficientsFromCorrelationsAreTheFittedModels)
{
    const DataSet data = mtcars();
    const CaseMatrix cases = casesOf(data, Mpg, {Hp, Wt}, {Qsec});
    SampleSums sums;
    AccumulateSums(cases, nullptr, cases.NumComplete, sums);
    CorrMatrix C{};
    CorrelationsFromSums(sums, cases.NumComplete, 3, C);
    std::vector<double> draw(static_cast<std::size_t>(coefficientDrawWidth(2, 1)));
    ASSERT_EQ(draw.size(), 10u); // reduced: 2 betas, 2 sr^2; full: 3 betas, 3 sr^2
    DrawCoefficients(C, 2, 1, draw.data());
    const CoefficientTable reduced = *ComputeCoefficients(cases, 2, ConfidenceLevel::P95).table;
    const CoefficientTable full = *ComputeCoefficients(cases, 3, ConfidenceLevel::P95).table;
    for (std::size_t j = 0; j < 2; ++j) {
        EXPECT_NEAR(draw[j], *reduced.rows[j + 1].beta, 1e-9) << j;
        EXPECT_NEAR(draw[2 + j], *reduced.rows[j + 1].sr2, 1e-9) << j;
    }
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_NEAR(draw[4 + j], *full.rows[j + 1].beta, 1e-9) << j;
        EXPECT_NEAR(draw[7 + j], *full.rows[j + 1].sr2, 1e-9) << j;
    }
    // R's values for the full model (lm on scale()d data): -0.20275, -0.70764, 0.15146.
    EXPECT_NEAR(draw[4], -0.20275, 5e-6);
    EXPECT_NEAR(draw[5], -0.70764, 5e-6);

    // A predictor that repeats another: no beta, no sr^2 in that model.
    CorrMatrix same = C;
    for (std::size_t a = 0; a < 4; ++a) {
        same[a][3] = same[a][2];
        same[3][a] = same[2][a];
    }
    same[3][3] = 1.0;
    same[2][3] = 1.0;
    same[3][2] = 1.0;
    double beta[3];
    double sr2[3];
    EXPECT_FALSE(StandardizedCoefficients(same, 3, beta, sr2));
    DrawCoefficients(same, 2, 1, draw.data());
    EXPECT_FALSE(std::isnan(draw[0]));
    EXPECT_TRUE(std::isnan(draw[4]));
    EXPECT_TRUE(std::isnan(draw[9]));
}

// The percentile and BCa intervals of beta and sr^2 from the run's own trials,
// against R's boot (20,000 resamples; tests/data/coefficients/make_boot_beta.R,
// which made the data and printed these):
//   stat <- function(d, i) { z <- as.data.frame(scale(d[i, ])); m <- lm(y ~ x1 + x2 + x3, z);
//     c(coef(m)[-1], sr2 of each predictor) }; boot.ci(boot(d, stat, R = 20000), type = c("perc", "bca"))
// Two Monte Carlo runs of 20,000 differ by a few thousandths in a limit, so
// they agree in distribution within 0.015, not in digits.
TEST(Coefficients, BootstrapIntervalsMatchBootInDistribution)
{
    ImportOutcome imported =
        ImportDataFile(std::string(ORVALIS_TEST_DATA_DIR) + "/coefficients/boot_beta.csv", Delimiter::Comma);
    ASSERT_TRUE(imported.ok()) << imported.refusal().message;
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.PredictorList = {2, 3};
    request.AddedList = {4};
    request.NumTrials = 20000;
    request.Coefficients = true;
    request.Details = true;
    const Outcome<BootstrapResult> run = RunBootstrap(request, *imported, 7);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    ASSERT_TRUE(run->Coefficients && run->Coefficients->full.table);
    const std::vector<Coefficient>& rows = run->Coefficients->full.table->rows;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[0].betaPercentile); // the intercept has none
    struct Expected {
        double betaPercentile[2], betaBCa[2], sr2Percentile[2], sr2BCa[2];
    };
    const Expected boot[3] = {
        {{0.2598, 0.5389}, {0.2616, 0.5406}, {0.0499, 0.2186}, {0.0538, 0.2263}},
        {{0.1145, 0.3675}, {0.1017, 0.3557}, {0.0100, 0.1015}, {0.0085, 0.0973}},
        {{-0.0270, 0.3118}, {-0.0055, 0.3425}, {0.0001, 0.0956}, {0.0003, 0.1203}},
    };
    auto expectNear = [](const std::optional<ResampledInterval>& interval, const double(&limits)[2], const char* what,
                         std::size_t j) {
        ASSERT_TRUE(interval && interval->lower && interval->upper) << what << " " << j;
        EXPECT_NEAR(*interval->lower, limits[0], 0.015) << what << " lower, predictor " << j;
        EXPECT_NEAR(*interval->upper, limits[1], 0.015) << what << " upper, predictor " << j;
    };
    for (std::size_t j = 0; j < 3; ++j) {
        const Coefficient& row = rows[j + 1];
        expectNear(row.betaPercentile, boot[j].betaPercentile, "beta percentile", j);
        expectNear(row.betaBCa, boot[j].betaBCa, "beta BCa", j);
        expectNear(row.sr2Percentile, boot[j].sr2Percentile, "sr2 percentile", j);
        expectNear(row.sr2BCa, boot[j].sr2BCa, "sr2 BCa", j);
    }
    // The reduced model's intervals come from the same trials, and without the
    // details there are no BCa limits.
    ASSERT_TRUE(run->Coefficients->reduced.table);
    EXPECT_TRUE(run->Coefficients->reduced.table->rows[1].betaPercentile);
    request.Details = false;
    request.NumTrials = 200;
    const Outcome<BootstrapResult> plain = RunBootstrap(request, *imported, 7);
    ASSERT_TRUE(plain.ok());
    EXPECT_TRUE(plain->Coefficients->full.table->rows[1].betaPercentile);
    EXPECT_FALSE(plain->Coefficients->full.table->rows[1].betaBCa);
    // The percentile limits are values some trial drew, at the R^2 change's ranks.
    EXPECT_EQ(plain->NumValid, 200);
    EXPECT_LT(*plain->Coefficients->full.table->rows[1].betaPercentile->lower,
              *plain->Coefficients->full.table->rows[1].beta);
}

} // namespace
} // namespace orvalis
