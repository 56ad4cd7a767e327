// Floating-point and integer steps that raise the program's run-time errors instead of giving NaN or infinity.
#pragma once

#include "common/RuntimeErrors.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace orvalis::checked {

// A double step's result: an infinity is an overflow, NaN an invalid operation.
inline double step(double value)
{
    if (std::isnan(value)) {
        throw InvalidOperationError("Invalid floating-point operation.");
    }
    if (std::isinf(value)) {
        throw OverflowError("Overflow: a value is too large.");
    }
    return value;
}

// Rounds a double to single precision; a value beyond the single-precision
// range is an overflow.
inline float toSingle(double value)
{
    step(value);
    // Magnitudes from FLT_MAX plus half a unit in the last place round to infinity.
    if (std::fabs(value) >= 0x1.ffffffp+127) {
        throw OverflowError("Overflow: a value is beyond the single-precision range.");
    }
    return static_cast<float>(value);
}

// a / b in double: a zero divisor is a division by zero, 0 / 0 an invalid operation.
inline double divide(double a, double b)
{
    if (b == 0.0) {
        if (a == 0.0 || std::isnan(a)) {
            throw InvalidOperationError("Invalid floating-point operation: 0 divided by 0.");
        }
        throw DivisionByZeroError("Division by zero.");
    }
    return step(a / b);
}

// General exponentiation base^exponent in double.
inline double power(double base, double exponent)
{
    if (base == 0.0 && exponent < 0.0) {
        throw DivisionByZeroError("Division by zero: 0 raised to a negative power.");
    }
    return step(std::pow(base, exponent));
}

// Natural logarithm; of a negative number an invalid operation, of 0 a division by zero.
inline double logarithm(double value)
{
    if (value < 0.0 || std::isnan(value)) {
        throw InvalidOperationError("Invalid procedure call: logarithm of a negative number.");
    }
    if (value == 0.0) {
        throw DivisionByZeroError("Division by zero: logarithm of 0.");
    }
    return step(std::log(value));
}

// Square root; of a negative number an invalid operation.
inline double squareRoot(double value)
{
    if (value < 0.0 || std::isnan(value)) {
        throw InvalidOperationError("Invalid procedure call: square root of a negative number.");
    }
    return std::sqrt(value);
}

// 32-bit integer arithmetic with overflow checks.
inline std::int32_t add(std::int32_t a, std::int32_t b)
{
    std::int32_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) {
        throw OverflowError("Overflow: an integer sum is beyond the 32-bit range.");
    }
    return result;
}

inline std::int32_t subtract(std::int32_t a, std::int32_t b)
{
    std::int32_t result = 0;
    if (__builtin_sub_overflow(a, b, &result)) {
        throw OverflowError("Overflow: an integer difference is beyond the 32-bit range.");
    }
    return result;
}

} // namespace orvalis::checked
