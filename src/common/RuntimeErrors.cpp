// Helpers that raise the program's run-time errors.
#include "common/RuntimeErrors.h"

namespace orvalis {

void checkSubscript(long long index, long long low, long long high, const char* what)
{
    if (index < low || index > high) {
        throw SubscriptError(std::string("Subscript out of range: ") + what + " index " + std::to_string(index)
                             + " is outside " + std::to_string(low) + ".." + std::to_string(high) + ".");
    }
}

} // namespace orvalis
