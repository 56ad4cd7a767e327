// Import of delimited numeric text files into a DataSet, and the import summary text.
#pragma once

#include "common/Outcome.h"
#include "data/DataSet.h"
#include "data/Delimiter.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// The caption of the box in which the window shows an import failure.
inline constexpr const char* ImportErrorTitle = "Data Editor";

// Why an import produced no table: the refusal (message and title), what kind
// of failure it was, and where in the file.
struct ImportFailure : Refusal {
    enum class Kind {
        InvalidEntry,  // a field that is neither a number nor a missing-value marker
        OutOfRange,    // a number beyond the single-precision range
        TooManyFields, // a line with more than 1000 fields
        TooManyLines,  // more lines than a 32-bit count holds
        FileError,     // the file could not be opened or read, or is not a regular file
        OutOfMemory,   // the table is larger than the memory available, or could not be allocated
        Encoding,      // the file is UTF-16 or UTF-32 text
        Cancelled,     // the user cancelled a choice the import asked for (a workbook's sheet), or the import
    };
    Kind kind = Kind::InvalidEntry;
    std::int64_t row = 0;    // 1-based line of the field, where there is one
    std::int32_t column = 0; // 1-based field position, where there is one
    std::string entry;       // the field's text, for an invalid entry
    // Another delimiter that reads the file cleanly, for an invalid entry:
    // a fact the front ends word as advice (withDelimiterAdvice).
    std::optional<Delimiter> likelyDelimiter;
};

// The refusal's message, with the likely delimiter (where there is one) said
// at the end of its second line: " The file looks comma-delimited: " followed
// by advise(that delimiter) and a full stop. Each front end words its own
// advice ("choose Comma Delimited", "use --delimiter comma").
std::string withDelimiterAdvice(const ImportFailure& failure,
                                const std::function<std::string(const DelimiterInfo&)>& advise);

// Either the new data set or why there is none. A failed import produces no
// partial table: the caller keeps whatever it had.
using ImportOutcome = Outcome<DataSet, ImportFailure>;

struct ImportOptions {
    // Reading threads; 0 picks one per core for large inputs. The outcome
    // (table, counts and the failure reported) is the same for any count.
    unsigned threads = 0;
    // The most lines a file may have; lower only in tests.
    std::int64_t maxLines = std::numeric_limits<std::int32_t>::max();
    // Bytes the table may take; 0 asks the system (availableMemory()) for
    // tables above 16 MB, smaller ones always fit.
    std::uint64_t availableMemory = 0;
    // ImportDataFile: whether a pipe may be read (the command line); the
    // window refuses everything but regular files.
    bool acceptPipes = false;
    // ImportDataFile reads a regular file of at least streamAbove bytes in
    // blocks of streamBlock bytes, twice, instead of holding it whole beside
    // the table (the same outcome; smaller only in tests).
    std::uint64_t streamAbove = std::uint64_t{256} << 20;
    std::size_t streamBlock = std::size_t{64} << 20;
    // Runs between the two passes of a streamed import: tests change the file there.
    std::function<void()> betweenPasses;
    // A stop asked for (the window's Cancel): a file read in blocks, or a
    // workbook's XML, stops at its next block with a Cancelled failure ("The
    // import was cancelled."). A file read whole is read to its end first.
    std::stop_token stop;
};

// The failure of an import stopped on request.
ImportOutcome cancelledImport();

// Imports the bytes of a data file. Lines end at CR, CR LF or a lone LF; every
// line is a case, a blank line included; the file's last line needs no line
// end. Each occurrence of the delimiter separates two fields. A UTF-8
// byte-order mark at the start is skipped; UTF-16 and UTF-32 text (with a
// byte-order mark, or recognised by the zero bytes of its first characters)
// is refused with a message naming the encoding. A table larger than the
// memory available is refused before it is allocated, with both sizes in the
// message. The first failure in file order (row, then column) is the one
// reported.
//
// When every field of the first line is a name (text with a letter that is
// neither a number nor a missing-value marker once surrounding blanks and
// double quotes are gone; empty fields allowed, at least one name), that line holds the variable names
// and case 1 is the next line; row numbers in messages are case numbers.
// An invalid entry's message has a second line (after "\n") quoting the entry
// and, where the file shows it, the likely cause: a first line of names with a
// number in it, or another program's missing-value marker; another delimiter
// that reads the file is left to the front end (likelyDelimiter). explain =
// false leaves that line out.
// The delimiter is a byte of the delimiter table (delimiterChar), or
// DetectDelimiter to find it from the bytes; any other byte is a caller's
// mistake (std::invalid_argument).
ImportOutcome importDataBuffer(std::string_view content, Delimiter delimiter, const ImportOptions& options = {},
                               bool explain = true);

// Reads the file at path (bytes of the local file system) and imports it.
// A file that cannot be opened or read, is not a regular file, changes while
// it is read or does not fit in memory is a FileError failure naming the path
// (see FileContent).
ImportOutcome ImportDataFile(const std::string& path, Delimiter delimiter, const ImportOptions& options = {});

// One cell of a spreadsheet's sheet: its text (a number's as the file writes
// it, "0.1", "1E-3") and whether the sheet holds it as text. An empty text is
// an empty cell. The text is a view: whoever builds the grid keeps the bytes
// (a workbook's reader keeps one copy of a text that many cells repeat).
struct GridCell {
    std::string_view text;
    bool isText = false;
};
// A sheet's rows, top to bottom, each cell left to right (a row may be
// shorter than others).
using CellGrid = std::vector<std::vector<GridCell>>;

// Imports a sheet by the rules of a delimited file's fields: a first row of
// text cells is the names (as a names line is), a number cell is a value, an
// empty cell is missing, a text cell reads as a quoted field (so "1.5" typed
// as text is a number), a text column is categorical, a column mixing numbers
// and text is refused at its first text (row and column as in the sheet,
// counting rows after the names).
ImportOutcome importCellGrid(const CellGrid& grid, const ImportOptions& options = {});

// The five-line summary the import appends to the output log, each line ending
// in CR LF: "Opened the text file: <fileName>", the two counts, two empty lines.
// After a names line, a line between the counts and the empty lines lists the
// names ("(none)" for an empty one).
// Control characters in the name are escaped ("\n"), so it stays one line.
// A variable named like the number of an imputation (".imp", "Imputation_",
// "_mi_m": DataSet::imputationVariables) gets a line of warning before the
// empty lines.
std::string FormatImportSummary(std::string_view fileName, const DataSet& dataSet);

// "Row r of Column c has an invalid entry for analysis."
std::string invalidEntryMessage(std::int64_t row, std::int32_t column);

} // namespace orvalis
