// A variable's categories as an analysis enters them: a text variable's, or a numeric variable's distinct values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// The categories of a variable: category k (1-based) is named labels[k - 1]
// and holds the cells equal to values[k - 1].
struct CategoricalView {
    std::vector<std::string> labels;
    std::vector<float> values;

    std::size_t size() const { return values.size(); }
    // The category (1-based) whose label is label, or 0.
    std::int32_t categoryLabelled(const std::string& label) const;
    // The category (1-based) whose cells hold value, or 0.
    std::int32_t categoryOfValue(float value) const;
};

// Variable v seen as categorical. A text variable: its categories, the cell
// codes 1..k (DataSet::categories). A numeric variable: its distinct
// non-missing values in ascending order, each named by its value label, or,
// where it has none, by its number as the data view writes it ("2.5").
// Counting stops at limit + 1 categories, so a view larger than limit means
// "more than limit" (a column of a million different values is not listed).
// Never throws but std::bad_alloc; a variable outside the data has none.
CategoricalView categoricalView(const DataSet& dataSet, std::int32_t v, std::size_t limit);

} // namespace orvalis
