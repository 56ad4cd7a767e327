// Checks on texts the tests share: whether a piece of Markdown is still live.
#pragma once

#include <string>

namespace orvalis::test {

// Whether needle occurs in text without a backslash before it (an odd run of
// backslashes escapes it; an even one is escaped backslashes).
inline bool liveIn(const std::string& text, const std::string& needle)
{
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        std::size_t slashes = 0;
        while (slashes < at && text[at - 1 - slashes] == '\\') {
            ++slashes;
        }
        if (slashes % 2 == 0) {
            return true;
        }
    }
    return false;
}

} // namespace orvalis::test
