// The hierarchical bootstrap: a dependent variable and 1 to 6 steps, each adding a block of predictors, every step's
// R^2 change with its intervals from the same resamples.
#pragma once

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapResult.h"
#include "analyses/CompleteCases.h"
#include "analyses/Moderation.h"
#include "analyses/PredictorColumns.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

constexpr std::int32_t MaxSteps = 6;
// The most predictor columns in the largest model (a categorical variable of
// k categories is k - 1 of them).
constexpr std::int32_t MaxSequenceColumns = MaxColumns - 1;

struct HierarchicalRequest {
    std::optional<std::int32_t> DependentVariable;
    // Each step's variables (1-based); step 1 is set against the model
    // without predictors, each later step against the steps before it.
    std::vector<std::vector<std::int32_t>> Steps;
    // Each step's product terms, after its variables (none where this is
    // shorter than Steps); a product's two variables enter the model in that
    // step or an earlier one.
    std::vector<std::vector<ProductTerm>> Products;
    // A categorical predictor's reference category, by its code (1-based);
    // the first category where none is given.
    std::map<std::int32_t, std::int32_t> ReferenceCategory;
    // Numeric predictors entered as categorical in this run: each of its
    // distinct values a category (categoricalView), entered as indicators as
    // a text variable is.
    std::set<std::int32_t> Categorical;
    // Numeric predictors centred at their means over the complete cases,
    // before products are formed: the coefficients change, no R^2 does.
    std::set<std::int32_t> Centred;
    std::int32_t NumTrials = 600;
    ConfidenceLevel Level = ConfidenceLevel::P95;
    bool Details = false;
    // Also compute each step's effect sizes and analytic intervals.
    std::optional<EffectSizeRequest> EffectSizes;
    // Also compute each step's model's coefficients.
    bool Coefficients = false;
    // Also the simple slopes of a focal predictor at its moderator's values.
    std::optional<SlopesRequest> Slopes;
};

struct HierarchicalResult {
    HierarchicalRequest request;           // each step's variables in ascending order
    std::vector<PredictorColumn> columns;  // the predictor columns 1..K, step by step
    std::vector<std::int32_t> stepColumns; // how many columns each step adds
    // Step s as a pair of models: the reduced one holds the steps before it
    // (its request's PredictorList), the full one adds step s (AddedList);
    // its F test is the F change of step s with step s's own error term.
    std::vector<BootstrapResult> steps;
    // The data set's names and a categorical variable's category labels, for the report.
    std::vector<std::string> VariableNames;
    std::map<std::int32_t, std::vector<std::string>> Categories;
    // The variables named like the number of an imputation (DataSet::imputationVariables).
    std::vector<std::int32_t> ImputationVariables;
    // Each centred predictor and its mean over the complete cases, in variable order.
    std::vector<std::pair<std::int32_t, double>> CentredMeans;
    // The simple slopes and Johnson-Neyman values, when the request asked for them.
    std::optional<ModerationResult> Moderation;
    // The predictors entered as numbers though they have value labels (valueLabelledNumeric).
    std::vector<std::int32_t> ValueLabelledPredictors;
    std::uint64_t Seed = 0;
    std::int32_t CasesRead = 0;
    std::int32_t CompleteCases = 0;
};

// Every check a hierarchical request passes before any work, in this order:
// a variable outside the data (NotInData); no dependent variable; no step or
// more than 6; a step without variables or products; a categorical dependent
// variable; a variable in two roles, in two steps or twice in one; a product
// of a variable with itself, of the dependent variable, listed twice (in
// either order), or with a variable not entered by its step; then those of
// checkCategoricalPredictors (a declared dependent variable, a reference
// category of no categorical predictor, a categorical predictor with more
// than 25 categories or one, or a reference category it does not have);
// more than 24 predictor columns; then those of CheckSlopesRequest. A
// declared variable outside the data is NotInData; one that is no predictor
// is let be.
Status CheckHierarchicalRequest(const HierarchicalRequest& request, const DataSet& dataSet);

// The complete cases over every variable of the largest model, with the
// dependent variable in column 0 and each step's columns after the steps
// before it (a step's variables in ascending order, a categorical one as the
// indicators of its categories but the reference, in code order; then its
// products in the order given, appendProductColumns). Also
// returns the columns' descriptions. Refuses what CheckHierarchicalRequest
// refuses, and fewer than two complete cases.
struct SequenceCases {
    CaseMatrix cases;
    std::vector<PredictorColumn> columns;
    std::vector<std::int32_t> stepColumns;
};
Outcome<SequenceCases> CollectSequenceCases(const HierarchicalRequest& request, const DataSet& dataSet);

// Runs the hierarchical bootstrap: one pass over each resample gives the sums
// of the largest model, and every step's R^2 comes from the same correlation
// matrix, so a step's numbers are those of RunBootstrap for the same pair of
// models on the same complete cases, digit for digit. A trial's change at a
// step is valid when both of its models are. Refusals as RunBootstrap's,
// naming an indicator column by its variable and category.
Outcome<HierarchicalResult> RunHierarchical(const HierarchicalRequest& request, const DataSet& dataSet,
                                            std::uint64_t seed, const RunControl& control = {}, unsigned threads = 0,
                                            TrialKernel kernel = TrialKernel::Best);

} // namespace orvalis
