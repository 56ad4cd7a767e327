// The error trap every UI handler runs its body through.
#pragma once

#include "common/RuntimeErrors.h"

#include <new>
#include <utility>

namespace orvalis {

// Runs body; a run-time error (or a failed allocation) ends it and is handed
// to onError. Nothing escapes into the Qt event loop. Returns whether the body
// ran to its end.
template <typename Body, typename OnError>
bool trap(Body&& body, OnError&& onError)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const RuntimeError& error) {
        onError(error.what());
    } catch (const std::bad_alloc&) {
        onError("There is not enough memory to finish this command.");
    }
    return false;
}

// The silent trap: the handler ends quietly on a run-time error.
template <typename Body>
bool trap(Body&& body)
{
    return trap(std::forward<Body>(body), [](const char*) {});
}

} // namespace orvalis
