// The record reader: RFC 4180 quoting, a first column of case labels and text columns as categories, for what the fast
// import refuses.
#include "data/DelimitedRecords.h"

#include "common/TextEscape.h"
#include "data/FieldParser.h"
#include "data/ImportRules.h"

#include <algorithm>
#include <unordered_map>

namespace orvalis {
namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// One field of a record: its bytes as the file has them and, for a quoted
// field, the text inside the quotes (a doubled quote as one).
struct Field {
    std::string_view raw;
    std::string inside;
    bool quoted = false;

    // The field's text: what is inside the quotes, or the bytes without
    // surrounding blanks.
    std::string_view text() const { return quoted ? std::string_view(inside) : trimmed(raw); }
};

// Splits content into records as RFC 4180 defines them, with the import's
// line rules: a record ends at CR, CR LF or LF outside double quotes; every
// line is a record, a blank one (no fields) included; each delimiter
// separates two fields. A field whose first character (after blanks, when
// the blank is not the delimiter) is a double quote runs to the next lone
// quote, across delimiters and line ends; a quote that never closes, or
// text after the closing quote, leaves the field as today's reading has it:
// unquoted, up to the line's end or the next delimiter.
class RecordScanner {
public:
    RecordScanner(std::string_view content, Delimiter delimiter)
        : m_content(content), m_delimiter(delimiterChar(delimiter))
    {
    }

    bool atEnd() const { return m_pos >= m_content.size(); }
    std::size_t position() const { return m_pos; }

    // Reads the next record into fields (at most limit of them are kept) and
    // returns how many fields it has.
    std::size_t next(std::vector<Field>& fields, std::size_t limit)
    {
        fields.clear();
        std::size_t count = 0;
        if (!isLineEnd(m_content[m_pos])) {
            for (;;) {
                Field field = readField();
                if (++count <= limit) {
                    fields.push_back(std::move(field));
                }
                if (m_pos < m_content.size() && m_content[m_pos] == m_delimiter) {
                    ++m_pos;
                    continue;
                }
                break;
            }
        }
        if (m_pos < m_content.size()) {
            m_pos += (m_content[m_pos] == '\r' && m_pos + 1 < m_content.size() && m_content[m_pos + 1] == '\n') ? 2 : 1;
        }
        return count;
    }

private:
    std::size_t unquotedEnd(std::size_t from) const
    {
        while (from < m_content.size() && m_content[from] != m_delimiter && !isLineEnd(m_content[from])) {
            ++from;
        }
        return from;
    }

    Field readField()
    {
        const std::size_t start = m_pos;
        std::size_t q = start;
        if (m_delimiter != ' ') {
            while (q < m_content.size() && m_content[q] == ' ') {
                ++q;
            }
        }
        Field field;
        if (q < m_content.size() && m_content[q] == '"') {
            std::size_t i = q + 1;
            for (;;) {
                const std::size_t quote = m_content.find('"', i);
                if (quote == std::string_view::npos) {
                    // Never closed: the rest of the line, delimiters and all.
                    std::size_t lineEnd = start;
                    while (lineEnd < m_content.size() && !isLineEnd(m_content[lineEnd])) {
                        ++lineEnd;
                    }
                    field.raw = m_content.substr(start, lineEnd - start);
                    field.inside.clear();
                    m_pos = lineEnd;
                    return field;
                }
                field.inside.append(m_content.substr(i, quote - i));
                if (quote + 1 < m_content.size() && m_content[quote + 1] == '"') {
                    field.inside.push_back('"');
                    i = quote + 2;
                    continue;
                }
                std::size_t after = quote + 1;
                if (m_delimiter != ' ') {
                    while (after < m_content.size() && m_content[after] == ' ') {
                        ++after;
                    }
                }
                if (after == m_content.size() || m_content[after] == m_delimiter || isLineEnd(m_content[after])) {
                    field.raw = m_content.substr(start, after - start);
                    field.quoted = true;
                    m_pos = after;
                    return field;
                }
                // Text after the closing quote: not a quoted field after all.
                const std::size_t end = unquotedEnd(after);
                field.raw = m_content.substr(start, end - start);
                field.inside.clear();
                m_pos = end;
                return field;
            }
        }
        m_pos = unquotedEnd(start);
        field.raw = m_content.substr(start, m_pos - start);
        return field;
    }

    std::string_view m_content;
    char m_delimiter; // the byte, compared in the scanning loop
    std::size_t m_pos = 0;
};

enum class Entry { Number, Missing, OutOfRange, Text, Invalid };

// Whether text is a number written with a decimal comma or thousands
// separators ("2,5", "-1,000.5"): only digits, signs, points, commas and
// blanks, a comma and a digit among them. Quoted in a comma file, it is a
// number in another form, not a label.
bool isCommaNumber(std::string_view text)
{
    bool comma = false;
    bool digit = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == ',') {
            comma = true;
        } else if (c != '+' && c != '-' && c != '.' && c != ' ') {
            return false;
        }
    }
    return comma && digit;
}

// What a data field is. Text is the stuff of categories: a quoted entry that
// is neither a number nor a missing-value marker (R quotes its factor labels,
// "25-34" and "0-39g/day" alike), or an unquoted one with a letter in it.
// Anything else (-, 1.2.3, 12/03/2020 without quotes) stays an invalid entry,
// as in a numeric file; so do another program's marker and a number with a
// decimal comma the delimiter does not allow ("2,5" in a comma file), quoted
// or not.
Entry entryOf(const Field& field, char delimiter, float& value)
{
    const FieldKind kind = field.quoted ? parseFieldLeniently(field.inside, delimiter, value)
                                        : parseFieldLeniently(field.raw, delimiter, value);
    switch (kind) {
    case FieldKind::Number:
        return Entry::Number;
    case FieldKind::Missing:
        return Entry::Missing;
    case FieldKind::OutOfRange:
        return Entry::OutOfRange;
    case FieldKind::Invalid:
        break;
    }
    const std::string_view text = field.text();
    if (isOtherProgramsMarker(text)) {
        return Entry::Invalid;
    }
    if (field.quoted) {
        return isCommaNumber(text) ? Entry::Invalid : Entry::Text;
    }
    return hasLetter(decodeToUtf8(text)) ? Entry::Text : Entry::Invalid;
}

// What the first reading learns of one column (a field position).
struct ColumnFacts {
    bool numbers = false;          // a number (in range or not)
    bool invalid = false;          // an entry that is neither number, marker nor text
    std::int64_t texts = 0;        // text entries
    std::int64_t firstOther = 0;   // the first row with text or an invalid entry
    std::string firstOtherEntry;   // its bytes
    std::int64_t firstInvalid = 0; // the first row with an invalid entry
    std::string firstInvalidEntry;
    std::int64_t firstOutOfRange = 0; // the first row with a number beyond single precision
    bool bare = false;                // an entry outside quotes, or quotes with nothing inside
    // The distinct texts in order of first appearance, while the column may
    // still be categorical, keyed on their labels (decoded once, so that one
    // text in two encodings is one category).
    std::unordered_map<std::string, std::int32_t> codes;
    std::vector<std::string> labels;

    bool categorical() const { return texts > 0 && !numbers && !invalid; }
};

// A failure at (row, column), the first in file order wins.
struct FirstFailure {
    std::optional<ImportFailure> failure;

    void offer(ImportFailure::Kind kind, std::int64_t row, std::int32_t column, std::string entry = {})
    {
        if (failure && (failure->row < row || (failure->row == row && failure->column <= column))) {
            return;
        }
        ImportFailure candidate;
        candidate.kind = kind;
        candidate.row = row;
        candidate.column = column;
        candidate.entry = std::move(entry);
        failure = std::move(candidate);
    }
};

std::vector<std::string_view> rawFields(const std::vector<Field>& fields)
{
    std::vector<std::string_view> raw;
    raw.reserve(fields.size());
    for (const Field& field : fields) {
        raw.push_back(field.raw);
    }
    return raw;
}

constexpr std::size_t Limit = static_cast<std::size_t>(DataSet::MaxColumn) + 1;

// Where the data records come from: the text after a names line, or the
// rows of a spreadsheet's sheet. Read twice, from the start each time.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual void restart() = 0;
    virtual bool atEnd() const = 0;
    // The next record's fields (at most limit kept), and how many it has.
    virtual std::size_t next(std::vector<Field>& fields, std::size_t limit) = 0;
};

class TextRecords : public RecordSource {
public:
    TextRecords(std::string_view data, Delimiter delimiter)
        : m_data(data), m_delimiter(delimiter), m_scanner(data, delimiter)
    {
    }
    void restart() override { m_scanner = RecordScanner(m_data, m_delimiter); }
    bool atEnd() const override { return m_scanner.atEnd(); }
    std::size_t next(std::vector<Field>& fields, std::size_t limit) override { return m_scanner.next(fields, limit); }

private:
    std::string_view m_data;
    Delimiter m_delimiter;
    RecordScanner m_scanner;
};

// A sheet's rows: a text cell reads as a quoted field does (its text, never
// split), a number cell as an unquoted one; an empty cell is missing.
class GridRecords : public RecordSource {
public:
    GridRecords(const CellGrid& grid, std::size_t firstRow) : m_grid(grid), m_first(firstRow), m_row(firstRow) {}
    void restart() override { m_row = m_first; }
    bool atEnd() const override { return m_row >= m_grid.size(); }
    std::size_t next(std::vector<Field>& fields, std::size_t limit) override
    {
        fields.clear();
        const std::vector<GridCell>& row = m_grid[m_row++];
        for (std::size_t k = 0; k < row.size() && k < limit; ++k) {
            fields.push_back(fieldOf(row[k]));
        }
        return row.size();
    }

    static Field fieldOf(const GridCell& cell)
    {
        Field field;
        field.raw = cell.text;
        if (cell.isText) {
            field.inside = cell.text;
            field.quoted = true;
        }
        return field;
    }

private:
    const CellGrid& m_grid;
    std::size_t m_first;
    std::size_t m_row;
};

// The table of the records source gives (after any names line): what each
// column holds, then the cells. names and headerFields describe the names
// line, when there is one; quotesMarkRowNames says whether a first column
// quoted throughout is R's row names (text files, where quotes are the
// writer's choice), whatever its entries are.
ImportOutcome tableOfRecords(RecordSource& source, std::optional<std::vector<std::string>> names,
                             std::size_t headerFields, std::optional<Delimiter> delimiter, bool quotesMarkRowNames,
                             const ImportOptions& options);

} // namespace

ImportOutcome importRecords(std::string_view content, Delimiter delimiter, const ImportOptions& options)
{
    std::vector<Field> fields;

    // The first record: names, when every field is one (each field decoded
    // to UTF-8 on its own, as the fast reading decodes its first line).
    std::optional<std::vector<std::string>> names;
    std::size_t headerFields = 0;
    std::size_t dataStart = 0;
    if (!content.empty()) {
        RecordScanner first(content, delimiter);
        headerFields = first.next(fields, Limit);
        names = namesOfFields(rawFields(fields));
        if (names) {
            dataStart = first.position();
        }
    }
    TextRecords records(content.substr(dataStart), delimiter);
    return tableOfRecords(records, std::move(names), headerFields, delimiter, true, options);
}

ImportOutcome importCellGrid(const CellGrid& grid, const ImportOptions& options)
{
    // A first row of names: every cell text (or empty), at least one a name.
    std::optional<std::vector<std::string>> names;
    std::size_t headerFields = 0;
    if (!grid.empty()) {
        std::vector<std::string_view> texts;
        bool allText = true;
        for (const GridCell& cell : grid.front()) {
            allText = allText && (cell.isText || cell.text.empty());
            texts.push_back(cell.text);
        }
        if (allText) {
            names = namesOfFields(texts);
            headerFields = texts.size();
        }
    }
    GridRecords records(grid, names ? 1 : 0);
    // No delimiter: a cell's text is never split, and a comma is no decimal
    // point. A text cell is no writer's mark of row names.
    return tableOfRecords(records, std::move(names), headerFields, std::nullopt, false, options);
}

namespace {

ImportOutcome tableOfRecords(RecordSource& source, std::optional<std::vector<std::string>> names,
                             std::size_t headerFields, std::optional<Delimiter> delimiter, bool quotesMarkRowNames,
                             const ImportOptions& options)
{
    // The byte the fields' rules compare with (none for a sheet's cells: no comma is a decimal point).
    const char byte = delimiter ? delimiterChar(*delimiter) : '\0';
    std::vector<Field> fields;

    // First reading: what each column holds, and the first failure in file order.
    std::vector<ColumnFacts> columns(Limit + 1);
    FirstFailure firstFailure;
    std::int64_t rows = 0;
    std::size_t widest = 0;
    source.restart();
    while (!source.atEnd()) {
        const std::size_t count = source.next(fields, Limit);
        ++rows;
        if (rows > options.maxLines) {
            ImportFailure failure;
            failure.kind = ImportFailure::Kind::TooManyLines;
            failure.message = "The file has more than " + std::to_string(options.maxLines)
                              + " lines, more cases than the program can hold.";
            return failedImport(std::move(failure));
        }
        if (count > static_cast<std::size_t>(DataSet::MaxColumn)) {
            firstFailure.offer(ImportFailure::Kind::TooManyFields, rows, DataSet::MaxColumn + 1);
        }
        widest = std::max(widest, std::min(count, static_cast<std::size_t>(DataSet::MaxColumn)));
        for (std::size_t k = 0; k < fields.size() && k < static_cast<std::size_t>(DataSet::MaxColumn); ++k) {
            ColumnFacts& column = columns[k + 1];
            float value = 0;
            const Entry entry = entryOf(fields[k], byte, value);
            column.bare = column.bare || !fields[k].quoted || fields[k].inside.empty();
            if (entry == Entry::OutOfRange && column.firstOutOfRange == 0) {
                column.firstOutOfRange = rows;
            }
            if (entry == Entry::Number || entry == Entry::OutOfRange) {
                column.numbers = true;
            } else if (entry == Entry::Text || entry == Entry::Invalid) {
                column.invalid = column.invalid || entry == Entry::Invalid;
                column.texts += entry == Entry::Text ? 1 : 0;
                if (column.firstOther == 0) {
                    column.firstOther = rows;
                    column.firstOtherEntry = std::string(fields[k].raw);
                }
                if (entry == Entry::Invalid && column.firstInvalid == 0) {
                    column.firstInvalid = rows;
                    column.firstInvalidEntry = std::string(fields[k].raw);
                }
            }
            if (entry == Entry::Text && !column.numbers && !column.invalid) {
                std::string label = decodeToUtf8(fields[k].text());
                if (column.codes.emplace(label, static_cast<std::int32_t>(column.labels.size()) + 1).second) {
                    column.labels.push_back(std::move(label));
                }
            }
        }
    }

    // R's row names are the case labels, not a variable: a first column of
    // text under an empty first name, or under a names line one field short
    // of the data; and, in a text file, a first column quoted throughout
    // under an empty first name, numbers included (write.csv quotes its row
    // names "1", "2", ... but never a number of the data).
    bool caseLabels = false;
    if (names && widest >= 2) {
        const bool emptyFirstName = (*names)[1].empty();
        const bool textLabels = columns[1].categorical() && (emptyFirstName || headerFields + 1 == widest);
        const bool quotedLabels = quotesMarkRowNames && emptyFirstName && !columns[1].bare;
        caseLabels = textLabels || quotedLabels;
    }
    const std::size_t offset = caseLabels ? 1 : 0;

    for (std::size_t k = 1 + offset; k <= widest; ++k) {
        const ColumnFacts& column = columns[k];
        if (column.firstOutOfRange != 0) {
            firstFailure.offer(ImportFailure::Kind::OutOfRange, column.firstOutOfRange, static_cast<std::int32_t>(k));
        }
        // Among numbers, the first entry that is not one; among text, the
        // first entry that is no text.
        if (column.firstOther != 0 && !column.categorical()) {
            const bool amongNumbers = column.numbers;
            firstFailure.offer(ImportFailure::Kind::InvalidEntry,
                               amongNumbers ? column.firstOther : column.firstInvalid, static_cast<std::int32_t>(k),
                               amongNumbers ? column.firstOtherEntry : column.firstInvalidEntry);
        }
    }
    if (firstFailure.failure) {
        return failedImport(std::move(*firstFailure.failure));
    }

    const auto numVariables = static_cast<std::int32_t>(widest - offset);
    ImportOutcome outcome = allocateTable(rows, numVariables, options, false);
    if (!outcome.ok()) {
        return outcome;
    }
    DataSet& dataSet = *outcome;

    // Second reading: the cells.
    std::vector<std::string> labels;
    if (caseLabels) {
        labels.resize(static_cast<std::size_t>(rows) + 1);
    }
    source.restart();
    for (std::int32_t row = 1; row <= rows; ++row) {
        source.next(fields, Limit);
        float* cell = dataSet.rowData(row);
        std::fill(cell + 1, cell + numVariables + 1, MissingValue);
        for (std::size_t k = 0; k < fields.size() && k < widest; ++k) {
            const ColumnFacts& column = columns[k + 1];
            if (caseLabels && k == 0) {
                labels[static_cast<std::size_t>(row)] = decodeToUtf8(fields[k].text());
                continue;
            }
            float value = 0;
            const Entry entry = entryOf(fields[k], byte, value);
            if (entry == Entry::Number || entry == Entry::Missing) {
                cell[k + 1 - offset] = value;
            } else if (entry == Entry::Text) {
                cell[k + 1 - offset] = static_cast<float>(column.codes.at(decodeToUtf8(fields[k].text())));
            }
        }
    }

    dataSet.setNumVariables(numVariables);
    for (std::int32_t v = 1; v <= numVariables; ++v) {
        const ColumnFacts& column = columns[static_cast<std::size_t>(v) + offset];
        if (column.categorical()) {
            dataSet.setCategories(v, column.labels);
        }
    }
    if (names) {
        std::vector<std::string> variableNames = std::move(*names);
        if (caseLabels && variableNames[1].empty()) {
            variableNames.erase(variableNames.begin() + 1);
        }
        dataSet.setVariableNames(std::move(variableNames));
    }
    if (caseLabels) {
        dataSet.setCaseLabels(std::move(labels));
    }
    return outcome;
}

} // namespace

bool splitsEvenly(std::string_view sample, Delimiter delimiter)
{
    // Every line of the sample (a names line may be one field short) the
    // same count of fields, more than one.
    std::vector<Field> fields;
    RecordScanner scanner(sample, delimiter);
    std::size_t headerCount = 0;
    std::size_t count = 0;
    bool even = true;
    for (std::int64_t record = 0; even && !scanner.atEnd(); ++record) {
        const std::size_t n = scanner.next(fields, 0);
        if (n == 0) {
            continue;
        }
        if (record == 0) {
            headerCount = n;
        } else if (count == 0) {
            count = n;
        } else {
            even = n == count;
        }
    }
    if (count == 0) {
        count = headerCount;
    }
    return even && count >= 2 && (headerCount == count || headerCount + 1 == count);
}

} // namespace orvalis
