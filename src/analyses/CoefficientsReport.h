// The block "Coefficients" of a run that computed them: each model's terms in a table.
#pragma once

#include "analyses/BootstrapResult.h"

#include <string>
#include <vector>

namespace orvalis {

// A model's coefficients as rows of a table: a header (Term, B, SE B, the
// level's CI of B, Beta, t, p, sr^2, Tolerance, VIF), then "(Intercept)" and
// each predictor column by its name in termNames (termNames[c - 1] names
// column c). B, SE B and the limits with five decimals, t with three, p as
// the details write it; an undefined model is one line with the reason.
// Lines end in CR LF.
std::string FormatCoefficientTable(const CoefficientsOutcome& model, const std::vector<std::string>& termNames,
                                   ConfidenceLevel level);

// The block of a pair's run with coefficients (result.Coefficients): the
// reduced and the full model, each with its predictors named as the report
// names them ("Var4 (hp)"); then three empty lines. Empty for a run without.
std::string FormatCoefficients(const BootstrapResult& result);

} // namespace orvalis
