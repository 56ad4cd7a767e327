// The import's entry points: bytes (a byte-order mark, a wide encoding, the delimiter to detect) and files (streamed
// when large, else read whole).
#include "data/DataImport.h"

#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"
#include "data/FileContent.h"
#include "data/ImportRules.h"
#include "data/StreamedReading.h"
#include "data/WholeReading.h"

#include <new>
#include <optional>
#include <string>

namespace orvalis {

ImportOutcome importDataBuffer(std::string_view content, Delimiter delimiter, const ImportOptions& options,
                               bool explain)
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
    if (delimiter != Delimiter::Detect) {
        return importContent(content, delimiter, options, {explain, true});
    }
    const Delimiter detected = detectDelimiter(content, options);
    ImportOutcome outcome = importContent(content, detected, options, {explain, true});
    if (outcome.ok()) {
        outcome->setDetectedDelimiter(detected);
    }
    return outcome;
}

ImportOutcome ImportDataFile(const std::string& path, Delimiter delimiter, const ImportOptions& options)
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

} // namespace orvalis
