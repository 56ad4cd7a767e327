// The text block of a bootstrap result, as appended to the output log.
#pragma once

#include "analyses/Bootstrap.h"

#include <string>

namespace orvalis {

// The 27-line report of a run, every line ending in CR LF.
std::string FormatBootstrapReport(const BootstrapResult& result);

} // namespace orvalis
