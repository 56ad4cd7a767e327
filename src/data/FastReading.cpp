// The fast reading: count lines and fields, allocate once, then parse; both passes split across the worker pool.
#include "data/FastReading.h"

#include "common/Cpu.h"
#include "common/NumberText.h"
#include "common/ParallelFor.h"
#include "common/RuntimeErrors.h"
#include "data/FieldParser.h"
#include "data/ImportRules.h"

#include <algorithm>
#include <bit>

#ifdef ORVALIS_SSE2
#include <emmintrin.h>
#endif

namespace orvalis {
namespace {

// Below this size one thread is faster than starting another.
constexpr std::size_t MinBytesPerThread = std::size_t{1} << 20;
// The most reading threads a file is split among when the caller leaves the count open.
constexpr std::size_t MaxReadingThreads = 16;

// Accounts for one finished line of `length` bytes holding `delimiters` delimiters.
inline void finishLine(Chunk& chunk, std::size_t length, std::int64_t delimiters)
{
    ++chunk.lines;
    if (length != 0) {
        const std::int64_t fields = std::min<std::int64_t>(delimiters + 1, DataSet::MaxColumn + 1);
        chunk.maxFields = std::max(chunk.maxFields, static_cast<std::int32_t>(fields));
    }
}

// Counting pass over one chunk: lines and the widest line. The chunk starts at
// a line start; a final line without a line end counts only at the end of the text.
// Built with the processor's popcount instruction beside the baseline (a
// library call), picked at load time where the build dispatches.
ORVALIS_CLONES_FOR("popcnt") void countChunk(std::string_view text, char delimiter, Chunk& chunk)
{
    const char* data = text.data();
    std::size_t lineStart = chunk.begin;
    std::int64_t delimiters = 0;
    std::size_t i = chunk.begin;

    // Handles the line end at position pos (a CR or an LF).
    auto lineEnd = [&](std::size_t pos) {
        if (data[pos] == '\n' && pos > chunk.begin && data[pos - 1] == '\r') {
            lineStart = pos + 1; // the LF of a CR LF; the CR already ended the line
            return;
        }
        finishLine(chunk, pos - lineStart, delimiters);
        delimiters = 0;
        lineStart = pos + 1;
    };

#ifdef ORVALIS_SSE2
    const __m128i delimiterVector = _mm_set1_epi8(delimiter);
    const __m128i crVector = _mm_set1_epi8('\r');
    const __m128i lfVector = _mm_set1_epi8('\n');
    for (; i + 16 <= chunk.end; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const unsigned delimiterMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, delimiterVector)));
        unsigned endMask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, crVector), _mm_cmpeq_epi8(block, lfVector))));
        unsigned consumed = 0; // bits of delimiterMask already counted
        while (endMask != 0) {
            const unsigned bit = static_cast<unsigned>(std::countr_zero(endMask));
            const unsigned below = (1u << bit) - 1u;
            delimiters += std::popcount(delimiterMask & below & ~consumed);
            consumed = below | (1u << bit);
            lineEnd(i + bit);
            endMask &= endMask - 1;
        }
        delimiters += std::popcount(delimiterMask & ~consumed & 0xFFFFu);
    }
#endif
    for (; i < chunk.end; ++i) {
        const char c = data[i];
        if (c == delimiter) {
            ++delimiters;
        } else if (isLineEnd(c)) {
            lineEnd(i);
        }
    }
    if (chunk.end == text.size() && lineStart < chunk.end) {
        finishLine(chunk, chunk.end - lineStart, delimiters);
    }
}

void fail(Chunk& chunk, ImportFailure::Kind kind, std::int64_t row, std::int32_t column)
{
    chunk.failed = true;
    chunk.failure.kind = kind;
    chunk.failure.row = row;
    chunk.failure.column = column;
}

// Reading pass over one chunk: stores every field of its lines, stopping at
// the chunk's first failure.
void readChunk(std::string_view text, char delimiter, Chunk& chunk, DataSet& dataSet)
{
    const char* data = text.data();
    const char* p = data + chunk.begin;
    const char* const end = data + chunk.end;
    std::int64_t row = chunk.firstRow;
    const std::int64_t endRow = chunk.firstRow + chunk.lines;
    const std::int32_t storedColumns = dataSet.storedColumns();
    while (p < end) {
        if (row >= endRow) {
            chunk.failed = chunk.changed = true; // more lines than were counted
            return;
        }
        float* cells = dataSet.rowData(static_cast<std::int32_t>(row));
        cells[0] = 0.0f; // the table is not zero-filled: every cell of the row is written here
        std::int32_t column = 0;
        if (!isLineEnd(*p)) {
            for (;;) {
                ++column;
                if (column >= storedColumns) {
                    // Only a field beyond 1000, unless the bytes changed since they were counted.
                    if (column > DataSet::MaxColumn) {
                        fail(chunk, ImportFailure::Kind::TooManyFields, row, column);
                    } else {
                        chunk.failed = chunk.changed = true;
                    }
                    return;
                }
                float value = 0;
                const char* q = readCommonNumber(p, end, delimiter, value);
                if (q == nullptr && p < end && *p == '"') {
                    // "1.5", as spreadsheets and R quote numbers: the common form inside the quotes.
                    const char* close = readCommonNumber(p + 1, end, '"', value);
                    if (close != nullptr && close < end && *close == '"'
                        && (close + 1 == end || close[1] == delimiter || isLineEnd(close[1]))) {
                        q = close + 1;
                    }
                }
                if (q == nullptr) {
                    // Any other form: find the field's end (a quoted field
                    // whole), then the full rules.
                    q = fieldEnd(p, end, delimiter);
                    switch (
                        parseFieldLeniently(std::string_view(p, static_cast<std::size_t>(q - p)), delimiter, value)) {
                    case FieldKind::Number:
                    case FieldKind::Missing:
                        break;
                    case FieldKind::Invalid:
                        fail(chunk, ImportFailure::Kind::InvalidEntry, row, column);
                        chunk.failure.entry.assign(p, static_cast<std::size_t>(q - p));
                        return;
                    case FieldKind::OutOfRange:
                        fail(chunk, ImportFailure::Kind::OutOfRange, row, column);
                        return;
                    }
                }
                cells[column] = value;
                p = q;
                if (p < end && *p == delimiter) {
                    ++p;
                    continue;
                }
                break;
            }
        }
        // The cells a short or empty line leaves unfilled are missing, not 0.
        std::fill(cells + column + 1, cells + storedColumns, MissingValue);
        // p is at a line end or at the end of the chunk.
        if (p < end) {
            p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        }
        ++row;
    }
    if (row != endRow) {
        chunk.failed = chunk.changed = true; // fewer lines than were counted
    }
}

// Runs work on every chunk, one pool worker per chunk (the calling thread takes the first).
template <typename Work>
void runChunks(std::vector<Chunk>& chunks, Work work)
{
    const auto count = static_cast<std::int32_t>(chunks.size());
    parallelFor(count, PoolShape{static_cast<unsigned>(count)}, {}, [&](const IndexRange& range) {
        work(chunks[static_cast<std::size_t>(range.begin)]);
        return RangeEnd::Done;
    });
}

ImportOutcome tooManyLines(const ImportOptions& options)
{
    ImportFailure failure;
    failure.kind = ImportFailure::Kind::TooManyLines;
    failure.message =
        "The file has more than " + formatInteger(options.maxLines) + " lines, more cases than the program can hold.";
    return failedImport(std::move(failure));
}

} // namespace

std::vector<Chunk> splitChunks(std::string_view content, const ImportOptions& options)
{
    unsigned threadCount = options.threads;
    if (threadCount == 0) {
        // One per core, at most one per MinBytesPerThread and MaxReadingThreads.
        const auto shares = static_cast<std::int32_t>(
            std::clamp<std::size_t>(content.size() / MinBytesPerThread, 1, MaxReadingThreads));
        threadCount = poolWorkers(shares, PoolShape{0, MaxReadingThreads});
    }
    std::vector<Chunk> chunks;
    std::size_t begin = 0;
    for (unsigned k = 0; k < threadCount; ++k) {
        std::size_t end = content.size();
        if (k + 1 < threadCount) {
            const std::size_t target = content.size() / threadCount * (k + 1);
            end = std::max(begin, target == 0 ? 0 : nextLineStart(content, std::max<std::size_t>(target, 1)));
        }
        Chunk chunk;
        chunk.begin = begin;
        chunk.end = end;
        chunks.push_back(chunk);
        begin = end;
    }
    return chunks;
}

void countChunks(std::string_view text, Delimiter delimiter, std::vector<Chunk>& chunks)
{
    const char byte = delimiterChar(delimiter);
    runChunks(chunks, [&](Chunk& chunk) { countChunk(text, byte, chunk); });
}

void readChunks(std::string_view text, Delimiter delimiter, std::vector<Chunk>& chunks, DataSet& dataSet)
{
    const char byte = delimiterChar(delimiter);
    runChunks(chunks, [&](Chunk& chunk) { readChunk(text, byte, chunk, dataSet); });
}

ImportOutcome importTable(std::string_view content, Delimiter delimiter, const ImportOptions& options,
                          bool* numberAbove)
{
    std::vector<Chunk> chunks = splitChunks(content, options);
    countChunks(content, delimiter, chunks);

    std::int64_t lineCount = 0;
    std::int32_t widest = 0;
    for (Chunk& chunk : chunks) {
        chunk.firstRow = lineCount + 1;
        lineCount += chunk.lines;
        widest = std::max(widest, chunk.maxFields);
    }
    if (lineCount > options.maxLines) {
        return tooManyLines(options);
    }

    const std::int32_t numVariables = std::min(widest, DataSet::MaxColumn);
    ImportOutcome dataSet = allocateTable(lineCount, numVariables, options, true);
    if (!dataSet.ok()) {
        return dataSet;
    }

    readChunks(content, delimiter, chunks, *dataSet);

    for (const Chunk& chunk : chunks) {
        if (chunk.changed) {
            throw InvalidOperationError("the import's bytes changed between its two passes");
        }
        if (chunk.failed) {
            // Every line before the first failure has been read into the table.
            if (numberAbove != nullptr && chunk.failure.kind == ImportFailure::Kind::InvalidEntry) {
                *numberAbove = false;
                for (std::int64_t row = 1; row < chunk.failure.row && !*numberAbove; ++row) {
                    *numberAbove = !isMissing(dataSet->rowData(static_cast<std::int32_t>(row))[chunk.failure.column]);
                }
            }
            return failedImport(chunk.failure);
        }
    }
    dataSet->setNumVariables(numVariables);
    return dataSet;
}

} // namespace orvalis
