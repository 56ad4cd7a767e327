// What this build is: the program's version, its licence, and the libraries the core was built with.
#pragma once

#include <string>
#include <vector>

namespace orvalis {

// The program's version, from the project declaration ("1.0.0"). The window,
// orvalis-cli --version, the JSON, the man page, the package and the
// metainfo all show this one number.
const char* programVersion();

// The terms the program is distributed under, in one sentence.
const char* programLicence();

// One library the program is built with, and its version ("" when the
// library does not record one).
struct LibraryVersion {
    std::string name;
    std::string version;
};

// libunistring's version number as text: the library encodes it as
// (major << 16) + (minor << 8) + subminor (9 for every version up to 0.9.3),
// shown as "major.minor", with ".subminor" when that is not 0 (0x010000 is "1.0").
std::string unistringVersionText(int encoded);

// The core's libraries: Boost.Math, fast_float and GNU libunistring. The
// front ends add their own (Qt, nlohmann-json).
std::vector<LibraryVersion> coreLibraries();

} // namespace orvalis
