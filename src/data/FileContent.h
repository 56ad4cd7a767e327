// The whole content of a data file, read into memory with checks that keep a hostile file from hurting.
#pragma once

#include "common/SystemMemory.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
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
// memory the process may use (both sizes given), or it changed while it was
// read.
class FileContent {
public:
    struct Options {
        bool acceptPipes = false;
        // Bytes the content may take; the default asks the system (availableMemory()).
        std::uint64_t availableMemory = 0;
        // Runs after the file's size is taken and before its bytes are read:
        // tests change the file there, at the worst moment.
        std::function<void()> beforeReading;
    };

    FileContent(const std::string& path, const Options& options);
    explicit FileContent(const std::string& path) : FileContent(path, Options{}) {}

    std::string_view bytes() const { return {m_buffer.data(), m_size}; }

private:
    // The file's bytes, in huge pages where the kernel offers them.
    LargeBlock m_buffer;
    std::size_t m_size = 0;
};

} // namespace orvalis
