// The size and SHA-256 of a data file, for the record that lets a reader re-run an analysis on the same bytes.
#pragma once

#include "common/Outcome.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalis {

struct FileFingerprint {
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hexadecimal digits
};

// The SHA-256 (GNU Nettle) of bytes, in lower-case hexadecimal.
std::string sha256Hex(std::string_view bytes);

// Reads the regular file at path in blocks and returns its size and SHA-256.
// Refused (never thrown) when the file is missing, unreadable, not a regular
// file (a pipe is not read twice), or changes size while it is read.
Outcome<FileFingerprint> fingerprintFile(const std::string& path);

} // namespace orvalis
