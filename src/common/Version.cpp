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

std::vector<LibraryVersion> coreLibraries()
{
    // BOOST_VERSION is 107400 for 1.74.0; libunistring's run-time version is
    // major * 256 + minor (the library this process loaded, not the header).
    const std::string boost = std::to_string(BOOST_VERSION / 100000) + "." + std::to_string(BOOST_VERSION / 100 % 1000)
                              + "." + std::to_string(BOOST_VERSION % 100);
    const std::string unistring =
        std::to_string(_libunistring_version >> 8) + "." + std::to_string(_libunistring_version & 0xff);
    return {{"Boost.Math", boost}, {"fast_float", ORVALIS_FAST_FLOAT_VERSION}, {"GNU libunistring", unistring}};
}

} // namespace orvalis
