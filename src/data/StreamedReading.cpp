// The streamed reading: the fast reading's two passes over a large file, block by block, the file's identity checked.
#include "data/StreamedReading.h"

#include "common/SystemMemory.h"
#include "common/TextEscape.h"
#include "data/FastReading.h"
#include "data/FileContent.h"
#include "data/ImportRules.h"
#include "data/WholeReading.h"

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {
namespace {

// An open file, closed when it goes.
class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY))
    {
    }
    ~OpenFile()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

    // Reads up to count bytes at offset into buffer; the bytes read.
    std::size_t readAt(std::uint64_t offset, std::size_t count, char* buffer) const
    {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(m_fd, buffer + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    int m_fd;
};

// A stretch of the file read as one block: whole lines, and its chunks as
// the first reading found them.
struct Region {
    std::uint64_t offset = 0;
    std::size_t length = 0;
    std::vector<Chunk> chunks;
};

// The last line start in block[0, size) that is certainly one (never
// between a CR and the LF that may follow it in the next block), or 0.
std::size_t lastLineStart(const char* block, std::size_t size)
{
    for (std::size_t p = size; p > 0; --p) {
        const char previous = block[p - 1];
        if (previous == '\n' || (previous == '\r' && p < size && block[p] != '\n')) {
            return p;
        }
    }
    return 0;
}

} // namespace

std::optional<ImportOutcome> importStreamed(const std::string& path, Delimiter delimiter, const ImportOptions& options)
{
    // Looked at before it is opened: opening a named pipe (and closing it
    // again) would disturb its writer.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)
        || static_cast<std::uint64_t>(named.st_size) < options.streamAbove) {
        return std::nullopt;
    }
    const OpenFile file(path);
    struct stat before {};
    if (file.fd() < 0 || ::fstat(file.fd(), &before) != 0 || !S_ISREG(before.st_mode)
        || static_cast<std::uint64_t>(before.st_size) < options.streamAbove) {
        return std::nullopt;
    }
    const auto size = static_cast<std::uint64_t>(before.st_size);
    const std::size_t blockSize = std::max<std::size_t>(options.streamBlock, 16);
    // Huge pages where the kernel offers them, as for a whole file. The block
    // need never be larger than the file.
    const LargeBlock block(static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, size)) + 1);
    auto changed = [&]() -> ImportOutcome {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::FileError;
        failure.message = "The file " + escapeControlCharacters(path)
                          + " changed while it was read. Import it again once nothing writes to it.";
        return failedImport(std::move(failure));
    };
    // Whether the open file kept its identity (size, modification time) and
    // the path still names it; a file replaced by a rename is another inode.
    const FileIdentity identity = identityOf(before);
    auto unchanged = [&] {
        struct stat now {};
        return ::fstat(file.fd(), &now) == 0 && identityOf(now) == identity && identityOfPath(path) == identity;
    };
    // What the whole reading should take over (a failure to explain, a form
    // the blocks do not read) is handed over only from a file that did not
    // change: bytes torn by a writer are a change, never an invalid entry.
    auto handOver = [&]() -> std::optional<ImportOutcome> {
        if (!unchanged()) {
            return changed();
        }
        return std::nullopt;
    };

    // The start: a byte-order mark, a wide encoding (left to the whole
    // reading's refusal), the delimiter to detect, a names line.
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, blockSize));
    const std::size_t head = file.readAt(0, wanted, block.data());
    if (head != wanted) {
        return changed(); // the file became shorter
    }
    std::string_view start(block.data(), head);
    std::uint64_t offset = 0;
    if (start.substr(0, 3) == "\xEF\xBB\xBF") {
        offset = 3;
        start.remove_prefix(3);
    } else if (wideEncoding(start) != nullptr) {
        return handOver();
    }
    std::optional<Delimiter> detected;
    if (delimiter == Delimiter::Detect) {
        // The first megabyte of whole lines, as detection reads it from the whole file.
        std::string sample(static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, HintSample * 2)), '\0');
        if (file.readAt(offset, sample.size(), sample.data()) != sample.size()) {
            return changed();
        }
        const std::string_view lines = leadingLines(sample, HintSample);
        if (lines.size() == sample.size() && offset + sample.size() < size) {
            return handOver();
        }
        detected = detectDelimiter(lines, options);
        delimiter = *detected;
    }
    const FirstLine first = firstLine(start);
    if (first.next == start.size() && offset + start.size() < size) {
        return handOver(); // a first line longer than a block
    }
    std::optional<std::vector<std::string>> names = namesOf(first.text, delimiter);
    if (mayHoldRowNames(names, start.substr(first.next), delimiter)) {
        return std::nullopt; // R's row names: the whole reading's record reader decides
    }
    if (names) {
        offset += first.next;
    }

    // First pass: the blocks, their chunks, the lines and the widest line.
    std::vector<Region> regions;
    std::int64_t lineCount = 0;
    std::int32_t widest = 0;
    while (offset < size) {
        if (options.stop.stop_requested()) {
            return cancelledImport();
        }
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, size - offset));
        if (file.readAt(offset, want, block.data()) != want) {
            return changed();
        }
        const bool last = offset + want == size;
        const std::size_t length = last ? want : lastLineStart(block.data(), want);
        if (length == 0) {
            return handOver(); // a line longer than a block
        }
        const std::string_view text(block.data(), length);
        Region region;
        region.offset = offset;
        region.length = length;
        region.chunks = splitChunks(text, options);
        countChunks(text, delimiter, region.chunks);
        for (Chunk& chunk : region.chunks) {
            chunk.firstRow = lineCount + 1;
            lineCount += chunk.lines;
            widest = std::max(widest, chunk.maxFields);
        }
        regions.push_back(std::move(region));
        offset += length;
    }
    if (lineCount > options.maxLines || widest > DataSet::MaxColumn) {
        return handOver();
    }
    ImportOutcome dataSet = allocateTable(lineCount, widest, options, true);
    if (!dataSet.ok()) {
        return dataSet;
    }
    if (options.betweenPasses) {
        options.betweenPasses();
    }

    // Second pass: the same blocks again, each chunk read into its rows.
    for (Region& region : regions) {
        if (options.stop.stop_requested()) {
            return cancelledImport();
        }
        if (file.readAt(region.offset, region.length, block.data()) != region.length) {
            return changed();
        }
        const std::string_view text(block.data(), region.length);
        readChunks(text, delimiter, region.chunks, *dataSet);
        for (const Chunk& chunk : region.chunks) {
            if (chunk.changed) {
                return changed();
            }
            if (chunk.failed) {
                return handOver();
            }
        }
    }
    if (!unchanged()) {
        return changed();
    }
    dataSet->setSourceIdentity(identity);
    dataSet->setNumVariables(widest);
    if (names) {
        dataSet->setVariableNames(std::move(*names));
    }
    if (detected) {
        dataSet->setDetectedDelimiter(*detected);
    }
    return dataSet;
}

} // namespace orvalis
