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

} // namespace orvalis
