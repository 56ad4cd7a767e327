// Dominance analysis against an all-subsets computation in R (tests/data/dominance/check_dominance.R), in short:
//   r2 <- sapply(0:(2^m - 1), function(mask) summary(lm(reformulate(c(covariates, unlist(units[has(mask)])), y),
//                d))$r.squared)                                 # 0 for the empty model
//   conditional[u, k + 1] <- mean(r2[s + bit + 1] - r2[s + 1])    # s: the subsets of k units without u
//   general <- rowMeans(conditional); sr2[u] <- r2[2^m] - r2[2^m - bit]
//   complete[a, b] <- all(r2[s + bitA + 1] > r2[s + bitB + 1])    # s: the subsets of neither
// and against the pair's own R^2 change.
#include "analyses/Bootstrap.h"
#include "analyses/Dominance.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace orvalis {
namespace {

constexpr std::int32_t Mpg = 1, Cyl = 2, Hp = 4, Drat = 5, Wt = 6, Qsec = 7, Am = 9;

DataSet data(const std::string& file)
{
    return test::fileData(std::string(ORVALIS_TEST_DATA_DIR) + "/hierarchical/" + file, Delimiter::Comma);
}

void expectValues(const std::vector<double>& actual, const std::vector<double>& expected, const std::string& what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(actual[k], expected[k], 1e-6) << what << " " << k;
    }
}

struct Expected {
    double full;
    double covariates;
    std::vector<double> general;
    std::vector<double> share;
    std::vector<double> sr2;
    std::vector<std::vector<double>> conditional;
    std::vector<std::vector<int>> complete;
};

void expectStatistics(const DominanceStatistics& s, const Expected& r)
{
    EXPECT_NEAR(s.fullR2, r.full, 1e-6);
    EXPECT_NEAR(s.covariatesR2, r.covariates, 1e-6);
    expectValues(s.general, r.general, "general");
    expectValues(s.share, r.share, "share");
    expectValues(s.sr2, r.sr2, "sr2");
    for (std::size_t u = 0; u < r.conditional.size(); ++u) {
        expectValues(s.conditional[u], r.conditional[u], "conditional of unit " + std::to_string(u));
    }
    EXPECT_EQ(s.complete, r.complete);
    // The weights share out the R^2 beyond the covariates.
    EXPECT_NEAR(std::accumulate(s.general.begin(), s.general.end(), 0.0), s.fullR2 - s.covariatesR2, 1e-12);
}

DominanceRequest requestOf(std::int32_t dv, std::vector<std::int32_t> units, std::int32_t trials = 100)
{
    DominanceRequest request;
    request.DependentVariable = dv;
    request.Units = std::move(units);
    request.NumTrials = trials;
    return request;
}

TEST(Dominance, FourAndFivePredictorsMatchAllSubsetsInR)
{
    const DataSet mtcars = data("mtcars.csv");
    const Outcome<DominanceResult> four = RunDominance(requestOf(Mpg, {Wt, Hp, Qsec, Am}), mtcars, 3);
    ASSERT_TRUE(four.ok()) << four.refusal().message;
    expectStatistics(four->observed, {0.857850981307,
                                      0.0,
                                      {0.3462245338081, 0.2488628520477, 0.0938128986612, 0.1689506967902},
                                      {0.403595194681, 0.290100329160, 0.109358036192, 0.196946439966},
                                      {0.0697073491031, 0.0081874679024, 0.0179607030712, 0.0230832514450},
                                      {{0.752832774254, 0.422834570497, 0.1395234413784, 0.0697073491031},
                                       {0.602437310434, 0.319256282383, 0.0655703474716, 0.0081874679024},
                                       {0.175296314856, 0.145021217357, 0.0369733593603, 0.0179607030712},
                                       {0.359798944331, 0.230380904874, 0.0625396865104, 0.0230832514450}},
                                      {{0, 0, 1, 1}, {0, 0, 0, 0}, {-1, 0, 0, 0}, {-1, 0, 0, 0}}});
    const Outcome<DominanceResult> five = RunDominance(requestOf(Mpg, {Wt, Hp, Qsec, Am, Drat}), mtcars, 3);
    ASSERT_TRUE(five.ok()) << five.refusal().message;
    expectStatistics(five->observed,
                     {0.859118996055,
                      0.0,
                      {0.2932843481441, 0.2172710306882, 0.0861687240658, 0.1275224573488, 0.1348724358077},
                      {0.341378027364, 0.252899809789, 0.100298939334, 0.148433986368, 0.156989237145},
                      {0.06067217010283, 0.00821253673486, 0.01627486858767, 0.01373376921675, 0.00126801474745},
                      {{0.752832774254, 0.391351386927, 0.1719051583071, 0.08966025112975, 0.06067217010283},
                       {0.602437310434, 0.308736317838, 0.1213060719894, 0.04566291644507, 0.00821253673486},
                       {0.175296314856, 0.140815893811, 0.0686407906067, 0.02981575246725, 0.01627486858767},
                       {0.359798944331, 0.179429797424, 0.0603674921209, 0.02428228365099, 0.01373376921675},
                       {0.463995110458, 0.173617439156, 0.0292022432100, 0.00627937146734, 0.00126801474745}},
                      {{0, 0, 1, 1, 1}, {0, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}}});
    // The full model's change and its F test are the pair's: every unit against none.
    EXPECT_NEAR(*five->model.DeltaR2, 0.859118996055, 1e-6);
    EXPECT_EQ(five->model.df1, 5);
}

TEST(Dominance, CovariatesACategoricalBlockAndAGroupMatchR)
{
    DominanceRequest beyond = requestOf(Mpg, {Wt, Hp, Qsec});
    beyond.Covariates = {Cyl};
    const Outcome<DominanceResult> run = RunDominance(beyond, data("mtcars.csv"), 3);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    expectStatistics(run->observed, {0.84439416612,
                                     0.72617996396,
                                     {0.0916865493369, 0.0149936488581, 0.0115340039658},
                                     {0.7755967359337, 0.1268345814974, 0.0975686825688},
                                     {0.06864913943796, 0.00478231050941, 0.00124421551157},
                                     {{0.1040473947626, 0.1023631138102, 0.06864913943796},
                                      {0.0145284227335, 0.0256702133314, 0.00478231050941},
                                      {0.0111472279467, 0.0222105684390, 0.00124421551157}},
                                     {{0, 1, 1}, {-1, 0, 1}, {-1, -1, 0}}});
    EXPECT_NEAR(*run->model.ReducedR2, 0.72617996396, 1e-6);

    // iris: Sepal.Width; Species, a text variable, as the block of its two indicators; Petal.Length and
    // Petal.Width as the group "size".
    DominanceRequest iris = requestOf(1, {2, 5});
    iris.Groups = {{"size", {3, 4}}};
    const Outcome<DominanceResult> blocks = RunDominance(iris, data("iris.csv"), 3);
    ASSERT_TRUE(blocks.ok()) << blocks.refusal().message;
    ASSERT_EQ(blocks->units.size(), 3u);
    EXPECT_EQ(blocks->units[1].columns.size(), 2u);
    EXPECT_EQ(blocks->units[2].name, "size");
    expectStatistics(blocks->observed, {0.867312271242,
                                        0.0,
                                        {0.0480617043518, 0.3395601124225, 0.4796904544675},
                                        {0.0554145328567, 0.3915084839470, 0.5530769831962},
                                        {0.03058681404435, 0.00870054332288, 0.14140566424491},
                                        {{0.0138226624907, 0.0997756365203, 0.03058681404435},
                                         {0.6187057493537, 0.3912740445910, 0.00870054332288},
                                         {0.7662613125216, 0.5314043866360, 0.14140566424491}},
                                        {{0, 0, -1}, {0, 0, -1}, {1, 1, 0}}});
}

// A unit's sr^2 is the pair's R^2 change for that unit entered last, and the trials are the pair's: the full
// model's change has the same limits as RunBootstrap of every unit against none, on any number of threads.
TEST(Dominance, AgreesWithThePairAndWithItselfOnAnyThreads)
{
    const DataSet mtcars = data("mtcars.csv");
    const Outcome<DominanceResult> run = RunDominance(requestOf(Mpg, {Wt, Hp, Qsec, Am}, 400), mtcars, 9, {}, 1);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    const std::vector<std::int32_t> units = {Wt, Hp, Qsec, Am};
    for (std::size_t u = 0; u < units.size(); ++u) {
        BootstrapRequest pair;
        pair.DependentVariable = Mpg;
        for (const std::int32_t v : units) {
            if (v != units[u]) {
                pair.PredictorList.push_back(v);
            }
        }
        pair.AddedList = {units[u]};
        pair.NumTrials = 10;
        const Outcome<BootstrapResult> last = RunBootstrap(pair, mtcars, 1);
        ASSERT_TRUE(last.ok());
        EXPECT_NEAR(run->observed.sr2[u], *last->DeltaR2, 1e-10) << u;
    }
    BootstrapRequest all;
    all.DependentVariable = Mpg;
    all.AddedList = units;
    all.NumTrials = 400;
    const Outcome<BootstrapResult> pair = RunBootstrap(all, mtcars, 9);
    ASSERT_TRUE(pair.ok());
    EXPECT_EQ(run->model.interval(IntervalKind::Traditional)->lower, pair->interval(IntervalKind::Traditional)->lower);
    EXPECT_EQ(run->model.interval(IntervalKind::Traditional)->upper, pair->interval(IntervalKind::Traditional)->upper);

    const Outcome<DominanceResult> two = RunDominance(requestOf(Mpg, {Wt, Hp, Qsec, Am}, 400), mtcars, 9, {}, 2);
    ASSERT_TRUE(two.ok());
    EXPECT_EQ(two->NumValid, run->NumValid);
    for (std::size_t u = 0; u < units.size(); ++u) {
        EXPECT_EQ(two->generalPercentile[u].lower, run->generalPercentile[u].lower);
        EXPECT_EQ(two->sharePercentile[u].upper, run->sharePercentile[u].upper);
    }
    EXPECT_EQ(two->completeShare, run->completeShare);
    // Every pair's shares of trials: a unit never dominates itself, and a pair's two general shares add to 1
    // (no two weights tie).
    for (std::size_t a = 0; a < units.size(); ++a) {
        EXPECT_EQ(run->completeShare[a][a], 0.0);
        for (std::size_t b = 0; b < units.size(); ++b) {
            if (a != b) {
                EXPECT_NEAR(run->generalShare[a][b] + run->generalShare[b][a], 1.0, 1e-12);
            }
        }
    }
}

// boot(mtcars, function(d, i) c(general, share) of the same all-subsets code, R = 2000), percentile limits:
// wt [0.2607, 0.4412], hp [0.2066, 0.3169], qsec [0.0421, 0.1666], am [0.0977, 0.2457]; shares [0.3051, 0.4933],
// [0.2366, 0.3624], [0.0474, 0.1925], [0.1134, 0.2757]. Monte Carlo runs of this size agree within about 0.03.
TEST(Dominance, BootstrapIntervalsMatchBootInDistribution)
{
    DominanceRequest request = requestOf(Mpg, {Wt, Hp, Qsec, Am}, 4000);
    request.Details = true;
    const Outcome<DominanceResult> run = RunDominance(request, data("mtcars.csv"), 21);
    ASSERT_TRUE(run.ok()) << run.refusal().message;
    EXPECT_GT(run->NumValid, 3900);
    const double general[4][2] = {{0.2607, 0.4412}, {0.2066, 0.3169}, {0.0421, 0.1666}, {0.0977, 0.2457}};
    const double share[4][2] = {{0.3051, 0.4933}, {0.2366, 0.3624}, {0.0474, 0.1925}, {0.1134, 0.2757}};
    for (std::size_t u = 0; u < 4; ++u) {
        ASSERT_TRUE(run->generalPercentile[u].lower && run->generalPercentile[u].upper);
        EXPECT_NEAR(*run->generalPercentile[u].lower, general[u][0], 0.03) << u;
        EXPECT_NEAR(*run->generalPercentile[u].upper, general[u][1], 0.03) << u;
        EXPECT_NEAR(*run->sharePercentile[u].lower, share[u][0], 0.03) << u;
        EXPECT_NEAR(*run->sharePercentile[u].upper, share[u][1], 0.03) << u;
        // With the details, BCa limits around the observed weight.
        ASSERT_EQ(run->generalBCa.size(), 4u);
        ASSERT_TRUE(run->generalBCa[u].lower && run->generalBCa[u].upper);
        EXPECT_LT(*run->generalBCa[u].lower, run->observed.general[u]);
        EXPECT_GT(*run->generalBCa[u].upper, run->observed.general[u]);
    }
}

// The details' jackknife refits every subset for every case left out: a stop request that comes once the trials
// are done ends it too, and the run says it was stopped; without the details the same request comes too late.
TEST(Dominance, AStopRequestEndsTheJackknife)
{
    const DataSet mtcars = data("mtcars.csv");
    for (const bool details : {true, false}) {
        std::stop_source stop;
        DominanceRequest request = requestOf(Mpg, {Wt, Hp, Qsec, Am}, 50);
        request.Details = details;
        RunControl control;
        control.stop = stop.get_token();
        control.progress = [&](std::int32_t done) {
            if (done == request.NumTrials) {
                stop.request_stop();
            }
        };
        const Outcome<DominanceResult> run = RunDominance(request, mtcars, 3, control, 1);
        if (details) {
            ASSERT_FALSE(run.ok());
            EXPECT_EQ(run.refusal().reason, Refusal::Reason::Stopped);
        } else {
            EXPECT_TRUE(run.ok());
        }
    }
}

TEST(Dominance, RequestsThatCannotBeAnswered)
{
    const DataSet mtcars = data("mtcars.csv");
    auto refusal = [&](const DominanceRequest& request) {
        const Status checked = CheckDominanceRequest(request, mtcars);
        return checked.ok() ? std::string("accepted") : checked.refusal().message;
    };
    EXPECT_EQ(refusal(requestOf(Mpg, {Wt})),
              "A dominance analysis compares 2 to 12 units (predictors or groups), and there are 1.");
    EXPECT_EQ(refusal(requestOf(Mpg, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11})), "accepted");
    DominanceRequest twice = requestOf(Mpg, {Wt, Hp});
    twice.Covariates = {Wt};
    EXPECT_EQ(refusal(twice), "Var 6 (wt) is both a unit and a covariate.");
    EXPECT_EQ(refusal(requestOf(Mpg, {Mpg, Hp})), "Var 1 (mpg) is both the dependent variable and a unit.");
    DominanceRequest groups = requestOf(Mpg, {Wt});
    groups.Groups = {{"engine", {Hp, Cyl}}, {"engine", {Qsec}}};
    EXPECT_EQ(refusal(groups), "Two groups are named engine.");
    groups.Groups = {{"", {Hp}}};
    EXPECT_EQ(refusal(groups), "A group needs a name and at least one variable.");
    // The reports name a group by its name: not a variable's.
    groups.Groups = {{"qsec", {Hp}}};
    EXPECT_EQ(refusal(groups), "A group is named qsec, as a variable is; give the group another name.");
    EXPECT_EQ(refusal(requestOf(Mpg, {Wt, Wt})), "Var 6 (wt) is given twice as a unit.");
    // A unit that is a linear combination of others leaves some subset without an R^2.
    const DataSet dependent = test::dataOf("1 1 2 3\n2 2 1 3\n3 4 4 8\n5 3 2 5\n4 5 1 6\n");
    const Outcome<DominanceResult> run = RunDominance(requestOf(1, {2, 3, 4}), dependent, 1);
    ASSERT_FALSE(run.ok());
    EXPECT_EQ(run.refusal().message, "In the complete cases some model of the units has predictors that are "
                                     "linearly dependent (a tolerance below 1e-8), so not every subset has an R^2.");
}

} // namespace
} // namespace orvalis
