// What the readers of delimited files share: lines and fields, the rules of a first line of names, the refusal's
// words, the table's allocation.
#pragma once

#include "data/DataImport.h"
#include "data/Delimiter.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// Whether c ends a line (CR or LF).
inline bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Where the field starting at p ends: at the next delimiter or line end
// outside double quotes. A field whose first character (after blanks, when
// the blank is not the delimiter) is a double quote is quoted up to the next
// lone quote; a doubled quote inside is a quote. A quote elsewhere is an
// ordinary character, and an unclosed quote runs to the line's end.
const char* fieldEnd(const char* p, const char* end, char delimiter);

// The first line start at or after pos: a position right after a line end,
// never between the CR and LF of one CR LF.
std::size_t nextLineStart(std::string_view text, std::size_t pos);

// The first bytes of content that end at a line start, about limit of them.
std::string_view leadingLines(std::string_view content, std::size_t limit);

// The first line of content (without its line end) and where the next starts.
struct FirstLine {
    std::string_view text;
    std::size_t next = 0;
};
FirstLine firstLine(std::string_view content);

// The fields of a line, split at the delimiters outside double quotes (as
// the reading pass does); at most one more than the table holds.
std::vector<std::string_view> splitFields(std::string_view line, Delimiter delimiter);

enum class FieldRole { Name, Empty, Number, Marker, Other };

// What a field of a first line is: a name is text with a letter in it that is
// neither a number nor a missing-value marker once its quotes are gone (so
// "1,000" read with the wrong delimiter stays data).
FieldRole roleOf(std::string_view field);

// A field with its surrounding blanks and double quotes taken away; a
// doubled quote inside quotes is one quote.
std::string unquoted(std::string_view field);

// The names of a names line (index 0 unused), or none when the fields are
// data: every field a name or empty, at least one a name, at most 1000
// fields. A name is text with a letter that is neither a number nor a
// missing-value marker once its quotes are gone. Each field is decoded to
// UTF-8 on its own (decodeToUtf8: a sheet's texts stay as they are), so a
// line with names in both encodings keeps both.
std::optional<std::vector<std::string>> namesOfFields(const std::vector<std::string_view>& fields);

// The names of a first line, or none when the line is data. Each field is
// decoded to UTF-8 (decodeToUtf8) by namesOfFields, so a letter is a Unicode
// letter and every name is valid UTF-8. (Decoding keeps every ASCII byte, so
// the fields split the same before and after.)
std::optional<std::vector<std::string>> namesOf(std::string_view bytes, Delimiter delimiter);

// Whether the data after a names line may hold R's row names, which the
// record reader takes as case labels: the names line's first name is empty,
// and the first field of the data (after any blank lines) is quoted. The
// record reader decides; this only spares it the files it would not take
// (an unnamed first column of unquoted numbers, as pandas writes its index).
// Data that ends before its first field may.
bool mayHoldRowNames(const std::optional<std::vector<std::string>>& names, std::string_view data, Delimiter delimiter);

// Whether text is how another program writes a missing value ("n/a",
// "NaN", "NULL", "-", ...): never a number, never a category.
bool isOtherProgramsMarker(std::string_view text);

// The wide encoding a file's first bytes show, or nothing. A zero byte is
// never part of a valid field, so no file that imports could match.
const char* wideEncoding(std::string_view content);

// The bytes of a file the delimiter hint looks at.
inline constexpr std::size_t HintSample = std::size_t{1} << 20;

// The failure with its message, title and reason filled in.
ImportOutcome failedImport(ImportFailure failure);

// A table of lines cases and numVariables variables, or the refusal when it
// does not fit in memory. Unfilled leaves rows 1..lines for the caller.
ImportOutcome allocateTable(std::int64_t lines, std::int32_t numVariables, const ImportOptions& options, bool unfilled);

} // namespace orvalis
