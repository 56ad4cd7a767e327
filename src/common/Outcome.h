// Outcome<T>: the result of a request a user can be refused, or the Refusal that says why.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace orvalis {

// Why a request produced no result, in words a user understands. The title is
// the caption of the box a window shows it in; the command line prints only
// the message.
struct Refusal {
    enum class Reason {
        Refused,     // the request itself cannot be answered (no added predictor, too few cases, ...)
        NotInData,   // the request names a variable the data set does not have
        Fault,       // a numerical fault or an unreadable file stopped the work
        OutOfMemory, // the work needs more memory than there is
        Stopped,     // the caller asked the work to stop
    };
    std::string message;
    std::string title;
    Reason reason = Reason::Refused;
};

// Either the value or the refusal. R is Refusal or a type derived from it
// that carries more detail (the import's row and column).
template <typename T, typename R = Refusal>
class [[nodiscard]] Outcome {
public:
    Outcome(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Outcome(R refusal) : m_state(std::in_place_index<1>, std::move(refusal)) {}

    bool ok() const { return m_state.index() == 0; }

    // The value; only when ok().
    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // The refusal; only when !ok().
    const R& refusal() const { return std::get<1>(m_state); }

private:
    std::variant<T, R> m_state;
};

// The value of work that produces nothing but may be refused (a save).
struct Done {};
using Status = Outcome<Done>;

} // namespace orvalis
