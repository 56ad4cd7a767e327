// The complete cases of the variables in a bootstrap request.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "common/Outcome.h"

#include <cstdint>
#include <vector>

namespace orvalis {

class DataSet;

// The most explanatory variables (predictors plus added predictors).
constexpr std::int32_t MaxExplanatory = 12;

// Rows 1..NumComplete hold the complete cases in data-table order; row 0 holds
// zeros. Column 0 is the dependent variable, columns 1..p the predictors and
// p+1..p+q the added predictors, values copied unchanged. Rows are stored
// contiguously, `columns` floats apart.
struct CaseMatrix {
    std::int32_t NumComplete = 0;
    std::int32_t columns = 0; // K + 1
    std::vector<float> cells;

    const float* row(std::int32_t r) const
    {
        return cells.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
    }
    float at(std::int32_t r, std::int32_t c) const { return row(r)[c]; }
};

// The request's variables in the case matrix's column order: the dependent
// variable (when there is one), the predictors, the added predictors.
std::vector<std::int32_t> requestVariables(const BootstrapRequest& request);

// The complete cases (at least two), or a refusal. A variable outside
// 1..NumVariables is refused first (checkVariablesInData); then, in this
// order: no added predictor; no dependent variable; more than 12 explanatory
// variables; a variable in two roles (dependent variable and predictor or added
// predictor, predictor and added predictor) or listed twice; fewer than two
// complete cases. A case is complete when none of
// the request's variables is missing in it. Throws std::bad_alloc when the
// matrix does not fit in memory.
Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet);

} // namespace orvalis
