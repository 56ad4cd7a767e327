// Descriptives: two passes in double per variable, fixed-width report cells.
#include "analyses/Descriptives.h"

#include "analyses/ReportText.h"

#include "analyses/RequestCheck.h"
#include "common/CheckedMath.h"
#include "common/NumberText.h"
#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

constexpr std::size_t CellWidth = 10;

std::string rightCell(const std::string& text)
{
    const std::string cut = text.substr(0, CellWidth - 1);
    return std::string(CellWidth - cut.size(), ' ') + cut;
}

// The longest part of a name a label shows.
constexpr std::size_t NameWidth = 24;

std::string rule(std::size_t labelWidth)
{
    std::string line;
    appendLine(line, std::string(labelWidth + 5 * CellWidth, '-'));
    return line;
}

// "Var 1", or "Var 1 " and the name's first 24 characters, escaped.
std::string label(const DescriptivesRow& row)
{
    const std::string number = variableNumber(row.variable);
    return row.name.empty() ? number : number + " " + escapeControlCharacters(cutToCharacters(row.name, NameWidth));
}

// A category's row label: two blanks and the label's first 24 characters, escaped.
std::string categoryLabel(const DescriptivesRow::Category& category)
{
    return "  " + escapeControlCharacters(cutToCharacters(category.label, NameWidth));
}

} // namespace

Outcome<std::vector<DescriptivesRow>> ComputeDescriptives(const DataSet& dataSet,
                                                          const std::vector<std::int32_t>& variables)
{
    if (const Status inData = checkVariablesInData(variables, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    std::vector<DescriptivesRow> rows;
    for (const std::int32_t v : variables) {
        DescriptivesRow row;
        row.variable = v;
        row.name = dataSet.VariableName(v);
        if (dataSet.isCategorical(v)) {
            row.categorical = true;
            for (const std::string& text : dataSet.categories(v)) {
                row.categories.push_back({text, 0});
            }
            for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
                const float code = dataSet.DataTable(r, v);
                if (!isMissing(code)) {
                    ++row.N;
                    ++row.categories[static_cast<std::size_t>(code) - 1].N;
                }
            }
            rows.push_back(row);
            continue;
        }
        double sum = 0;
        bool first = true;
        for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
            const float x = dataSet.DataTable(r, v);
            if (isMissing(x)) {
                continue;
            }
            if (first) {
                row.Min = x;
                row.Max = x;
                first = false;
            }
            sum += x;
            ++row.N;
            if (row.Min > x) {
                row.Min = x;
            } else if (row.Max < x) {
                row.Max = x;
            }
        }
        if (row.N >= 1) {
            const double mean = checked::step(sum / row.N);
            row.Mean = roundHalfEven(mean, 3);
            if (row.N >= 2) {
                double squares = 0;
                for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
                    const float x = dataSet.DataTable(r, v);
                    if (!isMissing(x)) {
                        const double deviation = static_cast<double>(x) - mean;
                        squares += deviation * deviation;
                    }
                }
                row.SD = roundHalfEven(std::sqrt(checked::step(squares / (row.N - 1))), 3);
            }
        }
        rows.push_back(row);
    }
    return rows;
}

std::string descriptivesCellText(const std::string& generalForm, double value)
{
    constexpr std::size_t Fit = CellWidth - 1;
    if (generalForm.size() <= Fit) {
        return generalForm;
    }
    const bool exponentForm = generalForm.find('E') != std::string::npos;
    const std::size_t point = generalForm.find('.');
    const std::size_t integerPart = point == std::string::npos ? generalForm.size() : point;
    if (!exponentForm && integerPart <= Fit) {
        return generalForm.substr(0, Fit); // only fractional digits are lost
    }
    for (int digits = 7; digits >= 1; --digits) {
        const std::string text = formatExponent(value, digits);
        if (text.size() <= Fit) {
            return text;
        }
    }
    return generalForm.substr(0, Fit);
}

std::string FormatDescriptivesReport(const std::vector<DescriptivesRow>& rows)
{
    // Without names the label column is a cell like the others (9 characters
    // and a blank); names widen it.
    // Widths are display widths: a wide character takes two columns, so the
    // cells to its right still line up.
    std::size_t labelWidth = CellWidth;
    for (const DescriptivesRow& row : rows) {
        if (!row.name.empty()) {
            labelWidth = std::max(labelWidth, displayWidth(label(row)) + 1);
        }
        for (const DescriptivesRow::Category& category : row.categories) {
            labelWidth = std::max(labelWidth, displayWidth(categoryLabel(category)) + 1);
        }
    }
    auto labelCell = [&](const std::string& text) {
        std::string cell = text;
        if (displayWidth(cell) >= labelWidth) {
            cell = text.substr(0, labelWidth - 1); // "Var 12345678", which is ASCII
        }
        cell.append(labelWidth - displayWidth(cell), ' ');
        return cell;
    };
    std::string out;
    appendLine(out, "DESCRIPTIVES");
    out += rule(labelWidth);
    appendLine(out, labelCell("Name") + rightCell("Mean") + rightCell("SD") + rightCell("Min") + rightCell("Max")
                        + rightCell("N"));
    out += rule(labelWidth);
    for (const DescriptivesRow& row : rows) {
        if (row.categorical) {
            appendLine(out, labelCell(label(row)) + std::string(4 * CellWidth, ' ') + rightCell(formatInteger(row.N)));
            for (const DescriptivesRow::Category& category : row.categories) {
                appendLine(out, labelCell(categoryLabel(category)) + std::string(4 * CellWidth, ' ')
                                    + rightCell(formatInteger(category.N)));
            }
            continue;
        }
        const bool any = row.N >= 1;
        const std::string mean = any ? descriptivesCellText(formatDouble(row.Mean), row.Mean) : ".";
        const std::string sd = row.N >= 2 ? descriptivesCellText(formatDouble(row.SD), row.SD) : ".";
        const std::string min = any ? descriptivesCellText(formatFloat(row.Min), row.Min) : ".";
        const std::string max = any ? descriptivesCellText(formatFloat(row.Max), row.Max) : ".";
        appendLine(out, labelCell(label(row)) + rightCell(mean) + rightCell(sd) + rightCell(min) + rightCell(max)
                            + rightCell(formatInteger(row.N)));
    }
    out += rule(labelWidth);
    appendEmptyLines(out);
    return out;
}

} // namespace orvalis
