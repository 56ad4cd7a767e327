// Small data sets for tests: from the text of a data file, or from rows of values.
#pragma once

#include "analyses/Coefficients.h"
#include "data/DataImport.h"
#include "data/DataSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvalis::test {

// Imports text as a data file (space delimited unless told).
inline DataSet dataOf(const std::string& text, char delimiter = ' ')
{
    ImportOutcome outcome = importDataBuffer(text, delimiterWithByte(delimiter));
    EXPECT_TRUE(outcome.ok()) << outcome.refusal().message;
    return outcome.ok() ? std::move(*outcome) : DataSet();
}

// Imports a data file, failing the test when it does not import.
inline DataSet fileData(const std::string& path, Delimiter delimiter)
{
    ImportOutcome outcome = ImportDataFile(path, delimiter);
    EXPECT_TRUE(outcome.ok()) << path << ": " << outcome.refusal().message;
    return outcome.ok() ? std::move(*outcome) : DataSet();
}

// A data set whose case r holds rows[r - 1]; short rows leave zeros.
inline DataSet tableOf(const std::vector<std::vector<float>>& rows)
{
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.size());
    }
    DataSet data(static_cast<std::int32_t>(rows.size()), static_cast<std::int32_t>(width) + 1);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            data.rowData(static_cast<std::int32_t>(r + 1))[c + 1] = rows[r][c];
        }
    }
    data.setNumVariables(static_cast<std::int32_t>(width));
    return data;
}

// A model's coefficient row by its values, without bootstrap intervals.
inline Coefficient coefficientRow(std::int32_t column, double B, double SE, double lower, double upper,
                                  std::optional<double> beta, double t, double p, std::optional<double> sr2,
                                  std::optional<double> tolerance, std::optional<double> vif)
{
    Coefficient row;
    row.column = column;
    row.B = B;
    row.SE = SE;
    row.lower = lower;
    row.upper = upper;
    row.beta = beta;
    row.t = t;
    row.p = p;
    row.sr2 = sr2;
    row.tolerance = tolerance;
    row.vif = vif;
    return row;
}

} // namespace orvalis::test
