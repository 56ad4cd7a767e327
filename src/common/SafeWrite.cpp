// writeFileSafely: lstat and stat checks, an exclusive temporary file beside the target, write, fsync, rename.
#include "common/SafeWrite.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {
namespace {

Refusal because(std::string reason)
{
    return Refusal{std::move(reason), {}, Refusal::Reason::Fault};
}

Refusal becauseOf(int error)
{
    return because(std::strerror(error));
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameFile(const struct stat& a, const std::string& other)
{
    struct stat b {};
    return ::stat(other.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

Status writeFileSafely(const std::string& path, std::string_view bytes, const SafeWriteOptions& options)
{
    if (path.empty()) {
        return because("no file name was given");
    }
    // A symbolic link is written through to the file it names.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) {
            return because("it is a symbolic link to a file that does not exist");
        }
        target = resolved;
    }

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return becauseOf(errno);
    }
    if (exists) {
        if (S_ISDIR(existing.st_mode)) {
            return because("it is a directory");
        }
        if (!S_ISREG(existing.st_mode)) {
            const std::string kind = fileKindOf(existing.st_mode);
            return because("it is " + kind + (kind.rfind("not ", 0) == 0 ? "" : ", not a regular file"));
        }
        for (const std::string& kept : options.protectedFiles) {
            if (!kept.empty() && sameFile(existing, kept)) {
                return because("it is the data file being analysed");
            }
        }
        // Read-only by intent (no write bit at all) is respected even by root.
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            return because("the file is read-only");
        }
    }

    // A new file gets 0666 less the umask from the kernel itself; the random
    // name is created exclusively, so a file or link planted there is never used.
    std::string temporary;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string suffix(8, 'x');
        for (char& c : suffix) {
            c = Letters[random() % (sizeof Letters - 1)];
        }
        temporary = directoryOf(target) + "/." + baseNameOf(target) + ".orvalis-" + suffix;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return becauseOf(errno);
        }
    }
    if (fd < 0) {
        return becauseOf(EEXIST);
    }
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return becauseOf(error);
    };

    if (exists) {
        // Root replacing another user's file leaves it theirs; anyone else cannot change owners.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
        }
        if (::fchmod(fd, existing.st_mode & 07777) != 0) {
            return fail(errno);
        }
    }

    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        return fail(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return becauseOf(error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return becauseOf(error);
    }
    return Done{};
}

const char* fileKindOf(unsigned mode)
{
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
}

} // namespace orvalis
