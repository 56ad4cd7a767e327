// The pieces every report text is written with: the line end, a block's rule and end, numbers to five decimals,
// "undefined", a variable's label, p-values, and the escaping of names for HTML and Markdown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// The rule under a block's heading and at the end of its body.
inline constexpr const char* BlockRule = "-------------------------------------";

// What a text block writes for a value that could not be computed.
inline constexpr const char* UndefinedText = "undefined";

// Appends text and the log's line end, CR LF.
void appendLine(std::string& out, std::string_view text);

// The three empty lines that end a block's text in the log.
void appendEmptyLines(std::string& out);

// Ends a block: the rule, then three empty lines, each line ending in CR LF.
void appendBlockEnd(std::string& out);

// Rows of cells in columns two blanks apart, each as wide as its widest cell
// (in display columns), with no blanks at a line's end; every line ends in
// CR LF.
std::string alignedColumns(const std::vector<std::vector<std::string>>& rows);

// A double rounded half to even to five decimals in its shortest text
// ("0.27431"); `undefined` for an absent value.
std::string fiveDecimals(const std::optional<double>& value, std::string_view undefined = UndefinedText);

// A single-precision value (a percentile limit, held exactly in a double)
// rounded to five decimals in single precision, as the report has always
// written limits; `undefined` for an absent value.
std::string fiveDecimalsSingle(const std::optional<double>& value, std::string_view undefined = UndefinedText);

// "Var3", or "Var3 (Education)" when the file named variable 3; the name
// with its control characters escaped.
std::string variableText(std::int32_t v, const std::vector<std::string>& names);

// A p-value: "0.04997" from .0001 up, "1.23E-07" below; "< 1E-300" below the
// smallest the F distribution gives in double precision, never 0.
std::string pValueText(double p);

// Text from the data file (a variable's name) in Markdown: a backslash before
// each character that could start markup there (\ ` * _ [ ] < > | ~ $ &), so
// that a name is shown as it is written and never becomes HTML, a link, an
// image, code, emphasis, strikethrough, mathematics, an entity or a table's
// column. Names never start a line in the texts, so the marks that act only
// there (#, +, -, "1.") stay.
std::string markdownEscaped(std::string_view text);

// Text in HTML: & < > " as entities.
std::string htmlEscaped(std::string_view text);

} // namespace orvalis
