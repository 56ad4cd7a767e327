// One sheet of an Excel (.xlsx) or OpenDocument (.ods) workbook as a grid of cells: the archive through libzip, the XML
// through pugixml.
#include "common/NumberText.h"
#include "common/SystemMemory.h"
#include "common/TextEscape.h"
#include "formats/FormatReaders.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

namespace orvalis {
namespace {

// The most bytes one member of the archive may unpack to: a small archive
// that claims gigabytes (a "zip bomb") is refused, not unpacked.
constexpr zip_uint64_t MaxMemberBytes = zip_uint64_t{1} << 30;

// More rows or columns than any spreadsheet program writes.
constexpr std::size_t MaxRows = std::size_t{1} << 21;
constexpr std::size_t MaxColumns = 1 << 14;

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

class Archive {
public:
    // Opens bytes as a ZIP archive; failed() says why not.
    explicit Archive(std::string_view bytes)
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

    // A member's bytes, or none when the archive has no such member; throws
    // the reason when the member cannot be unpacked.
    std::optional<std::string> member(const std::string& name) const
    {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat(m_archive.get(), name.c_str(), 0, &stat) != 0) {
            return std::nullopt;
        }
        if ((stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > MaxMemberBytes || stat.size > availableMemory() / 2) {
            throw std::runtime_error("its part " + name + " unpacks to more than the memory available");
        }
        zip_file_t* file = zip_fopen(m_archive.get(), name.c_str(), 0);
        if (file == nullptr) {
            throw std::runtime_error("its part " + name
                                     + " cannot be unpacked: " + zip_error_strerror(zip_get_error(m_archive.get())));
        }
        std::string text(static_cast<std::size_t>(stat.size), '\0');
        const zip_int64_t read = zip_fread(file, text.data(), stat.size);
        const std::string reason = read < 0 ? zip_error_strerror(zip_file_get_error(file)) : "";
        zip_fclose(file);
        if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) {
            throw std::runtime_error("its part " + name + " is damaged" + (reason.empty() ? "" : ": " + reason));
        }
        return text;
    }

private:
    std::unique_ptr<zip_t, ZipCloser> m_archive;
    std::string m_error;
};

pugi::xml_document parsed(const std::string& text, const std::string& name)
{
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!result) {
        throw std::runtime_error("its part " + name + " is not well-formed XML (" + result.description() + ")");
    }
    return document;
}

// The element's local name, without its namespace prefix.
std::string_view localName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view name)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (localName(c) == name) {
            return c;
        }
    }
    return {};
}

// The attribute of node whose local name is name.
pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view name)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        std::string_view full = a.name();
        const std::size_t colon = full.find(':');
        if ((colon == std::string_view::npos ? full : full.substr(colon + 1)) == name) {
            return a;
        }
    }
    return {};
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

// The cells a sheet may hold: an OpenDocument row repeated a million times
// with thousands of repeated cells is a few bytes that would unpack to more
// cells than the memory holds.
// A cell takes about 40 bytes and its row's share; a sheet may take about a
// twentieth of the memory available.
std::size_t cellBudget(std::uint64_t memory)
{
    const std::uint64_t room = memory != 0 ? memory : availableMemory();
    return static_cast<std::size_t>(std::max<std::uint64_t>(std::uint64_t{1} << 16, room / 1024));
}

// Puts cell into grid at (row, column), growing the grid; budget counts down
// the cells the sheet may still have.
void place(CellGrid& grid, std::size_t row, std::size_t column, GridCell cell, std::size_t& budget)
{
    if (row >= MaxRows || column >= MaxColumns) {
        throw std::runtime_error("a cell lies beyond the last row or column a sheet can have");
    }
    if (budget == 0) {
        throw std::runtime_error("it holds more cells than the memory available can take");
    }
    --budget;
    if (grid.size() <= row) {
        grid.resize(row + 1);
    }
    if (grid[row].size() <= column) {
        grid[row].resize(column + 1);
    }
    grid[row][column] = std::move(cell);
}

// The user cancelled the choice of a sheet.
struct SheetChoiceCancelled {};

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
            throw SheetChoiceCancelled{};
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
            list += (list.empty() ? "" : ", ") + name;
        }
        throw std::invalid_argument("the workbook has no sheet named " + wanted + " (its sheets: " + list + ")");
    }
    return static_cast<std::size_t>(found - names.begin());
}

// ---- Excel ------------------------------------------------------------------

// Whether a number format shows a date or a time: the built-in formats 14 to
// 22 and 45 to 47, or a format code with d, y, h or s outside quotes and
// brackets (an m alone may be minutes or months: only with the others).
bool isDateFormatCode(const std::string& code)
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

SheetCells readXlsx(const Archive& archive, const FormatOptions& options, std::uint64_t memory)
{
    const std::optional<std::string> workbookText = archive.member("xl/workbook.xml");
    const std::optional<std::string> relationsText = archive.member("xl/_rels/workbook.xml.rels");
    if (!workbookText || !relationsText) {
        throw std::runtime_error("it has no workbook part");
    }
    const pugi::xml_document workbook = parsed(*workbookText, "xl/workbook.xml");
    const pugi::xml_document relations = parsed(*relationsText, "xl/_rels/workbook.xml.rels");

    // The sheet: the first, the one named, or the one chosen.
    std::vector<std::string> names;
    std::vector<std::string> ids;
    for (pugi::xml_node sheet : child(child(workbook, "workbook"), "sheets").children()) {
        if (localName(sheet) == "sheet") {
            names.push_back(sheet.attribute("name").value());
            ids.push_back(attribute(sheet, "id").value());
        }
    }
    const std::string relation = ids[chosenSheet(names, options)];
    std::string target;
    for (pugi::xml_node r : child(relations, "Relationships").children()) {
        if (std::string_view(r.attribute("Id").value()) == relation) {
            target = r.attribute("Target").value();
        }
    }
    const std::optional<std::string> sheetText = archive.member(memberPath(target));
    if (target.empty() || !sheetText) {
        throw std::runtime_error("its sheet part " + target + " is missing");
    }

    // Shared strings: each item's text runs, joined (phonetic runs left out).
    std::vector<std::string> strings;
    if (const std::optional<std::string> text = archive.member("xl/sharedStrings.xml")) {
        const pugi::xml_document shared = parsed(*text, "xl/sharedStrings.xml");
        for (pugi::xml_node item : child(shared, "sst").children()) {
            if (localName(item) != "si") {
                continue;
            }
            std::string joined;
            for (const pugi::xpath_node& t :
                 item.select_nodes(".//*[local-name()='t' and not(ancestor::*[local-name()='rPh'])]")) {
                joined += t.node().child_value();
            }
            strings.push_back(std::move(joined));
        }
    }

    // Styles whose number format is a date or a time.
    std::vector<bool> dateStyles;
    if (const std::optional<std::string> text = archive.member("xl/styles.xml")) {
        const pugi::xml_document styles = parsed(*text, "xl/styles.xml");
        const pugi::xml_node root = child(styles, "styleSheet");
        std::map<long, bool> customDates;
        for (pugi::xml_node format : child(root, "numFmts").children()) {
            customDates[format.attribute("numFmtId").as_int()] =
                isDateFormatCode(format.attribute("formatCode").value());
        }
        for (pugi::xml_node xf : child(root, "cellXfs").children()) {
            const long id = xf.attribute("numFmtId").as_int();
            const bool builtIn = (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
            const auto custom = customDates.find(id);
            dateStyles.push_back(builtIn || (custom != customDates.end() && custom->second));
        }
    }

    SheetCells result;
    std::size_t budget = cellBudget(memory);
    std::set<std::size_t> dateColumns;
    const pugi::xml_document sheet = parsed(*sheetText, memberPath(target));
    std::size_t nextRow = 0;
    for (pugi::xml_node row : child(child(sheet, "worksheet"), "sheetData").children()) {
        if (localName(row) != "row") {
            continue;
        }
        const unsigned long number = row.attribute("r").as_ullong(nextRow + 1);
        if (number == 0 || number > MaxRows) {
            throw std::runtime_error("a row lies beyond the last row a sheet can have");
        }
        const std::size_t r = number - 1;
        nextRow = r + 1;
        std::size_t nextColumn = 0;
        for (pugi::xml_node cell : row.children()) {
            if (localName(cell) != "c") {
                continue;
            }
            const char* reference = cell.attribute("r").value();
            const std::size_t c = *reference != '\0' ? columnIndex(reference) : nextColumn;
            nextColumn = c + 1;
            const std::string type = cell.attribute("t").value();
            const std::string value = child(cell, "v").child_value();
            GridCell out;
            if (type == "s") {
                const unsigned long index = std::strtoul(value.c_str(), nullptr, 10);
                if (value.empty() || index >= strings.size()) {
                    throw std::runtime_error("a cell refers to a shared string that does not exist");
                }
                out = {strings[index], true};
            } else if (type == "inlineStr") {
                std::string joined;
                for (const pugi::xpath_node& t : cell.select_nodes(".//*[local-name()='t']")) {
                    joined += t.node().child_value();
                }
                out = {joined, true};
            } else if (type == "str" || type == "e") {
                out = {value, true}; // a formula's text result, or an error such as #DIV/0!
            } else {
                out = {value, false}; // a number (a formula's cached value), or a boolean as 0 or 1
                const unsigned long style = cell.attribute("s").as_ullong(0);
                if (!value.empty() && style < dateStyles.size() && dateStyles[style]) {
                    dateColumns.insert(c);
                }
            }
            if (!out.text.empty()) {
                place(result.grid, r, c, std::move(out), budget);
            }
        }
    }
    for (const std::size_t c : dateColumns) {
        result.notes.push_back("Column " + columnLetters(c)
                               + ": dates or times, read as their serial numbers (days since 1899-12-30)");
    }
    return result;
}

// ---- OpenDocument -----------------------------------------------------------

// Days since 1899-12-30 of an ISO date (with an optional time), or NaN.
double serialOfDate(const std::string& text)
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    double second = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d", &year, &month, &day) != 3 || month < 1 || month > 12 || day < 1
        || day > 31) {
        return std::nan("");
    }
    if (const std::size_t t = text.find('T'); t != std::string::npos) {
        std::sscanf(text.c_str() + t + 1, "%d:%d:%lf", &hour, &minute, &second);
    }
    // Days from the civil date (Howard Hinnant's algorithm), then from 1899-12-30.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = static_cast<long>(era) * 146097 + doe - 719468; // since 1970-01-01
    return static_cast<double>(days + 25569) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

// Days of an ISO duration such as PT12H30M00S, or NaN.
double daysOfDuration(const std::string& text)
{
    double hours = 0;
    double minutes = 0;
    double seconds = 0;
    if (std::sscanf(text.c_str(), "PT%lfH%lfM%lfS", &hours, &minutes, &seconds) < 1) {
        return std::nan("");
    }
    return (hours * 3600 + minutes * 60 + seconds) / 86400;
}

// A cell's text: its paragraphs, joined by line breaks (spaces and tabs as
// the format marks them).
std::string paragraphText(const pugi::xml_node& cell)
{
    std::string text;
    bool first = true;
    for (pugi::xml_node p : cell.children()) {
        if (localName(p) != "p") {
            continue;
        }
        if (!first) {
            text += '\n';
        }
        first = false;
        for (const pugi::xpath_node& piece : p.select_nodes(".//node()")) {
            const pugi::xml_node node = piece.node();
            if (node.type() == pugi::node_pcdata) {
                text += node.value();
            } else if (localName(node) == "s") {
                text.append(static_cast<std::size_t>(std::max(1, attribute(node, "c").as_int(1))), ' ');
            } else if (localName(node) == "tab") {
                text += '\t';
            }
        }
    }
    return text;
}

void collectRows(const pugi::xml_node& parent, std::vector<pugi::xml_node>& rows)
{
    for (pugi::xml_node node : parent.children()) {
        const std::string_view name = localName(node);
        if (name == "table-row") {
            rows.push_back(node);
        } else if (name == "table-row-group" || name == "table-header-rows" || name == "table-rows") {
            collectRows(node, rows);
        }
    }
}

SheetCells readOds(const Archive& archive, const FormatOptions& options, std::uint64_t memory)
{
    const std::optional<std::string> contentText = archive.member("content.xml");
    if (!contentText) {
        throw std::runtime_error("it has no content part");
    }
    const pugi::xml_document content = parsed(*contentText, "content.xml");
    const pugi::xml_node spreadsheet = child(child(child(content, "document-content"), "body"), "spreadsheet");
    std::vector<pugi::xml_node> tables;
    std::vector<std::string> names;
    for (pugi::xml_node t : spreadsheet.children()) {
        if (localName(t) == "table") {
            tables.push_back(t);
            names.push_back(attribute(t, "name").value());
        }
    }
    const pugi::xml_node table = tables[chosenSheet(names, options)];

    SheetCells result;
    std::size_t budget = cellBudget(memory);
    std::set<std::size_t> dateColumns;
    std::vector<pugi::xml_node> rows;
    collectRows(table, rows);
    std::size_t r = 0;
    for (const pugi::xml_node& row : rows) {
        const std::size_t rowRepeat = std::max<std::size_t>(1, attribute(row, "number-rows-repeated").as_ullong(1));
        std::vector<std::pair<std::size_t, GridCell>> cells;
        std::size_t c = 0;
        for (pugi::xml_node cell : row.children()) {
            const std::string_view name = localName(cell);
            if (name != "table-cell" && name != "covered-table-cell") {
                continue;
            }
            const std::size_t repeat =
                std::max<std::size_t>(1, attribute(cell, "number-columns-repeated").as_ullong(1));
            const std::string type = attribute(cell, "value-type").value();
            GridCell out;
            if (type == "float" || type == "percentage" || type == "currency") {
                out = {attribute(cell, "value").value(), false};
            } else if (type == "boolean") {
                out = {std::string_view(attribute(cell, "boolean-value").value()) == "true" ? "1" : "0", false};
            } else if (type == "date" || type == "time") {
                const double days = type == "date" ? serialOfDate(attribute(cell, "date-value").value())
                                                   : daysOfDuration(attribute(cell, "time-value").value());
                out = {std::isnan(days) ? paragraphText(cell) : formatDouble(days), std::isnan(days)};
                if (!std::isnan(days)) {
                    dateColumns.insert(c);
                }
            } else if (!type.empty() || child(cell, "p")) {
                out = {paragraphText(cell), true};
            }
            if (!out.text.empty()) {
                if (c + repeat > MaxColumns) {
                    throw std::runtime_error("a cell lies beyond the last column a sheet can have");
                }
                for (std::size_t k = 0; k < repeat; ++k) {
                    cells.emplace_back(c + k, out);
                }
            }
            c += std::min(repeat, MaxColumns);
        }
        // Empty rows repeated to the sheet's end take no room.
        if (!cells.empty()) {
            if (r + rowRepeat > MaxRows) {
                throw std::runtime_error("a row lies beyond the last row a sheet can have");
            }
            for (std::size_t k = 0; k < rowRepeat; ++k) {
                for (const auto& [column, cell] : cells) {
                    place(result.grid, r + k, column, cell, budget);
                }
            }
        }
        r += std::min(rowRepeat, MaxRows);
    }
    for (const std::size_t column : dateColumns) {
        result.notes.push_back("Column " + columnLetters(column)
                               + ": dates or times, read as their serial numbers (days since 1899-12-30)");
    }
    return result;
}

} // namespace

Outcome<SheetCells, ImportFailure> readSheet(std::string_view bytes, FileFormat format, const FormatOptions& options,
                                             std::uint64_t availableMemory)
{
    const char* what = format == FileFormat::Xlsx ? "an Excel workbook" : "an OpenDocument spreadsheet";
    const Archive archive(bytes);
    if (archive.failed()) {
        return fileFailure(std::string("The file could not be read as ") + what + ": it is not a sound ZIP archive ("
                           + archive.error() + ").");
    }
    try {
        return format == FileFormat::Xlsx ? readXlsx(archive, options, availableMemory)
                                          : readOds(archive, options, availableMemory);
    } catch (const SheetChoiceCancelled&) {
        ImportFailure failure = fileFailure("The import was cancelled.");
        failure.kind = ImportFailure::Kind::Cancelled;
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
