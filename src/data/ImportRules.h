// What the two readers of delimited files share: the rules of a first line of names, the refusal's words, the table's
// allocation.
#pragma once

#include "data/DataImport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

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

// Whether text is how another program writes a missing value ("n/a",
// "NaN", "NULL", "-", ...): never a number, never a category.
bool isOtherProgramsMarker(std::string_view text);

// The failure with its message, title and reason filled in.
ImportOutcome failedImport(ImportFailure failure);

// A table of lines cases and numVariables variables, or the refusal when it
// does not fit in memory. Unfilled leaves rows 1..lines for the caller.
ImportOutcome allocateTable(std::int64_t lines, std::int32_t numVariables, const ImportOptions& options, bool unfilled);

// The first bytes of content that end at a line start, about limit of them.
std::string_view leadingLines(std::string_view content, std::size_t limit);

// How the readers are allowed to read: explain adds an invalid entry's second
// line; general lets the record reader take what the fast reading refuses.
struct ImportMode {
    bool explain = true;
    bool general = true;
};

// importDataBuffer with the mode spelled out; content has no byte-order mark.
ImportOutcome importContent(std::string_view content, char delimiter, const ImportOptions& options, ImportMode mode);

// The record reader (DelimitedRecords.cpp): RFC 4180 quoting, case labels and
// text columns, on the whole content (names line included).
ImportOutcome importRecords(std::string_view content, char delimiter, const ImportOptions& options);

// The delimiter a file's first megabyte shows (DelimitedRecords.cpp): the
// first of tab, semicolon, comma and space that splits every line into the
// same number of fields, more than one, and reads with a numeric variable.
// Space when none does.
Delimiter detectDelimiter(std::string_view content, const ImportOptions& options);

} // namespace orvalis
