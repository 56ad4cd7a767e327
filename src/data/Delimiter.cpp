// The delimiter table and its lookups.
#include "data/Delimiter.h"

#include <stdexcept>

namespace orvalis {

const std::vector<DelimiterInfo>& delimiterTable()
{
    static const std::vector<DelimiterInfo> table = {
        {Delimiter::Space, ' ', "space"},
        {Delimiter::Comma, ',', "comma"},
        {Delimiter::Tab, '\t', "tab"},
        {Delimiter::Semicolon, ';', "semicolon"},
        {Delimiter::Detect, DetectDelimiter, "auto"},
    };
    return table;
}

const std::vector<DelimiterInfo>& delimitersToTry()
{
    static const std::vector<DelimiterInfo> order = {delimiterInfo(Delimiter::Tab), delimiterInfo(Delimiter::Semicolon),
                                                     delimiterInfo(Delimiter::Comma), delimiterInfo(Delimiter::Space)};
    return order;
}

const DelimiterInfo& delimiterInfo(Delimiter delimiter)
{
    for (const DelimiterInfo& info : delimiterTable()) {
        if (info.id == delimiter) {
            return info;
        }
    }
    return delimiterTable().front();
}

char delimiterChar(Delimiter delimiter)
{
    return delimiterInfo(delimiter).character;
}

Delimiter delimiterWithByte(char byte)
{
    for (const DelimiterInfo& info : delimiterTable()) {
        if (info.character == byte) {
            return info.id;
        }
    }
    throw std::invalid_argument("no delimiter of the table has this byte");
}

std::optional<Delimiter> delimiterNamed(std::string_view word)
{
    for (const DelimiterInfo& info : delimiterTable()) {
        if (word == info.word) {
            return info.id;
        }
    }
    return std::nullopt;
}

} // namespace orvalis
