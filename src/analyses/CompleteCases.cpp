// CollectCompleteCases: the four refusals, then one pass over the data table.
#include "analyses/CompleteCases.h"

#include "analyses/RequestCheck.h"
#include "data/DataSet.h"

#include <algorithm>
#include <optional>
#include <string>

namespace orvalis {

namespace {

bool contains(const std::vector<std::int32_t>& list, std::int32_t v)
{
    return std::find(list.begin(), list.end(), v) != list.end();
}

Refusal twoRoles(std::int32_t v, const char* first, const char* second)
{
    return analysisRefusal("Var " + std::to_string(v) + " is used in two roles: " + first + " and " + second + ".");
}

// The first variable listed twice in list, if any.
std::optional<std::int32_t> listedTwice(std::vector<std::int32_t> list)
{
    std::sort(list.begin(), list.end());
    const auto twice = std::adjacent_find(list.begin(), list.end());
    return twice == list.end() ? std::nullopt : std::optional<std::int32_t>(*twice);
}

// A variable plays one role, once: a model with the dependent variable among
// its predictors, or with a predictor counted twice, has no meaning (its R^2
// is 1 or undefined).
Status checkRoles(const BootstrapRequest& request)
{
    const std::int32_t dv = *request.DependentVariable;
    if (contains(request.PredictorList, dv)) {
        return twoRoles(dv, "dependent variable", "predictor");
    }
    if (contains(request.AddedList, dv)) {
        return twoRoles(dv, "dependent variable", "added predictor");
    }
    for (const std::int32_t v : request.PredictorList) {
        if (contains(request.AddedList, v)) {
            return twoRoles(v, "predictor", "added predictor");
        }
    }
    if (const auto v = listedTwice(request.PredictorList)) {
        return analysisRefusal("Var " + std::to_string(*v) + " is listed twice among the predictors.");
    }
    if (const auto v = listedTwice(request.AddedList)) {
        return analysisRefusal("Var " + std::to_string(*v) + " is listed twice among the added predictors.");
    }
    return Done{};
}

// x - c when it is exact in single precision: the double difference of two
// floats, checked to be exact (Knuth's two-sum) and to fit a float.
std::optional<float> exactDifference(float x, float c)
{
    const double a = x;
    const double b = -static_cast<double>(c);
    const double s = a + b;
    const double bb = s - a;
    const double error = (a - (s - bb)) + (b - bb);
    if (error != 0.0 || static_cast<double>(static_cast<float>(s)) != s) {
        return std::nullopt;
    }
    return static_cast<float>(s);
}

// Shifts each column of matrix by its first value where every difference is
// exact (see CaseMatrix).
void shiftColumns(CaseMatrix& matrix)
{
    const auto width = static_cast<std::size_t>(matrix.columns);
    for (std::size_t c = 0; c < width; ++c) {
        const float first = matrix.cells[width + c];
        bool exact = first != 0.0f;
        for (std::int32_t r = 1; r <= matrix.NumComplete && exact; ++r) {
            exact = exactDifference(matrix.cells[static_cast<std::size_t>(r) * width + c], first).has_value();
        }
        if (!exact) {
            continue;
        }
        for (std::int32_t r = 1; r <= matrix.NumComplete; ++r) {
            float& cell = matrix.cells[static_cast<std::size_t>(r) * width + c];
            cell = *exactDifference(cell, first);
        }
        matrix.shift[c] = first;
    }
}

} // namespace

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
    if (const Status roles = checkRoles(request); !roles.ok()) {
        return roles.refusal();
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
    shiftColumns(matrix);
    return matrix;
}

} // namespace orvalis
