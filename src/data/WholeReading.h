// The whole reading of bytes held in memory: the fast reading first, the record reader for what it refuses, an
// invalid entry explained, and the delimiter detected.
#pragma once

#include "data/DataImport.h"
#include "data/Delimiter.h"

#include <string_view>

namespace orvalis {

// How the readers are allowed to read: explain adds an invalid entry's second
// line; general lets the record reader take what the fast reading refuses.
struct ImportMode {
    bool explain = true;
    bool general = true;
};

// importDataBuffer with the mode spelled out; content has no byte-order mark,
// and the delimiter is known (not Detect).
ImportOutcome importContent(std::string_view content, Delimiter delimiter, const ImportOptions& options,
                            ImportMode mode);

// The delimiter a file's first megabyte shows: the first of tab, semicolon,
// comma and space that splits every line into the same number of fields,
// more than one (splitsEvenly), and reads with a numeric variable. Space when
// none does.
Delimiter detectDelimiter(std::string_view content, const ImportOptions& options);

} // namespace orvalis
