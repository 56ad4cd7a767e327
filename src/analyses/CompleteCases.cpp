// CollectCompleteCases: one pass over the data table, and each column's shift.
#include "analyses/CompleteCases.h"

#include "analyses/RequestCheck.h"
#include "data/DataSet.h"

#include <optional>
#include <string>

namespace orvalis {

namespace {

// x - c when it is exact in single precision: the double difference of two
// floats, checked to be exact (Knuth's two-sum) and to fit a float.
std::optional<float> exactDifference(float x, float c)
{
    const double a = x;
    const double b = -static_cast<double>(c);
    const double s = a + b;
    const double bb = s - a;
    const double error = (a - (s - bb)) + (b - bb);
    if (error != 0.0 || static_cast<double>(static_cast<float>(s)) != s) {
        return std::nullopt;
    }
    return static_cast<float>(s);
}

} // namespace

double columnMean(const CaseMatrix& matrix, std::int32_t c)
{
    double sum = 0.0;
    for (std::int32_t r = 1; r <= matrix.NumComplete; ++r) {
        sum += matrix.at(r, c);
    }
    return sum / static_cast<double>(matrix.NumComplete)
           + static_cast<double>(matrix.shift[static_cast<std::size_t>(c)]);
}

void shiftColumns(CaseMatrix& matrix)
{
    const auto width = static_cast<std::size_t>(matrix.columns);
    for (std::size_t c = 0; c < width; ++c) {
        const float first = matrix.cells[width + c];
        bool exact = first != 0.0f;
        for (std::int32_t r = 1; r <= matrix.NumComplete && exact; ++r) {
            exact = exactDifference(matrix.cells[static_cast<std::size_t>(r) * width + c], first).has_value();
        }
        if (!exact) {
            continue;
        }
        for (std::int32_t r = 1; r <= matrix.NumComplete; ++r) {
            float& cell = matrix.cells[static_cast<std::size_t>(r) * width + c];
            cell = *exactDifference(cell, first);
        }
        matrix.shift[c] = first;
    }
}

PairColumns pairColumns(const BootstrapRequest& request, const DataSet& dataSet)
{
    std::vector<std::int32_t> predictors = request.PredictorList;
    predictors.insert(predictors.end(), request.AddedList.begin(), request.AddedList.end());
    const std::map<std::int32_t, CategoricalView> views =
        categoricalPredictors(predictors, request.Categorical, dataSet);
    PairColumns pair;
    auto append = [&](std::int32_t v) {
        const auto view = views.find(v);
        return appendPredictorColumns(pair.columns, v, view == views.end() ? nullptr : &view->second,
                                      referenceCategory(request.ReferenceCategory, v));
    };
    for (const std::int32_t v : request.PredictorList) {
        pair.p += append(v);
    }
    for (const std::int32_t v : request.AddedList) {
        pair.q += append(v);
    }
    for (const auto& [v, view] : views) {
        pair.categories[v] = view.labels;
    }
    return pair;
}

Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet)
{
    if (const Status checked = CheckBootstrapRequest(request, dataSet); !checked.ok()) {
        return checked.refusal();
    }
    return collectPredictorColumns(*request.DependentVariable, pairColumns(request, dataSet).columns, dataSet);
}

} // namespace orvalis
