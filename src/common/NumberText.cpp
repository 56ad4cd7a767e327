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

template <typename T>
std::string formatGeneral(T value, int precision)
{
    requireFinite(value);
    if (value == 0) {
        return "0";
    }
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision - 1);
    // buffer holds [-]d[.ddd]e(+|-)XX
    const char* p = buffer;
    const char* end = written.ptr;
    std::string out;
    if (*p == '-') {
        out.push_back('-');
        ++p;
    }
    std::string digits;
    while (p < end && *p != 'e') {
        if (*p != '.') {
            digits.push_back(*p);
        }
        ++p;
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    const int count = static_cast<int>(digits.size());
    if (exponent < -4 || exponent >= precision) {
        out.push_back(digits[0]);
        if (count > 1) {
            out.push_back('.');
            out.append(digits, 1);
        }
        out.push_back('E');
        out.push_back(exponent < 0 ? '-' : '+');
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude < 10) {
            out.push_back('0');
        }
        out += std::to_string(magnitude);
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

std::string formatInteger(std::int64_t value)
{
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

} // namespace orvalis
