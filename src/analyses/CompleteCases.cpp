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

Outcome<CaseMatrix> CollectCompleteCases(const BootstrapRequest& request, const DataSet& dataSet)
{
    if (const Status checked = CheckBootstrapRequest(request, dataSet); !checked.ok()) {
        return checked.refusal();
    }
    const std::vector<std::int32_t> variables = requestVariables(request);
    const std::int32_t p = request.NumPredictors();
    const std::int32_t q = request.NumAdded();

    CaseMatrix matrix;
    matrix.columns = p + q + 1;
    const auto width = static_cast<std::size_t>(matrix.columns);
    matrix.cells.assign(width, 0.0f); // row 0
    std::vector<float> row(width);
    for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
        bool complete = true;
        for (std::size_t c = 0; c < width && complete; ++c) {
            row[c] = dataSet.DataTable(r, variables[c]);
            complete = !isMissing(row[c]);
        }
        if (complete) {
            matrix.cells.insert(matrix.cells.end(), row.begin(), row.end());
            ++matrix.NumComplete;
        }
    }
    if (matrix.NumComplete < 2) {
        return analysisRefusal("There is an insufficient number of observations with complete data.");
    }
    shiftColumns(matrix);
    return matrix;
}

} // namespace orvalis
