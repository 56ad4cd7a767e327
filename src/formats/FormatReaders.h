// The readers behind importAnyBytes, one per library: ReadStat for the statistical packages' files, libzip and expat
// for workbooks.
#pragma once

#include "formats/FileFormats.h"

#include <memory>
#include <string_view>
#include <vector>

namespace orvalis {

// An SPSS, Stata or SAS file through ReadStat (StatFiles.cpp).
ImportOutcome importStatFile(std::string_view bytes, FileFormat format, const ImportOptions& options);

// The bytes of the texts a sheet's cells view, kept in blocks that never
// move, so that the views stay valid while the store lives (and when it is
// moved).
class TextStore {
public:
    // A view of a copy of text (empty: an empty view).
    std::string_view keep(std::string_view text);

private:
    static constexpr std::size_t BlockBytes = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0; // bytes used of the last block
};

// The cells of one sheet of an Excel or OpenDocument workbook
// (Spreadsheets.cpp), or the failure; dates noted in notes. The grid's cells
// view texts that texts keeps.
struct SheetCells {
    CellGrid grid;
    std::vector<std::string> notes;
    TextStore texts;
};
// Reads the sheet in one linear pass over its XML, never holding a part whole
// and never recursing on its nesting. Every cell and text byte kept is counted
// first against one budget of 256 MB (a quarter of availableMemory where that
// is less; 0: ask the system): a workbook that would need more is refused
// (OutOfMemory) with the bytes it would need, and so is a part that unpacks
// to more than 1 GB or half the memory. A damaged archive or XML, a document
// type declaration, a row or column beyond a sheet's last, or a reference to a
// missing shared string is a FileError failure with the reason. A stop asked
// for through stop ends the reading at its next block of XML (Cancelled).
Outcome<SheetCells, ImportFailure> readSheet(std::string_view bytes, FileFormat format, const FormatOptions& options,
                                             std::uint64_t availableMemory = 0, std::stop_token stop = {});

// A FileError failure with this message, its title and reason filled in.
ImportFailure fileFailure(std::string message);

} // namespace orvalis
