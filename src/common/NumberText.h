// Number text: rounding to decimals (halves to even) and the general text form of numbers.
//
// Everything here is locale-independent: a German or French locale never
// changes a digit or the decimal point.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvalis {

// Rounds value to `decimals` places (0..15) after the decimal point, halves to
// even. The tie is decided on the exact binary value, so 0.125 rounds to 0.12
// and 2.675 (held as 2.67499999...) to 2.67. The float overload returns the
// float nearest to the rounded decimal number, the double overload the nearest
// double. Throws InvalidOperationError for NaN or an infinity.
float roundHalfEven(float value, int decimals);
double roundHalfEven(double value, int decimals);

// The general text form of a number with at most `P` significant digits, where
// P is 7 for a float and 15 for a double:
//   - the value is rounded to P significant digits (halves to even on the exact
//     binary value), then trailing zeros are dropped;
//   - with E the decimal exponent of that rounded value (the value is d.ddd x 10^E),
//     the plain form is used when -5 < E < P, the exponent form otherwise;
//   - plain form: a leading "-" for negatives, a "0" before the point for
//     magnitudes below 1, no point when no fractional digit is left
//     ("3", "0.25", "-1.5", "0.0001", "9999999");
//   - exponent form: one digit, the other digits after a "." if any, "E", the
//     sign "+" or "-", and at least two exponent digits ("1.234568E+07",
//     "1E-05", "1.5E+100");
//   - zero, and negative zero, are "0".
// So a float of 12345678 reads "1.234568E+07", 1234567 reads "1234567", 0.00001
// reads "1E-05". Throws InvalidOperationError for NaN or an infinity.
std::string formatFloat(float value);
std::string formatDouble(double value);

// The exponent form with at most `digits` significant digits (1..17), trailing
// zeros dropped: formatExponent(1234567890, 4) is "1.235E+09". Throws
// InvalidOperationError for NaN or an infinity.
std::string formatExponent(double value, int digits);

// Plain decimal digits with a leading "-" for negatives.
std::string formatInteger(std::int64_t value);

// The digits in groups of three, separated by commas, as counts are written
// in prose: "1,234", "-12,000", "600".
std::string formatGrouped(std::int64_t value);

// value rounded half to even to `decimals` places (0..15) and written with
// exactly that many: formatFixed(0.1, 2) is "0.10". Negative zero is "0.00".
std::string formatFixed(double value, int decimals);

// A decimal number that is the whole of text ("2.5", "-1", "1e3"; no sign
// "+", no blanks), read without the locale; none for anything else, or for a
// value that is not finite.
std::optional<double> parseFiniteDouble(std::string_view text);

} // namespace orvalis
