// Telling data files apart by their first bytes, and the import of any of them.
#include "formats/FileFormats.h"

#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"
#include "data/FileContent.h"
#include "data/ImportRules.h"
#include "formats/FormatReaders.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <new>
#include <sys/stat.h>

namespace orvalis {
namespace {

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

// The file name's extension, in lower case, without the point.
std::string extensionOf(std::string_view fileName)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t point = base.find_last_of('.');
    std::string extension(point == std::string_view::npos ? std::string_view() : base.substr(point + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// SAS7BDAT's 32-byte magic number.
constexpr unsigned char SasMagic[32] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x00, 0xc2, 0xea, 0x81, 0x60, 0xb3, 0x14, 0x11, 0xcf, 0xbd, 0x92,
                                        0x08, 0x00, 0x09, 0xc7, 0x31, 0x8c, 0x18, 0x1f, 0x10, 0x11};

} // namespace

FileFormat detectFileFormat(std::string_view bytes, std::string_view fileName)
{
    if (startsWith(bytes, "$FL2") || startsWith(bytes, "$FL3")) {
        return FileFormat::SpssSystem;
    }
    if (startsWith(bytes, "<stata_dta>")) {
        return FileFormat::Stata;
    }
    // Stata 104 to 115: the version byte, then the byte order (1 or 2), then the file type 1.
    if (bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) >= 104 && static_cast<unsigned char>(bytes[0]) <= 115
        && (bytes[1] == 1 || bytes[1] == 2) && bytes[2] == 1 && bytes[3] == 0) {
        return FileFormat::Stata;
    }
    if (bytes.size() >= sizeof SasMagic
        && std::equal(std::begin(SasMagic), std::end(SasMagic), bytes.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); })) {
        return FileFormat::Sas;
    }
    if (startsWith(bytes, "HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!")
        || startsWith(bytes, "HEADER RECORD*******LIBV8   HEADER RECORD!!!!!!!")) {
        return FileFormat::SasTransport;
    }
    if (startsWith(bytes, "PK\x03\x04")) {
        // An OpenDocument file stores its type first and uncompressed.
        if (bytes.size() >= 84 && bytes.substr(30, 8) == "mimetype"
            && bytes.substr(38, 46) == "application/vnd.oasis.opendocument.spreadsheet") {
            return FileFormat::Ods;
        }
        if (extensionOf(fileName) == "ods" && bytes.find("xl/") == std::string_view::npos) {
            return FileFormat::Ods;
        }
        // Any other archive is read as a workbook, so that a damaged or
        // foreign one is refused as such, not read as text.
        return FileFormat::Xlsx;
    }
    // A portable file's signature follows 464 bytes of splash text and
    // character table, with line breaks every 80 characters.
    if (bytes.substr(0, 600).find("SPSSPORT") != std::string_view::npos || extensionOf(fileName) == "por") {
        return FileFormat::SpssPortable;
    }
    if (extensionOf(fileName) == "xpt" && startsWith(bytes, "HEADER RECORD")) {
        return FileFormat::SasTransport;
    }
    return FileFormat::DelimitedText;
}

const char* fileKindName(FileFormat format)
{
    switch (format) {
    case FileFormat::SpssSystem:
    case FileFormat::SpssPortable:
        return "SPSS file";
    case FileFormat::Stata:
        return "Stata file";
    case FileFormat::Sas:
    case FileFormat::SasTransport:
        return "SAS file";
    case FileFormat::Xlsx:
        return "Excel workbook";
    case FileFormat::Ods:
        return "OpenDocument spreadsheet";
    case FileFormat::DelimitedText:
        break;
    }
    return "";
}

ImportFailure fileFailure(std::string message)
{
    ImportFailure failure;
    failure.kind = ImportFailure::Kind::FileError;
    failure.message = std::move(message);
    return failedImport(std::move(failure)).refusal();
}

ImportOutcome importAnyBytes(std::string_view bytes, std::string_view fileName, Delimiter delimiter,
                             const ImportOptions& options, const FormatOptions& formatOptions)
{
    const FileFormat format = detectFileFormat(bytes, fileName);
    ImportOutcome outcome = [&]() -> ImportOutcome {
        switch (format) {
        case FileFormat::DelimitedText:
            return importDataBuffer(bytes, delimiter, options);
        case FileFormat::Xlsx:
        case FileFormat::Ods: {
            auto sheet = readSheet(bytes, format, formatOptions, options.availableMemory, options.stop);
            if (!sheet.ok()) {
                return sheet.refusal();
            }
            ImportOutcome cells = importCellGrid(sheet->grid, options);
            if (cells.ok()) {
                for (std::string& note : sheet->notes) {
                    cells->addImportNote(std::move(note));
                }
            }
            return cells;
        }
        case FileFormat::SpssSystem:
        case FileFormat::SpssPortable:
        case FileFormat::Stata:
        case FileFormat::Sas:
        case FileFormat::SasTransport:
            return importStatFile(bytes, format, options);
        }
        return importStatFile(bytes, format, options); // not reached: every format has its case
    }();
    if (outcome.ok() && format != FileFormat::DelimitedText) {
        outcome->setFileKind(fileKindName(format));
    }
    return outcome;
}

ImportOutcome importAnyFile(const std::string& path, Delimiter delimiter, const ImportOptions& options,
                            const FormatOptions& formatOptions)
{
    // A regular file's first bytes tell its format; delimited text is then
    // read by the text import, which streams a large file instead of holding it.
    // (A pipe or a device is never opened here: FileContent opens it once.)
    if (struct stat info{}; ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::ifstream head(path, std::ios::binary);
        if (head) {
            std::string bytes(4096, '\0');
            head.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            bytes.resize(static_cast<std::size_t>(head.gcount()));
            if (detectFileFormat(bytes, path) == FileFormat::DelimitedText) {
                return ImportDataFile(path, delimiter, options);
            }
        }
    }
    try {
        FileContent::Options fileOptions;
        fileOptions.acceptPipes = options.acceptPipes;
        fileOptions.availableMemory = options.availableMemory;
        const FileContent file(path, fileOptions);
        ImportOutcome outcome = importAnyBytes(file.bytes(), path, delimiter, options, formatOptions);
        // The record of a run hashes the file only while it is still the one read here.
        if (outcome.ok() && file.identity()) {
            outcome->setSourceIdentity(*file.identity());
        }
        return outcome;
    } catch (const FileError& error) {
        return fileFailure(error.what());
    } catch (const std::bad_alloc&) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::OutOfMemory;
        failure.message = "There is not enough memory to read the file " + escapeControlCharacters(path) + ".";
        return failedImport(std::move(failure));
    }
}

} // namespace orvalis
