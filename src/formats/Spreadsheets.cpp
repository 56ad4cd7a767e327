// One sheet of an Excel (.xlsx) or OpenDocument (.ods) workbook as a grid of cells: the archive through libzip, the XML
// through expat as a stream, in one linear pass, with every byte and cell it keeps counted against one budget.
#include "common/NumberText.h"
#include "common/SystemMemory.h"
#include "common/TextEscape.h"
#include "formats/FormatReaders.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

namespace orvalis {

// ---- the texts the cells view ------------------------------------------------

std::string_view TextStore::keep(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    if (m_blocks.empty() || BlockBytes - m_used < text.size()) {
        // A text longer than a block gets a block of its own.
        const std::size_t size = std::max(BlockBytes, text.size());
        m_blocks.emplace_back(new char[size]);
        m_used = 0;
        if (size > BlockBytes) {
            std::copy(text.begin(), text.end(), m_blocks.back().get());
            m_used = BlockBytes; // the next text starts a new block
            return {m_blocks.back().get(), text.size()};
        }
    }
    char* at = m_blocks.back().get() + m_used;
    std::copy(text.begin(), text.end(), at);
    m_used += text.size();
    return {at, text.size()};
}

namespace {

// The most bytes one part of the archive may unpack to: a small archive that
// unpacks to gigabytes (a "zip bomb") is refused while it is read, whatever
// size its directory claims.
constexpr std::uint64_t MaxMemberBytes = std::uint64_t{1} << 30;

// The most bytes a sheet's cells and texts may take while the sheet is read
// (about ten million numeric cells); less where the memory available is small.
constexpr std::uint64_t MaxSheetBytes = std::uint64_t{256} << 20;

// More rows or columns than any spreadsheet program writes.
constexpr std::size_t MaxRows = std::size_t{1} << 21;
constexpr std::size_t MaxColumns = 1 << 14;

// The file needs more than the sheet's budget: the bytes it would need.
struct OverBudget {
    std::uint64_t needed;
    std::uint64_t limit;
};

// a * b, or the largest value where it overflows.
std::uint64_t saturatedProduct(std::uint64_t a, std::uint64_t b)
{
    return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b ? std::numeric_limits<std::uint64_t>::max()
                                                                      : a * b;
}

std::uint64_t saturatedSum(std::uint64_t a, std::uint64_t b)
{
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// Every byte the reader keeps for a sheet (cells, texts, shared strings) is
// counted here before it is copied; a request beyond the limit throws
// OverBudget with what the file would need.
class Budget {
public:
    explicit Budget(std::uint64_t limit) : m_limit(limit) {}

    // Counts bytes as kept.
    void take(std::uint64_t bytes)
    {
        require(bytes);
        m_used += bytes;
    }
    // Throws unless bytes more would fit (a text still being gathered).
    void require(std::uint64_t bytes) const
    {
        const std::uint64_t needed = saturatedSum(m_used, bytes);
        if (needed > m_limit) {
            throw OverBudget{needed, m_limit};
        }
    }

private:
    std::uint64_t m_limit;
    std::uint64_t m_used = 0;
};

// The budget of a sheet for memory bytes available (0: ask the system).
std::uint64_t sheetBudget(std::uint64_t memory)
{
    const std::uint64_t room = memory != 0 ? memory : availableMemory();
    return std::min(MaxSheetBytes, room / 4);
}

// The user cancelled the choice of a sheet, or stopped the import.
struct ImportCancelled {};

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

class Archive {
public:
    // Opens bytes as a ZIP archive; failed() says why not. stop ends a part's
    // reading at its next block (Cancelled).
    Archive(std::string_view bytes, std::uint64_t memory, std::stop_token stop)
        : m_memberLimit(std::min(MaxMemberBytes, (memory != 0 ? memory : availableMemory()) / 2)),
          m_stop(std::move(stop))
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source != nullptr) {
            m_archive.reset(zip_open_from_source(source, ZIP_RDONLY, &error));
            if (!m_archive) {
                zip_source_free(source);
            }
        }
        if (!m_archive) {
            m_error = zip_error_strerror(&error);
        }
        zip_error_fini(&error);
    }

    bool failed() const { return !m_archive; }
    const std::string& error() const { return m_error; }

    bool has(const std::string& name) const
    {
        return zip_name_locate(m_archive.get(), name.c_str(), 0) >= 0;
    }

    // Hands the member's bytes to feed a block at a time, the last call with
    // last set (and possibly no bytes). Throws the reason when the member is
    // missing, damaged, or unpacks to more than the bytes a part may have:
    // counted as it is unpacked, not taken from the archive's directory.
    template <typename Feed>
    void stream(const std::string& name, Feed&& feed) const
    {
        zip_file_t* file = zip_fopen(m_archive.get(), name.c_str(), 0);
        if (file == nullptr) {
            throw std::runtime_error("its part " + escapeControlCharacters(name)
                                     + " cannot be unpacked: " + zip_error_strerror(zip_get_error(m_archive.get())));
        }
        const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
        std::unique_ptr<char[]> block(new char[BlockBytes]);
        std::uint64_t total = 0;
        for (;;) {
            if (m_stop.stop_requested()) {
                throw ImportCancelled{};
            }
            const zip_int64_t read = zip_fread(file, block.get(), BlockBytes);
            if (read < 0) {
                throw std::runtime_error("its part " + escapeControlCharacters(name)
                                         + " is damaged: " + zip_error_strerror(zip_file_get_error(file)));
            }
            total += static_cast<std::uint64_t>(read);
            if (total > m_memberLimit) {
                throw std::runtime_error("its part " + escapeControlCharacters(name) + " unpacks to more than "
                                         + formatByteSize(m_memberLimit) + ", more than a workbook's part may take");
            }
            feed(block.get(), static_cast<std::size_t>(read), read == 0);
            if (read == 0) {
                return;
            }
        }
    }

private:
    static constexpr std::size_t BlockBytes = std::size_t{1} << 16;
    std::unique_ptr<zip_t, ZipCloser> m_archive;
    std::string m_error;
    std::uint64_t m_memberLimit;
    std::stop_token m_stop;
};

// The element's local name, without its namespace prefix.
std::string_view localName(const char* name)
{
    const std::string_view full(name);
    const std::size_t colon = full.find(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

// The value of the attribute whose local name is name, or nothing.
std::optional<std::string_view> attribute(const char** attributes, std::string_view name)
{
    for (const char** a = attributes; *a != nullptr; a += 2) {
        if (localName(a[0]) == name) {
            return std::string_view(a[1]);
        }
    }
    return std::nullopt;
}

// The decimal digits of text as a count: 0 when text starts with no digit,
// the largest count where it overflows (a repeat count of 2^64 + 5 is not 5).
std::uint64_t countOf(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return error == std::errc() ? value : 0;
}

// What a part's elements ask of the reader; the parse calls these in
// document order, and nothing recurses on the file's nesting.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const char** attributes) = 0;
    virtual void end() = 0;
    virtual void text(std::string_view text) = 0;
};

// Parses the archive's member through handler, block by block as it is
// unpacked: the part is never held whole, and no tree is built. A document
// type declaration (which no workbook has, and which could define entities
// that expand) is refused. Throws the reason when the part is not
// well-formed; rethrows what a handler threw.
void parsePart(const Archive& archive, const std::string& name, XmlHandler& handler)
{
    struct Parse {
        XmlHandler& handler;
        XML_Parser parser;
        std::exception_ptr error;
        bool doctype = false;

        // Stops the parse with the handler's exception, which must not cross expat's C frames.
        void stopWith(std::exception_ptr e)
        {
            if (!error) {
                error = std::move(e);
            }
            XML_StopParser(parser, XML_FALSE);
        }
    };
    const std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                                        XML_ParserFree);
    if (!parser) {
        throw std::bad_alloc();
    }
    Parse parse{handler, parser.get(), nullptr};
    XML_SetUserData(parser.get(), &parse);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* element, const XML_Char** attributes) {
            auto* p = static_cast<Parse*>(data);
            try {
                p->handler.start(localName(element), attributes);
            } catch (...) {
                p->stopWith(std::current_exception());
            }
        },
        [](void* data, const XML_Char*) {
            auto* p = static_cast<Parse*>(data);
            try {
                p->handler.end();
            } catch (...) {
                p->stopWith(std::current_exception());
            }
        });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int length) {
        auto* p = static_cast<Parse*>(data);
        try {
            p->handler.text(std::string_view(text, static_cast<std::size_t>(length)));
        } catch (...) {
            p->stopWith(std::current_exception());
        }
    });
    XML_SetStartDoctypeDeclHandler(parser.get(),
                                   [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
                                       auto* p = static_cast<Parse*>(data);
                                       p->doctype = true;
                                       XML_StopParser(p->parser, XML_FALSE);
                                   });
    archive.stream(name, [&](const char* bytes, std::size_t size, bool last) {
        if (XML_Parse(parser.get(), bytes, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
            if (parse.error) {
                std::rethrow_exception(parse.error);
            }
            if (parse.doctype) {
                throw std::runtime_error("its part " + escapeControlCharacters(name)
                                         + " declares a document type, which no workbook has");
            }
            throw std::runtime_error("its part " + escapeControlCharacters(name) + " is not well-formed XML ("
                                     + XML_ErrorString(XML_GetErrorCode(parser.get())) + " at line "
                                     + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ")");
        }
    });
}

// Column letters to a 0-based index: "A" is 0, "AA" is 26.
std::size_t columnIndex(std::string_view reference)
{
    std::size_t index = 0;
    for (const char c : reference) {
        if (c < 'A' || c > 'Z') {
            break;
        }
        index = index * 26 + static_cast<std::size_t>(c - 'A' + 1);
        if (index > MaxColumns) {
            throw std::runtime_error("a cell lies beyond the last column a sheet can have");
        }
    }
    return index == 0 ? 0 : index - 1;
}

std::string columnLetters(std::size_t index)
{
    std::string letters;
    for (++index; index > 0; index = (index - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (index - 1) % 26));
    }
    return letters;
}

// A row of cells gathered while its element is read: (column, cell), the
// columns rising in an OpenDocument row, in any order in an Excel one.
using PendingRow = std::vector<std::pair<std::size_t, GridCell>>;

// Puts a gathered row into the grid at rows first .. first + repeat - 1,
// counting every cell of the rows it makes (and of the grid's growth) before
// it is made.
void placeRows(CellGrid& grid, Budget& budget, std::size_t first, std::uint64_t repeat, const PendingRow& cells)
{
    if (cells.empty()) {
        return;
    }
    // Each cell counts its text as though it were copied: the import reads
    // it once per cell, however many cells share one copy.
    std::size_t width = 0;
    std::uint64_t textBytes = 0;
    for (const auto& [column, cell] : cells) {
        width = std::max(width, column + 1);
        textBytes = saturatedSum(textBytes, cell.text.size());
    }
    if (first >= MaxRows || repeat > MaxRows - first) {
        throw std::runtime_error("a row lies beyond the last row a sheet can have");
    }
    const std::size_t last = first + static_cast<std::size_t>(repeat);
    // What the rows will take, all counted before the first is made: their
    // texts, the grid's growth, the new rows, and the growth of rows already there.
    const std::size_t existing = std::min(grid.size(), last);
    // The grid grows by doubling, so that a sheet read row by row is not copied at every row.
    const std::size_t capacity = grid.capacity() >= last ? grid.capacity() : std::max(last, 2 * grid.capacity());
    std::uint64_t bytes = saturatedProduct(textBytes, repeat);
    if (grid.size() < last) {
        bytes = saturatedSum(bytes, saturatedProduct(capacity - grid.capacity(), sizeof(std::vector<GridCell>)));
        bytes = saturatedSum(bytes, saturatedProduct(last - std::max(first, grid.size()), width * sizeof(GridCell)));
    }
    for (std::size_t r = first; r < existing; ++r) {
        const std::size_t held = grid[r].capacity();
        bytes = saturatedSum(bytes, width > held ? (width - held) * sizeof(GridCell) : 0);
    }
    budget.take(bytes);
    if (grid.size() < last) {
        grid.reserve(capacity);
        grid.resize(last);
    }
    for (std::size_t r = first; r < last; ++r) {
        std::vector<GridCell>& row = grid[r];
        if (row.size() < width) {
            row.reserve(width);
            row.resize(width);
        }
        for (const auto& [column, cell] : cells) {
            row[column] = cell;
        }
    }
}


// The index of the sheet to read among names: the one options name, the one
// options.chooseSheet picks among several, or the first.
std::size_t chosenSheet(const std::vector<std::string>& names, const FormatOptions& options)
{
    if (names.empty()) {
        throw std::runtime_error("it has no sheet");
    }
    std::string wanted = options.sheet;
    if (wanted.empty() && names.size() > 1 && options.chooseSheet) {
        const std::optional<std::string> chosen = options.chooseSheet(names);
        if (!chosen) {
            throw ImportCancelled{};
        }
        wanted = *chosen;
    }
    if (wanted.empty()) {
        return 0;
    }
    const auto found = std::find(names.begin(), names.end(), wanted);
    if (found == names.end()) {
        std::string list;
        for (const std::string& name : names) {
            list += (list.empty() ? "" : ", ") + escapeControlCharacters(name);
        }
        throw std::invalid_argument("the workbook has no sheet named " + escapeControlCharacters(wanted)
                                    + " (its sheets: " + list + ")");
    }
    return static_cast<std::size_t>(found - names.begin());
}

void noteDates(SheetCells& result, const std::set<std::size_t>& dateColumns)
{
    for (const std::size_t c : dateColumns) {
        result.notes.push_back("Column " + columnLetters(c)
                               + ": dates or times, read as their serial numbers (days since 1899-12-30)");
    }
}

// ---- Excel ------------------------------------------------------------------

// Whether a number format shows a date or a time: the built-in formats 14 to
// 22 and 45 to 47, or a format code with d, y, h or s outside quotes and
// brackets (an m alone may be minutes or months: only with the others).
bool isDateFormatCode(std::string_view code)
{
    bool quoted = false;
    bool bracket = false;
    for (const char c : code) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '[') {
            bracket = true;
        } else if (!quoted && c == ']') {
            bracket = false;
        } else if (!quoted && !bracket && std::string_view("dDyYhHsS").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// The resolved path of a relationship's target inside the archive.
std::string memberPath(const std::string& target)
{
    if (!target.empty() && target.front() == '/') {
        return target.substr(1);
    }
    return "xl/" + target;
}

// The path of element names from the part's root to the current element,
// as the handlers below test it ("is this a sheet inside sheets inside workbook").
class ElementPath {
public:
    void push(std::string_view name) { m_names.emplace_back(name); }
    void pop()
    {
        if (!m_names.empty()) {
            m_names.pop_back();
        }
    }
    std::size_t depth() const { return m_names.size(); }
    // Whether the path is exactly names.
    bool is(std::initializer_list<std::string_view> names) const
    {
        return m_names.size() == names.size() && std::equal(names.begin(), names.end(), m_names.begin());
    }

private:
    std::vector<std::string> m_names;
};

// xl/workbook.xml: the sheets' names and relationship ids.
class WorkbookHandler : public XmlHandler {
public:
    std::vector<std::string> names;
    std::vector<std::string> ids;

    void start(std::string_view name, const char** attributes) override
    {
        m_path.push(name);
        if (m_path.is({"workbook", "sheets", "sheet"})) {
            names.emplace_back(attribute(attributes, "name").value_or(""));
            ids.emplace_back(attribute(attributes, "id").value_or(""));
        }
    }
    void end() override { m_path.pop(); }
    void text(std::string_view) override {}

private:
    ElementPath m_path;
};

// xl/_rels/workbook.xml.rels: the target of one relationship.
class RelationsHandler : public XmlHandler {
public:
    explicit RelationsHandler(std::string id) : m_id(std::move(id)) {}
    std::string target;

    void start(std::string_view name, const char** attributes) override
    {
        m_path.push(name);
        if (m_path.is({"Relationships", "Relationship"}) && attribute(attributes, "Id") == m_id) {
            target = std::string(attribute(attributes, "Target").value_or(""));
        }
    }
    void end() override { m_path.pop(); }
    void text(std::string_view) override {}

private:
    std::string m_id;
    ElementPath m_path;
};

// xl/styles.xml: which cell styles show a date or a time.
class StylesHandler : public XmlHandler {
public:
    std::vector<bool> dateStyles;

    void start(std::string_view name, const char** attributes) override
    {
        m_path.push(name);
        const long id = static_cast<long>(std::min<std::uint64_t>(
            countOf(attribute(attributes, "numFmtId").value_or("")), std::numeric_limits<long>::max()));
        if (m_path.is({"styleSheet", "numFmts", "numFmt"})) {
            m_customDates[id] = isDateFormatCode(attribute(attributes, "formatCode").value_or(""));
        } else if (m_path.is({"styleSheet", "cellXfs", "xf"})) {
            const bool builtIn = (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
            const auto custom = m_customDates.find(id);
            dateStyles.push_back(builtIn || (custom != m_customDates.end() && custom->second));
        }
    }
    void end() override { m_path.pop(); }
    void text(std::string_view) override {}

private:
    ElementPath m_path;
    std::map<long, bool> m_customDates;
};

// xl/sharedStrings.xml: each item's text runs joined (phonetic runs left out),
// kept once however many cells show it.
class SharedStringsHandler : public XmlHandler {
public:
    SharedStringsHandler(TextStore& store, Budget& budget) : m_store(store), m_budget(budget) {}
    std::vector<std::string_view> strings;

    void start(std::string_view name, const char**) override
    {
        ++m_depth;
        if (m_depth == 2 && name == "si") {
            m_inItem = true;
            m_joined.clear();
        } else if (m_inItem && name == "rPh" && m_phonetic == 0) {
            m_phonetic = m_depth;
        } else if (m_inItem && name == "t" && m_phonetic == 0 && m_textDepth == 0) {
            m_textDepth = m_depth;
        }
    }
    void end() override
    {
        if (m_depth == m_textDepth) {
            m_textDepth = 0;
        }
        if (m_depth == m_phonetic) {
            m_phonetic = 0;
        }
        if (m_depth == 2 && m_inItem) {
            m_inItem = false;
            m_budget.take(saturatedSum(m_joined.size(), sizeof(std::string_view)));
            strings.push_back(m_store.keep(m_joined));
        }
        --m_depth;
    }
    void text(std::string_view text) override
    {
        if (m_textDepth != 0) {
            m_budget.require(saturatedSum(m_joined.size(), text.size()));
            m_joined += text;
        }
    }

private:
    TextStore& m_store;
    Budget& m_budget;
    std::size_t m_depth = 0;
    bool m_inItem = false;
    std::size_t m_phonetic = 0; // the depth of the rPh element inside, or 0
    std::size_t m_textDepth = 0; // the depth of the t element whose text is gathered, or 0
    std::string m_joined;
};

// A sheet part: rows of cells.
class XlsxSheetHandler : public XmlHandler {
public:
    XlsxSheetHandler(SheetCells& result, Budget& budget, const std::vector<std::string_view>& strings,
                     const std::vector<bool>& dateStyles)
        : m_result(result), m_budget(budget), m_strings(strings), m_dateStyles(dateStyles)
    {
    }
    std::set<std::size_t> dateColumns;

    void start(std::string_view name, const char** attributes) override
    {
        // Depths and flags, not a path of names: a sheet may hold tens of millions of elements.
        const std::size_t depth = ++m_depth;
        if (depth == 1) {
            m_inWorksheet = name == "worksheet";
        } else if (depth == 2) {
            m_inData = m_inWorksheet && name == "sheetData";
        } else if (depth == 3 && m_inData && name == "row") {
            const std::optional<std::string_view> number = attribute(attributes, "r");
            const std::uint64_t n = number ? countOf(*number) : m_nextRow + 1;
            if (n == 0 || n > MaxRows) {
                throw std::runtime_error("a row lies beyond the last row a sheet can have");
            }
            m_row = static_cast<std::size_t>(n - 1);
            m_nextRow = m_row + 1;
            m_nextColumn = 0;
            m_cells.clear();
            m_pendingBytes = 0;
            m_inRow = true;
        } else if (m_inRow && depth == 4 && name == "c") {
            const std::string_view reference = attribute(attributes, "r").value_or("");
            m_column = !reference.empty() ? columnIndex(reference) : m_nextColumn;
            m_nextColumn = m_column + 1;
            m_type = std::string(attribute(attributes, "t").value_or(""));
            m_style = countOf(attribute(attributes, "s").value_or(""));
            m_value.clear();
            m_inlineText.clear();
            m_inCell = true;
        } else if (m_inCell && depth == 5 && name == "v") {
            m_gather = Gather::Value;
        } else if (m_inCell && depth >= 6 && name == "t" && m_type == "inlineStr" && m_gather == Gather::None) {
            m_gather = Gather::Inline;
            m_gatherDepth = depth;
        }
    }

    void end() override
    {
        const std::size_t depth = m_depth--;
        if (m_gather == Gather::Value && depth == 5) {
            m_gather = Gather::None;
        } else if (m_gather == Gather::Inline && depth == m_gatherDepth) {
            m_gather = Gather::None;
        } else if (m_inCell && depth == 4) {
            m_inCell = false;
            endCell();
        } else if (m_inRow && depth == 3) {
            m_inRow = false;
            placeRows(m_result.grid, m_budget, m_row, 1, m_cells);
        } else if (depth == 2) {
            m_inData = false;
        }
    }

    void text(std::string_view text) override
    {
        std::string& into = m_gather == Gather::Value ? m_value : m_inlineText;
        if (m_gather != Gather::None) {
            m_budget.require(saturatedSum(into.size(), text.size()));
            into += text;
        }
    }

private:
    void endCell()
    {
        GridCell out;
        if (m_type == "s") {
            std::size_t index = 0;
            const auto [end, error] = std::from_chars(m_value.data(), m_value.data() + m_value.size(), index);
            if (m_value.empty() || error != std::errc() || index >= m_strings.size()) {
                throw std::runtime_error("a cell refers to a shared string that does not exist");
            }
            out = {m_strings[index], true};
        } else if (m_type == "inlineStr") {
            out = {m_inlineText, true};
        } else if (m_type == "str" || m_type == "e") {
            out = {m_value, true}; // a formula's text result, or an error such as #DIV/0!
        } else {
            out = {m_value, false}; // a number (a formula's cached value), or a boolean as 0 or 1
            if (!m_value.empty() && m_style < m_dateStyles.size() && m_dateStyles[m_style]) {
                dateColumns.insert(m_column);
            }
        }
        if (out.text.empty()) {
            return;
        }
        if (m_type != "s") {
            // Counted again when its row is placed; until then the row's texts must fit.
            m_pendingBytes = saturatedSum(m_pendingBytes, out.text.size());
            m_budget.require(m_pendingBytes);
            out.text = m_result.texts.keep(out.text);
        }
        m_cells.emplace_back(m_column, out);
    }

    enum class Gather { None, Value, Inline };
    SheetCells& m_result;
    Budget& m_budget;
    const std::vector<std::string_view>& m_strings;
    const std::vector<bool>& m_dateStyles;
    std::size_t m_depth = 0;
    bool m_inWorksheet = false;
    bool m_inData = false;
    bool m_inRow = false;
    bool m_inCell = false;
    std::size_t m_row = 0;
    std::size_t m_nextRow = 0;
    std::size_t m_column = 0;
    std::size_t m_nextColumn = 0;
    std::string m_type;
    std::uint64_t m_style = 0;
    Gather m_gather = Gather::None;
    std::size_t m_gatherDepth = 0;
    std::string m_value;
    std::string m_inlineText;
    PendingRow m_cells;
    std::uint64_t m_pendingBytes = 0; // the texts kept for the row being read
};

SheetCells readXlsx(const Archive& archive, const FormatOptions& options, std::uint64_t memory)
{
    if (!archive.has("xl/workbook.xml") || !archive.has("xl/_rels/workbook.xml.rels")) {
        throw std::runtime_error("it has no workbook part");
    }
    // The sheet: the first, the one named, or the one chosen.
    WorkbookHandler workbook;
    parsePart(archive, "xl/workbook.xml", workbook);
    RelationsHandler relations(workbook.ids[chosenSheet(workbook.names, options)]);
    parsePart(archive, "xl/_rels/workbook.xml.rels", relations);
    const std::string& target = relations.target;
    if (target.empty() || !archive.has(memberPath(target))) {
        throw std::runtime_error("its sheet part " + target + " is missing");
    }

    SheetCells result;
    Budget budget(sheetBudget(memory));
    SharedStringsHandler shared(result.texts, budget);
    if (archive.has("xl/sharedStrings.xml")) {
        parsePart(archive, "xl/sharedStrings.xml", shared);
    }
    StylesHandler styles;
    if (archive.has("xl/styles.xml")) {
        parsePart(archive, "xl/styles.xml", styles);
    }
    XlsxSheetHandler sheet(result, budget, shared.strings, styles.dateStyles);
    parsePart(archive, memberPath(target), sheet);
    noteDates(result, sheet.dateColumns);
    return result;
}

// ---- OpenDocument -----------------------------------------------------------

// The number of days in month of year (proleptic Gregorian).
int daysInMonth(std::int64_t year, int month)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

// Reads an integer of at most digits digits at text[at], moving at past it.
std::optional<std::int64_t> integerAt(std::string_view text, std::size_t& at, std::size_t minDigits,
                                      std::size_t maxDigits)
{
    std::size_t end = at;
    while (end < text.size() && end - at < maxDigits + 1 && text[end] >= '0' && text[end] <= '9') {
        ++end;
    }
    if (end - at < minDigits || end - at > maxDigits) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    std::from_chars(text.data() + at, text.data() + end, value);
    at = end;
    return value;
}

// Days since 1899-12-30 of an ISO date with an optional time
// ("2020-01-03", "2020-01-03T12:30:00.5"), or nothing when it is no such
// date: years -9999 to 9999, each field within its range.
std::optional<double> serialOfDate(std::string_view text)
{
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    at += negative ? 1 : 0;
    const auto year = integerAt(text, at, 4, 4);
    if (!year || at >= text.size() || text[at++] != '-') {
        return std::nullopt;
    }
    const auto month = integerAt(text, at, 2, 2);
    if (!month || *month < 1 || *month > 12 || at >= text.size() || text[at++] != '-') {
        return std::nullopt;
    }
    const auto day = integerAt(text, at, 2, 2);
    const std::int64_t y0 = negative ? -*year : *year;
    if (!day || *day < 1 || *day > daysInMonth(y0, static_cast<int>(*month))) {
        return std::nullopt;
    }
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    double second = 0;
    if (at < text.size()) {
        if (text[at++] != 'T') {
            return std::nullopt;
        }
        const auto h = integerAt(text, at, 2, 2);
        if (!h || *h > 23 || at >= text.size() || text[at++] != ':') {
            return std::nullopt;
        }
        const auto m = integerAt(text, at, 2, 2);
        if (!m || *m > 59 || at >= text.size() || text[at++] != ':') {
            return std::nullopt;
        }
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), second);
        // A time zone or anything else after the seconds is no date this reader knows.
        if (error != std::errc() || end != text.data() + text.size() || !(second >= 0 && second < 60)) {
            return std::nullopt;
        }
        hour = *h;
        minute = *m;
    }
    // Days from the civil date (Howard Hinnant's algorithm), then from 1899-12-30.
    const std::int64_t mo = *month;
    const std::int64_t y = y0 - (mo <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468; // since 1970-01-01
    return static_cast<double>(days + 25569)
           + (static_cast<double>(hour) * 3600.0 + static_cast<double>(minute) * 60.0 + second) / 86400.0;
}

// Days of an ISO duration such as PT12H30M00S, or nothing.
std::optional<double> daysOfDuration(std::string_view text)
{
    if (text.substr(0, 2) != "PT") {
        return std::nullopt;
    }
    double parts[3] = {0, 0, 0};
    const char units[3] = {'H', 'M', 'S'};
    const char* at = text.data() + 2;
    const char* const end = text.data() + text.size();
    bool any = false;
    for (std::size_t k = 0; k < 3 && at != end; ++k) {
        const auto [next, error] = std::from_chars(at, end, parts[k]);
        if (error != std::errc() || next == end || *next != units[k] || !(parts[k] >= 0 && parts[k] < 1e9)) {
            return std::nullopt;
        }
        at = next + 1;
        any = true;
    }
    if (!any || at != end) {
        return std::nullopt;
    }
    return (parts[0] * 3600 + parts[1] * 60 + parts[2]) / 86400;
}

// content.xml: the sheets' names, and the cells of the sheet wanted (by its
// index, or by its name), read as the elements stream past.
class OdsContentHandler : public XmlHandler {
public:
    // wantedIndex: the sheet to read by its index; wantedName, when not empty,
    // picks it by name instead. readCells false only gathers the names.
    OdsContentHandler(SheetCells& result, Budget& budget, std::size_t wantedIndex, std::string wantedName,
                      bool readCells)
        : m_result(result), m_budget(budget), m_wantedIndex(wantedIndex), m_wantedName(std::move(wantedName)),
          m_readCells(readCells)
    {
    }
    std::vector<std::string> names;
    std::set<std::size_t> dateColumns;
    bool found = false;

    void start(std::string_view name, const char** attributes) override
    {
        const Kind parent = m_kinds.empty() ? Kind::Root : m_kinds.back();
        Kind kind = Kind::Other;
        switch (parent) {
        case Kind::Root:
            kind = name == "document-content" ? Kind::Document : Kind::Other;
            break;
        case Kind::Document:
            kind = name == "body" && !m_seenBody ? Kind::Body : Kind::Other;
            m_seenBody = m_seenBody || kind == Kind::Body;
            break;
        case Kind::Body:
            kind = name == "spreadsheet" && !m_seenSpreadsheet ? Kind::Spreadsheet : Kind::Other;
            m_seenSpreadsheet = m_seenSpreadsheet || kind == Kind::Spreadsheet;
            break;
        case Kind::Spreadsheet:
            if (name == "table") {
                kind = Kind::Table;
                startTable(attribute(attributes, "name").value_or(""));
            }
            break;
        case Kind::Table:
        case Kind::Rows:
            if (!m_reading) {
                break;
            }
            if (name == "table-row-group" || name == "table-header-rows" || name == "table-rows") {
                kind = Kind::Rows;
            } else if (name == "table-row") {
                kind = Kind::Row;
                m_rowRepeat = std::max<std::uint64_t>(1, countOf(attribute(attributes, "number-rows-repeated").value_or("1")));
                m_column = 0;
                m_cells.clear();
                m_pendingBytes = 0;
            }
            break;
        case Kind::Row:
            if (name == "table-cell" || name == "covered-table-cell") {
                kind = Kind::Cell;
                startCell(attributes);
            }
            break;
        case Kind::Cell:
            if (name == "p" && m_fromParagraphs) {
                kind = Kind::Paragraph;
                if (m_paragraphs++ > 0) {
                    append("\n", 1);
                }
            }
            break;
        case Kind::Paragraph:
        case Kind::InParagraph:
            kind = Kind::InParagraph;
            if (name == "s") {
                const std::uint64_t spaces = std::max<std::uint64_t>(1, countOf(attribute(attributes, "c").value_or("1")));
                append(" ", spaces);
            } else if (name == "tab") {
                append("\t", 1);
            }
            break;
        case Kind::Other:
            break;
        }
        m_kinds.push_back(kind);
    }

    void end() override
    {
        const Kind kind = m_kinds.back();
        m_kinds.pop_back();
        if (kind == Kind::Cell) {
            endCell();
        } else if (kind == Kind::Row) {
            endRow();
        } else if (kind == Kind::Table) {
            m_reading = false;
        }
    }

    void text(std::string_view text) override
    {
        if (!m_kinds.empty() && (m_kinds.back() == Kind::Paragraph || m_kinds.back() == Kind::InParagraph)) {
            m_budget.require(saturatedSum(m_text.size(), text.size()));
            m_text += text;
        }
    }

private:
    enum class Kind { Root, Document, Body, Spreadsheet, Table, Rows, Row, Cell, Paragraph, InParagraph, Other };

    void startTable(std::string_view name)
    {
        const std::size_t index = names.size();
        names.emplace_back(name);
        m_reading = m_readCells && !found
                    && (m_wantedName.empty() ? index == m_wantedIndex : names.back() == m_wantedName);
        found = found || m_reading;
    }

    // count copies of piece appended to the cell's text, counted first.
    void append(const char* piece, std::uint64_t count)
    {
        m_budget.require(saturatedSum(m_text.size(), count));
        if (count == 1) {
            m_text += piece;
        } else {
            m_text.append(static_cast<std::size_t>(count), piece[0]);
        }
    }

    void startCell(const char** attributes)
    {
        m_repeat = std::max<std::uint64_t>(1, countOf(attribute(attributes, "number-columns-repeated").value_or("1")));
        m_text.clear();
        m_paragraphs = 0;
        m_value.clear();
        m_fromParagraphs = false;
        const std::string_view type = attribute(attributes, "value-type").value_or("");
        auto value = [&](std::string_view name) { return attribute(attributes, name).value_or(""); };
        if (type == "float" || type == "percentage" || type == "currency") {
            m_value = value("value");
        } else if (type == "boolean") {
            m_value = value("boolean-value") == "true" ? "1" : "0";
        } else if (type == "date" || type == "time") {
            const std::optional<std::string_view> stored = attribute(attributes, type == "date" ? "date-value"
                                                                                                : "time-value");
            const std::optional<double> days =
                !stored ? std::nullopt : type == "date" ? serialOfDate(*stored) : daysOfDuration(*stored);
            if (days) {
                m_value = formatDouble(*days);
                dateColumns.insert(m_column);
            } else if (stored && !stored->empty()) {
                // A date that does not exist (a year of eleven digits, the 25th hour) is an entry as the file
                // stores it, which reads as no number: never a number made of it.
                m_value = *stored;
            } else {
                m_fromParagraphs = true;
            }
        } else {
            // Text, or a cell with no type that may still hold a paragraph.
            m_fromParagraphs = true;
        }
    }

    void endCell()
    {
        // A text cell is its paragraphs, joined by line breaks; the others their value.
        const std::string_view text = m_fromParagraphs ? std::string_view(m_text) : std::string_view(m_value);
        if (!text.empty()) {
            if (m_column >= MaxColumns || m_repeat > MaxColumns - m_column) {
                throw std::runtime_error("a cell lies beyond the last column a sheet can have");
            }
            // The text is counted when its row is placed, once for each cell that shows it; until
            // then the row's texts must fit.
            m_pendingBytes = saturatedSum(m_pendingBytes, text.size());
            m_budget.require(m_pendingBytes);
            const GridCell cell{m_result.texts.keep(text), m_fromParagraphs};
            // The repeated cells view one copy of the text.
            for (std::uint64_t k = 0; k < m_repeat; ++k) {
                m_cells.emplace_back(m_column + static_cast<std::size_t>(k), cell);
            }
        }
        m_column += static_cast<std::size_t>(std::min<std::uint64_t>(m_repeat, MaxColumns));
    }

    void endRow()
    {
        // Empty rows repeated to the sheet's end take no room.
        if (!m_cells.empty()) {
            placeRows(m_result.grid, m_budget, m_row, m_rowRepeat, m_cells);
        }
        m_row += static_cast<std::size_t>(std::min<std::uint64_t>(m_rowRepeat, MaxRows));
    }

    SheetCells& m_result;
    Budget& m_budget;
    std::size_t m_wantedIndex;
    std::string m_wantedName;
    bool m_readCells;
    std::vector<Kind> m_kinds; // the element path, as kinds: no recursion on the file's nesting
    bool m_seenBody = false;
    bool m_seenSpreadsheet = false;
    bool m_reading = false;
    std::size_t m_row = 0;
    std::uint64_t m_rowRepeat = 1;
    std::size_t m_column = 0;
    std::uint64_t m_repeat = 1;
    bool m_fromParagraphs = false; // the cell's text is its paragraphs, not its value
    std::size_t m_paragraphs = 0;
    std::string m_text;
    std::string m_value;
    PendingRow m_cells;
    std::uint64_t m_pendingBytes = 0; // the texts kept for the row being read
};

SheetCells readOds(const Archive& archive, const FormatOptions& options, std::uint64_t memory)
{
    if (!archive.has("content.xml")) {
        throw std::runtime_error("it has no content part");
    }
    SheetCells result;
    Budget budget(sheetBudget(memory));
    std::size_t index = 0;
    std::string name = options.sheet;
    if (name.empty() && options.chooseSheet) {
        // The names first, so that the user chooses before any cell is read.
        OdsContentHandler names(result, budget, 0, "", false);
        parsePart(archive, "content.xml", names);
        index = chosenSheet(names.names, options);
    }
    OdsContentHandler content(result, budget, index, name, true);
    parsePart(archive, "content.xml", content);
    if (!content.found) {
        chosenSheet(content.names, options); // names the sheets, or says there is none
    }
    noteDates(result, content.dateColumns);
    return result;
}

} // namespace

Outcome<SheetCells, ImportFailure> readSheet(std::string_view bytes, FileFormat format, const FormatOptions& options,
                                             std::uint64_t availableMemory, std::stop_token stop)
{
    const char* what = format == FileFormat::Xlsx ? "an Excel workbook" : "an OpenDocument spreadsheet";
    try {
        const Archive archive(bytes, availableMemory, std::move(stop));
        if (archive.failed()) {
            return fileFailure(std::string("The file could not be read as ") + what
                               + ": it is not a sound ZIP archive (" + archive.error() + ").");
        }
        return format == FileFormat::Xlsx ? readXlsx(archive, options, availableMemory)
                                          : readOds(archive, options, availableMemory);
    } catch (const ImportCancelled&) {
        return cancelledImport().refusal();
    } catch (const OverBudget& over) {
        ImportFailure failure = fileFailure(std::string("The file could not be read as ") + what
                                            + ": the workbook would need at least " + formatByteSize(over.needed)
                                            + " to read, more than the " + formatByteSize(over.limit)
                                            + " a sheet may take.");
        failure.kind = ImportFailure::Kind::OutOfMemory;
        return failure;
    } catch (const std::invalid_argument& error) {
        return fileFailure(std::string("The file could not be read: ") + escapeControlCharacters(error.what()) + ".");
    } catch (const std::runtime_error& error) {
        return fileFailure(std::string("The file could not be read as ") + what + ": "
                           + escapeControlCharacters(error.what()) + ".");
    } catch (const std::bad_alloc&) {
        return fileFailure(std::string("There is not enough memory to read the file as ") + what + ".");
    }
}

} // namespace orvalis
