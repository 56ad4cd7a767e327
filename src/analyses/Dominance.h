// Dominance analysis: the R^2 of every subset of 2 to 12 units of predictors (beyond covariates kept in every
// model), the general, conditional and complete dominance they give, and their bootstrap intervals from the
// same resamples as the full model's R^2 change.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapResult.h"
#include "analyses/Coefficients.h"
#include "analyses/NestedR2.h"
#include "analyses/PredictorColumns.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

constexpr std::int32_t MinUnits = 2;
constexpr std::int32_t MaxUnits = 12;

// A named group of predictors that enters and leaves the models together.
struct DominanceGroup {
    std::string name;
    std::vector<std::int32_t> variables;
};

struct DominanceRequest {
    std::optional<std::int32_t> DependentVariable;
    // Predictors, each a unit of its own (a categorical one: the block of its indicators).
    std::vector<std::int32_t> Units;
    // Groups, each one unit, after the predictors.
    std::vector<DominanceGroup> Groups;
    // Predictors kept in every model: the units then share the R^2 beyond them.
    std::vector<std::int32_t> Covariates;
    std::set<std::int32_t> Categorical;
    std::map<std::int32_t, std::int32_t> ReferenceCategory;
    std::int32_t NumTrials = 600;
    ConfidenceLevel Level = ConfidenceLevel::P95;
    bool Details = false;
};

// A unit as the analysis holds it: its name, its variables and its columns of
// the case matrix (1-based; the covariates' columns come first).
struct DominanceUnit {
    std::string name; // a group's name; empty for a predictor (named by its variable)
    std::vector<std::int32_t> variables;
    std::vector<std::int32_t> columns;
};

// What one sample gives: m units, the R^2 of subset `mask` (bit u: unit u in
// the model, with the covariates) at r2[mask].
struct DominanceStatistics {
    double covariatesR2 = 0.0; // the model of the covariates alone (0 without)
    double fullR2 = 0.0;
    std::vector<double> general; // each unit's general dominance weight; they sum to fullR2 - covariatesR2
    std::vector<double> share;   // general / (fullR2 - covariatesR2)
    // conditional[u][k]: the mean gain of unit u over the models of k other units.
    std::vector<std::vector<double>> conditional;
    // complete[a][b]: 1 when a adds more than b to every model of neither, -1
    // when less to every one, 0 otherwise (undetermined).
    std::vector<std::vector<int>> complete;
    std::vector<double> sr2; // each unit's R^2 lost from the full model without it
};

// The R^2 of every subset of units from a correlation matrix whose column 0 is
// the dependent variable and columns 1..covariates the covariates: r2 gets 2^m
// values, by a depth-first walk that extends one Cholesky factor of the
// predictors' correlations a unit at a time (no refit from the data). False
// when some subset's predictors are dependent (a pivot below
// DependenceTolerance) or the dependent variable is constant: then the sample
// has no dominance analysis. Allocation-free once r2 is sized.
bool SubsetR2(const CorrMatrix& C, std::int32_t covariates, const std::vector<DominanceUnit>& units,
              std::vector<double>& r2);

// General, conditional and complete dominance and each unit's sr^2 from the
// subsets' R^2 (r2 as SubsetR2 gives them).
DominanceStatistics DominanceOf(const std::vector<double>& r2, std::int32_t m);

struct DominanceResult {
    DominanceRequest request;
    std::vector<DominanceUnit> units;
    std::vector<PredictorColumn> columns; // the covariates' columns, then the units'
    std::int32_t covariateColumns = 0;
    std::vector<std::string> VariableNames;
    std::map<std::int32_t, std::vector<std::string>> Categories;
    // The full model against the covariates (or no predictors): R^2, its
    // change, the F test and the change's intervals, from the same trials.
    BootstrapResult model;
    DominanceStatistics observed;
    // Over the trials whose every subset has an R^2:
    std::int32_t NumValid = 0;
    std::vector<ResampledInterval> generalPercentile;
    std::vector<ResampledInterval> sharePercentile;
    std::vector<ResampledInterval> generalBCa; // with the details
    std::vector<ResampledInterval> shareBCa;
    // completeShare[a][b]: the share of valid trials in which a completely
    // dominates b; generalShare[a][b]: in which a's general weight is the larger.
    std::vector<std::vector<double>> completeShare;
    std::vector<std::vector<double>> generalShare;
    std::uint64_t Seed = 0;
    std::int32_t CasesRead = 0;
    std::int32_t CompleteCases = 0;
};

// The checks of a dominance request before any work, in this order: a
// variable outside the data (NotInData); no dependent variable, a
// categorical one; fewer than 2 or more than 12 units; a group without a name
// or variables, or two groups of one name; a variable in two roles or twice;
// those of checkCategoricalPredictors; more than 24 predictor columns.
Status CheckDominanceRequest(const DominanceRequest& request, const DataSet& dataSet);

// Runs the analysis: the observed sample's subsets, then every trial's (the
// resamples of RunBootstrap for the same full model against the covariates,
// trial t from stream (seed, t): the same on any number of threads), the
// percentile limits of each weight and share at the ranks of the change's
// traditional limits, with the details their BCa limits (one jackknife), and
// the pairs' shares of dominance.
Outcome<DominanceResult> RunDominance(const DominanceRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control = {}, unsigned threads = 0,
                                      TrialKernel kernel = TrialKernel::Best);

} // namespace orvalis
