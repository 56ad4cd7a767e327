// The whole content of a data file, read into memory with checks that keep a hostile file from hurting.
#pragma once

#include "common/FileHash.h"
#include "common/SystemMemory.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvalis {

// The bytes of one file, read into memory once. The file is read, not mapped,
// so that a file cut short while it is read gives an error instead of a
// signal. Opening never blocks: anything but a regular file (a named pipe, a
// device such as /dev/zero, a socket) is refused, unless acceptPipes allows
// pipes (the command line reads `<(...)` and a piped standard input).
// Throws FileError with a sentence that names the file and the reason: it is
// missing, a directory, not a regular file, unreadable, larger than the
// memory the process may use (both sizes given) or than the options' size
// limit, or it changed while it was read. A regular file has changed when,
// after its bytes are read, the open file or the file its path now names
// differs from the open file before the reading in device, inode, size or
// modification time (to the nanosecond): a file rewritten in place, cut
// short, or replaced by a rename is never read as a mixture of versions.
class FileContent {
public:
    struct Options {
        bool acceptPipes = false;
        // Bytes the content may take; the default asks the system (availableMemory()).
        std::uint64_t availableMemory = 0;
        // The most bytes the file may have; 0: no limit but the memory.
        std::uint64_t sizeLimit = 0;
        // Runs after the file's size is taken and before its bytes are read:
        // tests change the file there, at the worst moment.
        std::function<void()> beforeReading;
    };

    FileContent(const std::string& path, const Options& options);
    explicit FileContent(const std::string& path) : FileContent(path, Options{}) {}

    std::string_view bytes() const { return {m_buffer.data(), m_size}; }
    // The identity of the regular file the bytes are (as it was before and
    // after the reading); none for a pipe.
    const std::optional<FileIdentity>& identity() const { return m_identity; }

private:
    // The file's bytes, in huge pages where the kernel offers them.
    LargeBlock m_buffer;
    std::size_t m_size = 0;
    std::optional<FileIdentity> m_identity;
};

} // namespace orvalis
