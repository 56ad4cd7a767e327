// ComputeEffectSizes and the block "Effect Sizes and Analytic Intervals".
#include "analyses/EffectSizeBlock.h"

#include "analyses/BootstrapReport.h"
#include "analyses/EffectSizes.h"
#include "analyses/Hierarchical.h"
#include "analyses/RobustTest.h"
#include "common/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

std::string intervalText(const Interval* interval)
{
    if (interval == nullptr || !interval->lower || !interval->upper) {
        return "undefined";
    }
    std::string text = "[";
    text += fiveDecimals(interval->lower);
    text += ", ";
    text += fiveDecimals(interval->upper);
    text += "]";
    return text;
}

std::optional<double> difference(const std::optional<double>& full, const std::optional<double>& reduced)
{
    if (full && reduced) {
        return *full - *reduced;
    }
    return std::nullopt;
}

Interval analytic(IntervalKind kind, Estimand estimand, ConfidenceLevel level,
                  const std::optional<AnalyticInterval>& limits)
{
    Interval interval{kind, level, std::nullopt, std::nullopt, estimand};
    if (limits) {
        interval.lower = limits->lower;
        interval.upper = limits->upper;
    }
    return interval;
}

// The percentile interval of Cohen's f^2 over the valid trials, at the
// traditional limits' positions; a trial whose full model fits exactly has
// an infinite f^2 and sorts last, and an infinite limit is undefined.
Interval f2Interval(const BootstrapResult& result)
{
    Interval interval{IntervalKind::Traditional, result.request.Level, std::nullopt, std::nullopt, Estimand::CohenF2};
    if (result.NumValid < 1 || result.DrawFullR2.size() != result.Draws.size()) {
        return interval;
    }
    std::vector<double> f2;
    f2.reserve(result.Draws.size());
    for (std::size_t k = 0; k < result.Draws.size(); ++k) {
        const double rest = 1.0 - result.DrawFullR2[k];
        f2.push_back(rest > 0.0 ? result.Draws[k] / rest : std::numeric_limits<double>::infinity());
    }
    std::sort(f2.begin(), f2.end());
    auto at = [&](std::int32_t position) -> std::optional<double> {
        const double value = f2[static_cast<std::size_t>(position) - 1];
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    };
    if (result.Positions.lower >= 1 && result.Positions.upper <= result.NumValid) {
        interval.lower = at(result.Positions.lower);
        interval.upper = at(result.Positions.upper);
    }
    return interval;
}

// The lines of one pair of models (a step: against the step before it); the reduced model's R^2 with withReduced.
void effectSizeLines(std::string& out, const BootstrapResult& result, bool withReduced)
{
    const EffectSizeStatistics& c = *result.EffectSizes;
    const std::string percent = formatInteger(percentOf(result.request.Level)) + "%";
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    if (withReduced) {
        line(c.ReducedColumns == 0
                 ? "Reduced model R^2: 0 (no predictors)"
                 : "Reduced model R^2: " + fiveDecimals(result.ReducedR2) + ", " + percent + " exact CI "
                       + intervalText(result.interval(IntervalKind::NoncentralF, Estimand::ReducedR2)));
    }
    line("Full model R^2: " + fiveDecimals(result.FullR2) + ", " + percent + " exact CI "
         + intervalText(result.interval(IntervalKind::NoncentralF, Estimand::FullR2)));
    line("Change in R^2: " + fiveDecimals(result.DeltaR2) + ", " + percent + " Alf and Graf CI "
         + intervalText(result.interval(IntervalKind::AlfGraf))
         + (c.AlfGrafProblem.empty() ? "" : " (" + c.AlfGrafProblem + ")")
         + ", SE = " + fiveDecimals(c.AlfGrafStandardError));
    line("Adjusted R^2 (Ezekiel): reduced " + fiveDecimals(c.ReducedEzekiel) + ", full " + fiveDecimals(c.FullEzekiel)
         + ", change " + fiveDecimals(difference(c.FullEzekiel, c.ReducedEzekiel)));
    line("Adjusted R^2 (Olkin-Pratt): reduced " + fiveDecimals(c.ReducedOlkinPratt) + ", full "
         + fiveDecimals(c.FullOlkinPratt) + ", change "
         + fiveDecimals(difference(c.FullOlkinPratt, c.ReducedOlkinPratt)));
    line("Cohen's f^2 of the added predictors: " + fiveDecimals(c.CohenF2) + ", " + percent
         + " bootstrap percentile CI " + intervalText(result.interval(IntervalKind::Traditional, Estimand::CohenF2)));
    const std::string robust =
        std::string("Robust F test of the added predictors (") + robustCovarianceName(c.covariance) + "): ";
    if (c.RobustF && c.RobustP) {
        line(robust + "F = " + formatDouble(roundHalfEven(*c.RobustF, 3)) + ", df1 = " + formatInteger(c.RobustDf1)
             + ", df2 = " + formatInteger(c.RobustDf2) + ", " + formatPValue(*c.RobustP));
    } else {
        line(robust + "undefined (" + c.RobustProblem + ")");
    }
    const bool follows = result.request.EffectSizes && result.request.EffectSizes->modifiedFollowsRobust;
    if (!result.FValue) {
        line("Modified lower limit: the traditional limit (no F test)");
    } else if (follows && result.ModifiedFollowed == ModifiedTest::Classical) {
        line("Modified lower limit: follows the F test, since the robust F test is undefined");
    } else {
        line("Modified lower limit: follows " + modifiedTestName(result)
             + (result.ModifiedLowerIsZero ? ", not significant: 0" : ", significant: the traditional limit"));
    }
}

void noteLines(std::string& out)
{
    appendLine(out, "Exact CI: noncentral F, fixed predictors, R^2 = lambda / (lambda + N).");
    appendLine(out,
               "Alf and Graf CI: change +- z SE, large samples, not cut at 0, unreliably narrow near a change of 0.");
    appendLine(out, "Olkin-Pratt adjusted R^2 is not cut at 0.");
}

} // namespace

void ComputeEffectSizes(BootstrapResult& result, const CaseMatrix& cases, std::int32_t p, std::int32_t q)
{
    const EffectSizeRequest request = result.request.EffectSizes.value_or(EffectSizeRequest{});
    const ConfidenceLevel level = result.request.Level;
    const double levelDouble = analyticLevel(level);
    const std::int32_t n = result.CompleteCases;
    EffectSizeStatistics c;
    c.ReducedColumns = p;
    c.AddedColumns = q;
    c.covariance = request.covariance;
    std::erase_if(result.Intervals, [](const Interval& i) {
        return i.kind == IntervalKind::AlfGraf || i.kind == IntervalKind::NoncentralF
               || i.estimand == Estimand::CohenF2;
    });
    if (result.ReducedR2 && result.FullR2 && result.DeltaR2) {
        const double reduced = *result.ReducedR2;
        const double full = *result.FullR2;
        c.AlfGrafStandardError = alfGrafStandardError(full, reduced, n);
        if (full == reduced && full > 0.0) {
            c.AlfGrafProblem = "no change, where its variance vanishes";
        }
        result.Intervals.push_back(
            analytic(IntervalKind::AlfGraf, Estimand::ChangeR2, level, alfGrafInterval(full, reduced, n, levelDouble)));
        if (p > 0) {
            result.Intervals.push_back(analytic(IntervalKind::NoncentralF, Estimand::ReducedR2, level,
                                                exactR2Interval(reduced, p, n - p - 1, levelDouble)));
        }
        result.Intervals.push_back(analytic(IntervalKind::NoncentralF, Estimand::FullR2, level,
                                            exactR2Interval(full, p + q, n - p - q - 1, levelDouble)));
        c.ReducedEzekiel = ezekielAdjusted(reduced, n, p);
        c.FullEzekiel = ezekielAdjusted(full, n, p + q);
        c.ReducedOlkinPratt = olkinPrattAdjusted(reduced, n, p);
        c.FullOlkinPratt = olkinPrattAdjusted(full, n, p + q);
        c.CohenF2 = cohenF2(*result.DeltaR2, full);
    }
    result.Intervals.push_back(f2Interval(result));

    const RobustOutcome robust = robustFChange(cases, p, q, request.covariance);
    if (robust.test) {
        c.RobustF = robust.test->F;
        c.RobustDf1 = robust.test->df1;
        c.RobustDf2 = robust.test->df2;
        c.RobustP = robust.test->PValue;
    } else {
        c.RobustProblem = robust.problem;
    }
    result.EffectSizes = c;

    if (request.modifiedFollowsRobust && c.RobustP && result.FValue) {
        result.ModifiedFollowed = ModifiedTest::Robust;
        result.ModifiedLowerIsZero = !(*c.RobustP < alphaOf(level));
        // The traditional limits are single precision, held exactly.
        const Interval* traditional = result.interval(IntervalKind::Traditional);
        std::optional<float> lower;
        std::optional<float> upper;
        if (traditional != nullptr && traditional->lower && traditional->upper) {
            lower = static_cast<float>(*traditional->lower);
            upper = static_cast<float>(*traditional->upper);
        }
        result.setPercentileIntervals(lower, upper);
    }
}

std::string effectSizeCommandOptions(const EffectSizeRequest& request)
{
    std::string options = " --effect-sizes";
    if (request.covariance == RobustCovariance::HC4) {
        options += " --robust hc4";
    }
    if (request.modifiedFollowsRobust) {
        options += " --modified-test robust";
    }
    return options;
}

std::string modifiedTestName(const BootstrapResult& result)
{
    if (result.ModifiedFollowed == ModifiedTest::Robust && result.EffectSizes) {
        return std::string("the robust F test (") + robustCovarianceName(result.EffectSizes->covariance) + ")";
    }
    return "the F test";
}

std::string FormatEffectSizes(const BootstrapResult& result)
{
    std::string out;
    appendLine(out, "Effect Sizes and Analytic Intervals");
    appendLine(out, BlockRule);
    if (result.EffectSizes) {
        effectSizeLines(out, result, true);
        noteLines(out);
    } else {
        appendLine(out, "Not computed for this run.");
    }
    appendBlockEnd(out);
    return out;
}

std::string FormatHierarchicalEffectSizes(const HierarchicalResult& result)
{
    std::string out;
    appendLine(out, "Effect Sizes and Analytic Intervals by Step");
    appendLine(out, BlockRule);
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        appendLine(out,
                   "Step " + formatInteger(static_cast<std::int64_t>(s) + 1) + " against "
                       + (s == 0 ? std::string("no predictors") : "step " + formatInteger(static_cast<std::int64_t>(s)))
                       + ":");
        if (step.EffectSizes) {
            effectSizeLines(out, step, false);
        } else {
            appendLine(out, "Not computed for this step.");
        }
    }
    noteLines(out);
    appendBlockEnd(out);
    return out;
}

} // namespace orvalis
