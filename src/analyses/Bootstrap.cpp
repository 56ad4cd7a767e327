// RunBootstrap: one pair of nested models of a data set's complete cases, through RunNestedModels.
#include "analyses/Bootstrap.h"

#include "analyses/CompleteCases.h"
#include "analyses/RequestCheck.h"
#include "analyses/RunNestedModels.h"
#include "common/RuntimeErrors.h"
#include "data/DataSet.h"

namespace orvalis {
namespace {

// The steps of a run, in order: the complete cases, the observed sample, the
// trials, the F test, the limits, and the details when asked for.
Outcome<BootstrapResult> runBootstrap(const BootstrapRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control, unsigned threads, TrialKernel kernel)
{
    std::optional<Outcome<CaseMatrix>> collected;
    try {
        collected.emplace(CollectCompleteCases(request, dataSet));
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to collect the complete cases.",
                               Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return analysisRefusal(std::string("The complete cases could not be collected: ") + error.what(),
                               Refusal::Reason::Fault);
    }
    if (!collected->ok()) {
        return collected->refusal();
    }
    const CaseMatrix& cases = collected->value();

    BootstrapResult result;
    result.request = request;
    result.VariableNames = dataSet.VariableNames();
    result.ImputationVariables = dataSet.imputationVariables();
    result.Seed = seed;
    result.CasesRead = dataSet.NumCases();
    result.CompleteCases = cases.NumComplete;
    PairColumns pair = pairColumns(request, dataSet);
    std::vector<std::int32_t> predictors = request.PredictorList;
    predictors.insert(predictors.end(), request.AddedList.begin(), request.AddedList.end());
    result.ValueLabelledPredictors = valueLabelledNumeric(predictors, request.Categorical, dataSet);
    // Column names for refusals: "Var 4", an indicator "Var 5 (condition: exercise)".
    std::vector<std::string> columnNames{variableNumber(request.DependentVariable.value_or(0))};
    for (const PredictorColumn& column : pair.columns) {
        columnNames.push_back(column.category == 0 ? variableNumber(column.variable)
                                                   : indicatorName(column, dataSet.VariableName(column.variable),
                                                                   pair.categories[column.variable]));
    }
    if (!pair.categories.empty()) {
        result.Columns = std::move(pair.columns);
        result.Categories = std::move(pair.categories);
    }
    std::vector<BootstrapResult> results{std::move(result)};
    const std::vector<NestedModel> models{{pair.p, pair.q, true, {}}};
    const RunSettings settings{seed, request.NumTrials, request.Details, control, threads, kernel, nullptr};
    if (const std::optional<Refusal> refused = RunNestedModels(cases, models, columnNames, settings, results)) {
        return *refused;
    }
    return std::move(results.front());
}

} // namespace

Outcome<BootstrapResult> RunBootstrap(const BootstrapRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control, unsigned threads, TrialKernel kernel)
{
    // The only allocations outside the guarded ones are small (the result's
    // copy of the request, the sorted changes once the trials fit).
    try {
        return runBootstrap(request, dataSet, seed, control, threads, kernel);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to finish the bootstrap.", Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return analysisRefusal(std::string("A numerical fault stopped the bootstrap: ") + error.what(),
                               Refusal::Reason::Fault);
    }
}

} // namespace orvalis
