// fingerprintFile: 1 MB blocks through Nettle's SHA-256; a non-regular file is never opened for reading.
#include "common/FileHash.h"

#include "common/TextEscape.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvalis {
namespace {

std::string hexOf(const std::uint8_t* digest, std::size_t length)
{
    static const char* const Digits = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * length);
    for (std::size_t k = 0; k < length; ++k) {
        hex.push_back(Digits[digest[k] >> 4]);
        hex.push_back(Digits[digest[k] & 0x0f]);
    }
    return hex;
}

Refusal cannotHash(const std::string& path, const std::string& reason)
{
    return {"The SHA-256 of " + escapeControlCharacters(path) + " could not be computed: " + reason + ".",
            "File Record", Refusal::Reason::Fault};
}

// Closes the descriptor when the reading ends, however it ends.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

} // namespace

std::string sha256Hex(std::string_view bytes)
{
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return hexOf(digest, SHA256_DIGEST_SIZE);
}

Outcome<FileFingerprint> fingerprintFile(const std::string& path)
{
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        return cannotHash(path, std::strerror(errno));
    }
    if (!S_ISREG(before.st_mode)) {
        return cannotHash(path, "it is not a regular file");
    }
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) {
        return cannotHash(path, std::strerror(errno));
    }
    struct stat opened {};
    if (::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        return cannotHash(path, "it is not a regular file");
    }
    sha256_ctx context;
    sha256_init(&context);
    std::vector<std::uint8_t> block(std::size_t{1} << 20);
    std::uint64_t size = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd, block.data(), block.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return cannotHash(path, std::strerror(errno));
        }
        if (got == 0) {
            break;
        }
        sha256_update(&context, static_cast<std::size_t>(got), block.data());
        size += static_cast<std::uint64_t>(got);
    }
    if (size != static_cast<std::uint64_t>(opened.st_size)) {
        return cannotHash(path, "it changed while it was read");
    }
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return FileFingerprint{size, hexOf(digest, SHA256_DIGEST_SIZE)};
}

} // namespace orvalis
