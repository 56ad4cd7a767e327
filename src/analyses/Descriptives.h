// Descriptive statistics of chosen variables and their report block.
#pragma once

#include "common/Outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// One variable's statistics over its non-missing values.
struct DescriptivesRow {
    std::int32_t variable = 0;
    std::string name; // from the file's names line; empty when it has none
    std::int32_t N = 0;
    double Mean = 0; // rounded to 3 decimals; meaningful when N >= 1
    double SD = 0;   // rounded to 3 decimals; meaningful when N >= 2
    float Min = 0;   // meaningful when N >= 1
    float Max = 0;
    // A text (categorical) variable: each category's label and count, in
    // code order; its mean and the rest have no meaning.
    struct Category {
        std::string label;
        std::int32_t N = 0;
    };
    std::vector<Category> categories;
    bool categorical = false;
};

// Statistics of each variable in the given order. The mean is the double sum
// divided by N; the standard deviation (divisor N - 1) is computed in double
// from the deviations from that mean, so it is never negative and large
// offsets keep their digits. A variable outside 1..NumVariables is refused
// (checkVariablesInData) before any work. Throws the run-time errors of the
// arithmetic.
Outcome<std::vector<DescriptivesRow>> ComputeDescriptives(const DataSet& dataSet,
                                                          const std::vector<std::int32_t>& variables);

// The text of a report cell, at most 9 characters: the general text form when
// it fits; otherwise cut to 9 characters when only fractional digits are lost;
// otherwise the longest exponent form that fits (1234567890 as 1.235E+09).
std::string descriptivesCellText(const std::string& generalForm, double value);

// The block appended to the output log: "DESCRIPTIVES", rules of 60 "-",
// the header, one 60-character row per variable, a rule, three empty lines;
// every line ends in CR LF. When a row's variable has a name, the label column
// ("Var 1 Fertility", a name cut to 24 characters) widens to the longest
// label plus one blank, and the rules with it. A text variable's row shows
// only N, and a row for each category follows it: the label indented by two
// blanks, and its count.
std::string FormatDescriptivesReport(const std::vector<DescriptivesRow>& rows);

} // namespace orvalis
