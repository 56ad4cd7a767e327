// The APA sentence and table: one model of the table, written as plain text, Markdown and HTML.
#include "analyses/ApaReport.h"

#include "analyses/EffectSizeBlock.h"
#include "analyses/ReportText.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "common/Version.h"
#include "data/DataSet.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvalis {
namespace {

const char* const R2 = "R\u00b2";
const char* const DeltaR2 = "\u0394R\u00b2";

// A variable as the results name it: its name from the file, or "Var 4";
// escaped for Markdown in the Markdown texts. The program's own words and
// numbers ("95% CI [.11, .49]", "p < .001") are literal text in Markdown
// and stay as they are.
std::string nameOf(std::int32_t v, const std::vector<std::string>& names, ApaForm form)
{
    const auto index = static_cast<std::size_t>(v);
    if (v >= 1 && index < names.size() && !names[index].empty()) {
        const std::string name = escapeControlCharacters(names[index]);
        return form == ApaForm::Markdown ? markdownEscaped(name) : name;
    }
    return variableNumber(v);
}

// "A", "A and B", "A, B and C" (prose) or "A, B, C" (a table's cell).
std::string nameList(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names, bool prose,
                     ApaForm form)
{
    std::string text;
    for (std::size_t k = 0; k < variables.size(); ++k) {
        if (k > 0) {
            text += prose && k + 1 == variables.size() ? " and " : ", ";
        }
        text += nameOf(variables[k], names, form);
    }
    return text;
}

std::string proportion(const std::optional<double>& value)
{
    return value ? apaNumber(ApaValue::Proportion, *value) : std::string("undefined");
}

// "[.11, .49]"; "undefined" where the run has no such limits.
std::string limitsText(const BootstrapResult& result, IntervalKind interval)
{
    const Interval* chosen = result.interval(interval);
    if (chosen == nullptr || !chosen->lower || !chosen->upper) {
        return "undefined";
    }
    std::string text = "[";
    text += apaNumber(ApaValue::Proportion, *chosen->lower);
    text += ", ";
    text += apaNumber(ApaValue::Proportion, *chosen->upper);
    return text + "]";
}

std::string alphaText(const BootstrapResult& result)
{
    return apaAlpha(result.request.Level);
}

bool lowerSetToZero(const BootstrapResult& result, IntervalKind interval)
{
    return interval == IntervalKind::Modified && result.FValue && result.ModifiedLowerIsZero;
}

// "p < .001", "p = .069".
std::string pClause(double p)
{
    const std::string text = apaNumber(ApaValue::PValue, p);
    return text.front() == '<' ? "p " + text : "p = " + text;
}

// "percentile bootstrap", with why a modified lower limit is 0.
std::string methodText(const BootstrapResult& result, IntervalKind interval)
{
    const char* named = intervalRow(interval).apaMethod;
    const std::string method = named != nullptr ? named : "";
    return lowerSetToZero(result, interval) ? method + ", lower limit set to 0 because " + modifiedTestName(result)
                                                  + " was not significant at \u03b1 = " + alphaText(result)
                                            : method;
}

// "2,000 resamples", "2,000 resamples, 1,998 valid".
std::string resamplesText(const BootstrapResult& result)
{
    std::string text = apaNumber(ApaValue::Count, result.request.NumTrials) + " resamples";
    if (result.NumValid != result.request.NumTrials) {
        text += ", " + apaNumber(ApaValue::Count, result.NumValid) + " valid";
    }
    return text;
}

// ", 2,000 resamples" after the method of a bootstrap interval; nothing after
// Alf and Graf's, which the resamples do not enter.
std::string resamplesClause(const BootstrapResult& result, IntervalKind interval)
{
    return intervalRow(interval).resampled ? ", " + resamplesText(result) : std::string();
}

// The table, before it is written in one of its forms.
struct TableModel {
    std::string number = "Table 1";
    std::string title;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::string note;
};

TableModel tableOf(const BootstrapResult& result, IntervalKind interval, ApaForm form)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    TableModel table;
    table.title = "Hierarchical Regression of " + nameOf(request.DependentVariable.value_or(0), names, form);
    const std::string percent = formatInteger(percentOf(request.Level));
    table.header = {"Model", R2, DeltaR2, percent + "% CI", "F change", "df1", "df2", "p"};
    const std::string reduced = request.PredictorList.empty() ? std::string("no predictors")
                                                              : nameList(request.PredictorList, names, false, form);
    table.rows.push_back({"Step 1: " + reduced, proportion(result.ReducedR2), "", "", "", "", "", ""});
    std::vector<std::string> full = {"Step 2: + " + nameList(request.AddedList, names, false, form),
                                     proportion(result.FullR2), proportion(result.DeltaR2),
                                     limitsText(result, interval)};
    if (result.FValue) {
        full.insert(full.end(), {apaNumber(ApaValue::Statistic, *result.FValue), formatInteger(result.df1),
                                 formatInteger(result.df2), apaNumber(ApaValue::PValue, result.PValue)});
    } else {
        full.insert(full.end(), {"", "", "", ""});
    }
    table.rows.push_back(full);
    table.note = "Note. CI = confidence interval of " + std::string(DeltaR2) + " by " + methodText(result, interval)
                 + " (" + resamplesText(result) + ", seed " + std::to_string(result.Seed) + "). F change, df1, df2 and"
                 + " p: the F test of the predictors added in Step 2.";
    return table;
}

} // namespace

std::string apaProportion(double value, int decimals)
{
    std::string text = formatFixed(value, decimals);
    // A negative value that rounds to zero is written as zero, not "-.00".
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    // No leading zero for values that cannot exceed 1.
    const std::size_t zero = text.front() == '-' ? 1 : 0;
    if (text.compare(zero, 2, "0.") == 0) {
        text.erase(zero, 1);
    }
    return text;
}

std::string apaAlpha(ConfidenceLevel level)
{
    return apaNumber(ApaValue::Proportion, 1.0 - percentOf(level) / 100.0);
}

std::string apaNumber(ApaValue kind, double value)
{
    switch (kind) {
    case ApaValue::Proportion:
    case ApaValue::PValue: {
        if (kind == ApaValue::PValue && value < 0.001) {
            return "< .001";
        }
        return apaProportion(value, kind == ApaValue::PValue ? 3 : 2);
    }
    case ApaValue::Statistic:
        return formatFixed(value, 2);
    case ApaValue::Count:
        return formatGrouped(static_cast<std::int64_t>(std::llround(value)));
    }
    return {};
}

std::string FormatApaSentence(const BootstrapResult& result, IntervalKind interval, ApaForm form)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    std::string text = "Adding " + nameList(request.AddedList, names, true, form);
    if (request.PredictorList.empty()) {
        text += " to a model without predictors";
    }
    // No change is no increase.
    const bool unchanged = result.DeltaR2 && *result.DeltaR2 == 0.0;
    text += (unchanged ? " left " + std::string(R2) + " unchanged at " + proportion(result.FullR2)
                       : " increased " + std::string(R2) + " from " + proportion(result.ReducedR2) + " to "
                             + proportion(result.FullR2))
            + ", " + DeltaR2 + " = " + proportion(result.DeltaR2) + ", "
            + formatInteger(percentOf(request.Level)) + "% CI " + limitsText(result, interval);
    if (result.FValue) {
        text += ", F(" + formatInteger(result.df1) + ", " + formatInteger(result.df2)
                + ") = " + apaNumber(ApaValue::Statistic, *result.FValue) + ", " + pClause(result.PValue);
    }
    text += " (" + methodText(result, interval) + resamplesClause(result, interval) + "; Orvalis " + programVersion()
            + ").";
    return text;
}

namespace {

std::string tableAsText(const TableModel& table)
{
    std::vector<std::size_t> widths(table.header.size(), 0);
    auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t k = 0; k < row.size(); ++k) {
            widths[k] = std::max(widths[k], displayWidth(row[k]));
        }
    };
    measure(table.header);
    for (const auto& row : table.rows) {
        measure(row);
    }
    auto rowText = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t k = 0; k < row.size(); ++k) {
            line += row[k];
            if (k + 1 < row.size()) {
                line += std::string(widths[k] - displayWidth(row[k]) + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        return line + "\n";
    };
    std::size_t total = 0;
    for (const std::size_t width : widths) {
        total += width + 2;
    }
    const std::string rule(total - 2, '-');
    std::string out = table.number + "\n" + table.title + "\n" + rule + "\n" + rowText(table.header) + rule + "\n";
    for (const auto& row : table.rows) {
        out += rowText(row);
    }
    return out + rule + "\n" + table.note + "\n";
}

} // namespace

std::string FormatApaTableText(const BootstrapResult& result, IntervalKind interval)
{
    return tableAsText(tableOf(result, interval, ApaForm::Plain));
}

namespace {

std::string tableAsMarkdown(const TableModel& table)
{
    auto rowText = [](const std::vector<std::string>& row) {
        std::string line = "|";
        for (const std::string& cell : row) {
            line += ' ';
            line += cell;
            line += " |";
        }
        return line + "\n";
    };
    std::string out = "**" + table.number + "**\n\n*" + table.title + "*\n\n" + rowText(table.header);
    out += "|:---|";
    for (std::size_t k = 1; k < table.header.size(); ++k) {
        out += "---:|";
    }
    out += "\n";
    for (const auto& row : table.rows) {
        out += rowText(row);
    }
    return out + "\n*Note.*" + table.note.substr(5) + "\n";
}

} // namespace

std::string FormatApaTableMarkdown(const BootstrapResult& result, IntervalKind interval)
{
    return tableAsMarkdown(tableOf(result, interval, ApaForm::Markdown));
}

namespace {

std::string tableAsHtml(const TableModel& table)
{
    const std::string rule = "border-top:1px solid black;";
    const std::string cell = "padding:2px 8px;";
    std::string out = "<p><b>" + htmlEscaped(table.number) + "</b></p>\n<p><i>" + htmlEscaped(table.title)
                      + "</i></p>\n<table style=\"border-collapse:collapse;\">\n<tr>";
    for (std::size_t k = 0; k < table.header.size(); ++k) {
        out += "<th style=\"" + rule + "border-bottom:1px solid black;" + cell
               + (k == 0 ? "text-align:left;" : "text-align:right;") + "\">" + htmlEscaped(table.header[k]) + "</th>";
    }
    out += "</tr>\n";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += "<tr>";
        const bool last = r + 1 == table.rows.size();
        for (std::size_t k = 0; k < table.rows[r].size(); ++k) {
            out += "<td style=\"" + cell + (last ? std::string("border-bottom:1px solid black;") : std::string())
                   + (k == 0 ? "text-align:left;" : "text-align:right;") + "\">" + htmlEscaped(table.rows[r][k])
                   + "</td>";
        }
        out += "</tr>\n";
    }
    return out + "</table>\n<p><i>Note.</i>" + htmlEscaped(table.note.substr(5)) + "</p>\n";
}

} // namespace

std::string FormatApaTableHtml(const BootstrapResult& result, IntervalKind interval)
{
    return tableAsHtml(tableOf(result, interval, ApaForm::Plain));
}

std::string modelCaption(const BootstrapResult& result)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    return nameOf(request.DependentVariable.value_or(0), names, ApaForm::Plain) + " on "
           + (request.PredictorList.empty() ? std::string("no predictors")
                                            : nameList(request.PredictorList, names, false, ApaForm::Plain))
           + "; adding " + nameList(request.AddedList, names, false, ApaForm::Plain);
}

namespace {

// A step's variables by their names: "am and qsec" (prose) or "am, qsec".
std::string stepNames(const HierarchicalResult& result, std::size_t step, bool prose, ApaForm form)
{
    return nameList(result.request.Steps[step], result.VariableNames, prose, form);
}

TableModel tableOf(const HierarchicalResult& result, IntervalKind interval, ApaForm form)
{
    const HierarchicalRequest& request = result.request;
    TableModel table;
    table.title =
        "Hierarchical Regression of " + nameOf(request.DependentVariable.value_or(0), result.VariableNames, form);
    const std::string percent = formatInteger(percentOf(request.Level));
    table.header = {"Model", R2, DeltaR2, percent + "% CI", "F change", "df1", "df2", "p"};
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        std::vector<std::string> row = {"Step " + std::to_string(s + 1) + ": " + (s == 0 ? "" : "+ ")
                                            + stepNames(result, s, false, form),
                                        proportion(step.FullR2), proportion(step.DeltaR2), limitsText(step, interval)};
        if (step.FValue) {
            row.insert(row.end(), {apaNumber(ApaValue::Statistic, *step.FValue), formatInteger(step.df1),
                                   formatInteger(step.df2), apaNumber(ApaValue::PValue, step.PValue)});
        } else {
            row.insert(row.end(), {"", "", "", ""});
        }
        table.rows.push_back(row);
    }
    const BootstrapResult& last = result.steps.back();
    table.note = "Note. CI = confidence interval of " + std::string(DeltaR2) + " by " + methodText(last, interval)
                 + " (" + resamplesText(last) + ", seed " + std::to_string(result.Seed)
                 + "). F change: each step against the step before it, with the step's own error term.";
    if (interval == IntervalKind::Modified) {
        table.note += " A modified lower limit is 0 where the step's "
                      + (last.ModifiedFollowed == ModifiedTest::Robust ? modifiedTestName(last).substr(4)
                                                                       : std::string("F change"))
                      + " is not significant at \u03b1 = " + alphaText(last) + ".";
    }
    return table;
}

} // namespace

std::string FormatApaSentence(const HierarchicalResult& result, IntervalKind interval, ApaForm form)
{
    const std::string percent = formatInteger(percentOf(result.request.Level));
    std::string text;
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        const std::string number = std::to_string(s + 1);
        if (s == 0) {
            text += "In Step 1, " + stepNames(result, s, true, form) + " accounted for " + R2 + " = "
                    + proportion(step.FullR2);
        } else {
            text += " Adding " + stepNames(result, s, true, form) + " in Step " + number + " changed " + R2 + " to "
                    + proportion(step.FullR2) + ", " + DeltaR2 + " = " + proportion(step.DeltaR2);
        }
        text += ", " + percent + "% CI " + limitsText(step, interval);
        if (step.FValue) {
            text += ", F(" + formatInteger(step.df1) + ", " + formatInteger(step.df2)
                    + ") = " + apaNumber(ApaValue::Statistic, *step.FValue) + ", " + pClause(step.PValue);
        }
        text += s + 1 == result.steps.size() ? std::string() : std::string(".");
    }
    // The method once, for every step; the modified interval's rule in general words.
    const BootstrapResult& last = result.steps.back();
    std::string method = interval == IntervalKind::Modified
                             ? "modified percentile bootstrap, lower limit set to 0 where the step's "
                                   + modifiedTestName(last).substr(4)
                                   + " was not significant at \u03b1 = " + alphaText(last)
                             : methodText(last, interval);
    return text + " (" + method + resamplesClause(last, interval) + "; Orvalis " + programVersion() + ").";
}

std::string FormatApaTableText(const HierarchicalResult& result, IntervalKind interval)
{
    return tableAsText(tableOf(result, interval, ApaForm::Plain));
}

std::string FormatApaTableMarkdown(const HierarchicalResult& result, IntervalKind interval)
{
    return tableAsMarkdown(tableOf(result, interval, ApaForm::Markdown));
}

std::string FormatApaTableHtml(const HierarchicalResult& result, IntervalKind interval)
{
    return tableAsHtml(tableOf(result, interval, ApaForm::Plain));
}

std::string FormatApaResults(const BootstrapResult& result, IntervalKind interval, ApaForm form)
{
    return FormatApaSentence(result, interval, form) + "\n\n"
           + (form == ApaForm::Markdown ? FormatApaTableMarkdown(result, interval)
                                        : FormatApaTableText(result, interval));
}

std::string FormatApaResults(const HierarchicalResult& result, IntervalKind interval, ApaForm form)
{
    return FormatApaSentence(result, interval, form) + "\n\n"
           + (form == ApaForm::Markdown ? FormatApaTableMarkdown(result, interval)
                                        : FormatApaTableText(result, interval));
}

} // namespace orvalis
