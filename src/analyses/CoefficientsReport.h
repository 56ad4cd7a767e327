// The block "Coefficients" of a run that computed them: each model's terms in a table.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Hierarchical.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// A bootstrap interval as the tables write it: "[0.12345, 0.45678]", with
// "undefined" for a limit that is not.
std::string resampledText(const std::optional<ResampledInterval>& interval);

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

// A hierarchical run's predictor column as a term: "Var4 (hp)", or a
// category's indicator "Var5 (Species): virginica vs setosa" (against the
// reference category); a product joins its factors' names with " * ".
std::string termName(const HierarchicalResult& result, const PredictorColumn& column);
// The same from a run's category labels and reference categories, with the
// variable named as the caller names it (a pair's run with a categorical
// predictor names its indicators so too; the APA table by the bare name:
// "Species: virginica vs setosa").
std::string termName(const std::map<std::int32_t, std::vector<std::string>>& categories,
                     const std::map<std::int32_t, std::int32_t>& references, const PredictorColumn& column,
                     const std::function<std::string(std::int32_t)>& variableName,
                     std::string_view productSign = " * ");

// The block of a hierarchical run with coefficients: each step's model (the
// steps up to it), its terms named by termName; then three empty lines.
// Empty for a run without.
std::string FormatHierarchicalCoefficients(const HierarchicalResult& result);

// How a slope's moderator value is named: "mean - 1 SD", "mean", "mean + 1
// SD", "given", or a category's label.
std::string slopePointText(const ModerationResult& moderation, const SimpleSlope& slope);

// The Johnson-Neyman values in words, numbers written by `number`: "the slope
// of X is significant at the 5% level for W below a and above b; W ranges
// from c to d", or significant for every value of W, or for none; a note
// when a value lies beyond the observed range. In the past tense ("was",
// "ranged") for a results section.
std::string JohnsonNeymanSentence(const ModerationResult& moderation, const std::string& focal,
                                  const std::string& moderator, const std::function<std::string(double)>& number,
                                  bool pastTense = false);

// The block of a run with simple slopes: the model they are read from, the
// moderator's mean and standard deviation, a row per slope (B, SE B, the
// t-based interval, t, p and the percentile interval from the trials), and
// the Johnson-Neyman sentence for a numeric moderator; then three empty
// lines. Empty for a run without.
std::string FormatModeration(const HierarchicalResult& result);

} // namespace orvalis
