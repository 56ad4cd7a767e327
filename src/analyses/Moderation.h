// Moderation: the simple slopes of a focal predictor at values of its moderator, read from the model of the step
// that enters their product, and the Johnson-Neyman values where the slope's test changes significance.
#pragma once

#include "analyses/CaseMatrix.h"
#include "analyses/Coefficients.h"
#include "analyses/ConfidenceLevel.h"
#include "analyses/PredictorColumns.h"
#include "common/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;
struct HierarchicalRequest;

// The most moderator values the simple slopes take.
constexpr std::size_t MaxSlopeValues = 10;

// The simple slopes asked for: of a numeric focal predictor at values of the
// moderator, the two factors of a product term of the model.
struct SlopesRequest {
    std::int32_t focal = 0;
    std::int32_t moderator = 0;
    // A numeric moderator's values in its own units; none: its mean less one
    // standard deviation, its mean, and its mean plus one.
    std::vector<double> at;
};

// Where a slope is read: the moderator's value, and how the report names it.
enum class SlopePoint { BelowMean, Mean, AboveMean, Given, Category };

// One simple slope: the focal predictor's slope where the moderator takes one
// value (a categorical moderator: in one category), B = sum of weights[j] x
// B_j of the model's coefficients, its variance w' V w.
struct SimpleSlope {
    SlopePoint point = SlopePoint::Mean;
    double at = 0.0;           // the moderator's value in its own units (a category's: its cell value)
    std::int32_t category = 0; // a categorical moderator's category (1-based); 0 for a numeric one
    double B = 0.0;
    double SE = 0.0;
    double t = 0.0;
    double p = 1.0;
    double lower = 0.0; // the t-based interval at the run's level
    double upper = 0.0;
    // The predicted dependent variable where the focal predictor is 0 (the
    // model's other columns at their means): the simple-slopes figure's line
    // is intercept + B x.
    double intercept = 0.0;
    std::vector<double> weights; // over the model's columns 1..k
    // From the run's trials: the percentile interval of the slope.
    std::optional<ResampledInterval> percentile;
};

// The Johnson-Neyman values: the moderator values where the focal slope's t
// equals the critical t of the run's level, the real roots of
// (b1 + b3 d)^2 - t^2 (v11 + 2 d v13 + d^2 v33) = 0 in d, the moderator less
// the value it was centred at.
struct JohnsonNeyman {
    std::vector<double> bounds; // in the moderator's own units, ascending (none, one or two)
    // Whether the slope is significant below the first bound, between them and
    // above the last (bounds.size() + 1 pieces; one piece without a bound).
    std::vector<bool> significant;
};

struct ModerationResult {
    SlopesRequest request;
    std::size_t step = 0;              // 0-based: the step whose model the slopes read
    std::int32_t columns = 0;          // that model's predictor columns
    bool categoricalModerator = false; // the slopes are per category
    std::vector<std::string> categoryLabels;
    double moderatorMean = 0.0;   // over the complete cases (a numeric moderator)
    double moderatorSD = 0.0;     // with n - 1
    double moderatorCentre = 0.0; // the value subtracted before the product: its mean when centred, else 0
    double focalMin = 0.0;        // the observed ranges over the complete cases
    double focalMax = 0.0;
    double moderatorMin = 0.0;
    double moderatorMax = 0.0;
    std::int32_t df = 0;   // the model's residual degrees of freedom
    double critical = 0.0; // Student's t at the run's level on df
    ConfidenceLevel level = ConfidenceLevel::P95;
    // The focal slope at a numeric moderator value d from its centre: b1 + b3 d,
    // its variance v11 + 2 d v13 + d^2 v33.
    double b1 = 0.0;
    double b3 = 0.0;
    double v11 = 0.0;
    double v13 = 0.0;
    double v33 = 0.0;
    std::vector<SimpleSlope> slopes;
    std::optional<JohnsonNeyman> johnsonNeyman; // a numeric moderator's

    struct SlopeAt {
        double B = 0.0;
        double SE = 0.0;
    };
    // The focal slope where the numeric moderator is w (its own units).
    SlopeAt slopeAt(double w) const;
};

// The checks of a request's simple slopes, after the request's own: the focal
// predictor and the moderator are two predictors of the model; their product
// is one of the model's; the focal predictor is numeric; no other product of
// the focal predictor enters by that step; values given are for this
// moderator, which is numeric.
Status CheckSlopesRequest(const HierarchicalRequest& request, const DataSet& dataSet);

// What the run needs before its trials: the step whose model the slopes read
// and each slope's weights (so that the trials draw them), from the complete
// cases (columns as CollectSequenceCases lays them out).
struct ModerationPlan {
    ModerationResult result; // its slopes without B and their intervals
    // Per slope, each column's value where the focal predictor is 0 (NaN: at its mean), for the line's intercept.
    std::vector<std::vector<double>> atZero;
    std::int32_t focalColumn = 0;   // 1-based, in the case matrix
    std::int32_t productColumn = 0; // a numeric moderator's product with the focal predictor; 0 for a categorical one
};
ModerationPlan PlanModeration(const HierarchicalRequest& request, const std::vector<PredictorColumn>& columns,
                              const std::vector<std::int32_t>& stepColumns, const CaseMatrix& cases,
                              const std::vector<std::string>& moderatorLabels);

// Each slope's weights, as the trials draw them (NestedModel::combinations).
std::vector<std::vector<double>> slopeWeights(const ModerationPlan& plan);

// The slopes, their tests and the Johnson-Neyman values from the model's
// coefficients and covariance; percentiles: each slope's bootstrap interval
// (none: not drawn). A model without coefficients leaves the slopes
// undefined (a refusal naming why); a slope at a value so far beyond the data
// that it or its interval is not finite in double is refused, naming the value.
Outcome<ModerationResult> FinishModeration(ModerationPlan plan, const CoefficientsOutcome& model,
                                           const std::vector<ResampledInterval>& percentiles);

// The Johnson-Neyman values of a focal slope b1 + b3 d with the covariance
// entries given, at the critical t; d is the moderator less centre.
JohnsonNeyman SolveJohnsonNeyman(double b1, double b3, double v11, double v13, double v33, double critical,
                                 double centre);

} // namespace orvalis
