// Text from outside the program (file names, variable names): decoded to UTF-8 once, and made safe to show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalis {

// The text as UTF-8: valid UTF-8 stays as it is; anything else is read as
// Windows-1252 (the code page of most Latin-1 and Windows exports; its five
// unassigned bytes become the C1 controls of the same number). The result is
// always valid UTF-8.
std::string decodeToUtf8(std::string_view bytes);

// The text with each control character written as an escape, so that it
// shows on one line and never acts on a terminal: "\n", "\r", "\t"; "\xHH"
// (two upper-case hex digits) for the other C0 controls, DEL, and each byte
// that is not part of valid UTF-8; "\uHHHH" for the C1 controls, the line and
// paragraph separators (U+2028, U+2029) and the bidirectional embedding,
// override and isolate controls. Every other character stays as it is, so
// the result is valid UTF-8.
std::string escapeControlCharacters(std::string_view text);

// Whether UTF-8 text holds a letter of any script (Unicode category L). A
// digit, a blank of any kind (a no-break space) or a byte-order mark is not.
bool hasLetter(std::string_view utf8);

// The first `characters` characters (code points) of valid UTF-8 text; never
// cuts a character in two.
std::string cutToCharacters(std::string_view utf8, std::size_t characters);

// The columns valid UTF-8 text takes on a terminal or in a fixed-pitch font:
// two for a wide East Asian character, none for a combining mark.
std::size_t displayWidth(std::string_view utf8);

} // namespace orvalis
