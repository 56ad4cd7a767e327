// BootstrapResult: what one run of the effect-size bootstrap found, with its list of intervals.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "analyses/Coefficients.h"
#include "analyses/IntervalCatalogue.h"
#include "analyses/PredictorColumns.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

// The percentile positions for NumValid valid trials at a level: m = tail x
// NumValid rounded half to even, tail = (1 - level) / 2 in double from the
// level's float; lower = m + 1, upper = NumValid - m.
struct PercentilePositions {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
};

// What a run tells beyond its report, computed when the request asks for
// details. Each value is absent where it is undefined.
struct BootstrapDetails {
    // P(F(df1, df2) > F), in double precision (Boost.Math), when there is an F.
    std::optional<double> ExactP;
    // Mean and standard error (divisor NumValid - 1) of the valid changes.
    std::optional<double> Mean;
    std::optional<double> StandardError;
    // The constants of the BCa interval (IntervalKind::BCa): the bias
    // correction from the share of valid changes below the observed one, the
    // acceleration from the jackknife over the complete cases.
    std::optional<double> BiasCorrection; // z0
    std::optional<double> Acceleration;   // a
    // The Monte Carlo standard errors of the traditional limits: how much each
    // limit varies from one seed to another with this many valid trials. From
    // the binomial distribution of a limit's rank: the rank k of n varies with
    // standard deviation d = sqrt(n p (1 - p)), p = k / n, and the error is
    // half the distance between the changes at ranks k - d and k + d.
    std::optional<double> LowerLimitError;
    std::optional<double> UpperLimitError;
    // Whether a BCa limit's rank fell at or beyond the smallest or largest
    // valid change, so that limit is that extreme change (as R's boot.ci
    // warns: "extreme order statistics used as endpoints").
    bool BCaAtExtreme = false;
};

// What an interval is for.
enum class Estimand {
    ChangeR2,  // the R^2 change, the bootstrap's own
    ReducedR2, // the reduced model's R^2
    FullR2,    // the full model's R^2
    CohenF2,   // Cohen's f^2 of the added block
};

// One interval at the run's level. A limit is absent where it is undefined
// (no valid trial; a BCa limit that cannot be computed). The traditional and
// modified limits are single-precision values, held exactly.
struct Interval {
    IntervalKind kind = IntervalKind::Traditional;
    ConfidenceLevel level = ConfidenceLevel::P95;
    std::optional<double> lower;
    std::optional<double> upper;
    Estimand estimand = Estimand::ChangeR2;
};

// The test the modified lower limit followed.
enum class ModifiedTest {
    Classical, // the F test of the added predictors
    Robust,    // the robust Wald F test (EffectSizeStatistics::robust)
};

// The effect sizes and analytic results beside the bootstrap, computed when
// the request asks for them; each value absent where undefined. Their
// intervals are in the result's interval list: AlfGraf for the change,
// NoncentralF for each model's R^2, Traditional for Cohen's f^2.
struct EffectSizeStatistics {
    std::int32_t ReducedColumns = 0; // the reduced model's predictor columns, p
    std::int32_t AddedColumns = 0;   // the added ones, q
    std::optional<double> AlfGrafStandardError;
    // Why Alf and Graf's interval is undefined where the reason is worth
    // saying (the models' R^2 are equal); empty otherwise.
    std::string AlfGrafProblem;
    // Bias-adjusted R^2 of each model (Ezekiel; Olkin and Pratt).
    std::optional<double> ReducedEzekiel;
    std::optional<double> FullEzekiel;
    std::optional<double> ReducedOlkinPratt;
    std::optional<double> FullOlkinPratt;
    std::optional<double> CohenF2;
    RobustCovariance covariance = RobustCovariance::HC3;
    std::optional<double> RobustF;
    std::int32_t RobustDf1 = 0;
    std::int32_t RobustDf2 = 0;
    std::optional<double> RobustP;
    std::string RobustProblem; // why there is no robust F
};

// The coefficients of the pair's two models, computed when the request asks
// for them; each may be undefined, with the reason.
struct ModelCoefficients {
    CoefficientsOutcome reduced;
    CoefficientsOutcome full;
};

struct BootstrapResult {
    BootstrapRequest request;
    std::int32_t NumValid = 0;
    // Observed sample; all three are absent when it is not valid.
    std::optional<double> ReducedR2;
    std::optional<double> FullR2;
    std::optional<double> DeltaR2;
    // Absent when the observed sample is not valid; then df1 = df2 = 0 and
    // there is no F test. (RunBootstrap refuses such a sample; a result built
    // by hand may still have one.)
    std::optional<float> FValue;
    std::int32_t df1 = 0;
    std::int32_t df2 = 0;
    // The exact p-value of FValue, P(F(df1, df2) > FValue) in double precision;
    // the F test is significant when it is below the level's alpha.
    double PValue = 0.0;
    bool ModifiedLowerIsZero = false;
    // Which test decided ModifiedLowerIsZero; Robust only when the request
    // asked for it and the robust test is defined.
    ModifiedTest ModifiedFollowed = ModifiedTest::Classical;
    // The data set's variable names (DataSet::VariableNames), for the report.
    std::vector<std::string> VariableNames;
    // The data set's variables named like the number of an imputation
    // (DataSet::imputationVariables): the rows are then imputed data sets
    // stacked, which the run took as one sample. Empty for other data.
    std::vector<std::int32_t> ImputationVariables;
    // The predictors entered as numbers though the file gave them value
    // labels (valueLabelledNumeric). Empty for other data.
    std::vector<std::int32_t> ValueLabelledPredictors;
    // With a categorical predictor: the models' predictor columns (the
    // reduced model's, then the added ones, as pairColumns gives them) and
    // each categorical predictor's category labels. Empty when every
    // predictor is one column, in the request's order.
    std::vector<PredictorColumn> Columns;
    std::map<std::int32_t, std::vector<std::string>> Categories;
    std::uint64_t Seed = 0;
    std::int32_t CasesRead = 0;     // the data set's cases
    std::int32_t CompleteCases = 0; // the cases the run used
    PercentilePositions Positions;  // of the traditional limits
    // Every valid trial's number and R^2 change, in trial order.
    std::vector<std::int32_t> DrawTrials;
    std::vector<double> Draws;
    std::vector<double> DrawFullR2;                // each valid trial's full-model R^2, beside Draws
    std::optional<BootstrapDetails> Details;       // when the request asked for them
    std::optional<EffectSizeStatistics> EffectSizes; // when the request asked for them
    std::optional<ModelCoefficients> Coefficients;   // when the request asked for them
    // The percentile intervals of linear combinations of the full model's
    // coefficients a model sequence asked for (a moderation's simple slopes).
    std::vector<ResampledInterval> CombinationIntervals;
    // Every interval of the run, each kind once, computed where the run
    // computes its parts: traditional, modified, then BCa with the details.
    std::vector<Interval> Intervals;

    // The interval of a kind for an estimand, or null when the run did not compute it.
    const Interval* interval(IntervalKind kind, Estimand estimand = Estimand::ChangeR2) const
    {
        for (const Interval& i : Intervals) {
            if (i.kind == kind && i.estimand == estimand) {
                return &i;
            }
        }
        return nullptr;
    }

    // Sets the traditional interval to the single-precision limits given
    // (none: no valid trial) and the modified one that follows from them and
    // the F test (a lower limit of 0 when FValue is defined and
    // ModifiedLowerIsZero), replacing any earlier ones. The one place that
    // applies the modified rule.
    void setPercentileIntervals(std::optional<float> lower, std::optional<float> upper)
    {
        std::erase_if(Intervals, [](const Interval& i) {
            return i.estimand == Estimand::ChangeR2
                   && (i.kind == IntervalKind::Traditional || i.kind == IntervalKind::Modified);
        });
        Interval traditional{IntervalKind::Traditional, request.Level, std::nullopt, std::nullopt};
        if (lower && upper) {
            traditional.lower = *lower;
            traditional.upper = *upper;
        }
        Interval modified = traditional;
        modified.kind = IntervalKind::Modified;
        if (FValue && ModifiedLowerIsZero && modified.lower) {
            modified.lower = 0.0;
        }
        Intervals.insert(Intervals.begin(), {traditional, modified});
    }
};

} // namespace orvalis
