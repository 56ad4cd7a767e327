// FileContent: open without blocking, check the kind and size, read into a buffer, check nothing changed.
#include "data/FileContent.h"

#include "common/RuntimeErrors.h"
#include "common/SafeWrite.h"
#include "common/SystemMemory.h"
#include "common/TextEscape.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {
namespace {

std::string fileNamed(const std::string& path)
{
    return "The file " + escapeControlCharacters(path);
}

[[noreturn]] void fail(const std::string& path, int error)
{
    throw FileError(fileNamed(path) + " could not be read: " + std::strerror(error) + ".");
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

FileContent::FileContent(const std::string& path, const Options& options)
{
    // O_NONBLOCK: opening a named pipe without a writer would wait forever.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        fail(path, errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        fail(path, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        fail(path, EISDIR);
    }
    const bool regular = S_ISREG(info.st_mode);
    if (!regular && !(options.acceptPipes && S_ISFIFO(info.st_mode))) {
        throw FileError(fileNamed(path) + " is " + fileKindOf(info.st_mode)
                        + ", not a regular file; only regular files can be imported.");
    }
    if (!regular) {
        // A pipe is read as a stream, waiting for its writer and data like any
        // reader would. The descriptor opened here is kept: opening the pipe a
        // second time would wait forever for a writer that has already
        // written and gone (its bytes wait in this descriptor). Before the
        // first writer arrives a read would see the end at once, so wait until
        // there are bytes or a writer has come and gone; then read blocking.
        for (;;) {
            pollfd ready{fd.get(), POLLIN, 0};
            const int got = ::poll(&ready, 1, -1);
            if (got > 0) {
                break;
            }
            if (got < 0 && errno != EINTR) {
                fail(path, errno);
            }
        }
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
            fail(path, errno);
        }
    }

    const std::uint64_t memory = options.availableMemory != 0 ? options.availableMemory : availableMemory();
    const bool limited = options.sizeLimit != 0 && options.sizeLimit < memory;
    const std::uint64_t room = limited ? options.sizeLimit : memory;
    const auto expected = static_cast<std::size_t>(regular ? info.st_size : 0);
    auto refuseSize = [&](std::uint64_t needed) {
        if (limited) {
            throw FileError(fileNamed(path) + " is larger than the " + formatByteSize(room) + " such a file may have.");
        }
        throw FileError(fileNamed(path) + " is too large to read: it needs " + formatByteSize(needed)
                        + " of memory, and " + formatByteSize(room) + " is available.");
    };
    if (expected > room) {
        refuseSize(expected);
    }

    // One byte more than expected, so that a file that grew is noticed; files
    // of size 0 may still have content (/proc), and pipes have no size at all.
    if (options.beforeReading) {
        options.beforeReading();
    }
    LargeBlock first(expected == 0 ? std::size_t{1} << 16 : expected + 1);
    m_buffer.swap(first);
    for (;;) {
        if (m_size == m_buffer.capacity()) {
            if (regular && expected != 0) {
                break; // more than the size we were told: it grew
            }
            std::size_t larger = m_buffer.capacity() * 2;
            if (limited && m_buffer.capacity() <= room && larger > room + 1) {
                larger = room + 1; // up to the limit, and one byte to see a file beyond it
            } else if (larger > room) {
                refuseSize(larger);
            }
            LargeBlock moved(larger);
            std::memcpy(moved.data(), m_buffer.data(), m_size);
            m_buffer.swap(moved);
        }
        const ssize_t got = ::read(fd.get(), m_buffer.data() + m_size, m_buffer.capacity() - m_size);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(path, errno);
        }
        if (got == 0) {
            break;
        }
        m_size += static_cast<std::size_t>(got);
    }
    if (limited && m_size > room) {
        refuseSize(m_size);
    }
    if (regular && expected != 0 && m_size != expected) {
        throw FileError(fileNamed(path) + " changed while it was read (it became "
                        + (m_size < expected ? "shorter" : "longer") + "). Import it again once nothing writes to it.");
    }
    if (regular) {
        // The same bytes throughout: the open file kept its size and
        // modification time, and the path still names it (a file replaced by
        // a rename leaves this descriptor reading the old one).
        struct stat after {};
        if (::fstat(fd.get(), &after) != 0) {
            fail(path, errno);
        }
        const FileIdentity before = identityOf(info);
        if (identityOf(after) != before || identityOfPath(path) != before) {
            throw FileError(fileNamed(path) + " changed while it was read. Import it again once nothing writes to it.");
        }
        m_identity = before;
    }
}

} // namespace orvalis
