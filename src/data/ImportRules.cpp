// The rules both readers of delimited files share: lines and fields, a first line of names, the refusal's words, the
// table's allocation.
#include "data/ImportRules.h"

#include "common/NumberText.h"
#include "common/SystemMemory.h"
#include "common/TextEscape.h"
#include "data/FieldParser.h"

#include <algorithm>
#include <new>

namespace orvalis {
namespace {

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

// Tables up to this size are not checked against the memory available.
constexpr std::uint64_t AlwaysFits = std::uint64_t{16} << 20;

} // namespace

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

std::string_view leadingLines(std::string_view content, std::size_t limit)
{
    return content.substr(0, content.size() <= limit ? content.size() : nextLineStart(content, limit));
}

FirstLine firstLine(std::string_view content)
{
    const std::size_t end = std::min(content.find_first_of("\r\n"), content.size());
    std::size_t next = end;
    if (next < content.size()) {
        next += content.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    }
    return {content.substr(0, end), next};
}

std::vector<std::string_view> splitFields(std::string_view line, Delimiter delimiter)
{
    const char byte = delimiterChar(delimiter);
    std::vector<std::string_view> fields;
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        const char* stop = fieldEnd(p, end, byte);
        fields.emplace_back(p, static_cast<std::size_t>(stop - p));
        if (stop == end || fields.size() > static_cast<std::size_t>(DataSet::MaxColumn)) {
            return fields;
        }
        p = stop + 1;
    }
}

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

std::optional<std::vector<std::string>> namesOf(std::string_view bytes, Delimiter delimiter)
{
    if (bytes.empty()) {
        return std::nullopt;
    }
    return namesOfFields(splitFields(bytes, delimiter));
}

bool mayHoldRowNames(const std::optional<std::vector<std::string>>& names, std::string_view data, Delimiter delimiter)
{
    if (!names || !(*names)[1].empty()) {
        return false;
    }
    std::size_t p = 0;
    while (p < data.size() && isLineEnd(data[p])) {
        ++p;
    }
    while (delimiter != Delimiter::Space && p < data.size() && data[p] == ' ') {
        ++p;
    }
    return p == data.size() || data[p] == '"';
}

bool isOtherProgramsMarker(std::string_view text)
{
    static constexpr std::string_view OtherMarkers[] = {"-",    "NaN",  "nan",  "NAN", "n/a", "N/A", "na",
                                                        "#N/A", "NULL", "null", "?",   "*",   ".."};
    return std::find(std::begin(OtherMarkers), std::end(OtherMarkers), text) != std::end(OtherMarkers);
}

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

} // namespace orvalis
