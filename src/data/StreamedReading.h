// The streamed reading: a large regular file read in blocks, twice, instead of whole beside its table.
#pragma once

#include "data/DataImport.h"
#include "data/Delimiter.h"

#include <optional>
#include <string>

namespace orvalis {

// The import of a large regular file without holding it in memory: the
// counting and the reading pass each read it block by block (the chunks of a
// block shared among the threads), so memory holds the table and one block.
// The result is the in-memory import's, byte for byte; anything that import
// would refuse or explain (an invalid entry, a text column, quotes over line
// breaks, too many lines or fields), and a first line longer than a block,
// gives nothing: the caller reads the file whole instead. A file that changes
// between or during the passes is an error.
// Delimiter::Detect finds the delimiter from the file's first megabyte of whole lines, as the whole reading does.
std::optional<ImportOutcome> importStreamed(const std::string& path, Delimiter delimiter, const ImportOptions& options);

} // namespace orvalis
