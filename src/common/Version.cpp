// The version, the licence and the library versions, from the build's definitions and the libraries' own headers.
#include "common/Version.h"

#include <boost/version.hpp>
#include <unistring/version.h>

#ifndef ORVALIS_VERSION
#define ORVALIS_VERSION "unknown"
#endif
#ifndef ORVALIS_LICENCE
#define ORVALIS_LICENCE ""
#endif
#ifndef ORVALIS_FAST_FLOAT_VERSION
#define ORVALIS_FAST_FLOAT_VERSION ""
#endif

namespace orvalis {

const char* programVersion()
{
    return ORVALIS_VERSION;
}

const char* programLicence()
{
    return ORVALIS_LICENCE;
}

std::string unistringVersionText(int encoded)
{
    // Versions up to 0.9.3 all said 9.
    if (encoded == 0x000009) {
        return "0.9";
    }
    const int major = (encoded >> 16) & 0xff;
    const int minor = (encoded >> 8) & 0xff;
    const int subminor = encoded & 0xff;
    // Appended piece by piece: GCC 12 warns of a false overlap in "." + text.
    std::string text = std::to_string(major);
    text += '.';
    text += std::to_string(minor);
    if (subminor != 0) {
        text += '.';
        text += std::to_string(subminor);
    }
    return text;
}

std::vector<LibraryVersion> coreLibraries()
{
    // BOOST_VERSION is 107400 for 1.74.0. libunistring's version is the
    // library this process loaded, not the header's.
    const std::string boost = std::to_string(BOOST_VERSION / 100000) + "." + std::to_string(BOOST_VERSION / 100 % 1000)
                              + "." + std::to_string(BOOST_VERSION % 100);
    return {{"Boost.Math", boost},
            {"fast_float", ORVALIS_FAST_FLOAT_VERSION},
            {"GNU libunistring", unistringVersionText(_libunistring_version)}};
}

} // namespace orvalis
