// The variable-range check shared by the bootstrap and the descriptives.
#include "analyses/RequestCheck.h"

#include "common/TextEscape.h"
#include "data/DataSet.h"

namespace orvalis {

Refusal analysisRefusal(std::string message, Refusal::Reason reason)
{
    return Refusal{std::move(message), AnalysisErrorTitle, reason};
}

Status checkVariablesInData(const std::vector<std::int32_t>& variables, const DataSet& dataSet)
{
    for (const std::int32_t v : variables) {
        if (v < 1 || v > dataSet.NumVariables()) {
            return analysisRefusal("variable " + std::to_string(v) + " is not in the data (it has "
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

} // namespace orvalis
