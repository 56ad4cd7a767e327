// The complete cases of the variables in a bootstrap request.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "analyses/CaseMatrix.h"
#include "common/Outcome.h"

#include <cstdint>
#include <vector>

namespace orvalis {

class DataSet;

// The complete cases (at least two), or a refusal: whatever
// CheckBootstrapRequest refuses, then fewer than two complete cases. A case is complete when none of
// the request's variables is missing in it. Throws std::bad_alloc when the
// matrix does not fit in memory.
Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet);

} // namespace orvalis
