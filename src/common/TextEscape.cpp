// escapeControlCharacters.
#include "common/TextEscape.h"

namespace orvalis {

std::string escapeControlCharacters(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out.push_back(c);
            continue;
        }
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            const char* const digits = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0xF]);
        }
        }
    }
    return out;
}

} // namespace orvalis
