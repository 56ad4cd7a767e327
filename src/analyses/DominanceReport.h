// The text block of a dominance analysis: the general weights and shares with their intervals, conditional
// dominance by model size, and complete and general dominance for every pair with the share of trials in which
// each holds.
#pragma once

#include "analyses/Dominance.h"

#include <string>
#include <string_view>

namespace orvalis {

// A unit as the reports name it: "Var6 (wt)" for a predictor (a categorical
// one names its block so), a group by its name.
std::string unitName(const DominanceResult& result, std::size_t u);

// The block "Results of Dominance Analysis" (lines end in CR LF, then three
// empty lines); with the details, the BCa limits of the weights and shares.
std::string FormatDominanceReport(const DominanceResult& result);

} // namespace orvalis
