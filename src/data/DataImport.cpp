// The two-pass import: count lines and fields, allocate once, then parse; both passes split across threads.
#include "data/DataImport.h"

#include "common/Cpu.h"
#include "common/NumberText.h"
#include "common/ParallelFor.h"
#include "common/RuntimeErrors.h"
#include "common/SystemMemory.h"
#include "common/TextEscape.h"
#include "data/FieldParser.h"
#include "data/FileContent.h"
#include "data/ImportRules.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef ORVALIS_SSE2
#include <emmintrin.h>
#endif

namespace orvalis {
namespace {

// Below this size one thread is faster than starting another.
constexpr std::size_t MinBytesPerThread = std::size_t{1} << 20;
// The most reading threads a file is split among when the caller leaves the count open.
constexpr std::size_t MaxReadingThreads = 16;

struct Chunk {
    std::size_t begin = 0;
    std::size_t end = 0;
    // Counting pass
    std::int64_t lines = 0;
    std::int32_t maxFields = 0; // capped at MaxColumn + 1
    // Reading pass
    std::int64_t firstRow = 1;
    bool failed = false;
    // The bytes read now do not match the ones counted (a file that changed
    // between the two readings of a streamed import).
    bool changed = false;
    ImportFailure failure;
};

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Where the field starting at p ends: at the next delimiter or line end
// outside double quotes. A field whose first character (after blanks, when
// the blank is not the delimiter) is a double quote is quoted up to the next
// lone quote; a doubled quote inside is a quote. A quote elsewhere is an
// ordinary character, and an unclosed quote runs to the line's end.
const char* fieldEnd(const char* p, const char* end, char delimiter)
{
    const char* q = p;
    if (delimiter != ' ') {
        while (q < end && *q == ' ') {
            ++q;
        }
    }
    if (q < end && *q == '"') {
        for (++q; q < end && !isLineEnd(*q); ++q) {
            if (*q == '"') {
                if (q + 1 < end && q[1] == '"') {
                    ++q; // a doubled quote
                } else {
                    break;
                }
            }
        }
        if (q < end && *q == '"') {
            ++q;
        }
    } else {
        q = p;
    }
    while (q < end && *q != delimiter && !isLineEnd(*q)) {
        ++q;
    }
    return q;
}

// The first line start at or after pos: a position right after a line end,
// never between the CR and LF of one CR LF.
std::size_t nextLineStart(std::string_view text, std::size_t pos)
{
    const std::size_t size = text.size();
    for (; pos < size; ++pos) {
        const char previous = text[pos - 1];
        if (previous == '\n' || (previous == '\r' && text[pos] != '\n')) {
            return pos;
        }
    }
    return size;
}

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

std::string failureMessage(const ImportFailure& failure)
{
    switch (failure.kind) {
    case ImportFailure::Kind::InvalidEntry:
        return invalidEntryMessage(failure.row, failure.column);
    case ImportFailure::Kind::OutOfRange:
        return "Row " + formatInteger(failure.row) + " of Column " + formatInteger(failure.column)
               + " holds a number beyond the single-precision range (about 3.4E+38).";
    case ImportFailure::Kind::TooManyFields:
        return "Row " + formatInteger(failure.row) + " has more than " + formatInteger(DataSet::MaxColumn)
               + " fields; at most " + formatInteger(DataSet::MaxColumn) + " variables can be imported.";
    default:
        return failure.message;
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

// The wide encoding a file's first bytes show, or nothing. A zero byte is
// never part of a valid field, so no file that imports could match.
const char* wideEncoding(std::string_view content)
{
    auto startsWith = [&](std::string_view prefix) { return content.substr(0, prefix.size()) == prefix; };
    using namespace std::string_view_literals;
    if (startsWith("\xFF\xFE\0\0"sv)) {
        return "UTF-32 (little-endian)";
    }
    if (startsWith("\0\0\xFE\xFF"sv)) {
        return "UTF-32 (big-endian)";
    }
    if (startsWith("\xFF\xFE"sv)) {
        return "UTF-16 (little-endian)";
    }
    if (startsWith("\xFE\xFF"sv)) {
        return "UTF-16 (big-endian)";
    }
    if (content.size() < 2) {
        return nullptr;
    }
    // Without a byte-order mark: the zero bytes of a first character below 128.
    const bool zero[4] = {content[0] == '\0', content[1] == '\0', content.size() > 2 && content[2] == '\0',
                          content.size() > 3 && content[3] == '\0'};
    if (content.size() >= 4 && !zero[0] && zero[1] && zero[2] && zero[3]) {
        return "UTF-32 (little-endian)";
    }
    if (content.size() >= 4 && zero[0] && zero[1] && zero[2] && !zero[3]) {
        return "UTF-32 (big-endian)";
    }
    if (!zero[0] && zero[1]) {
        return "UTF-16 (little-endian)";
    }
    if (zero[0] && !zero[1]) {
        return "UTF-16 (big-endian)";
    }
    return nullptr;
}

// Tables up to this size are not checked against the memory available.
constexpr std::uint64_t AlwaysFits = std::uint64_t{16} << 20;

} // namespace

ImportOutcome failedImport(ImportFailure failure)
{
    failure.message = failureMessage(failure);
    failure.title = ImportErrorTitle;
    if (failure.kind == ImportFailure::Kind::OutOfMemory) {
        failure.reason = Refusal::Reason::OutOfMemory;
    } else if (failure.kind == ImportFailure::Kind::FileError) {
        failure.reason = Refusal::Reason::Fault;
    }
    return failure;
}

ImportOutcome cancelledImport()
{
    ImportFailure failure;
    failure.kind = ImportFailure::Kind::Cancelled;
    failure.message = "The import was cancelled.";
    return failedImport(std::move(failure));
}

ImportOutcome allocateTable(std::int64_t lines, std::int32_t numVariables, const ImportOptions& options, bool unfilled)
{
    const std::uint64_t tableBytes =
        (static_cast<std::uint64_t>(lines) + 1) * (static_cast<std::uint64_t>(numVariables) + 1) * sizeof(float);
    if (tableBytes > AlwaysFits || options.availableMemory != 0) {
        const std::uint64_t room = options.availableMemory != 0 ? options.availableMemory : availableMemory();
        if (tableBytes > room) {
            ImportFailure failure;
            failure.kind = ImportFailure::Kind::OutOfMemory;
            failure.message = "The table of " + formatInteger(lines) + " cases and " + formatInteger(numVariables)
                              + " variables needs " + formatByteSize(tableBytes) + " of memory, and "
                              + formatByteSize(room) + " is available.";
            return failedImport(std::move(failure));
        }
    }
    try {
        if (unfilled) {
            // Not zero-filled: the reading threads write every cell of rows
            // 1..n (first touching their own pages), and row 0 is cleared here.
            return DataSet(static_cast<std::int32_t>(lines), numVariables + 1, DataSet::Unfilled{});
        }
        return DataSet(static_cast<std::int32_t>(lines), numVariables + 1);
    } catch (const std::bad_alloc&) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::OutOfMemory;
        failure.message = "There is not enough memory for a table of " + formatInteger(lines) + " cases and "
                          + formatInteger(numVariables) + " variables.";
        return failedImport(std::move(failure));
    }
}

std::string_view leadingLines(std::string_view content, std::size_t limit)
{
    return content.substr(0, content.size() <= limit ? content.size() : nextLineStart(content, limit));
}

std::string withDelimiterAdvice(const ImportFailure& failure,
                                const std::function<std::string(const DelimiterInfo&)>& advise)
{
    if (!failure.likelyDelimiter) {
        return failure.message;
    }
    const DelimiterInfo& likely = delimiterInfo(*failure.likelyDelimiter);
    return failure.message + " The file looks " + likely.word + "-delimited: " + advise(likely) + ".";
}

std::string invalidEntryMessage(std::int64_t row, std::int32_t column)
{
    return "Row " + formatInteger(row) + " of Column " + formatInteger(column) + " has an invalid entry for analysis.";
}

namespace {

// The text's split into one chunk per reading thread. Chunk boundaries are
// line starts, so each chunk holds whole lines.
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

ImportOutcome tooManyLines(const ImportOptions& options)
{
    ImportFailure failure;
    failure.kind = ImportFailure::Kind::TooManyLines;
    failure.message =
        "The file has more than " + formatInteger(options.maxLines) + " lines, more cases than the program can hold.";
    return failedImport(std::move(failure));
}

// The table of content's lines, one case per line. On an invalid entry,
// numberAbove (when given) says whether its column holds a number on an
// earlier line: the column mixes numbers and text, so no other reading of it
// could take it.
ImportOutcome importTable(std::string_view content, char delimiter, const ImportOptions& options,
                          bool* numberAbove = nullptr)
{
    std::vector<Chunk> chunks = splitChunks(content, options);
    runChunks(chunks, [&](Chunk& chunk) { countChunk(content, delimiter, chunk); });

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

    runChunks(chunks, [&](Chunk& chunk) { readChunk(content, delimiter, chunk, *dataSet); });

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

} // namespace

bool isOtherProgramsMarker(std::string_view text)
{
    static constexpr std::string_view OtherMarkers[] = {"-",    "NaN",  "nan",  "NAN", "n/a", "N/A", "na",
                                                        "#N/A", "NULL", "null", "?",   "*",   ".."};
    return std::find(std::begin(OtherMarkers), std::end(OtherMarkers), text) != std::end(OtherMarkers);
}

std::string unquoted(std::string_view field)
{
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') {
        return std::string(field);
    }
    field = field.substr(1, field.size() - 2);
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        text.push_back(field[i]);
        if (field[i] == '"' && i + 1 < field.size() && field[i + 1] == '"') {
            ++i;
        }
    }
    return text;
}

namespace {

// The first line of content (without its line end) and where the next starts.
struct FirstLine {
    std::string_view text;
    std::size_t next = 0;
};

FirstLine firstLine(std::string_view content)
{
    const std::size_t end = std::min(content.find_first_of("\r\n"), content.size());
    std::size_t next = end;
    if (next < content.size()) {
        next += content.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    }
    return {content.substr(0, end), next};
}

// The fields of a line, split at the delimiters outside double quotes (as
// the reading pass does); at most one more than the table holds.
std::vector<std::string_view> splitFields(std::string_view line, char delimiter)
{
    std::vector<std::string_view> fields;
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        const char* stop = fieldEnd(p, end, delimiter);
        fields.emplace_back(p, static_cast<std::size_t>(stop - p));
        if (stop == end || fields.size() > static_cast<std::size_t>(DataSet::MaxColumn)) {
            return fields;
        }
        p = stop + 1;
    }
}

enum class FieldRole { Name, Empty, Number, Marker, Other };

// What a field of a first line is: a name is text with a letter in it that is
// neither a number nor a missing-value marker once its quotes are gone (so
// "1,000" read with the wrong delimiter stays data).
FieldRole roleOf(std::string_view field)
{
    const std::string text = unquoted(field);
    if (text.empty()) {
        return FieldRole::Empty;
    }
    float value = 0;
    switch (parseField(text, value)) {
    case FieldKind::Invalid:
        return hasLetter(text) ? FieldRole::Name : FieldRole::Other;
    case FieldKind::Missing:
        return FieldRole::Marker;
    default:
        return FieldRole::Number;
    }
}

} // namespace

std::optional<std::vector<std::string>> namesOfFields(const std::vector<std::string_view>& fields)
{
    if (fields.empty() || fields.size() > static_cast<std::size_t>(DataSet::MaxColumn)) {
        return std::nullopt;
    }
    std::vector<std::string> names(1);
    bool anyName = false;
    for (const std::string_view bytes : fields) {
        // Each field on its own, so that a line with names in both encodings keeps both.
        const std::string field = decodeToUtf8(bytes);
        const FieldRole role = roleOf(field);
        if (role != FieldRole::Name && role != FieldRole::Empty) {
            return std::nullopt;
        }
        anyName = anyName || role == FieldRole::Name;
        names.push_back(unquoted(field));
    }
    if (!anyName) {
        return std::nullopt;
    }
    return names;
}

namespace {

// The names of a first line, or none when the line is data. Each field is
// decoded to UTF-8 (decodeToUtf8) by namesOfFields, so a letter is a Unicode
// letter and every name is valid UTF-8. (Decoding keeps every ASCII byte, so
// the fields split the same before and after.)
std::optional<std::vector<std::string>> namesOf(std::string_view bytes, char delimiter)
{
    if (bytes.empty()) {
        return std::nullopt;
    }
    return namesOfFields(splitFields(bytes, delimiter));
}

// Whether the data after a names line may hold R's row names, which the
// record reader takes as case labels: the names line's first name is empty,
// and the first field of the data (after any blank lines) is quoted. The
// record reader decides; this only spares it the files it would not take
// (an unnamed first column of unquoted numbers, as pandas writes its index).
// Data that ends before its first field may.
bool mayHoldRowNames(const std::optional<std::vector<std::string>>& names, std::string_view data, char delimiter)
{
    if (!names || !(*names)[1].empty()) {
        return false;
    }
    std::size_t p = 0;
    while (p < data.size() && isLineEnd(data[p])) {
        ++p;
    }
    while (delimiter != ' ' && p < data.size() && data[p] == ' ') {
        ++p;
    }
    return p == data.size() || data[p] == '"';
}

// The bytes of a file the delimiter hint looks at.
constexpr std::size_t HintSample = std::size_t{1} << 20;

// The second line of an invalid-entry message: the entry, quoted and cut to
// 40 characters, and the likely cause when the file shows one. Another
// delimiter that reads the file is recorded in failure for the front end.
std::string explainEntry(std::string_view content, char delimiter, ImportFailure& failure, bool namesLine,
                         const ImportOptions& options)
{
    // Cut by characters, never inside one, so that the message stays valid UTF-8.
    std::string entry = escapeControlCharacters(failure.entry);
    if (std::string cut = cutToCharacters(entry, 40); cut.size() < entry.size()) {
        entry = std::move(cut) + "...";
    }
    std::string text = "The entry is \"" + entry + "\".";

    // Another delimiter that reads the file, into more than one variable:
    // judged on its first megabyte of whole lines, so that a large file is
    // not read again in full for a hint. Numbers only first, as the fast
    // reading takes them; then with text columns, when that gives a numeric
    // variable too.
    const std::string_view sample = leadingLines(content, HintSample);
    for (const bool general : {false, true}) {
        for (const DelimiterInfo& other : delimiterTable()) {
            if (other.character == delimiter || other.id == Delimiter::Detect) {
                continue;
            }
            const ImportOutcome again = importContent(sample, other.character, options, {false, general});
            if (again.ok() && again->NumVariables() > 1) {
                failure.likelyDelimiter = other.id;
                return text;
            }
        }
    }
    // A first line of names with a number among them.
    if (failure.row == 1 && !namesLine) {
        const std::string line = decodeToUtf8(firstLine(content).text);
        const std::vector<std::string_view> fields = splitFields(line, delimiter);
        int names = 0;
        int numbers = 0;
        std::size_t firstNumber = 0;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const FieldRole role = roleOf(fields[k]);
            names += role == FieldRole::Name ? 1 : 0;
            if (role == FieldRole::Number && numbers++ == 0) {
                firstNumber = k;
            }
        }
        if (numbers > 0 && names > numbers) {
            return text + " The first line looks like a line of variable names, but field "
                   + formatInteger(static_cast<std::int64_t>(firstNumber) + 1) + " (\""
                   + escapeControlCharacters(unquoted(fields[firstNumber])) + "\") is a number.";
        }
    }
    // A missing-value marker of another program.
    const std::string bare = unquoted(failure.entry);
    if (isOtherProgramsMarker(bare)) {
        return text + " \"" + bare + "\" is not a missing-value marker here: write \".\", \"NA\" or nothing instead.";
    }
    return text;
}

// Whether a table read by the record reader has a variable an analysis can
// use: a file that reads as text columns only is more likely read with the
// wrong delimiter ("1,2,3" as one text entry) than meant that way.
bool hasNumericVariable(const DataSet& dataSet)
{
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (!dataSet.isCategorical(v)) {
            return true;
        }
    }
    return false;
}

} // namespace

ImportOutcome importContent(std::string_view content, char delimiter, const ImportOptions& options, ImportMode mode)
{
    // A first line of names: the data, case 1 included, start on the next line.
    const FirstLine first = firstLine(content);
    std::optional<std::vector<std::string>> names = namesOf(first.text, delimiter);
    bool numberAbove = false;
    ImportOutcome outcome =
        importTable(names ? content.substr(first.next) : content, delimiter, options, &numberAbove);
    if (outcome.ok()) {
        // R's numeric row names in quotes read as numbers here; the record
        // reader takes them as case labels.
        if (mode.general && mayHoldRowNames(names, content.substr(first.next), delimiter)) {
            ImportOutcome records = importRecords(content, delimiter, options);
            if (records.ok() && records->hasCaseLabels() && hasNumericVariable(*records)) {
                return records;
            }
        }
        if (names) {
            outcome->setVariableNames(std::move(*names));
        }
        return outcome;
    }
    ImportFailure failure = outcome.refusal();
    // R's row names in quotes are labels whatever they hold ("1", "b", "1e99").
    const bool rowNames = mayHoldRowNames(names, content.substr(first.next), delimiter);
    if (failure.kind != ImportFailure::Kind::InvalidEntry
        && !(rowNames && failure.kind == ImportFailure::Kind::OutOfRange)) {
        return failure;
    }
    // Quoted line breaks, case labels and text columns: the record reader
    // reads the file again, and its reading of a failure is the one that
    // counts (a text column is no longer one).
    // An entry without a letter or a quote is no text and no quoting, and a
    // column with a number above its first text mixes the two: the record
    // reader would refuse either just so, and need not read the file again.
    const bool couldBeText =
        rowNames
        || (!numberAbove && (hasLetter(decodeToUtf8(failure.entry)) || failure.entry.find('"') != std::string::npos));
    if (mode.general && couldBeText) {
        ImportOutcome records = importRecords(content, delimiter, options);
        if (records.ok() && hasNumericVariable(*records)) {
            return records;
        }
        if (!records.ok()) {
            failure = records.refusal();
        }
    }
    if (mode.explain && failure.kind == ImportFailure::Kind::InvalidEntry) {
        failure.message += "\n" + explainEntry(content, delimiter, failure, names.has_value(), options);
    }
    return failure;
}

ImportOutcome importDataBuffer(std::string_view content, char delimiter, const ImportOptions& options, bool explain)
{
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3); // the UTF-8 byte-order mark editors write
    } else if (const char* encoding = wideEncoding(content)) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::Encoding;
        failure.message = std::string("The file is in ") + encoding
                          + " encoding. Data files are read as plain text (ASCII or UTF-8): save the file in one of"
                            " those encodings and import it again.";
        return failedImport(std::move(failure));
    }
    if (delimiter != DetectDelimiter) {
        return importContent(content, delimiter, options, {explain, true});
    }
    const Delimiter detected = detectDelimiter(content, options);
    ImportOutcome outcome = importContent(content, delimiterChar(detected), options, {explain, true});
    if (outcome.ok()) {
        outcome->setDetectedDelimiter(detected);
    }
    return outcome;
}

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

// The import of a large regular file without holding it in memory: the
// counting and the reading pass each read it block by block (the chunks of a
// block shared among the threads), so memory holds the table and one block.
// The result is the in-memory import's, byte for byte; anything that import
// would refuse or explain (an invalid entry, a text column, quotes over line
// breaks, too many lines or fields), and a first line longer than a block,
// gives nothing: the caller reads the file whole instead. A file that changes
// between or during the passes is an error.
std::optional<ImportOutcome> importStreamed(const std::string& path, char delimiter, const ImportOptions& options)
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
    if (delimiter == DetectDelimiter) {
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
        delimiter = delimiterChar(*detected);
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
        runChunks(region.chunks, [&](Chunk& chunk) { countChunk(text, delimiter, chunk); });
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
        runChunks(region.chunks, [&](Chunk& chunk) { readChunk(text, delimiter, chunk, *dataSet); });
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

} // namespace

ImportOutcome ImportDataFile(const std::string& path, char delimiter, const ImportOptions& options)
{
    if (std::optional<ImportOutcome> streamed = importStreamed(path, delimiter, options)) {
        return std::move(*streamed);
    }
    try {
        FileContent::Options fileOptions;
        fileOptions.acceptPipes = options.acceptPipes;
        fileOptions.availableMemory = options.availableMemory;
        const FileContent file(path, fileOptions);
        ImportOutcome outcome = importDataBuffer(file.bytes(), delimiter, options);
        if (outcome.ok() && file.identity()) {
            outcome->setSourceIdentity(*file.identity());
        }
        return outcome;
    } catch (const FileError& error) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::FileError;
        failure.message = error.what();
        return failedImport(std::move(failure));
    } catch (const std::bad_alloc&) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::OutOfMemory;
        failure.message = "There is not enough memory to read the file " + escapeControlCharacters(path) + ".";
        return failedImport(std::move(failure));
    }
}

std::string FormatImportSummary(std::string_view fileName, const DataSet& dataSet)
{
    std::string text;
    text += "Opened the " + (dataSet.fileKind().empty() ? std::string("text file") : dataSet.fileKind()) + ": ";
    text += escapeControlCharacters(fileName);
    text += "\r\nNumber of Cases: ";
    text += formatInteger(dataSet.NumCases());
    text += "\r\nNumber of Variables: ";
    text += formatInteger(dataSet.NumVariables());
    if (dataSet.hasNamesLine()) {
        // A binary file names its variables itself; a text file's first line may.
        text += dataSet.fileKind().empty() ? "\r\nThe first line was read as variable names: " : "\r\nVariable names: ";
        const std::vector<std::string>& names = dataSet.VariableNames();
        for (std::size_t v = 1; v < names.size(); ++v) {
            text += v > 1 ? ", " : "";
            text += names[v].empty() ? std::string("(none)") : escapeControlCharacters(names[v]);
        }
    }
    if (const std::optional<Delimiter> detected = dataSet.detectedDelimiter()) {
        text += "\r\nDelimiter: ";
        text += delimiterInfo(*detected).word;
        text += " (detected)";
    }
    if (dataSet.hasCaseLabels()) {
        text += "\r\nThe first column was read as case labels.";
    }
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (!dataSet.variableLabel(v).empty()) {
            const std::string& name = dataSet.VariableName(v);
            text += "\r\n" + variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")") + ": "
                    + escapeControlCharacters(dataSet.variableLabel(v));
        }
    }
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (dataSet.isCategorical(v)) {
            const std::string& name = dataSet.VariableName(v);
            text += "\r\n" + variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")")
                    + ": text, " + formatInteger(static_cast<std::int64_t>(dataSet.categories(v).size()))
                    + (dataSet.categories(v).size() == 1 ? " category" : " categories");
        }
    }
    for (const std::string& note : dataSet.importNotes()) {
        text += "\r\n" + escapeControlCharacters(note);
    }
    for (const std::int32_t v : dataSet.imputationVariables()) {
        text += "\r\n" + variableNumber(v) + " (" + escapeControlCharacters(dataSet.VariableName(v))
                + "): looks like the number of an imputation. The analyses take all rows as one sample, so their "
                  "limits would be too narrow: pool imputed data sets elsewhere.";
    }
    text += "\r\n\r\n\r\n";
    return text;
}

} // namespace orvalis
