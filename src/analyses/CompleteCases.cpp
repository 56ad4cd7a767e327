// CollectCompleteCases: the four refusals, then one pass over the data table.
#include "analyses/CompleteCases.h"

#include "analyses/RequestCheck.h"
#include "data/DataSet.h"

namespace orvalis {

std::vector<std::int32_t> requestVariables(const BootstrapRequest& request)
{
    std::vector<std::int32_t> variables;
    if (request.DependentVariable) {
        variables.push_back(*request.DependentVariable);
    }
    variables.insert(variables.end(), request.PredictorList.begin(), request.PredictorList.end());
    variables.insert(variables.end(), request.AddedList.begin(), request.AddedList.end());
    return variables;
}

Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet)
{
    const std::vector<std::int32_t> variables = requestVariables(request);
    if (const Status inData = checkVariablesInData(variables, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    const std::int32_t p = request.NumPredictors();
    const std::int32_t q = request.NumAdded();
    if (q < 1) {
        return analysisRefusal("At least one variable must be added from the <Added Predictors> listbox.");
    }
    if (!request.DependentVariable) {
        return analysisRefusal("A dependent variable must be selected.");
    }
    if (p + q > MaxExplanatory) {
        return analysisRefusal(
            "Too many explanatory variables are included in the full model. The maximum number is 12.");
    }

    CaseMatrix matrix;
    matrix.columns = p + q + 1;
    const auto width = static_cast<std::size_t>(matrix.columns);
    matrix.cells.assign(width, 0.0f); // row 0
    std::vector<float> row(width);
    for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
        bool complete = true;
        for (std::size_t c = 0; c < width && complete; ++c) {
            row[c] = dataSet.DataTable(r, variables[c]);
            complete = !isMissing(row[c]);
        }
        if (complete) {
            matrix.cells.insert(matrix.cells.end(), row.begin(), row.end());
            ++matrix.NumComplete;
        }
    }
    if (matrix.NumComplete < 2) {
        return analysisRefusal("There is an insufficient number of observations with complete data.");
    }
    return matrix;
}

} // namespace orvalis
