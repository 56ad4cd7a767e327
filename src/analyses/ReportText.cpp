// The shared pieces of the report texts.
#include "analyses/ReportText.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <algorithm>

namespace orvalis {

void appendLine(std::string& out, std::string_view text)
{
    out += text;
    out += "\r\n";
}

void appendEmptyLines(std::string& out)
{
    out += "\r\n\r\n\r\n";
}

void appendBlockEnd(std::string& out)
{
    appendLine(out, BlockRule);
    appendEmptyLines(out);
}

std::string alignedColumns(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t k = 0; k < row.size(); ++k) {
            widths[k] = std::max(widths[k], displayWidth(row[k]));
        }
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t k = 0; k < row.size(); ++k) {
            line += row[k];
            if (k + 1 < row.size()) {
                line += std::string(widths[k] - displayWidth(row[k]) + 2, ' ');
            }
        }
        // Empty last cells leave no blanks at the line's end.
        line.erase(line.find_last_not_of(' ') + 1);
        appendLine(out, line);
    }
    return out;
}

std::string fiveDecimals(const std::optional<double>& value, std::string_view undefined)
{
    return value ? formatDouble(roundHalfEven(*value, 5)) : std::string(undefined);
}

std::string fiveDecimalsSingle(const std::optional<double>& value, std::string_view undefined)
{
    return value ? formatFloat(roundHalfEven(static_cast<float>(*value), 5)) : std::string(undefined);
}

std::string variableText(std::int32_t v, const std::vector<std::string>& names)
{
    const auto index = static_cast<std::size_t>(v);
    const bool named = v >= 1 && index < names.size() && !names[index].empty();
    return "Var" + formatInteger(v) + (named ? " (" + escapeControlCharacters(names[index]) + ")" : std::string());
}

std::string pValueText(double p)
{
    if (p < 1e-300) {
        return "< 1E-300";
    }
    return p >= 0.0001 ? formatDouble(roundHalfEven(p, 5)) : formatExponent(p, 3);
}

std::string markdownEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
        case '`':
        case '*':
        case '_':
        case '[':
        case ']':
        case '<':
        case '>':
        case '|':
        case '~':
        case '$':
        case '&':
            out += '\\';
            break;
        default:
            break;
        }
        out += c;
    }
    return out;
}

std::string htmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace orvalis
