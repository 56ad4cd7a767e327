// The complete cases of the variables in a bootstrap request.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "analyses/NestedR2.h"
#include "common/Outcome.h"

#include <array>
#include <cstdint>
#include <vector>

namespace orvalis {

class DataSet;

// Rows 1..NumComplete hold the complete cases in data-table order; row 0 holds
// zeros. Column 0 is the dependent variable, columns 1..p the predictors and
// p+1..p+q the added predictors. Rows are stored contiguously, `columns`
// floats apart.
//
// Each column holds its values less a constant, shift[c], so that the sums
// of squares never cancel a large offset (4e6 + N(0, 1) keeps every digit):
// shift[c] is the column's first complete value when every value less it is
// exact in single precision, and 0 otherwise (then the column's spread is at
// least about its size, and nothing cancels). Correlations, and so every R^2,
// do not depend on a column's shift.
struct CaseMatrix {
    std::int32_t NumComplete = 0;
    std::int32_t columns = 0; // K + 1
    std::vector<float> cells;
    std::array<float, MaxColumns> shift{};

    const float* row(std::int32_t r) const
    {
        return cells.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
    }
    float at(std::int32_t r, std::int32_t c) const { return row(r)[c]; }
};

// The complete cases (at least two), or a refusal: whatever
// CheckBootstrapRequest refuses, then fewer than two complete cases. A case is complete when none of
// the request's variables is missing in it. Throws std::bad_alloc when the
// matrix does not fit in memory.
Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet);

// Shifts each column of a filled matrix by its first complete value where
// every difference from it is exact in single precision (see CaseMatrix).
void shiftColumns(CaseMatrix& matrix);

} // namespace orvalis
