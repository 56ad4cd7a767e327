// categoricalView: a numeric column's distinct values as categories, named by their value labels.
#include "data/CategoricalView.h"

#include "common/MissingValue.h"
#include "common/NumberText.h"
#include "data/DataSet.h"

#include <algorithm>
#include <set>

namespace orvalis {

std::int32_t CategoricalView::categoryLabelled(const std::string& label) const
{
    const auto found = std::find(labels.begin(), labels.end(), label);
    return found == labels.end() ? 0 : static_cast<std::int32_t>(found - labels.begin()) + 1;
}

std::int32_t CategoricalView::categoryOfValue(float value) const
{
    const auto found = std::find(values.begin(), values.end(), value);
    return found == values.end() ? 0 : static_cast<std::int32_t>(found - values.begin()) + 1;
}

CategoricalView categoricalView(const DataSet& dataSet, std::int32_t v, std::size_t limit)
{
    CategoricalView view;
    if (!dataSet.hasStorage() || v < 1 || v > dataSet.NumVariables()) {
        return view;
    }
    if (dataSet.isCategorical(v)) {
        view.labels = dataSet.categories(v);
        for (std::size_t k = 1; k <= view.labels.size(); ++k) {
            view.values.push_back(static_cast<float>(k));
        }
        return view;
    }
    std::set<float> distinct;
    for (std::int32_t row = 1; row <= dataSet.NumCases() && distinct.size() <= limit; ++row) {
        const float value = dataSet.DataTable(row, v);
        if (!isMissing(value)) {
            distinct.insert(value);
        }
    }
    const auto& valueLabels = dataSet.valueLabels(v);
    for (const float value : distinct) {
        const auto labelled = std::find_if(valueLabels.begin(), valueLabels.end(),
                                           [value](const auto& entry) { return entry.first == value; });
        view.values.push_back(value);
        view.labels.push_back(labelled != valueLabels.end() && !labelled->second.empty() ? labelled->second
                                                                                         : formatFloat(value));
    }
    // Two values under one label would be two categories of the same name:
    // each such label carries its value ("same (2)", "same (3)").
    std::vector<std::string> named = view.labels;
    for (std::size_t k = 0; k < named.size(); ++k) {
        if (std::count(view.labels.begin(), view.labels.end(), view.labels[k]) > 1) {
            named[k] += " (" + formatFloat(view.values[k]) + ")";
        }
    }
    view.labels = std::move(named);
    return view;
}

} // namespace orvalis
