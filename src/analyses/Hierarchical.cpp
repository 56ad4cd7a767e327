// RunHierarchical: the steps as pairs of nested models of one case matrix, bootstrapped together.
#include "analyses/Hierarchical.h"

#include "analyses/RunNestedModels.h"
#include "analyses/RequestCheck.h"
#include "common/MissingValue.h"
#include "common/NumberText.h"
#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <algorithm>
#include <set>

namespace orvalis {
namespace {

// "Var 5 (Species)", or "Var 5" for a variable the file did not name.
std::string named(std::int32_t v, const DataSet& dataSet)
{
    const std::string& name = dataSet.VariableName(v);
    return variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")");
}

std::string stepName(std::size_t s)
{
    return "step " + std::to_string(s + 1);
}

// The reference category's code of a categorical variable.
std::int32_t referenceOf(const HierarchicalRequest& request, std::int32_t v)
{
    const auto found = request.ReferenceCategory.find(v);
    return found != request.ReferenceCategory.end() ? found->second : 1;
}

// Each step's variables in ascending order.
HierarchicalRequest sortedSteps(HierarchicalRequest request)
{
    for (std::vector<std::int32_t>& step : request.Steps) {
        std::sort(step.begin(), step.end());
    }
    return request;
}

Refusal fault(std::string message)
{
    return analysisRefusal(std::move(message), Refusal::Reason::Fault);
}

} // namespace

Status CheckHierarchicalRequest(const HierarchicalRequest& request, const DataSet& dataSet)
{
    std::vector<std::int32_t> all;
    if (request.DependentVariable) {
        all.push_back(*request.DependentVariable);
    }
    for (const std::vector<std::int32_t>& step : request.Steps) {
        all.insert(all.end(), step.begin(), step.end());
    }
    for (const auto& [v, category] : request.ReferenceCategory) {
        all.push_back(v);
    }
    if (const Status inData = checkVariablesInData(all, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    if (!request.DependentVariable) {
        return analysisRefusal("There is no dependent variable.");
    }
    if (request.Steps.empty()) {
        return analysisRefusal("There is no step: step 1 adds at least one predictor.");
    }
    if (static_cast<std::int32_t>(request.Steps.size()) > MaxSteps) {
        return analysisRefusal("There are " + std::to_string(request.Steps.size()) + " steps, and at most "
                               + std::to_string(MaxSteps) + " are allowed.");
    }
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        if (request.Steps[s].empty()) {
            return analysisRefusal("Step " + std::to_string(s + 1) + " adds no predictor.");
        }
    }
    const std::int32_t dv = *request.DependentVariable;
    if (dataSet.isCategorical(dv)) {
        return analysisRefusal(named(dv, dataSet) + " is a text variable with "
                               + std::to_string(dataSet.categories(dv).size())
                               + " categories; a regression's dependent variable must be numeric.");
    }
    // A variable plays one role, once.
    std::map<std::int32_t, std::size_t> stepOf;
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        for (const std::int32_t v : request.Steps[s]) {
            if (v == dv) {
                return analysisRefusal(variableNumber(v) + " is used in two roles: dependent variable and predictor.");
            }
            const auto [at, added] = stepOf.emplace(v, s);
            if (!added) {
                return analysisRefusal(at->second == s ? variableNumber(v) + " is listed twice in " + stepName(s) + "."
                                                       : variableNumber(v) + " is entered in " + stepName(at->second)
                                                             + " and in " + stepName(s) + ".");
            }
        }
    }
    for (const auto& [v, category] : request.ReferenceCategory) {
        if (!stepOf.contains(v) || !dataSet.isCategorical(v)) {
            return analysisRefusal("A reference category is given for " + named(v, dataSet)
                                   + ", which is not a categorical predictor of the model.");
        }
    }
    std::int32_t columns = 0;
    for (const auto& [v, s] : stepOf) {
        if (!dataSet.isCategorical(v)) {
            ++columns;
            continue;
        }
        const auto categories = static_cast<std::int32_t>(dataSet.categories(v).size());
        if (categories < 2) {
            return analysisRefusal(named(v, dataSet)
                                   + " has one category, so it adds no indicator column to the model.");
        }
        const std::int32_t reference = referenceOf(request, v);
        if (reference < 1 || reference > categories) {
            return analysisRefusal("The reference category " + std::to_string(reference) + " of " + named(v, dataSet)
                                   + " is not one of its " + std::to_string(categories) + " categories.");
        }
        columns += categories - 1;
    }
    if (columns > MaxSequenceColumns) {
        return analysisRefusal("The largest model has " + std::to_string(columns)
                               + " predictor columns (a categorical variable counts one column less than its "
                                 "categories), and at most "
                               + std::to_string(MaxSequenceColumns) + " are allowed.");
    }
    return Done{};
}

Outcome<SequenceCases> CollectSequenceCases(const HierarchicalRequest& unsorted, const DataSet& dataSet)
{
    if (const Status checked = CheckHierarchicalRequest(unsorted, dataSet); !checked.ok()) {
        return checked.refusal();
    }
    const HierarchicalRequest request = sortedSteps(unsorted);
    SequenceCases sequence;
    for (const std::vector<std::int32_t>& step : request.Steps) {
        std::int32_t added = 0;
        for (const std::int32_t v : step) {
            if (!dataSet.isCategorical(v)) {
                sequence.columns.push_back({v, 0});
                ++added;
                continue;
            }
            const std::int32_t reference = referenceOf(request, v);
            const auto categories = static_cast<std::int32_t>(dataSet.categories(v).size());
            for (std::int32_t code = 1; code <= categories; ++code) {
                if (code != reference) {
                    sequence.columns.push_back({v, code});
                    ++added;
                }
            }
        }
        sequence.stepColumns.push_back(added);
    }

    CaseMatrix& matrix = sequence.cases;
    matrix.columns = static_cast<std::int32_t>(sequence.columns.size()) + 1;
    const auto width = static_cast<std::size_t>(matrix.columns);
    matrix.cells.assign(width, 0.0f); // row 0
    std::vector<float> row(width);
    const std::int32_t dv = *request.DependentVariable;
    for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
        row[0] = dataSet.DataTable(r, dv);
        bool complete = !isMissing(row[0]);
        for (std::size_t c = 1; c < width && complete; ++c) {
            const PredictorColumn& column = sequence.columns[c - 1];
            const float value = dataSet.DataTable(r, column.variable);
            complete = !isMissing(value);
            row[c] = column.category == 0 ? value : (value == static_cast<float>(column.category) ? 1.0f : 0.0f);
        }
        if (complete) {
            matrix.cells.insert(matrix.cells.end(), row.begin(), row.end());
            ++matrix.NumComplete;
        }
    }
    if (matrix.NumComplete < 2) {
        return analysisRefusal("There is an insufficient number of observations with complete data.");
    }
    shiftColumns(matrix);
    return sequence;
}

namespace {

Outcome<HierarchicalResult> runHierarchical(const HierarchicalRequest& unsorted, const DataSet& dataSet,
                                            std::uint64_t seed, const RunControl& control, unsigned threads,
                                            TrialKernel kernel)
{
    std::optional<Outcome<SequenceCases>> collected;
    try {
        collected.emplace(CollectSequenceCases(unsorted, dataSet));
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to collect the complete cases.",
                               Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return fault(std::string("The complete cases could not be collected: ") + error.what());
    }
    if (!collected->ok()) {
        return collected->refusal();
    }
    const SequenceCases& sequence = collected->value();
    const HierarchicalRequest request = sortedSteps(unsorted);

    HierarchicalResult result;
    result.request = request;
    result.columns = sequence.columns;
    result.stepColumns = sequence.stepColumns;
    result.VariableNames = dataSet.VariableNames();
    result.ImputationVariables = dataSet.imputationVariables();
    for (const PredictorColumn& column : sequence.columns) {
        if (column.category != 0) {
            result.Categories[column.variable] = dataSet.categories(column.variable);
        }
    }
    result.Seed = seed;
    result.CasesRead = dataSet.NumCases();
    result.CompleteCases = sequence.cases.NumComplete;

    // Column names for refusals: "Var 4", "Var 5 (Species: virginica)".
    std::vector<std::string> columnNames{variableNumber(*request.DependentVariable)};
    for (const PredictorColumn& column : sequence.columns) {
        columnNames.push_back(column.category == 0
                                  ? variableNumber(column.variable)
                                  : variableNumber(column.variable) + " ("
                                        + escapeControlCharacters(dataSet.VariableName(column.variable))
                                        + (dataSet.VariableName(column.variable).empty() ? "" : ": ")
                                        + escapeControlCharacters(dataSet.categories(
                                            column.variable)[static_cast<std::size_t>(column.category) - 1])
                                        + ")");
    }
    std::vector<NestedModel> models;
    std::vector<BootstrapResult> steps;
    std::int32_t before = 0;
    std::vector<std::int32_t> earlier;
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        models.push_back({before, sequence.stepColumns[s]});
        BootstrapResult step;
        step.request.DependentVariable = request.DependentVariable;
        step.request.PredictorList = earlier;
        step.request.AddedList = request.Steps[s];
        step.request.NumTrials = request.NumTrials;
        step.request.Level = request.Level;
        step.request.Details = request.Details;
        step.request.EffectSizes = request.EffectSizes;
        step.request.Coefficients = request.Coefficients;
        step.VariableNames = result.VariableNames;
        step.Seed = seed;
        step.CasesRead = result.CasesRead;
        step.CompleteCases = result.CompleteCases;
        steps.push_back(std::move(step));
        before += sequence.stepColumns[s];
        earlier.insert(earlier.end(), request.Steps[s].begin(), request.Steps[s].end());
    }
    const RunSettings settings{seed, request.NumTrials, request.Details, control, threads, kernel};
    if (const std::optional<Refusal> refused = RunNestedModels(sequence.cases, models, columnNames, settings, steps)) {
        return *refused;
    }
    result.steps = std::move(steps);
    return result;
}

} // namespace

Outcome<HierarchicalResult> RunHierarchical(const HierarchicalRequest& request, const DataSet& dataSet,
                                            std::uint64_t seed, const RunControl& control, unsigned threads,
                                            TrialKernel kernel)
{
    try {
        return runHierarchical(request, dataSet, seed, control, threads, kernel);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to finish the bootstrap.", Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return fault(std::string("A numerical fault stopped the bootstrap: ") + error.what());
    }
}

} // namespace orvalis
