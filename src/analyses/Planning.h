// Planning a study: the power of the F test of an added block, the sample size that reaches a power, and the
// sample size whose bootstrap interval of the R^2 change is narrow enough, by simulation with the bootstrap engine.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/ConfidenceLevel.h"
#include "common/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

// How the noncentrality of the F test's alternative follows from f^2 and the
// sample: G*Power's lambda = f^2 N, or R pwr's lambda = f^2 (u + v + 1) with
// u = q and v = N - p - q - 1 (that is, f^2 (N - p)).
enum class Noncentrality { GPower, Pwr };
const char* noncentralityName(Noncentrality convention); // "G*Power: lambda = f^2 N", ...

// The power question: p reduced-model predictors, q added ones, the
// population's f^2 (from its change and full R^2: f^2 = change / (1 - full)),
// the test's alpha.
struct PowerQuestion {
    std::int32_t p = 0;
    std::int32_t q = 1;
    double f2 = 0.0;
    double alpha = 0.05;
    Noncentrality convention = Noncentrality::GPower;
};

// The smallest sample the F test has: N - p - q - 1 >= 1.
std::int32_t smallestSample(const PowerQuestion& question);

// P(F'(q, N - p - q - 1, lambda) > F_crit), F_crit the central F's upper alpha
// quantile (Boost.Math's non_central_f). None when N is below
// smallestSample or an input is out of range.
struct PowerAnswer {
    std::int32_t n = 0;
    std::int32_t df1 = 0;
    std::int32_t df2 = 0;
    double lambda = 0.0;
    double criticalF = 0.0;
    double power = 0.0;
};
std::optional<PowerAnswer> powerAt(const PowerQuestion& question, std::int32_t n);

// The smallest N whose power reaches target (0 < target < 1), by doubling
// and bisection (power rises with N); none when even 10,000,000 cases fall
// short or an input is out of range.
std::optional<PowerAnswer> sampleForPower(const PowerQuestion& question, double target);

// The power at each N of a grid from..to by step, for a curve; an N below
// smallestSample is left out.
std::vector<PowerAnswer> powerCurve(const PowerQuestion& question, std::int32_t from, std::int32_t to,
                                    std::int32_t step);

// Checks the question and gives the refusal a user reads: p from 0, q from 1,
// p + q at most 24, f^2 above 0 and finite, alpha in (0, 1).
Status CheckPowerQuestion(const PowerQuestion& question);

// A population of normal data: the dependent variable first, then the p
// reduced-model predictors and the q added ones, by their correlation matrix
// (rows of p + q + 1 values, symmetric, unit diagonal, positive definite).
struct Population {
    std::int32_t p = 0;
    std::int32_t q = 1;
    std::vector<std::vector<double>> correlations;
    double reducedR2 = 0.0; // rho^2 of the reduced model, from the matrix
    double fullR2 = 0.0;    // rho^2 of the full model
};

// The common intercorrelation of the predictors that a plan assumes unless
// told otherwise: the window's first value and orvalis-cli's default.
constexpr double DefaultIntercorrelation = 0.0;

// The population whose predictors all intercorrelate r, whose reduced-model
// predictors each correlate equally with the dependent variable to give
// rho^2 = reducedR2, and whose added ones each correlate equally to raise it
// by change. A refusal when no such matrix is positive definite.
Outcome<Population> populationFromStructure(std::int32_t p, std::int32_t q, double r, double reducedR2, double change);

// The population of a given correlation matrix (the dependent variable
// first); a refusal naming what is wrong with it.
Outcome<Population> populationFromMatrix(std::int32_t p, std::int32_t q, std::vector<std::vector<double>> matrix);

// Reads a correlation matrix from text: one row per line, the values
// separated by blanks, commas or semicolons; blank lines and lines that start
// with # are skipped.
Outcome<std::vector<std::vector<double>>> parseCorrelationMatrix(const std::string& text);

struct WidthQuestion {
    Population population;
    std::vector<std::int32_t> sampleSizes; // ascending, each above p + q + 1
    std::int32_t dataSets = 200;
    std::int32_t trials = 1000;
    ConfidenceLevel level = ConfidenceLevel::P95;
    double targetWidth = 0.1;
    double assurance = 0.8; // the share of intervals that must be at most the target wide
    std::uint64_t seed = 0;
};

// Per sample size: the quantiles of the widths (upper - lower) of the
// traditional and the modified intervals over the data sets, the share of
// data sets whose interval holds the population's change, and the share
// whose modified lower limit is 0. Quantiles interpolate linearly between
// order statistics (R's type 7).
struct WidthRow {
    std::int32_t n = 0;
    std::int32_t dataSets = 0; // those whose bootstrap ran (a data set with an undefined R^2 is skipped)
    double medianWidth = 0.0;
    double assuranceWidth = 0.0;
    double medianModifiedWidth = 0.0;
    double assuranceModifiedWidth = 0.0;
    double coverage = 0.0;
    double modifiedCoverage = 0.0;
    double lowerZero = 0.0;
    // The Monte Carlo standard errors of the two assurance quantiles
    // (quantileError), and whether each quantile lies within one of them of
    // the target width: another seed or grid may then answer on the other side.
    double assuranceWidthError = 0.0;
    double assuranceModifiedWidthError = 0.0;
    bool nearTarget = false;
    bool modifiedNearTarget = false;
};

struct WidthPlan {
    WidthQuestion question;
    std::vector<WidthRow> rows;
    // The smallest N of the grid whose assurance quantile of the width is at
    // most the target; none when no N of the grid reaches it.
    std::optional<std::int32_t> smallestTraditional;
    std::optional<std::int32_t> smallestModified;
};

// Checks a width question: a population, sample sizes above p + q + 1 and at
// most 1,000,000, 1 to 10,000 data sets, 1 to 100,000 trials, a target width
// above 0, an assurance in (0, 1).
Status CheckWidthQuestion(const WidthQuestion& question);

// Simulates question.dataSets data sets of each sample size and runs the
// bootstrap on each. Data set d (1, 2, ... over the whole grid) draws its
// cases from the stream (seed, 2d) and bootstraps with the seed drawn first
// from the stream (seed, 2d + 1), so the plan is the same on any number of
// threads. progress receives the data sets finished; a stop request ends the
// plan with the refusal Stopped; too little memory with OutOfMemory. Throws nothing.
Outcome<WidthPlan> RunWidthPlan(const WidthQuestion& question, const RunControl& control = {}, unsigned threads = 0);

// The p-th quantile of sorted values (R's type 7); 0 for none.
double quantileOf(const std::vector<double>& sorted, double p);

// The Monte Carlo standard error of quantileOf(sorted, p), by the order
// statistics (the binomial method): the number of values below the p-th
// quantile is binomial with standard deviation sqrt(n p (1 - p)), so the
// quantiles at p -/+ s, s = sqrt(p (1 - p) / n) (held within 0 and 1), lie
// about one standard error either side, and the error is half their distance.
// 0 for fewer than two values.
double quantileError(const std::vector<double>& sorted, double p);

} // namespace orvalis
