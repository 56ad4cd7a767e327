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
    std::vector<std::string> columnNames;
    for (const std::int32_t v : requestVariables(request)) {
        columnNames.push_back(variableNumber(v));
    }
    std::vector<BootstrapResult> results{std::move(result)};
    const std::vector<NestedModel> models{{request.NumPredictors(), request.NumAdded()}};
    const RunSettings settings{seed, request.NumTrials, request.Details, control, threads, kernel};
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
