// The case matrix: the complete cases of a sample's columns, each less its shift, as the R^2 code reads them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvalis {

// The most columns a sample has: the dependent variable and 24 predictor
// columns (a model sequence's; a pair of models takes at most 12 of them).
constexpr std::int32_t MaxColumns = 25;

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
    // A predictor column the model takes centred at its mean over the complete
    // cases (columnMean): R^2 does not change, and the intercept is the
    // dependent variable's mean where every other column is at its mean.
    std::array<bool, MaxColumns> centred{};

    const float* row(std::int32_t r) const
    {
        return cells.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
    }
    float at(std::int32_t r, std::int32_t c) const { return row(r)[c]; }
};

// Shifts each column of a filled matrix by its first complete value where
// every difference from it is exact in single precision (see CaseMatrix).
void shiftColumns(CaseMatrix& matrix);

// The mean of column c over the complete cases in the data's own units: the
// stored values' mean in double, plus the column's shift.
double columnMean(const CaseMatrix& matrix, std::int32_t c);

} // namespace orvalis
