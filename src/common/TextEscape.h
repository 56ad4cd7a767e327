// Text from outside the program (file names) made safe to show on one line.
#pragma once

#include <string>
#include <string_view>

namespace orvalis {

// The text with each control character written as an escape: "\n", "\r",
// "\t", and "\xHH" (two upper-case hex digits) for the others below 0x20 and
// for 0x7F. Every other byte, UTF-8 sequences included, stays as it is.
std::string escapeControlCharacters(std::string_view text);

} // namespace orvalis
