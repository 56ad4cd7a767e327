// The field delimiters a data file may use: one table, read by the import, the window and the command line.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace orvalis {

// Detect is no byte of its own: the import finds the delimiter from the file.
enum class Delimiter { Space, Comma, Tab, Semicolon, Detect };

// The character that stands for Detect where the import takes a byte.
inline constexpr char DetectDelimiter = '\0';

// One delimiter: its byte in the file and its word ("comma"), which the
// command line takes (--delimiter comma) and messages use ("comma-delimited").
// Detect's byte is DetectDelimiter and its word "auto".
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

// The byte that separates fields: ' ', ',', '\t' or ';' (DetectDelimiter for Detect).
char delimiterChar(Delimiter delimiter);

// The delimiter whose byte is byte (DetectDelimiter: Detect). A byte that no
// row of the table has is a caller's mistake: std::invalid_argument.
Delimiter delimiterWithByte(char byte);

// The delimiter whose word is word, or none.
std::optional<Delimiter> delimiterNamed(std::string_view word);

// The delimiters a file is tried with, in the order detection prefers them
// (tab, semicolon, comma, space), and the order another delimiter is
// suggested in when one is refused.
const std::vector<DelimiterInfo>& delimitersToTry();

} // namespace orvalis
