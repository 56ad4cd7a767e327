// FormatBootstrapReport: fixed wording, fixed number formats.
#include "analyses/BootstrapReport.h"

#include "analyses/EffectSizeBlock.h"
#include "common/MissingValue.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace orvalis {
namespace {

std::string variableList(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names)
{
    std::string text;
    for (const std::int32_t v : variables) {
        text += variableText(v, names) + " ";
    }
    return text;
}

// An R^2 in the report: "Undefined" where there is none, as it has always written.
std::string r2Text(const std::optional<double>& value)
{
    return fiveDecimals(value, "Undefined");
}

// A single-precision limit rounded to 5 decimals; an undefined one (no valid
// trial) is written 0, as the report always has.
std::string limitText(const std::optional<double>& limit)
{
    return formatFloat(roundHalfEven(static_cast<float>(limit.value_or(0.0)), 5));
}

// The run's interval of a kind; one without limits when the run has none.
Interval intervalOf(const BootstrapResult& result, IntervalKind kind)
{
    const Interval* found = result.interval(kind);
    return found != nullptr ? *found : Interval{kind, result.request.Level, std::nullopt, std::nullopt};
}

} // namespace

std::string FormatBootstrapReport(const BootstrapResult& result)
{
    const BootstrapRequest& request = result.request;
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Results of Bootstrap Trials");
    line(BlockRule);
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
    // The traditional, then the modified limits: a modified lower limit of 0
    // (the F test not significant) is written "0", like any zero.
    bool first = true;
    for (const IntervalRow& row : intervalCatalogue()) {
        if (!row.inReport) {
            continue;
        }
        if (!first) {
            line("");
        }
        first = false;
        const Interval interval = intervalOf(result, row.kind);
        line(std::string(row.reportName) + " Bootstrap Lower Limit: " + limitText(interval.lower));
        line(std::string(row.reportName) + " Bootstrap Upper Limit: " + limitText(interval.upper));
    }
    // The F line has no "Undefined" form: an undefined F is written as the missing-value code.
    line("F-value: " + formatFloat(roundHalfEven(result.FValue.value_or(MissingValue), 3))
         + "(df1 = " + formatInteger(result.df1) + ", df2 = " + formatInteger(result.df2) + ")");
    line(BlockRule);
    line("Number of attempted bootstrap trials = " + formatInteger(request.NumTrials));
    line("Number of valid robust D bootstrap trials = " + formatInteger(result.NumValid));
    for (int i = 0; i < 5; ++i) {
        line("");
    }
    return out + FormatImputationWarning(result.ImputationVariables, names)
           + FormatValueLabelWarning(result.ValueLabelledPredictors, names);
}

namespace {

// How the command line names a variable: its name when that is one plain
// word (letters, digits, '_' and '.', not starting like a number), otherwise
// its number.
std::string commandLineName(std::int32_t v, const std::vector<std::string>& names)
{
    const std::string name =
        v >= 1 && static_cast<std::size_t>(v) < names.size() ? names[static_cast<std::size_t>(v)] : std::string();
    const bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9') && name.front() != '.'
                       && name.front() != '-' && name.front() != '+'
                       && std::all_of(name.begin(), name.end(), [](char c) {
                              return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                                     || c == '_' || c == '.';
                          });
    return plain ? name : std::to_string(v);
}

} // namespace

std::string FormatValueLabelWarning(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names)
{
    std::string out;
    for (const std::int32_t v : variables) {
        appendLine(out, "Warning: " + variableText(v, names)
                            + " has value labels and enters as a number; declare it categorical (--categorical "
                            + commandLineName(v, names)
                            + ", or the Categorical mark in the hierarchical window) to enter its categories.");
    }
    if (!out.empty()) {
        appendEmptyLines(out);
    }
    return out;
}

std::string FormatImputationWarning(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names)
{
    std::string out;
    for (const std::int32_t v : variables) {
        appendLine(out, "Warning: " + variableText(v, names)
                            + " looks like the number of an imputation, but all rows were analysed as one sample: "
                              "the limits are too narrow and the F test too liberal. Pool imputed data sets "
                              "elsewhere.");
    }
    if (!out.empty()) {
        appendEmptyLines(out);
    }
    return out;
}

std::string formatPValue(double p)
{
    const std::string text = pValueText(p);
    return text.front() == '<' ? "p " + text : "p = " + text;
}

std::string DescribeModel(const BootstrapResult& result)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    std::string text = variableText(request.DependentVariable.value_or(0), names) + " on ";
    text += request.PredictorList.empty() ? std::string("no predictors ") : variableList(request.PredictorList, names);
    std::string added = variableList(request.AddedList, names);
    added.pop_back(); // the list's trailing blank
    return text.substr(0, text.size() - 1) + ", adding " + added;
}

std::string FormatDraws(const BootstrapResult& result)
{
    std::string csv = "trial,change\n";
    char buffer[64];
    for (std::size_t k = 0; k < result.Draws.size(); ++k) {
        csv += std::to_string(result.DrawTrials[k]);
        csv += ',';
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, result.Draws[k]).ptr;
        csv.append(buffer, end);
        csv += '\n';
    }
    return csv;
}

std::string FormatBootstrapDetails(const BootstrapResult& result, std::string_view dataFile)
{
    const BootstrapDetails details = result.Details.value_or(BootstrapDetails{});
    const std::int32_t percent = percentOf(result.request.Level);
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Details of Bootstrap Trials");
    line(BlockRule);
    line("Seed: " + std::to_string(result.Seed));
    line("Data file: " + escapeControlCharacters(dataFile));
    line("Complete cases used: " + formatInteger(result.CompleteCases) + " of " + formatInteger(result.CasesRead));
    if (result.FValue) {
        const std::string level = formatInteger(100 - percent) + "% level";
        const bool notSignificant = !(result.PValue < alphaOf(result.request.Level));
        line("F test of the added predictors: F = " + formatFloat(roundHalfEven(*result.FValue, 3)) + ", df1 = "
             + formatInteger(result.df1) + ", df2 = " + formatInteger(result.df2) + ", " + formatPValue(result.PValue)
             + (notSignificant ? ": not significant at the " : ": significant at the ") + level);
        // The test the modified limit followed: the F test above, or the robust one when asked for.
        const std::string test =
            result.ModifiedFollowed == ModifiedTest::Robust ? modifiedTestName(result) : "the F test";
        line(result.ModifiedLowerIsZero
                 ? "Modified lower limit: 0, since " + test + " is not significant"
                 : "Modified lower limit: the traditional limit, since " + test + " is significant");
    } else {
        line("F test of the added predictors: undefined (the observed sample is not valid)");
        line("Modified lower limit: the traditional limit (no F test)");
    }
    line("Bootstrap mean of the change in R^2: " + fiveDecimals(details.Mean));
    line("Bootstrap standard error of the change in R^2: " + fiveDecimals(details.StandardError));
    line("Percentile positions of the traditional limits: " + formatInteger(result.Positions.lower) + " and "
         + formatInteger(result.Positions.upper) + " of " + formatInteger(result.NumValid) + " valid trials");
    // Each kind the details compute: "BCa limits (95%): a and b", with the BCa's constants.
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.needs != IntervalNeeds::Details) {
            continue;
        }
        const Interval interval = intervalOf(result, row.kind);
        std::string text = std::string(row.reportName) + " limits (" + formatInteger(percent) + "%): ";
        const bool bca = row.kind == IntervalKind::BCa;
        if (interval.lower && interval.upper && (!bca || (details.BiasCorrection && details.Acceleration))) {
            text += fiveDecimals(interval.lower) + " and " + fiveDecimals(interval.upper);
            if (bca) {
                text += " (bias correction z0 = " + formatDouble(roundHalfEven(*details.BiasCorrection, 4))
                        + ", acceleration a = " + formatDouble(roundHalfEven(*details.Acceleration, 4)) + ")"
                        + (details.BCaAtExtreme ? "; extreme order statistics used as endpoints" : "");
            }
        } else {
            text += UndefinedText;
        }
        line(text);
    }
    appendBlockEnd(out);
    return out;
}

} // namespace orvalis
