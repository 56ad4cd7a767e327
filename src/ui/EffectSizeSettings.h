// The effect sizes beside a window's bootstrap: which robust test, whether the modified limit follows it, and
// when a run computes and shows them.
#pragma once

#include "analyses/BootstrapRequest.h"

#include <optional>

namespace orvalis {

// Analyses > Robust F Test: the covariance and whether the modified lower
// limit follows the robust test, kept from one run of the program to the
// next; HC3 and the F test at first.
EffectSizeRequest effectSizeSetting();
void setEffectSizeSetting(const EffectSizeRequest& request);

// What a window's run computes beside the bootstrap: the effect sizes with
// the details, when the modified limit follows the robust test, or when the
// APA interval is Alf and Graf's (which needs them); none otherwise.
std::optional<EffectSizeRequest> windowEffectSizes(bool details);

// Whether a run's block of effect sizes goes to the log: with the details,
// or always when its modified limit was asked to follow the robust test (the
// block says which test it followed).
bool showsEffectSizeBlock(const BootstrapRequest& request);

} // namespace orvalis
