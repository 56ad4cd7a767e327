// The fast reading of numeric delimited text: two passes (count, then read) over chunks of whole lines, the chunks
// spread over the worker pool.
#pragma once

#include "data/DataImport.h"
#include "data/Delimiter.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvalis {

// One stretch of whole lines that one worker counts and then reads: its
// bytes, what the counting found, where its rows start, and its first failure.
struct Chunk {
    std::size_t begin = 0;
    std::size_t end = 0;
    // Counting pass
    std::int64_t lines = 0;
    std::int32_t maxFields = 0; // capped at MaxColumn + 1
    // Reading pass
    std::int64_t firstRow = 1;
    bool failed = false;
    // The bytes read now do not match the ones counted (a file that changed
    // between the two readings of a streamed import).
    bool changed = false;
    ImportFailure failure;
};

// The text's split into one chunk per reading thread (options.threads, or one
// per core for large texts). Chunk boundaries are line starts, so each chunk
// holds whole lines.
std::vector<Chunk> splitChunks(std::string_view content, const ImportOptions& options);

// The counting pass over every chunk of text: each chunk's lines and widest line.
void countChunks(std::string_view text, Delimiter delimiter, std::vector<Chunk>& chunks);

// The reading pass over every chunk of text (counted, firstRow set): each
// chunk's lines into its rows of dataSet, up to the chunk's first failure.
void readChunks(std::string_view text, Delimiter delimiter, std::vector<Chunk>& chunks, DataSet& dataSet);

// The table of content's lines, one case per line. On an invalid entry,
// numberAbove (when given) says whether its column holds a number on an
// earlier line: the column mixes numbers and text, so no other reading of it
// could take it.
ImportOutcome importTable(std::string_view content, Delimiter delimiter, const ImportOptions& options,
                          bool* numberAbove = nullptr);

} // namespace orvalis
