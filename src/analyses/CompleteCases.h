// The complete cases of the variables in a bootstrap request.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "analyses/CaseMatrix.h"
#include "analyses/PredictorColumns.h"
#include "common/Outcome.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// The predictor columns of a request that passed CheckBootstrapRequest: the
// predictors', then the added predictors', in the request's order, a numeric
// variable as one column, a categorical one as its indicators
// (appendPredictorColumns); p and q count the columns of each list, and
// categories holds each categorical predictor's labels.
struct PairColumns {
    std::vector<PredictorColumn> columns;
    std::int32_t p = 0;
    std::int32_t q = 0;
    std::map<std::int32_t, std::vector<std::string>> categories;
};
PairColumns pairColumns(const BootstrapRequest& request, const DataSet& dataSet);

// The complete cases (at least two), or a refusal: whatever
// CheckBootstrapRequest refuses, then fewer than two complete cases. A case is complete when none of
// the request's variables is missing in it. The columns are the dependent
// variable and pairColumns' columns (without a categorical predictor: the
// request's variables in order). Throws std::bad_alloc when the matrix does
// not fit in memory.
Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet);

} // namespace orvalis
