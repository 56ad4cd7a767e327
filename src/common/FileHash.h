// The size and SHA-256 of a data file, for the record that lets a reader re-run an analysis on the same bytes.
#pragma once

#include "common/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace orvalis {

// What tells one version of a regular file from another without reading it:
// the device and inode (a file replaced by a rename has another inode), the
// size and the modification time to the nanosecond. Taken when a file is
// read, and compared again when a record names the file by its SHA-256.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity a stat() or fstat() filled in.
FileIdentity identityOf(const struct stat& info);

// The identity of the regular file at path now (stat follows links); none
// when it cannot be had or the path is not a regular file.
std::optional<FileIdentity> identityOfPath(const std::string& path);

struct FileFingerprint {
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hexadecimal digits; empty when changedSinceImport
    // The file is not the one imported (another inode, size or modification
    // time): size is the size imported, and no SHA-256 is given, since the
    // one of today's bytes would name data the run did not read.
    bool changedSinceImport = false;
};

// The SHA-256 (GNU Nettle) of bytes, in lower-case hexadecimal.
std::string sha256Hex(std::string_view bytes);

// Reads the regular file at path in blocks and returns its size and SHA-256.
// Refused (never thrown) when the file is missing, unreadable, not a regular
// file (a pipe is not read twice), or changes size while it is read.
//
// imported: the file's identity when it was imported. Then the identity of
// the open file and of the path are compared with it before and after the
// hashing: any difference gives a fingerprint with changedSinceImport set
// (and the imported size) instead of the SHA-256 of other bytes. Without it
// the file is hashed as it is now.
Outcome<FileFingerprint> fingerprintFile(const std::string& path,
                                         const std::optional<FileIdentity>& imported = std::nullopt);

} // namespace orvalis
