// Classifies and converts one field of a data file.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvalis {

enum class FieldKind {
    Number,     // a decimal number; value holds it rounded to single precision
    Missing,    // ".", "NA", the empty field or one blank: value holds MissingValue
    Invalid,    // anything else
    OutOfRange, // a number whose magnitude is beyond the single-precision range
};

// The field rules of the data file format. A number is, apart from leading and
// trailing blanks, an optional sign, digits with at most one "." (at least one
// digit in all) and an optional exponent (E or e, an optional sign, digits).
// Nothing else counts: no "inf", "nan", hexadecimal, "D" exponents, thousands
// separators or currency signs. The number is converted correctly rounded to
// double and then rounded to single precision; values too small for single
// precision become 0.
FieldKind parseField(std::string_view field, float& value);

// A field that parseField refuses, read once more by the rules of quoted and
// European files: the text inside double quotes ("1.5", "NA", "" as
// missing), and, with semicolons between fields, a number with a decimal
// comma ("2,5" is 2.5, as R's write.csv2 and European spreadsheets write it).
// A field that parseField takes is read exactly as parseField reads it. A
// quoted field holding a quote or the delimiter stays Invalid.
FieldKind parseFieldLeniently(std::string_view field, char delimiter, float& value);

// Powers of ten that a double holds exactly: a mantissa of at most 2^53 times
// or divided by one of them is one correctly rounded operation (Clinger's fast
// path, used by parseField and by the import's one-scan reading).
inline constexpr double ExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common form of a number, which the import reads in the same pass that
// finds the field's end: an optional sign, at most 18 digits with at most one
// point, an optional exponent of at most 4 digits, ending at the delimiter, a
// line end or end, and within the exact fast path (mantissa at most 2^53, decimal
// exponent within 22). Gives the same float as parseField, by the same two
// exact operations. Returns the field's end, or nullptr for any other field,
// which parseField then reads.
inline const char* readCommonNumber(const char* p, const char* end, char delimiter, float& value)
{
    const char* s = p;
    bool negative = false;
    if (s < end && (*s == '-' || *s == '+')) {
        negative = *s == '-';
        ++s;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    bool seenPoint = false;
    for (; s < end; ++s) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*s) - '0');
        if (digit < 10) {
            if (++digits > 18) {
                return nullptr;
            }
            mantissa = mantissa * 10 + digit;
            fractionDigits += seenPoint ? 1 : 0;
        } else if (*s == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return nullptr;
    }
    int exponent = 0;
    if (s < end && (*s == 'e' || *s == 'E')) {
        ++s;
        bool exponentNegative = false;
        if (s < end && (*s == '+' || *s == '-')) {
            exponentNegative = *s == '-';
            ++s;
        }
        int exponentDigits = 0;
        for (; s < end && static_cast<unsigned>(static_cast<unsigned char>(*s) - '0') < 10; ++s) {
            if (++exponentDigits > 4) {
                return nullptr;
            }
            exponent = exponent * 10 + (*s - '0');
        }
        if (exponentDigits == 0) {
            return nullptr;
        }
        exponent = exponentNegative ? -exponent : exponent;
    }
    if (s < end && *s != delimiter && *s != '\r' && *s != '\n') {
        return nullptr;
    }
    const int decimalExponent = exponent - fractionDigits;
    if (mantissa > (std::uint64_t{1} << 53) || decimalExponent < -22 || decimalExponent > 22) {
        return nullptr;
    }
    double magnitude = 0;
    if (mantissa != 0) {
        const double m = static_cast<double>(mantissa);
        magnitude =
            decimalExponent >= 0 ? m * ExactPowersOfTen[decimalExponent] : m / ExactPowersOfTen[-decimalExponent];
    }
    const float single = static_cast<float>(magnitude);
    value = negative ? -single : single;
    return s;
}

} // namespace orvalis
