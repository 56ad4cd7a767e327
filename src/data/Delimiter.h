// The field delimiters a data file may use: one table, read by the import, the window and the command line.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace orvalis {

enum class Delimiter { Space, Comma, Tab };

// One delimiter: its byte in the file and its word ("comma"), which the
// command line takes (--delimiter comma) and messages use ("comma-delimited").
struct DelimiterInfo {
    Delimiter id;
    char character;
    const char* word;
};

// Every delimiter, in the order the window offers them. Adding a delimiter is
// one row here, one option button in the window and one test.
const std::vector<DelimiterInfo>& delimiterTable();

// The table's row of a delimiter.
const DelimiterInfo& delimiterInfo(Delimiter delimiter);

// The byte that separates fields: ' ', ',' or '\t'.
char delimiterChar(Delimiter delimiter);

// The delimiter whose word is word, or none.
std::optional<Delimiter> delimiterNamed(std::string_view word);

} // namespace orvalis
