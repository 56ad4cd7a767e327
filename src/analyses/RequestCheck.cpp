// The checks requests pass before any work: the variable range shared by the analyses, and the bootstrap's.
#include "analyses/RequestCheck.h"

#include "analyses/PredictorColumns.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <algorithm>
#include <optional>

namespace orvalis {

Refusal analysisRefusal(std::string message, Refusal::Reason reason)
{
    return Refusal{std::move(message), AnalysisErrorTitle, reason};
}

Status checkVariablesInData(const std::vector<std::int32_t>& variables, const DataSet& dataSet)
{
    for (const std::int32_t v : variables) {
        if (v < 1 || v > dataSet.NumVariables()) {
            return analysisRefusal(variableNumber(v) + " is not in the data (it has "
                                       + std::to_string(dataSet.NumVariables()) + " variables)",
                                   Refusal::Reason::NotInData);
        }
    }
    return Done{};
}

Outcome<std::int32_t> variableNamed(const DataSet& dataSet, const std::string& name)
{
    // Names are UTF-8 (decoded at import); so is what is looked up.
    const std::vector<std::int32_t> found = dataSet.variablesNamed(decodeToUtf8(name));
    if (found.size() == 1) {
        return found.front();
    }
    if (found.empty()) {
        return analysisRefusal("no variable is named " + escapeControlCharacters(name), Refusal::Reason::NotInData);
    }
    std::string list;
    for (const std::int32_t v : found) {
        list += (list.empty() ? "" : ", ") + std::to_string(v);
    }
    return analysisRefusal("the name " + escapeControlCharacters(name) + " belongs to more than one variable (" + list
                               + ")",
                           Refusal::Reason::NotInData);
}

namespace {

bool contains(const std::vector<std::int32_t>& list, std::int32_t v)
{
    return std::find(list.begin(), list.end(), v) != list.end();
}

Refusal twoRoles(std::int32_t v, const char* first, const char* second)
{
    return analysisRefusal(variableNumber(v) + " is used in two roles: " + first + " and " + second + ".");
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
        return analysisRefusal(variableNumber(*v) + " is listed twice among the predictors.");
    }
    if (const auto v = listedTwice(request.AddedList)) {
        return analysisRefusal(variableNumber(*v) + " is listed twice among the added predictors.");
    }
    return Done{};
}

} // namespace

Status CheckBootstrapRequest(const BootstrapRequest& request, const DataSet& dataSet, const RequestWords& words)
{
    std::vector<std::int32_t> named = requestVariables(request);
    named.insert(named.end(), request.Categorical.begin(), request.Categorical.end());
    for (const auto& [v, category] : request.ReferenceCategory) {
        named.push_back(v);
    }
    if (const Status inData = checkVariablesInData(named, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    if (request.NumAdded() < 1) {
        return analysisRefusal(words.noAddedPredictor);
    }
    if (!request.DependentVariable) {
        return analysisRefusal(words.noDependentVariable);
    }
    if (request.NumPredictors() + request.NumAdded() > MaxExplanatory) {
        return analysisRefusal(
            "Too many explanatory variables are included in the full model. The maximum number is 12.");
    }
    if (const Status roles = checkRoles(request); !roles.ok()) {
        return roles;
    }
    // A text column's codes 1..k are labels, not amounts.
    for (const std::int32_t v : requestVariables(request)) {
        if (dataSet.isCategorical(v) && !request.Categorical.contains(v)) {
            const std::string& name = dataSet.VariableName(v);
            return analysisRefusal(variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")")
                                   + " is a text variable with " + std::to_string(dataSet.categories(v).size())
                                   + " categories; the bootstrap takes numeric variables only.");
        }
    }
    // A text dependent variable was refused above, so only the predictors
    // can be categorical here.
    std::vector<std::int32_t> predictors = request.PredictorList;
    predictors.insert(predictors.end(), request.AddedList.begin(), request.AddedList.end());
    std::int32_t columns = 0;
    if (const Status categorical = checkCategoricalPredictors(
            *request.DependentVariable, predictors, request.Categorical, request.ReferenceCategory, dataSet, columns);
        !categorical.ok()) {
        return categorical;
    }
    if (columns > MaxColumns - 1) {
        return analysisRefusal("The full model has " + std::to_string(columns)
                               + " predictor columns (a categorical variable counts one column less than its "
                                 "categories), and at most "
                               + std::to_string(MaxColumns - 1) + " are allowed.");
    }
    return Done{};
}

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

} // namespace orvalis
