// The effect sizes and analytic intervals beside a bootstrap run, and their text block.
#pragma once

#include "analyses/BootstrapResult.h"

#include <cstdint>
#include <string>

namespace orvalis {

struct CaseMatrix;
struct HierarchicalResult;

// Computes result.EffectSizes for a finished run (its observed R^2, F test,
// valid trials and traditional limits set) of the pair of nested models with
// predictor columns 1..p and 1..p+q of cases, and adds their intervals to the
// interval list: Alf and Graf's for the change, the exact one of each model's
// R^2 (none for an empty model), the percentile interval of Cohen's f^2 from
// the valid trials at the traditional limits' positions. With
// request.EffectSizes->modifiedFollowsRobust and a defined robust test, the
// modified lower limit then follows that test. Throws std::bad_alloc.
void ComputeEffectSizes(BootstrapResult& result, const CaseMatrix& cases, std::int32_t p, std::int32_t q);

// The orvalis-cli options that ask for the same effect sizes:
// " --effect-sizes", then " --robust hc4" and " --modified-test robust" where they differ from the defaults.
std::string effectSizeCommandOptions(const EffectSizeRequest& request);

// "the F test", "the robust F test (HC3)": the test the modified limit followed.
std::string modifiedTestName(const BootstrapResult& result);

// The block "Effect Sizes and Analytic Intervals" of a run with effect sizes:
// each model's R^2 with its exact interval, the change with Alf and Graf's
// interval, the adjusted R^2, Cohen's f^2 with its bootstrap interval, the
// robust F test and the test the modified lower limit followed, then what each
// interval assumes. Lines end in CR LF, then three empty lines.
std::string FormatEffectSizes(const BootstrapResult& result);

// The same for every step of a hierarchical run, each step's model against
// the step before.
std::string FormatHierarchicalEffectSizes(const HierarchicalResult& result);

} // namespace orvalis
