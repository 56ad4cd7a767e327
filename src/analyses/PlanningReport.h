// The text blocks of the two plans, and the power curve as CSV.
#pragma once

#include "analyses/Planning.h"

#include <optional>
#include <string>

namespace orvalis {

// A power as the texts show it: rounded to 4 decimals ("0.8011"), and "> .9999"
// for one that would round to 1, as a p-value below .001 is "< .001".
std::string powerText(double power);

// The block "Power of the F Test of the Added Predictors": the model, the
// effect, alpha and the noncentrality's convention, then the power at a
// sample size, or (with target) the smallest sample that reaches target
// power. Lines end in CR LF, then three empty lines.
std::string FormatPowerReport(const PowerQuestion& question, const PowerAnswer& answer,
                              std::optional<double> target = std::nullopt);

// The block "Sample Size for the Width of the Bootstrap Interval": the
// population, the simulation, a row per sample size, and the smallest sample
// size whose widths reach the target with the assurance asked for. With
// details, each row adds the Monte Carlo errors of its two assurance
// quantiles and a mark where one lies within its error of the target, and
// the block ends with what they mean and which answers they make uncertain;
// without, the block is as it always was.
std::string FormatWidthPlan(const WidthPlan& plan, bool details = false);

// "n,power" then a line per point, LF line ends.
std::string FormatPowerCurveCsv(const std::vector<PowerAnswer>& points);

} // namespace orvalis
