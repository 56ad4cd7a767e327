// The APA sentence and table: one model of the table, written as plain text, Markdown and HTML.
#include "analyses/ApaReport.h"

#include "analyses/CoefficientsReport.h"
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
// How APA style writes a product term: "stress × support".
constexpr const char* ApaProductSign = " \u00d7 ";

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
std::string joinedNames(const std::vector<std::string>& items, bool prose)
{
    std::string text;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) {
            text += prose && k + 1 == items.size() ? " and " : ", ";
        }
        text += items[k];
    }
    return text;
}

std::string nameList(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names, bool prose,
                     ApaForm form)
{
    std::vector<std::string> items;
    for (const std::int32_t v : variables) {
        items.push_back(nameOf(v, names, form));
    }
    return joinedNames(items, prose);
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
    // The coefficient table's layout, per row (empty: none): a row of one
    // cell that spans every column (a step's heading, its line of R² and F),
    // which the text form does not measure; a row set in under its step's
    // heading (the HTML form's indent; the text form's is in the cell).
    std::vector<bool> spans;
    std::vector<bool> indented;
    // The header, the cells and the note are already in the form's markup
    // (HTML tags, Markdown escapes): the HTML form escapes only the title.
    bool markedUp = false;
};

bool spansRow(const TableModel& table, std::size_t row)
{
    return row < table.spans.size() && table.spans[row];
}

bool indentedRow(const TableModel& table, std::size_t row)
{
    return row < table.indented.size() && table.indented[row];
}

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

// The coefficient table's forms: the plain text, Markdown and HTML each
// write a statistic's symbol, a name and the program's own text their way.
enum class Markup { Plain, Markdown, Html };

// "B", "*B*", "<i>B</i>": a statistic's symbol in italics where the form has them.
std::string italic(std::string_view symbol, Markup markup)
{
    switch (markup) {
    case Markup::Plain:
        return std::string(symbol);
    case Markup::Markdown:
        return "*" + std::string(symbol) + "*";
    case Markup::Html:
        return "<i>" + std::string(symbol) + "</i>";
    }
    return {};
}

// The program's own text in a cell: "< .001" is "&lt; .001" in HTML.
std::string own(const std::string& text, Markup markup)
{
    return markup == Markup::Html ? htmlEscaped(text) : text;
}

// A name from the data file as a cell shows it: escaped for Markdown or HTML.
std::string nameCell(const std::string& name, Markup markup)
{
    switch (markup) {
    case Markup::Plain:
        return name;
    case Markup::Markdown:
        return markdownEscaped(name);
    case Markup::Html:
        return htmlEscaped(name);
    }
    return {};
}

std::string rSquared(Markup markup)
{
    return italic("R", markup) + "\u00b2";
}

std::string deltaRSquared(Markup markup)
{
    return "\u0394" + italic("R", markup) + "\u00b2";
}

// A step's line: "R² = .71, ΔR² = .27, 95% CI [.11, .49], F(3, 41) = 12.77,
// p < .001"; only R² for a model without its change (a pair's reduced model).
std::string fitLine(const std::optional<double>& r2, const BootstrapResult* change, IntervalKind interval,
                    ConfidenceLevel level, Markup markup)
{
    std::string text = rSquared(markup) + " = " + proportion(r2);
    if (change == nullptr) {
        return text;
    }
    text += ", " + deltaRSquared(markup) + " = " + proportion(change->DeltaR2) + ", " + formatInteger(percentOf(level))
            + "% CI " + limitsText(*change, interval);
    if (change->FValue) {
        const std::string p = apaNumber(ApaValue::PValue, change->PValue);
        text += ", " + italic("F", markup) + "(" + formatInteger(change->df1) + ", " + formatInteger(change->df2)
                + ") = " + apaNumber(ApaValue::Statistic, *change->FValue) + ", " + italic("p", markup) + " "
                + own(p.front() == '<' ? p : "= " + p, markup);
    }
    return text;
}

TableModel coefficientTableStart(const std::string& dependent, ConfidenceLevel level, ApaCoefficientColumn column,
                                 Markup markup)
{
    TableModel table;
    table.title = "Hierarchical Regression of " + dependent;
    table.header = {"Variable", italic("B", markup), italic("SE B", markup),
                    "\u03b2",   italic("t", markup), italic("p", markup)};
    table.header.push_back(column == ApaCoefficientColumn::Interval
                               ? formatInteger(percentOf(level)) + "% CI [" + italic("LL", markup) + ", "
                                     + italic("UL", markup) + "]"
                               : italic("sr", markup) + "\u00b2");
    table.markedUp = markup != Markup::Plain;
    return table;
}

void addRow(TableModel& table, std::vector<std::string> row, bool spans, bool indented, Markup markup)
{
    if (indented && markup == Markup::Plain) {
        row.front() = "  " + row.front();
    }
    table.rows.push_back(std::move(row));
    table.spans.push_back(spans);
    table.indented.push_back(indented);
}

// A step's block: its heading, the constant and each term (termNames[c - 1]
// names column c, already in the form's markup), and the step's line.
void addStepBlock(TableModel& table, std::size_t step, const CoefficientsOutcome& model,
                  const std::vector<std::string>& termNames, const std::string& fit, ApaCoefficientColumn column,
                  Markup markup)
{
    addRow(table, {"Step " + std::to_string(step)}, true, false, markup);
    if (!model.table) {
        addRow(table, {own("Coefficients undefined: " + model.problem, markup)}, true, true, markup);
    } else {
        auto two = [](double value) { return apaNumber(ApaValue::Statistic, value); };
        for (const Coefficient& c : model.table->rows) {
            // B, its SE and its limits with two decimals, or as many more as
            // give the SE two significant digits (a slope of -0.0004 per unit
            // would otherwise read 0.00), at most six.
            int decimals = 2;
            if (c.SE > 0.0 && std::isfinite(c.SE)) {
                decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(c.SE))), 2, 6);
            }
            auto coefficient = [decimals](double value) {
                std::string text = formatFixed(value, decimals);
                if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') {
                    text.erase(0, 1); // no "-0.000"
                }
                return text;
            };
            const auto index = static_cast<std::size_t>(c.column);
            const std::string term = c.column == 0               ? std::string("Constant")
                                     : index <= termNames.size() ? termNames[index - 1]
                                                                 : "Column " + formatInteger(c.column);
            std::string last;
            if (column == ApaCoefficientColumn::Interval) {
                last = "[" + coefficient(c.lower) + ", " + coefficient(c.upper) + "]";
            } else if (c.sr2) {
                last = apaNumber(ApaValue::Proportion, *c.sr2);
            }
            addRow(table,
                   {term, coefficient(c.B), coefficient(c.SE), c.beta ? apaNumber(ApaValue::Proportion, *c.beta) : std::string(),
                    two(c.t), own(apaNumber(ApaValue::PValue, c.p), markup), last},
                   false, true, markup);
        }
    }
    addRow(table, {fit}, true, true, markup);
}

// The note's first part: what the columns are, and how the CI of ΔR² was
// found (the method, resamples and seed of the run).
std::string coefficientNote(const BootstrapResult& run, std::uint64_t seed, IntervalKind interval,
                            ApaCoefficientColumn column, Markup markup)
{
    const std::string B = italic("B", markup);
    const std::string deltaCi = deltaRSquared(markup) + " by " + own(methodText(run, interval), markup) + " ("
                                + resamplesText(run) + ", seed " + std::to_string(seed) + ")";
    std::string note = "Note. " + B + " = unstandardized coefficient; " + italic("SE B", markup)
                       + " = standard error of " + B + "; \u03b2 = standardized coefficient; ";
    if (column == ApaCoefficientColumn::Interval) {
        note += "CI = confidence interval, of " + B + " from the " + italic("t", markup) + " distribution and of "
                + deltaCi + "; " + italic("LL", markup) + " = lower limit; " + italic("UL", markup) + " = upper limit.";
    } else {
        note += italic("sr", markup) + "\u00b2 = squared semipartial correlation, the " + rSquared(markup)
                + " the model loses when that predictor alone is dropped; CI = confidence interval of " + deltaCi + ".";
    }
    return note;
}

ApaForm nameForm(Markup markup)
{
    return markup == Markup::Markdown ? ApaForm::Markdown : ApaForm::Plain;
}

// Whether the run computed coefficients, so that its APA table is the coefficient table.
bool hasCoefficients(const BootstrapResult& result)
{
    return result.Coefficients.has_value();
}

// A pair's run with coefficients: Step 1 the reduced model, Step 2 the full one.
TableModel coefficientTableOf(const BootstrapResult& result, IntervalKind interval, ApaCoefficientColumn column,
                              Markup markup)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    TableModel table = coefficientTableStart(nameOf(request.DependentVariable.value_or(0), names, nameForm(markup)),
                                             request.Level, column, markup);
    // A categorical predictor's indicators are named by category and reference.
    std::vector<std::string> terms;
    for (const PredictorColumn& predictor : result.Columns) {
        terms.push_back(
            nameCell(termName(
                         result.Categories, request.ReferenceCategory, predictor,
                         [&names](std::int32_t v) { return nameOf(v, names, ApaForm::Plain); }, ApaProductSign),
                     markup));
    }
    if (result.Columns.empty()) { // a result built without its columns: one per variable
        for (const std::vector<std::int32_t>* list : {&request.PredictorList, &request.AddedList}) {
            for (const std::int32_t v : *list) {
                terms.push_back(nameCell(nameOf(v, names, ApaForm::Plain), markup));
            }
        }
    }
    addStepBlock(table, 1, result.Coefficients->reduced, terms,
                 fitLine(result.ReducedR2, nullptr, interval, request.Level, markup), column, markup);
    addStepBlock(table, 2, result.Coefficients->full, terms,
                 fitLine(result.FullR2, &result, interval, request.Level, markup), column, markup);
    table.note = coefficientNote(result, result.Seed, interval, column, markup) + " " + italic("F", markup)
                 + ": the test of the predictors added in Step 2.";
    return table;
}

} // namespace

const std::vector<ApaCoefficientColumnRow>& apaCoefficientColumnRows()
{
    static const std::vector<ApaCoefficientColumnRow> rows = {
        {ApaCoefficientColumn::Interval, "ci", "&Confidence Interval of B"},
        {ApaCoefficientColumn::Sr2, "sr2", "&Squared Semipartial Correlation (sr\u00b2)"},
    };
    return rows;
}

const ApaCoefficientColumnRow& apaCoefficientColumnRow(ApaCoefficientColumn column)
{
    for (const ApaCoefficientColumnRow& row : apaCoefficientColumnRows()) {
        if (row.column == column) {
            return row;
        }
    }
    return apaCoefficientColumnRows().front();
}

std::optional<ApaCoefficientColumn> apaCoefficientColumnNamed(std::string_view word)
{
    for (const ApaCoefficientColumnRow& row : apaCoefficientColumnRows()) {
        if (word == row.word) {
            return row.column;
        }
    }
    return std::nullopt;
}

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
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (!spansRow(table, r)) {
            measure(table.rows[r]);
        }
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
    // A spanning line longer than the columns lengthens the rules.
    std::size_t ruleWidth = total - 2;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (spansRow(table, r)) {
            ruleWidth = std::max(ruleWidth, displayWidth(table.rows[r].front()));
        }
    }
    const std::string rule(ruleWidth, '-');
    std::string out = table.number + "\n" + table.title + "\n" + rule + "\n" + rowText(table.header) + rule + "\n";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += spansRow(table, r) ? table.rows[r].front() + "\n" : rowText(table.rows[r]);
    }
    return out + rule + "\n" + table.note + "\n";
}

} // namespace

std::string FormatApaTableText(const BootstrapResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsText(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Plain)
                                               : tableOf(result, interval, ApaForm::Plain));
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
    for (auto row : table.rows) {
        // A spanning row fills its line with empty cells.
        row.resize(std::max(row.size(), table.header.size()));
        out += rowText(row);
    }
    return out + "\n*Note.*" + table.note.substr(5) + "\n";
}

} // namespace

std::string FormatApaTableMarkdown(const BootstrapResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsMarkdown(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Markdown)
                                                   : tableOf(result, interval, ApaForm::Markdown));
}

namespace {

std::string tableAsHtml(const TableModel& table)
{
    const std::string rule = "border-top:1px solid black;";
    const std::string cell = "padding:2px 8px;";
    auto text = [&](const std::string& content) { return table.markedUp ? content : htmlEscaped(content); };
    std::string out = "<p><b>" + htmlEscaped(table.number) + "</b></p>\n<p><i>" + htmlEscaped(table.title)
                      + "</i></p>\n<table style=\"border-collapse:collapse;\">\n<tr>";
    for (std::size_t k = 0; k < table.header.size(); ++k) {
        out += "<th style=\"" + rule + "border-bottom:1px solid black;" + cell
               + (k == 0 ? "text-align:left;" : "text-align:right;") + "\">" + text(table.header[k]) + "</th>";
    }
    out += "</tr>\n";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += "<tr>";
        const bool last = r + 1 == table.rows.size();
        const std::string span =
            spansRow(table, r) ? " colspan=\"" + std::to_string(table.header.size()) + "\"" : std::string();
        for (std::size_t k = 0; k < table.rows[r].size(); ++k) {
            out += "<td" + span + " style=\""
                   + (k == 0 && indentedRow(table, r) ? std::string("padding:2px 8px 2px 24px;") : cell)
                   + (last ? std::string("border-bottom:1px solid black;") : std::string())
                   + (k == 0 ? "text-align:left;" : "text-align:right;") + "\">" + text(table.rows[r][k]) + "</td>";
        }
        out += "</tr>\n";
    }
    return out + "</table>\n<p><i>Note.</i>" + text(table.note.substr(5)) + "</p>\n";
}

} // namespace

std::string FormatApaTableHtml(const BootstrapResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsHtml(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Html)
                                               : tableOf(result, interval, ApaForm::Plain));
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

// A step's variables by their names, then its products: "am and qsec" (prose)
// or "am, qsec"; "stress × support".
std::string stepNames(const HierarchicalResult& result, std::size_t step, bool prose, ApaForm form)
{
    std::vector<std::string> items;
    for (const std::int32_t v : result.request.Steps[step]) {
        items.push_back(nameOf(v, result.VariableNames, form));
    }
    if (step < result.request.Products.size()) {
        for (const ProductTerm& term : result.request.Products[step]) {
            items.push_back(nameOf(term.first, result.VariableNames, form) + ApaProductSign
                            + nameOf(term.second, result.VariableNames, form));
        }
    }
    return joinedNames(items, prose);
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

// A hierarchical run with coefficients: each step's model (the steps up to
// it), its terms named by termName.
TableModel coefficientTableOf(const HierarchicalResult& result, IntervalKind interval, ApaCoefficientColumn column,
                              Markup markup)
{
    const HierarchicalRequest& request = result.request;
    TableModel table =
        coefficientTableStart(nameOf(request.DependentVariable.value_or(0), result.VariableNames, nameForm(markup)),
                              request.Level, column, markup);
    std::vector<std::string> terms;
    for (const PredictorColumn& predictor : result.columns) {
        terms.push_back(nameCell(
            termName(
                result.Categories, request.ReferenceCategory, predictor,
                [&result](std::int32_t v) { return nameOf(v, result.VariableNames, ApaForm::Plain); }, ApaProductSign),
            markup));
    }
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        addStepBlock(table, s + 1, step.Coefficients->full, terms,
                     fitLine(step.FullR2, &step, interval, request.Level, markup), column, markup);
    }
    const BootstrapResult& last = result.steps.back();
    table.note = coefficientNote(last, result.Seed, interval, column, markup) + " " + italic("F", markup)
                 + ": each step against the step before it, with the step's own error term.";
    if (interval == IntervalKind::Modified) {
        table.note += " A modified lower limit is 0 where the step's "
                      + (last.ModifiedFollowed == ModifiedTest::Robust ? own(modifiedTestName(last).substr(4), markup)
                                                                       : italic("F", markup) + " change")
                      + " is not significant at \u03b1 = " + alphaText(last) + ".";
    }
    return table;
}

bool hasCoefficients(const HierarchicalResult& result)
{
    return !result.steps.empty() && result.steps.front().Coefficients.has_value();
}

} // namespace

namespace {

// The simple slopes and the Johnson-Neyman values, after the steps: " The simple slope of stress was b = -1.16,
// 95% CI [-1.33, -0.98], p < .001, at one SD below the mean of support (2.51); ... By the Johnson-Neyman
// technique, ..."; nothing for a run without.
std::string slopesSentences(const HierarchicalResult& result, ApaForm form)
{
    if (!result.Moderation) {
        return {};
    }
    const ModerationResult& moderation = *result.Moderation;
    const std::string focal = nameOf(moderation.request.focal, result.VariableNames, form);
    const std::string moderator = nameOf(moderation.request.moderator, result.VariableNames, form);
    const std::string percent = formatInteger(percentOf(moderation.level));
    auto number = [](double value) { return apaNumber(ApaValue::Statistic, value); };
    std::vector<std::string> slopes;
    for (const SimpleSlope& slope : moderation.slopes) {
        std::string text = "b = " + number(slope.B) + ", " + percent + "% CI [" + number(slope.lower) + ", "
                           + number(slope.upper) + "], " + pClause(slope.p) + ", ";
        switch (slope.point) {
        case SlopePoint::BelowMean:
            text += "at one SD below the mean of " + moderator + " (" + number(slope.at) + ")";
            break;
        case SlopePoint::Mean:
            text += "at its mean (" + number(slope.at) + ")";
            break;
        case SlopePoint::AboveMean:
            text += "at one SD above it (" + number(slope.at) + ")";
            break;
        case SlopePoint::Given:
            text += "at " + moderator + " = " + number(slope.at);
            break;
        case SlopePoint::Category: {
            const auto index = static_cast<std::size_t>(slope.category) - 1;
            const std::string label = index < moderation.categoryLabels.size()
                                          ? escapeControlCharacters(moderation.categoryLabels[index])
                                          : formatInteger(slope.category);
            text += "for " + moderator + " " + (form == ApaForm::Markdown ? markdownEscaped(label) : label);
            break;
        }
        }
        slopes.push_back(std::move(text));
    }
    std::string text = " The simple slope of " + focal + " was ";
    for (std::size_t k = 0; k < slopes.size(); ++k) {
        text += k == 0 ? "" : (k + 1 == slopes.size() ? "; and " : "; ");
        text += slopes[k];
    }
    text += ".";
    if (moderation.johnsonNeyman) {
        std::string jn = JohnsonNeymanSentence(moderation, focal, moderator, number, true);
        text += " By the Johnson-Neyman technique, " + jn + ".";
    }
    return text;
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
    return text + " (" + method + resamplesClause(last, interval) + "; Orvalis " + programVersion() + ")."
           + slopesSentences(result, form);
}

std::string FormatApaTableText(const HierarchicalResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsText(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Plain)
                                               : tableOf(result, interval, ApaForm::Plain));
}

std::string FormatApaTableMarkdown(const HierarchicalResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsMarkdown(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Markdown)
                                                   : tableOf(result, interval, ApaForm::Markdown));
}

std::string FormatApaTableHtml(const HierarchicalResult& result, IntervalKind interval, ApaCoefficientColumn column)
{
    return tableAsHtml(hasCoefficients(result) ? coefficientTableOf(result, interval, column, Markup::Html)
                                               : tableOf(result, interval, ApaForm::Plain));
}

std::string FormatApaResults(const BootstrapResult& result, IntervalKind interval, ApaForm form,
                             ApaCoefficientColumn column)
{
    return FormatApaSentence(result, interval, form) + "\n\n"
           + (form == ApaForm::Markdown ? FormatApaTableMarkdown(result, interval, column)
                                        : FormatApaTableText(result, interval, column));
}

std::string FormatApaResults(const HierarchicalResult& result, IntervalKind interval, ApaForm form,
                             ApaCoefficientColumn column)
{
    return FormatApaSentence(result, interval, form) + "\n\n"
           + (form == ApaForm::Markdown ? FormatApaTableMarkdown(result, interval, column)
                                        : FormatApaTableText(result, interval, column));
}

namespace {

// "[.26, .44]" of a bootstrap interval; "undefined" where a limit is not.
std::string resampledLimits(const ResampledInterval& interval)
{
    if (!interval.lower || !interval.upper) {
        return "undefined";
    }
    std::string text = "[";
    text += apaNumber(ApaValue::Proportion, *interval.lower);
    text += ", ";
    text += apaNumber(ApaValue::Proportion, *interval.upper);
    return text + "]";
}

std::string percentText(double share)
{
    return formatFixed(100.0 * share, 0) + "%";
}

// A unit as the APA texts name it: a predictor by its name, a group by its.
std::string apaUnitName(const DominanceResult& result, std::size_t u, ApaForm form)
{
    const DominanceUnit& unit = result.units[u];
    if (unit.name.empty()) {
        return nameOf(unit.variables.front(), result.VariableNames, form);
    }
    const std::string name = escapeControlCharacters(unit.name);
    return form == ApaForm::Markdown ? markdownEscaped(name) : name;
}

} // namespace

std::string FormatApaSentence(const DominanceResult& result, ApaForm form)
{
    const DominanceRequest& request = result.request;
    const DominanceStatistics& s = result.observed;
    const BootstrapResult& model = result.model;
    const std::string percent = formatInteger(percentOf(request.Level));
    const std::size_t m = result.units.size();
    std::string text =
        "A dominance analysis of " + nameOf(request.DependentVariable.value_or(0), result.VariableNames, form);
    if (!request.Covariates.empty()) {
        text += " beyond " + nameList(request.Covariates, result.VariableNames, true, form) + " (" + R2 + " = "
                + proportion(s.covariatesR2) + "; full model " + R2 + " = " + proportion(s.fullR2) + ", " + DeltaR2
                + " = " + proportion(s.fullR2 - s.covariatesR2);
    } else {
        text += " (" + std::string(R2) + " = " + proportion(s.fullR2);
    }
    if (model.FValue) {
        text += ", F(" + formatInteger(model.df1) + ", " + formatInteger(model.df2)
                + ") = " + apaNumber(ApaValue::Statistic, *model.FValue) + ", " + pClause(model.PValue);
    }
    text += ") gave general dominance weights of ";
    for (std::size_t u = 0; u < m; ++u) {
        text += u == 0 ? "" : (u + 1 == m ? "; and " : "; ");
        text += proportion(s.general[u]) + ", " + percent + "% CI " + resampledLimits(result.generalPercentile[u])
                + ", for " + apaUnitName(result, u, form) + " (" + percentText(s.share[u])
                + (u == 0 ? " of the " + std::string(request.Covariates.empty() ? "" : "added ") + R2 : "") + ")";
    }
    text += " (percentile bootstrap, " + apaNumber(ApaValue::Count, request.NumTrials) + " resamples";
    if (result.NumValid != request.NumTrials) {
        text += ", " + apaNumber(ApaValue::Count, result.NumValid) + " valid";
    }
    text += "; Orvalis " + std::string(programVersion()) + ").";
    // Complete dominance, unit by unit.
    std::vector<std::string> clauses;
    for (std::size_t a = 0; a < m; ++a) {
        std::vector<std::string> dominated;
        for (std::size_t b = 0; b < m; ++b) {
            if (s.complete[a][b] > 0) {
                dominated.push_back(apaUnitName(result, b, form));
            }
        }
        if (!dominated.empty()) {
            clauses.push_back(apaUnitName(result, a, form) + " dominated " + joinedNames(dominated, true));
        }
    }
    std::size_t determined = 0;
    for (std::size_t a = 0; a < m; ++a) {
        for (std::size_t b = a + 1; b < m; ++b) {
            determined += s.complete[a][b] != 0 ? 1 : 0;
        }
    }
    if (clauses.empty()) {
        text += " No unit completely dominated another.";
    } else {
        text += " By complete dominance, ";
        for (std::size_t k = 0; k < clauses.size(); ++k) {
            text += (k == 0 ? "" : "; ") + clauses[k];
        }
        text += determined == m * (m - 1) / 2 ? "." : "; the other pairs were undetermined.";
    }
    return text;
}

namespace {

// The dominance table: a row per unit with its general weight, percentile interval, share and sr².
TableModel dominanceTable(const DominanceResult& result, ApaForm form)
{
    const DominanceRequest& request = result.request;
    const DominanceStatistics& s = result.observed;
    const std::string percent = formatInteger(percentOf(request.Level));
    const std::size_t m = result.units.size();
    TableModel table;
    table.title = "Dominance Analysis of " + nameOf(request.DependentVariable.value_or(0), result.VariableNames, form);
    table.header = {"Predictor", "General dominance", percent + "% CI", "Share", "sr\u00b2"};
    for (std::size_t u = 0; u < m; ++u) {
        table.rows.push_back({apaUnitName(result, u, form), proportion(s.general[u]),
                              resampledLimits(result.generalPercentile[u]), percentText(s.share[u]),
                              proportion(s.sr2[u])});
    }
    table.note = "Note. General dominance: the mean " + std::string(R2)
                 + " a predictor adds over every subset of the "
                   "others; the weights sum to "
                 + std::string(R2) + " = " + proportion(s.fullR2 - s.covariatesR2)
                 + (request.Covariates.empty() ? "" : " beyond the covariates")
                 + ". CI = percentile bootstrap confidence "
                   "interval ("
                 + apaNumber(ApaValue::Count, request.NumTrials) + " resamples, seed " + std::to_string(result.Seed)
                 + "). Share: of that " + std::string(R2) + ". sr\u00b2 = the " + R2
                 + " lost when the predictor alone is dropped from the full model.";
    return table;
}

} // namespace

std::string FormatApaTableHtml(const DominanceResult& result)
{
    return tableAsHtml(dominanceTable(result, ApaForm::Plain));
}

std::string FormatApaResults(const DominanceResult& result, ApaForm form)
{
    const TableModel table = dominanceTable(result, form);
    return FormatApaSentence(result, form) + "\n\n"
           + (form == ApaForm::Markdown ? tableAsMarkdown(table) : tableAsText(table));
}

} // namespace orvalis
