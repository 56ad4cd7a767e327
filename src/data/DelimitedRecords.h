// The record reader: RFC 4180 records, case labels and text columns, for what the fast reading refuses.
#pragma once

#include "data/DataImport.h"
#include "data/Delimiter.h"

#include <string_view>

namespace orvalis {

// The record reader: RFC 4180 quoting, case labels and text columns, on the
// whole content (names line included).
ImportOutcome importRecords(std::string_view content, Delimiter delimiter, const ImportOptions& options);

// Whether every record of sample (a names line may be one field short) has
// the same count of fields, more than one, with this delimiter: the first
// test detection puts a delimiter to.
bool splitsEvenly(std::string_view sample, Delimiter delimiter);

} // namespace orvalis
