// Number text: rounding to decimals and the general text form, built on std::to_chars.
#include "common/NumberText.h"

#include "common/RuntimeErrors.h"

#include <fast_float/fast_float.h>

#include <charconv>
#include <cmath>
#include <cstring>

namespace orvalis {
namespace {

template <typename T>
void requireFinite(T value)
{
    if (!std::isfinite(value)) {
        throw InvalidOperationError("Invalid floating-point operation: a value is not a finite number.");
    }
}

template <typename T>
T roundDecimals(T value, int decimals)
{
    requireFinite(value);
    if (decimals < 0 || decimals > 15) {
        throw SubscriptError("Subscript out of range: decimals must lie in 0..15.");
    }
    // to_chars with a fixed precision rounds the exact binary value and breaks
    // exact ties to even; parsing the text back gives the nearest T.
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    T rounded = 0;
    const char* first = buffer;
    if (*first == '-') {
        ++first;
    }
    fast_float::from_chars(first, written.ptr, rounded);
    return buffer[0] == '-' ? -rounded : rounded;
}

// The significant digits (trailing zeros dropped) and decimal exponent of a
// value rounded to `precision` significant digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

template <typename T>
Decimal toDecimal(T value, int precision)
{
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision - 1);
    // buffer holds [-]d[.ddd]e(+|-)XX
    const char* p = buffer;
    const char* end = written.ptr;
    Decimal decimal;
    if (*p == '-') {
        decimal.negative = true;
        ++p;
    }
    while (p < end && *p != 'e') {
        if (*p != '.') {
            decimal.digits.push_back(*p);
        }
        ++p;
    }
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, decimal.exponent);
    while (decimal.digits.size() > 1 && decimal.digits.back() == '0') {
        decimal.digits.pop_back();
    }
    return decimal;
}

void appendExponentForm(std::string& out, const Decimal& decimal)
{
    out.push_back(decimal.digits[0]);
    if (decimal.digits.size() > 1) {
        out.push_back('.');
        out.append(decimal.digits, 1);
    }
    out.push_back('E');
    out.push_back(decimal.exponent < 0 ? '-' : '+');
    const int magnitude = decimal.exponent < 0 ? -decimal.exponent : decimal.exponent;
    if (magnitude < 10) {
        out.push_back('0');
    }
    out += std::to_string(magnitude);
}

template <typename T>
std::string formatGeneral(T value, int precision)
{
    requireFinite(value);
    if (value == 0) {
        return "0";
    }
    const Decimal decimal = toDecimal(value, precision);
    const std::string& digits = decimal.digits;
    const int exponent = decimal.exponent;
    std::string out;
    if (decimal.negative) {
        out.push_back('-');
    }
    const int count = static_cast<int>(digits.size());
    if (exponent < -4 || exponent >= precision) {
        appendExponentForm(out, decimal);
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (count <= exponent + 1) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out.push_back('.');
        out.append(digits, static_cast<std::size_t>(exponent + 1));
    }
    return out;
}

} // namespace

float roundHalfEven(float value, int decimals)
{
    return roundDecimals(value, decimals);
}

double roundHalfEven(double value, int decimals)
{
    return roundDecimals(value, decimals);
}

std::string formatFloat(float value)
{
    return formatGeneral(value, 7);
}

std::string formatDouble(double value)
{
    return formatGeneral(value, 15);
}

std::string formatExponent(double value, int digits)
{
    requireFinite(value);
    if (digits < 1 || digits > 17) {
        throw SubscriptError("Subscript out of range: significant digits must lie in 1..17.");
    }
    const Decimal decimal = toDecimal(value == 0 ? 0.0 : value, digits);
    std::string out;
    if (decimal.negative && value != 0) {
        out.push_back('-');
    }
    appendExponentForm(out, decimal);
    return out;
}

std::string formatInteger(std::int64_t value)
{
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

std::string formatGrouped(std::int64_t value)
{
    const std::string digits = formatInteger(value);
    const std::size_t sign = digits.front() == '-' ? 1 : 0;
    std::string grouped = digits.substr(0, sign);
    for (std::size_t k = sign; k < digits.size(); ++k) {
        if (k > sign && (digits.size() - k) % 3 == 0) {
            grouped.push_back(',');
        }
        grouped.push_back(digits[k]);
    }
    return grouped;
}

std::string formatFixed(double value, int decimals)
{
    double rounded = roundHalfEven(value, decimals);
    if (rounded == 0.0) {
        rounded = 0.0; // no "-0.00"
    }
    // The rounded value is the double nearest a decimal of `decimals` places,
    // so the fixed form of the exact binary value gives back those digits.
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    return std::string(buffer, written.ptr);
}

std::optional<double> parseFiniteDouble(std::string_view text)
{
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

} // namespace orvalis
