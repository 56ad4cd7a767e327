// ConfidenceLevel: the three levels of the bootstrap interval, each with its float, alpha, percent and table.
#pragma once

#include <cstdint>
#include <optional>

namespace orvalis {

enum class ConfidenceLevel { P90, P95, P99 };

// The level in single precision (0.90f, 0.95f, 0.99f): the percentile
// positions are computed from exactly these floats.
float levelValue(ConfidenceLevel level);

// The level in double precision (0.90, 0.95, 0.99), for the analytic
// intervals, which owe nothing to the float the percentile positions use.
double analyticLevel(ConfidenceLevel level);

// The significance level of the F test: 0.1, 0.05 or 0.01 (double).
double alphaOf(ConfidenceLevel level);

// 90, 95 or 99.
std::int32_t percentOf(ConfidenceLevel level);

// The level's upper critical value of F(df1, df2) from FCritical10,
// FCritical05 or FCritical01. Throws as those do.
float criticalF(ConfidenceLevel level, std::int32_t df1, std::int32_t df2);

// The level of a percent (90, 95 or 99); no level for any other number.
std::optional<ConfidenceLevel> levelFromPercent(std::int64_t percent);

} // namespace orvalis
