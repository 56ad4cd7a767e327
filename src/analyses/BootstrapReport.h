// The text block of a bootstrap result, as appended to the output log.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/ReportText.h"

#include <string>
#include <string_view>

namespace orvalis {

// The 27-line report of a run, every line ending in CR LF; then
// FormatImputationWarning's lines for data with an imputation number and
// FormatValueLabelWarning's for value-labelled predictors entered as numbers.
std::string FormatBootstrapReport(const BootstrapResult& result);

// After a report of a run on data with a variable named like the number of an
// imputation (result.ImputationVariables not empty), a warning that the rows
// were taken as one sample, one line per such variable ("Warning: Var1 (.imp)
// ..."), then three empty lines; every line ends in CR LF. Empty for other
// data, so the report of other data is as it was.
std::string FormatImputationWarning(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names);

// After a report of a run with a predictor that has value labels but entered
// as a number, one line per such predictor ("Warning: Var4 (condition) has
// value labels and enters as a number; ..."), then three empty lines; every
// line ends in CR LF. Empty when there is none, so other reports are as they
// were.
std::string FormatValueLabelWarning(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names);

// The details block that follows the report when asked for (result.Details
// computed): seed, data file, cases used, the exact F test beside the decision
// the modified limit used, bootstrap mean and standard error, the percentile
// positions and the BCa limits; every line ends in CR LF, then three empty
// lines. "undefined" stands for a value that could not be computed.
std::string FormatBootstrapDetails(const BootstrapResult& result, std::string_view dataFile);

// "p = 0.04997", "p = 1.23E-07"; a p-value below the smallest the F
// distribution gives in double precision is "p < 1E-300", never 0.
std::string formatPValue(double p);

// The model in one line, for a title: "Var1 (score) on Var2 Var3, adding
// Var4" ("on no predictors" for an empty reduced model).
std::string DescribeModel(const BootstrapResult& result);

// The valid trials as CSV: a header line "trial,change", then one line per
// valid trial in trial order, the change in the shortest text that reads back
// as the same double; lines end in LF.
std::string FormatDraws(const BootstrapResult& result);

} // namespace orvalis
