// Small data sets for tests: from the text of a data file, or from rows of values.
#pragma once

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

} // namespace orvalis::test
