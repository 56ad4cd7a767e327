// FormatBootstrapReport: fixed wording, fixed number formats.
#include "analyses/BootstrapReport.h"

#include "common/MissingValue.h"
#include "common/NumberText.h"

#include <optional>

namespace orvalis {
namespace {

const char* const Rule = "-------------------------------------";

// "Var3", or "Var3 (Education)" when the file named it.
std::string variableText(std::int32_t v, const std::vector<std::string>& names)
{
    const auto index = static_cast<std::size_t>(v);
    const bool named = v >= 1 && index < names.size() && !names[index].empty();
    return "Var" + formatInteger(v) + (named ? " (" + names[index] + ")" : std::string());
}

std::string variableList(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names)
{
    std::string text;
    for (const std::int32_t v : variables) {
        text += variableText(v, names) + " ";
    }
    return text;
}

std::string r2Text(const std::optional<double>& value)
{
    return value ? formatDouble(roundHalfEven(*value, 5)) : std::string("Undefined");
}

std::string limitText(float value)
{
    return formatFloat(roundHalfEven(value, 5));
}

} // namespace

std::string FormatBootstrapReport(const BootstrapResult& result)
{
    const BootstrapRequest& request = result.request;
    std::string out;
    auto line = [&out](const std::string& text) {
        out += text;
        out += "\r\n";
    };
    line("Results of Bootstrap Trials");
    line(Rule);
    const std::vector<std::string>& names = result.VariableNames;
    line("Dependent variable: " + variableText(request.DependentVariable.value_or(0), names));
    line("Predictors in reduced model: "
         + (request.PredictorList.empty() ? std::string("No predictors") : variableList(request.PredictorList, names)));
    line("Predictors added in full model: " + variableList(request.AddedList, names));
    line("Number of attempted bootstrap trials: " + formatInteger(request.NumTrials));
    line("Number of valid bootstrap trials: " + formatInteger(result.NumValid));
    line("Confidence interval: " + formatInteger(percentOf(request.Level)) + "%");
    line("");
    line("Reduced Model R^2: " + r2Text(result.ReducedR2));
    line("Full Model R^2: " + r2Text(result.FullR2));
    line("Change in R^2: " + r2Text(result.DeltaR2));
    line("");
    line("Traditional Bootstrap Lower Limit: " + limitText(result.TraditionalLower));
    line("Traditional Bootstrap Upper Limit: " + limitText(result.TraditionalUpper));
    line("");
    if (result.FValue && result.ModifiedLowerIsZero) {
        line("Modified Bootstrap Lower Limit: 0");
    } else {
        line("Modified Bootstrap Lower Limit: " + limitText(result.TraditionalLower));
    }
    line("Modified Bootstrap Upper Limit: " + limitText(result.TraditionalUpper));
    // The F line has no "Undefined" form: an undefined F is written as the missing-value code.
    line("F-value: " + formatFloat(roundHalfEven(result.FValue.value_or(MissingValue), 3))
         + "(df1 = " + formatInteger(result.df1) + ", df2 = " + formatInteger(result.df2) + ")");
    line(Rule);
    line("Number of attempted bootstrap trials = " + formatInteger(request.NumTrials));
    line("Number of valid robust D bootstrap trials = " + formatInteger(result.NumValid));
    for (int i = 0; i < 5; ++i) {
        line("");
    }
    return out;
}

} // namespace orvalis
