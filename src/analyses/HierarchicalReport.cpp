// FormatHierarchicalReport: the steps in a fixed-width table, numbers as the pair's report writes them.
#include "analyses/HierarchicalReport.h"

#include "analyses/BootstrapReport.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <algorithm>
#include <charconv>

namespace orvalis {
namespace {

std::string limitsText(const BootstrapResult& step, IntervalKind kind)
{
    const Interval* interval = step.interval(kind);
    if (interval == nullptr || !interval->lower || !interval->upper) {
        return "undefined";
    }
    return fiveDecimalsSingle(interval->lower) + " " + fiveDecimalsSingle(interval->upper);
}

} // namespace

std::string DescribeStep(const HierarchicalResult& result, std::size_t step)
{
    std::string text;
    for (const std::int32_t v : result.request.Steps[step]) {
        if (!text.empty()) {
            text += "; ";
        }
        text += variableText(v, result.VariableNames);
        const auto categorical = result.Categories.find(v);
        if (categorical == result.Categories.end()) {
            continue;
        }
        std::string indicators;
        std::string reference;
        const auto found = result.request.ReferenceCategory.find(v);
        const std::int32_t referenceCode = found != result.request.ReferenceCategory.end() ? found->second : 1;
        for (std::size_t k = 0; k < categorical->second.size(); ++k) {
            const std::string label = escapeControlCharacters(categorical->second[k]);
            if (static_cast<std::int32_t>(k) + 1 == referenceCode) {
                reference = label;
            } else {
                indicators += (indicators.empty() ? "" : ", ") + label;
            }
        }
        text += ": " + indicators + " vs " + reference;
    }
    if (step < result.request.Products.size()) {
        for (const ProductTerm& term : result.request.Products[step]) {
            text += (text.empty() ? "" : "; ") + variableText(term.first, result.VariableNames) + " * "
                    + variableText(term.second, result.VariableNames);
        }
    }
    return text;
}

std::string FormatHierarchicalReport(const HierarchicalResult& result)
{
    const HierarchicalRequest& request = result.request;
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Results of Hierarchical Bootstrap Trials");
    line(BlockRule);
    line("Dependent variable: " + variableText(request.DependentVariable.value_or(0), result.VariableNames));
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        line("Step " + formatInteger(static_cast<std::int64_t>(s) + 1) + " adds: " + DescribeStep(result, s));
    }
    line("Complete cases used: " + formatInteger(result.CompleteCases) + " of " + formatInteger(result.CasesRead));
    line("Number of attempted bootstrap trials: " + formatInteger(request.NumTrials));
    line("Confidence interval: " + formatInteger(percentOf(request.Level)) + "%");
    line("");
    std::vector<std::string> header = {"Step", "R^2", "Change", "Valid"};
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.inReport) {
            header.push_back(std::string(row.reportName) + " limits");
        }
    }
    header.insert(header.end(), {"F change", "df1", "df2", "p"});
    std::vector<std::vector<std::string>> rows = {header};
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        std::vector<std::string> cells = {formatInteger(static_cast<std::int64_t>(s) + 1), fiveDecimals(step.FullR2),
                                          fiveDecimals(step.DeltaR2), formatInteger(step.NumValid)};
        for (const IntervalRow& row : intervalCatalogue()) {
            if (row.inReport) {
                cells.push_back(limitsText(step, row.kind));
            }
        }
        cells.insert(cells.end(),
                     {step.FValue ? formatFloat(roundHalfEven(*step.FValue, 3)) : std::string(UndefinedText),
                      formatInteger(step.df1), formatInteger(step.df2),
                      step.FValue ? pValueText(step.PValue) : std::string(UndefinedText)});
        rows.push_back(cells);
    }
    out += alignedColumns(rows);
    line(BlockRule);
    line("F change: each step's model against the model before it, with the step's own error term (as SPSS "
         "reports it; R's anova(m1, m2, m3) uses the largest model's).");
    // The robust test, when the modified limits follow it (an option; each step then says so).
    const BootstrapResult& last = result.steps.back();
    const std::string test = last.request.EffectSizes && last.request.EffectSizes->modifiedFollowsRobust
                                 ? std::string("robust F test (")
                                       + robustCovarianceName(last.request.EffectSizes->covariance) + ", where defined)"
                                 : std::string("F change");
    line("Modified limits: the lower limit is 0 where the step's " + test + " is not significant at the "
         + formatInteger(100 - percentOf(request.Level)) + "% level.");
    appendBlockEnd(out);
    return out + FormatImputationWarning(result.ImputationVariables, result.VariableNames)
           + FormatValueLabelWarning(result.ValueLabelledPredictors, result.VariableNames);
}

std::string FormatHierarchicalDetails(const HierarchicalResult& result, std::string_view dataFile)
{
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    const std::int32_t percent = percentOf(result.request.Level);
    line("Details of Hierarchical Bootstrap Trials");
    line(BlockRule);
    line("Seed: " + std::to_string(result.Seed));
    line("Data file: " + escapeControlCharacters(dataFile));
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        const BootstrapDetails details = step.Details.value_or(BootstrapDetails{});
        const Interval* bca = step.interval(IntervalKind::BCa);
        std::string text = "Step " + formatInteger(static_cast<std::int64_t>(s) + 1) + ": bootstrap mean "
                           + fiveDecimals(details.Mean) + ", standard error " + fiveDecimals(details.StandardError)
                           + "; BCa limits (" + formatInteger(percent) + "%) ";
        if (bca != nullptr && bca->lower && bca->upper && details.BiasCorrection && details.Acceleration) {
            text += fiveDecimals(bca->lower) + " and " + fiveDecimals(bca->upper)
                    + " (z0 = " + formatDouble(roundHalfEven(*details.BiasCorrection, 4))
                    + ", a = " + formatDouble(roundHalfEven(*details.Acceleration, 4)) + ")"
                    + (details.BCaAtExtreme ? ", extreme order statistics used as endpoints" : "");
        } else {
            text += "undefined";
        }
        text += "; Monte Carlo error of the traditional limits " + fiveDecimals(details.LowerLimitError) + " and "
                + fiveDecimals(details.UpperLimitError);
        line(text);
    }
    appendBlockEnd(out);
    return out;
}

std::string FormatHierarchicalDraws(const HierarchicalResult& result)
{
    std::string csv = "step,trial,change\n";
    char buffer[64];
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        const std::string prefix = std::to_string(s + 1) + ",";
        for (std::size_t k = 0; k < step.Draws.size(); ++k) {
            csv += prefix;
            csv += std::to_string(step.DrawTrials[k]);
            csv += ',';
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, step.Draws[k]).ptr;
            csv.append(buffer, end);
            csv += '\n';
        }
    }
    return csv;
}

} // namespace orvalis
