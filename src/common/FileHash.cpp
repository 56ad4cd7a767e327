// fingerprintFile: 1 MB blocks through Nettle's SHA-256, checked against the identity at import; no pipe is opened.
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

FileIdentity identityOf(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
            static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

std::optional<FileIdentity> identityOfPath(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return identityOf(info);
}

std::string sha256Hex(std::string_view bytes)
{
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return hexOf(digest, SHA256_DIGEST_SIZE);
}

Outcome<FileFingerprint> fingerprintFile(const std::string& path, const std::optional<FileIdentity>& imported)
{
    const FileFingerprint changed{imported ? imported->size : 0, {}, true};
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        return cannotHash(path, std::strerror(errno));
    }
    if (!S_ISREG(before.st_mode)) {
        if (imported) {
            return changed;
        }
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
    // The file imported, and still the one the path names, before and after
    // the hashing: otherwise the hash would name bytes the run never read.
    auto sameAsImported = [&](const struct stat& open) {
        return !imported || (identityOf(open) == *imported && identityOfPath(path) == imported);
    };
    if (!sameAsImported(opened)) {
        return changed;
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
    struct stat after {};
    if (imported && (::fstat(file.fd, &after) != 0 || !sameAsImported(after) || size != imported->size)) {
        return changed;
    }
    if (size != static_cast<std::uint64_t>(opened.st_size)) {
        return cannotHash(path, "it changed while it was read");
    }
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return FileFingerprint{size, hexOf(digest, SHA256_DIGEST_SIZE)};
}

} // namespace orvalis
