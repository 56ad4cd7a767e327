// Decoding, escaping, letters and widths of outside text, with GNU libunistring for the Unicode tables.
#include "common/TextEscape.h"

#include <unictype.h>
#include <unistr.h>
#include <uniwidth.h>

#include <cstdint>

namespace orvalis {
namespace {

const std::uint8_t* bytesOf(std::string_view text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

void appendUtf8(std::string& out, ucs4_t c)
{
    std::uint8_t buffer[6];
    const int length = u8_uctomb(buffer, c, sizeof buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length > 0 ? length : 0));
}

// Windows-1252 at 0x80..0x9F; every other byte is its Latin-1 code point.
constexpr char16_t Windows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool escapedCodePoint(ucs4_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E)
           || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string decodeToUtf8(std::string_view bytes)
{
    if (u8_check(bytesOf(bytes), bytes.size()) == nullptr) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            appendUtf8(out, byte <= 0x9F ? Windows1252[byte - 0x80] : byte);
        }
    }
    return out;
}

std::string escapeControlCharacters(std::string_view text)
{
    static const char* const Digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    const std::uint8_t* s = bytesOf(text);
    std::size_t left = text.size();
    while (left > 0) {
        const auto byte = *s;
        if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(static_cast<char>(byte));
            ++s;
            --left;
            continue;
        }
        ucs4_t c = 0;
        const int length = byte < 0x80 ? 1 : u8_mbtoucr(&c, s, left);
        if (byte < 0x80 || length < 0) {
            switch (byte) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\x";
                out.push_back(Digits[byte >> 4]);
                out.push_back(Digits[byte & 0xF]);
            }
            ++s;
            --left;
            continue;
        }
        if (escapedCodePoint(c)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out.push_back(Digits[(c >> shift) & 0xF]);
            }
        } else {
            out.append(reinterpret_cast<const char*>(s), static_cast<std::size_t>(length));
        }
        s += length;
        left -= static_cast<std::size_t>(length);
    }
    return out;
}

bool hasLetter(std::string_view utf8)
{
    const std::uint8_t* s = bytesOf(utf8);
    const std::uint8_t* const end = s + utf8.size();
    while (s < end) {
        ucs4_t c = 0;
        const int length = u8_mbtouc(&c, s, static_cast<std::size_t>(end - s));
        if (uc_is_general_category(c, UC_CATEGORY_L)) {
            return true;
        }
        s += length > 0 ? length : 1;
    }
    return false;
}

std::string cutToCharacters(std::string_view utf8, std::size_t characters)
{
    const std::uint8_t* s = bytesOf(utf8);
    const std::uint8_t* const end = s + utf8.size();
    for (std::size_t n = 0; n < characters && s < end; ++n) {
        ucs4_t c = 0;
        const int length = u8_mbtouc(&c, s, static_cast<std::size_t>(end - s));
        s += length > 0 ? length : 1;
    }
    return std::string(utf8.substr(0, static_cast<std::size_t>(s - bytesOf(utf8))));
}

std::size_t displayWidth(std::string_view utf8)
{
    const int width = u8_width(bytesOf(utf8), utf8.size(), "UTF-8");
    return width > 0 ? static_cast<std::size_t>(width) : 0;
}

} // namespace orvalis
