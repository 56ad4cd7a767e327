// Classifies and converts one field of a data file.
#pragma once

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

// Powers of ten that a double holds exactly: a mantissa of at most 2^53 times
// or divided by one of them is one correctly rounded operation (Clinger's fast
// path, used by parseField and by the import's one-scan reading).
inline constexpr double ExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace orvalis
