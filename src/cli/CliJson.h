// The command line's machine-readable forms: a bootstrap result and descriptives as JSON.
#pragma once

#include "analyses/Dominance.h"
#include "analyses/Planning.h"
#include "analyses/BootstrapResult.h"
#include "analyses/Descriptives.h"
#include "analyses/RunRecord.h"
#include "analyses/Hierarchical.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvalis::cli {

// One JSON object with the request, the seed, the counts, the observed values,
// the limits, the F test and the details (null for an undefined value),
// followed by a line end. Numbers keep their full precision. With a record
// (--record): the record of the run, the limits' Monte Carlo errors and the
// sample-size guidance.
// effectSizes: also the object "effect_sizes" (the run computed its effect sizes).
std::string bootstrapJson(const BootstrapResult& result, std::string_view dataFile, const RunRecord* record = nullptr,
                          bool effectSizes = false);

// One JSON object: {"variables": [{"variable", "name", "n", "mean", "sd",
// "min", "max"}, ...]} with null where the report writes ".", then a line end.
// One JSON object for a hierarchical run: the request, the seed, the cases,
// and a "steps" array whose entries hold each step's variables (with a
// categorical one's indicators), R^2, change, valid trials, traditional,
// modified and BCa limits, F change with df1, df2 and the exact p, and the
// details; null where undefined.
// effectSizes: each step also has "effect_sizes". With a record (--record):
// the object "record", as the bootstrap's.
// A dominance analysis as one JSON object (text ending in a newline).
std::string dominanceJson(const DominanceResult& result, std::string_view dataFile);

std::string hierarchicalJson(const HierarchicalResult& result, std::string_view dataFile, bool effectSizes = false,
                             const RunRecord* record = nullptr);

// The plans: the power (with the target power it was asked to reach, if any)
// and the width plan's rows; with a record, the object "record" (its "file"
// the correlation matrix's file, or null).
std::string powerJson(const PowerQuestion& question, const PowerAnswer& answer, std::optional<double> target,
                      const RunRecord* record = nullptr);
std::string widthPlanJson(const WidthPlan& plan, const RunRecord* record = nullptr, bool details = false);

std::string descriptivesJson(const std::vector<DescriptivesRow>& rows);

} // namespace orvalis::cli
