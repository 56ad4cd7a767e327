// One way to write a file: a temporary file beside it, renamed over it only once every byte is on disk.
#pragma once

#include "common/Outcome.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

struct SafeWriteOptions {
    // Files that must never be replaced (the data file being analysed): a
    // target that is one of them (same device and inode, whatever the path
    // says) is refused.
    std::vector<std::string> protectedFiles;
};

// Writes bytes to path so that nothing is ever lost:
// - the bytes go to a temporary file created exclusively beside the target
//   (O_CREAT | O_EXCL, a random suffix, never through a link), flushed to
//   disk and checked, then renamed over the target;
// - an existing target keeps its permission bits (and, where allowed, its
//   owner); a new file gets 0666 less the umask;
// - a symbolic link is written through: its target is replaced, the link
//   stays; a link to nothing is refused;
// - refused, and nothing touched: a directory, anything that is not a regular
//   file (a named pipe, a device, a socket), a file nobody may write (no
//   write permission bit) or that this user may not write, and a protected
//   file.
// A refusal's message is the reason alone ("it is a named pipe, not a regular
// file"), in words for the front ends to put after the path; any temporary
// file is gone and an existing target is exactly as it was. A failed write
// under a file-size limit is EFBIG only when SIGXFSZ is ignored, which both
// programs do at start.
Status writeFileSafely(const std::string& path, std::string_view bytes, const SafeWriteOptions& options = {});

// What a file that is not a regular file is, in words for a message: "a
// named pipe", "a device", "a socket", or "not a regular file". mode is a
// stat st_mode.
const char* fileKindOf(unsigned mode);

} // namespace orvalis
