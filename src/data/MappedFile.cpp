// MappedFile: mmap for regular files, a read loop for everything else.
#include "data/MappedFile.h"

#include "common/RuntimeErrors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {
namespace {

[[noreturn]] void fail(const std::string& path, int error)
{
    throw FileError("The file " + path + " could not be read: " + std::strerror(error) + ".");
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

MappedFile::MappedFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    // Files of size 0 may still have content (/proc), so they are read.
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        m_size = static_cast<std::size_t>(info.st_size);
        // Populating the mapping up front costs less than a page fault per page
        // in the parsing threads.
        void* mapping = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            m_data = static_cast<const char*>(mapping);
            return;
        }
        m_size = 0;
    }
    // Not mappable: read it all.
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(path, errno);
        }
        if (got == 0) {
            break;
        }
        m_buffer.insert(m_buffer.end(), chunk, chunk + got);
    }
    m_data = m_buffer.data();
    m_size = m_buffer.size();
}

MappedFile::~MappedFile()
{
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_size);
    }
}

} // namespace orvalis
