// Field classification and conversion: a single scan with an exact fast path.
#include "data/FieldParser.h"

#include "data/DataSet.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdint>
#include <string>

namespace orvalis {
namespace {

// The smallest magnitude that rounds to infinity in single precision: the
// largest float plus half a unit in its last place.
constexpr double FloatOverflowThreshold = 0x1.ffffffp+127;

bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

} // namespace

FieldKind parseField(std::string_view field, float& value)
{
    // "NA" is how R and many exports write a missing value.
    if (field.empty() || field == "." || field == " " || field == "NA") {
        value = MissingValue;
        return FieldKind::Missing;
    }
    const char* p = field.data();
    const char* end = p + field.size();
    while (p < end && *p == ' ') {
        ++p;
    }
    while (end > p && end[-1] == ' ') {
        --end;
    }
    if (p == end) {
        return FieldKind::Invalid;
    }

    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const char* numberStart = p;

    // Scan the syntax and, on the way, gather up to 19 significant digits.
    std::uint64_t mantissa = 0;
    int significant = 0;    // digits taken into mantissa (leading zeros skipped)
    int droppedDigits = 0;  // significant digits beyond the 19th
    int fractionDigits = 0; // digits taken into mantissa after the point
    int digitCount = 0;
    bool seenPoint = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (isDigit(c)) {
            ++digitCount;
            if (significant == 0 && c == '0') {
                if (seenPoint) {
                    ++fractionDigits;
                }
                continue;
            }
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                ++significant;
                if (seenPoint) {
                    ++fractionDigits;
                }
            } else {
                ++droppedDigits;
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digitCount == 0) {
        return FieldKind::Invalid;
    }
    int exponent = 0;
    // An exponent of 100,000 or more is only counted that far; such a field
    // goes to the full parser, which reads it whole.
    bool exponentCapped = false;
    if (p < end) {
        if (*p != 'e' && *p != 'E') {
            return FieldKind::Invalid;
        }
        ++p;
        bool exponentNegative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            exponentNegative = *p == '-';
            ++p;
        }
        if (p == end) {
            return FieldKind::Invalid;
        }
        for (; p < end; ++p) {
            if (!isDigit(*p)) {
                return FieldKind::Invalid;
            }
            if (exponent < 100000) {
                exponent = exponent * 10 + (*p - '0');
            } else {
                exponentCapped = true;
            }
        }
        if (exponentNegative) {
            exponent = -exponent;
        }
    }

    double magnitude = 0;
    const int decimalExponent = exponent - fractionDigits;
    if (mantissa == 0) {
        magnitude = 0;
    } else if (!exponentCapped && droppedDigits == 0 && mantissa <= (std::uint64_t{1} << 53) && decimalExponent >= -22
               && decimalExponent <= 22) {
        // Both operands are exact, so one IEEE operation rounds correctly.
        const double m = static_cast<double>(mantissa);
        magnitude =
            decimalExponent >= 0 ? m * ExactPowersOfTen[decimalExponent] : m / ExactPowersOfTen[-decimalExponent];
    } else {
        // The syntax is already known to be right; fast_float does the rest exactly.
        const auto result = fast_float::from_chars(numberStart, end, magnitude, fast_float::chars_format::general);
        if (result.ptr != end) {
            return FieldKind::Invalid;
        }
    }
    if (!(std::fabs(magnitude) < FloatOverflowThreshold)) {
        return FieldKind::OutOfRange;
    }
    const float single = static_cast<float>(magnitude);
    value = negative ? -single : single;
    return FieldKind::Number;
}

FieldKind parseFieldLeniently(std::string_view field, char delimiter, float& value)
{
    const FieldKind kind = parseField(field, value);
    if (kind != FieldKind::Invalid) {
        return kind;
    }
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        field = field.substr(1, field.size() - 2);
        if (field.find('"') != std::string_view::npos || field.find(delimiter) != std::string_view::npos) {
            return FieldKind::Invalid;
        }
        const FieldKind inner = parseField(field, value);
        if (inner != FieldKind::Invalid) {
            return inner;
        }
    }
    // One decimal comma and no point: "2,5", "-0,125", "1,5E-3".
    const std::size_t comma = field.find(',');
    if (delimiter != ';' || comma == std::string_view::npos || field.find(',', comma + 1) != std::string_view::npos
        || field.find('.') != std::string_view::npos) {
        return FieldKind::Invalid;
    }
    std::string pointed(field);
    pointed[comma] = '.';
    return parseField(pointed, value);
}

} // namespace orvalis
