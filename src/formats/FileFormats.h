// Data files other than delimited text (SPSS, Stata, SAS, Excel, OpenDocument), told apart by their content, and the
// one import entry point for any file.
#pragma once

#include "data/DataImport.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

namespace orvalis {

enum class FileFormat {
    DelimitedText,
    SpssSystem,   // .sav, .zsav
    SpssPortable, // .por
    Stata,        // .dta
    Sas,          // .sas7bdat
    SasTransport, // .xpt
    Xlsx,         // Excel 2007 and later
    Ods,          // OpenDocument spreadsheet
};

// The format the file's first bytes show (magic numbers; a ZIP archive is an
// OpenDocument spreadsheet by its stored type, any other one an Excel workbook). The file name's extension decides only
// between formats whose first bytes say nothing (an SPSS portable file, a SAS transport file of an unknown version);
// everything else is delimited text.
FileFormat detectFileFormat(std::string_view bytes, std::string_view fileName);

// The kind of file, as the import summary's first line names it ("SPSS
// file"); empty for delimited text.
const char* fileKindName(FileFormat format);

// Options of the formats beyond delimited text.
struct FormatOptions {
    // The sheet of a workbook to read, by name; empty: the first, or the one
    // chooseSheet picks when the workbook has several.
    std::string sheet;
    // Asked for a sheet among several (the window asks the user); returns the
    // name, or nothing to cancel the import (a Cancelled failure).
    std::function<std::optional<std::string>(const std::vector<std::string>& sheets)> chooseSheet;
};

// Reads the file at path (through FileContent: regular files only, or pipes
// where the import options accept them, never a file that changes while it is
// read) and imports it by its format: delimited text with the delimiter, the
// others by their own rules (each format's file in src/formats). A damaged or
// truncated file is a FileError failure with the reader's reason.
ImportOutcome importAnyFile(const std::string& path, Delimiter delimiter, const ImportOptions& options = {},
                            const FormatOptions& formatOptions = {});

// The bytes of a file already read, imported by their format (the fuzzer's
// entry). fileName only helps detection and messages.
ImportOutcome importAnyBytes(std::string_view bytes, std::string_view fileName, Delimiter delimiter,
                             const ImportOptions& options = {}, const FormatOptions& formatOptions = {});

} // namespace orvalis
