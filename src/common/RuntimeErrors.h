// The program's run-time errors: what core functions throw and UI handlers trap.
#pragma once

#include <stdexcept>
#include <string>

namespace orvalis {

// Base of every run-time error the program raises itself. The message is a
// sentence a user can read; handlers decide whether to show it.
class RuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, read or written.
class FileError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// A value went beyond the range of its type (floating-point or integer).
class OverflowError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// A floating-point or integer division by zero.
class DivisionByZeroError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// A floating-point operation without a defined result (0/0, log of a negative).
class InvalidOperationError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// An index outside an array's bounds.
class SubscriptError : public RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// Throws SubscriptError naming the array when index lies outside [low, high].
void checkSubscript(long long index, long long low, long long high, const char* what);

} // namespace orvalis
