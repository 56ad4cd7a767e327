// The readers behind importAnyBytes, one per library: ReadStat for the statistical packages' files, libzip and pugixml
// for workbooks.
#pragma once

#include "formats/FileFormats.h"

#include <string_view>

namespace orvalis {

// An SPSS, Stata or SAS file through ReadStat (StatFiles.cpp).
ImportOutcome importStatFile(std::string_view bytes, FileFormat format, const ImportOptions& options);

// The cells of one sheet of an Excel or OpenDocument workbook
// (Spreadsheets.cpp), or the failure; dates noted in notes.
struct SheetCells {
    CellGrid grid;
    std::vector<std::string> notes;
};
// availableMemory bounds the cells (0: ask the system).
Outcome<SheetCells, ImportFailure> readSheet(std::string_view bytes, FileFormat format, const FormatOptions& options,
                                             std::uint64_t availableMemory = 0);

// A FileError failure with this message, its title and reason filled in.
ImportFailure fileFailure(std::string message);

} // namespace orvalis
