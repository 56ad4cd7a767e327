// Moderation: simple slopes as weighted sums of a model's coefficients, and the closed form of Johnson-Neyman.
#include "analyses/Moderation.h"

#include "analyses/Hierarchical.h"
#include "analyses/RequestCheck.h"
#include "common/NumberText.h"
#include "data/DataSet.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

bool joins(const ProductTerm& term, std::int32_t a, std::int32_t b)
{
    return (term.first == a && term.second == b) || (term.first == b && term.second == a);
}

bool hasFactor(const ProductTerm& term, std::int32_t v)
{
    return term.first == v || term.second == v;
}

// The step (0-based) whose products join a and b; none when no step's do.
std::optional<std::size_t> productStep(const HierarchicalRequest& request, std::int32_t a, std::int32_t b)
{
    for (std::size_t s = 0; s < request.Products.size(); ++s) {
        for (const ProductTerm& term : request.Products[s]) {
            if (joins(term, a, b)) {
                return s;
            }
        }
    }
    return std::nullopt;
}

bool isPredictor(const HierarchicalRequest& request, std::int32_t v)
{
    return std::any_of(request.Steps.begin(), request.Steps.end(), [v](const std::vector<std::int32_t>& step) {
        return std::find(step.begin(), step.end(), v) != step.end();
    });
}

// A product column's factor that is v: its category (0 for a numeric one), or -1 when v is not a factor.
std::int32_t factorCategory(const PredictorColumn& column, std::int32_t v)
{
    if (column.variable == v) {
        return column.category;
    }
    return column.byVariable == v ? column.byCategory : -1;
}

} // namespace

Status CheckSlopesRequest(const HierarchicalRequest& request, const DataSet& dataSet)
{
    if (!request.Slopes) {
        return Done{};
    }
    const SlopesRequest& slopes = *request.Slopes;
    if (const Status inData = checkVariablesInData({slopes.focal, slopes.moderator}, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    for (const std::int32_t v : {slopes.focal, slopes.moderator}) {
        if (!isPredictor(request, v)) {
            return analysisRefusal(namedVariable(v, dataSet)
                                   + " is not a predictor of the model, so it takes no part in simple slopes.");
        }
    }
    if (slopes.focal == slopes.moderator) {
        return analysisRefusal("The simple slopes need two different variables: a focal predictor and its moderator.");
    }
    const std::optional<std::size_t> step = productStep(request, slopes.focal, slopes.moderator);
    if (!step) {
        return analysisRefusal("The simple slopes of " + namedVariable(slopes.focal, dataSet) + " at "
                               + namedVariable(slopes.moderator, dataSet) + " need their product in a step ("
                               + productText({slopes.focal, slopes.moderator}, dataSet) + ").");
    }
    if (entersAsCategorical(slopes.focal, request.Categorical, dataSet)) {
        return analysisRefusal(namedVariable(slopes.focal, dataSet)
                               + " is categorical; simple slopes are of a numeric focal predictor (a categorical"
                                 " variable can be the moderator).");
    }
    for (std::size_t s = 0; s <= *step; ++s) {
        for (const ProductTerm& term : request.Products[s]) {
            if (hasFactor(term, slopes.focal) && !joins(term, slopes.focal, slopes.moderator)) {
                return analysisRefusal("The model of step " + std::to_string(*step + 1) + " has another product of "
                                       + namedVariable(slopes.focal, dataSet) + " (" + productText(term, dataSet)
                                       + "), so its slope depends on more than "
                                       + namedVariable(slopes.moderator, dataSet) + ".");
            }
        }
    }
    if (!slopes.at.empty() && entersAsCategorical(slopes.moderator, request.Categorical, dataSet)) {
        return analysisRefusal(namedVariable(slopes.moderator, dataSet)
                               + " is categorical: its slopes are read in each category, not at values given.");
    }
    if (slopes.at.size() > MaxSlopeValues) {
        return analysisRefusal("There are " + std::to_string(slopes.at.size())
                               + " moderator values for the simple slopes, and at most "
                               + std::to_string(MaxSlopeValues) + " are allowed.");
    }
    return Done{};
}

ModerationPlan PlanModeration(const HierarchicalRequest& request, const std::vector<PredictorColumn>& columns,
                              const std::vector<std::int32_t>& stepColumns, const CaseMatrix& cases,
                              const std::vector<std::string>& moderatorLabels)
{
    ModerationPlan plan;
    ModerationResult& result = plan.result;
    result.request = *request.Slopes;
    result.level = request.Level;
    const std::int32_t focal = result.request.focal;
    const std::int32_t moderator = result.request.moderator;
    result.step = productStep(request, focal, moderator).value_or(0);
    for (std::size_t s = 0; s <= result.step && s < stepColumns.size(); ++s) {
        result.columns += stepColumns[s];
    }
    const auto k = static_cast<std::size_t>(result.columns);

    // The model's columns (1-based) of the focal predictor, of the moderator and of their products.
    std::int32_t focalColumn = 0;
    std::int32_t moderatorColumn = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> indicators; // (category, column)
    std::vector<std::pair<std::int32_t, std::int32_t>> products;   // (moderator's category or 0, column)
    for (std::int32_t c = 1; c <= result.columns; ++c) {
        const PredictorColumn& column = columns[static_cast<std::size_t>(c) - 1];
        if (!column.isProduct()) {
            if (column.variable == focal) {
                focalColumn = c;
            } else if (column.variable == moderator) {
                moderatorColumn = c;
                indicators.emplace_back(column.category, c);
            }
        } else if (factorCategory(column, focal) == 0 && factorCategory(column, moderator) >= 0) {
            products.emplace_back(factorCategory(column, moderator), c);
        }
    }
    result.categoricalModerator = !indicators.empty() && indicators.front().first != 0;
    result.categoryLabels = moderatorLabels;

    // The observed ranges, and a numeric moderator's mean and standard deviation.
    auto range = [&cases](std::int32_t c, double& low, double& high) {
        low = std::numeric_limits<double>::infinity();
        high = -low;
        for (std::int32_t r = 1; r <= cases.NumComplete; ++r) {
            const double value =
                static_cast<double>(cases.at(r, c)) + static_cast<double>(cases.shift[static_cast<std::size_t>(c)]);
            low = std::min(low, value);
            high = std::max(high, value);
        }
    };
    range(focalColumn, result.focalMin, result.focalMax);
    const double focalCentre = request.Centred.contains(focal) ? columnMean(cases, focalColumn) : 0.0;
    if (!result.categoricalModerator) {
        range(moderatorColumn, result.moderatorMin, result.moderatorMax);
        const double mean = columnMean(cases, moderatorColumn);
        double squares = 0.0;
        for (std::int32_t r = 1; r <= cases.NumComplete; ++r) {
            const double d = static_cast<double>(cases.at(r, moderatorColumn))
                             + static_cast<double>(cases.shift[static_cast<std::size_t>(moderatorColumn)]) - mean;
            squares += d * d;
        }
        result.moderatorMean = mean;
        result.moderatorSD = std::sqrt(squares / static_cast<double>(cases.NumComplete - 1));
        result.moderatorCentre = request.Centred.contains(moderator) ? mean : 0.0;
    }

    // Each slope's weights, and its columns' values where the focal predictor is 0 (NaN: at the column's mean).
    auto addSlope = [&](SlopePoint point, double at, std::int32_t category) {
        SimpleSlope slope;
        slope.point = point;
        slope.at = at;
        slope.category = category;
        slope.weights.assign(k, 0.0);
        std::vector<double> atZero(k, std::numeric_limits<double>::quiet_NaN());
        const auto fx = static_cast<std::size_t>(focalColumn) - 1;
        slope.weights[fx] = 1.0;
        atZero[fx] = 0.0;
        const double moderatorFactor = at - result.moderatorCentre;
        if (!result.categoricalModerator) {
            atZero[static_cast<std::size_t>(moderatorColumn) - 1] = at;
        }
        for (const auto& [indicatorCategory, c] : indicators) {
            if (result.categoricalModerator) {
                atZero[static_cast<std::size_t>(c) - 1] = indicatorCategory == category ? 1.0 : 0.0;
            }
        }
        for (const auto& [productCategory, c] : products) {
            const double factor =
                result.categoricalModerator ? (productCategory == category ? 1.0 : 0.0) : moderatorFactor;
            slope.weights[static_cast<std::size_t>(c) - 1] = factor;
            atZero[static_cast<std::size_t>(c) - 1] = -focalCentre * factor;
        }
        result.slopes.push_back(std::move(slope));
        plan.atZero.push_back(std::move(atZero));
    };
    if (result.categoricalModerator) {
        for (std::int32_t category = 1; category <= static_cast<std::int32_t>(moderatorLabels.size()); ++category) {
            addSlope(SlopePoint::Category, category, category);
        }
    } else if (result.request.at.empty()) {
        addSlope(SlopePoint::BelowMean, result.moderatorMean - result.moderatorSD, 0);
        addSlope(SlopePoint::Mean, result.moderatorMean, 0);
        addSlope(SlopePoint::AboveMean, result.moderatorMean + result.moderatorSD, 0);
    } else {
        for (const double at : result.request.at) {
            addSlope(SlopePoint::Given, at, 0);
        }
    }
    plan.focalColumn = focalColumn;
    plan.productColumn = result.categoricalModerator || products.empty() ? 0 : products.front().second;
    return plan;
}

std::vector<std::vector<double>> slopeWeights(const ModerationPlan& plan)
{
    std::vector<std::vector<double>> weights;
    for (const SimpleSlope& slope : plan.result.slopes) {
        weights.push_back(slope.weights);
    }
    return weights;
}

Outcome<ModerationResult> FinishModeration(ModerationPlan plan, const CoefficientsOutcome& model,
                                           const std::vector<ResampledInterval>& percentiles)
{
    ModerationResult result = std::move(plan.result);
    if (!model.table) {
        return analysisRefusal("The simple slopes are undefined: " + model.problem + ".");
    }
    const CoefficientTable& table = *model.table;
    const auto k = static_cast<std::int32_t>(table.rows.size()) - 1;
    result.df = table.df;
    const boost::math::students_t_distribution<double> student(table.df);
    result.critical =
        boost::math::quantile(boost::math::complement(student, (1.0 - analyticLevel(result.level)) / 2.0));
    for (std::size_t i = 0; i < result.slopes.size(); ++i) {
        SimpleSlope& slope = result.slopes[i];
        double B = 0.0;
        double variance = 0.0;
        double intercept = table.means[0];
        for (std::int32_t a = 1; a <= k; ++a) {
            const double wa = slope.weights[static_cast<std::size_t>(a) - 1];
            const double Ba = table.rows[static_cast<std::size_t>(a)].B;
            B += wa * Ba;
            for (std::int32_t b = 1; b <= k; ++b) {
                variance += wa * slope.weights[static_cast<std::size_t>(b) - 1] * table.covarianceOf(a, b);
            }
            const double zero = plan.atZero[i][static_cast<std::size_t>(a) - 1];
            if (!std::isnan(zero)) {
                intercept += Ba * (zero - table.means[static_cast<std::size_t>(a)]);
            }
        }
        slope.B = B;
        slope.SE = std::sqrt(std::max(0.0, variance));
        slope.t = B / slope.SE;
        slope.p = 2.0 * boost::math::cdf(boost::math::complement(student, std::fabs(slope.t)));
        slope.lower = B - result.critical * slope.SE;
        slope.upper = B + result.critical * slope.SE;
        slope.intercept = intercept;
        if (i < percentiles.size()) {
            slope.percentile = percentiles[i];
        }
        // A moderator value given far beyond the data (1e300) takes the slope's variance past double precision.
        const bool finite = std::isfinite(variance) && std::isfinite(B) && std::isfinite(slope.lower)
                            && std::isfinite(slope.upper) && std::isfinite(intercept)
                            && (!slope.percentile
                                || (std::isfinite(slope.percentile->lower.value_or(0.0))
                                    && std::isfinite(slope.percentile->upper.value_or(0.0))));
        if (!finite) {
            return analysisRefusal("The simple slope at " + formatDouble(slope.at)
                                   + " is beyond the range of double precision; give moderator values nearer its"
                                     " observed range ("
                                   + formatFixed(result.moderatorMin, 5) + " to " + formatFixed(result.moderatorMax, 5)
                                   + ").");
        }
    }
    if (!result.categoricalModerator && plan.productColumn > 0) {
        result.b1 = table.rows[static_cast<std::size_t>(plan.focalColumn)].B;
        result.b3 = table.rows[static_cast<std::size_t>(plan.productColumn)].B;
        result.v11 = table.covarianceOf(plan.focalColumn, plan.focalColumn);
        result.v13 = table.covarianceOf(plan.focalColumn, plan.productColumn);
        result.v33 = table.covarianceOf(plan.productColumn, plan.productColumn);
        result.johnsonNeyman = SolveJohnsonNeyman(result.b1, result.b3, result.v11, result.v13, result.v33,
                                                  result.critical, result.moderatorCentre);
    }
    return result;
}

ModerationResult::SlopeAt ModerationResult::slopeAt(double w) const
{
    const double d = w - moderatorCentre;
    return {b1 + b3 * d, std::sqrt(std::max(0.0, v11 + 2.0 * d * v13 + d * d * v33))};
}

JohnsonNeyman SolveJohnsonNeyman(double b1, double b3, double v11, double v13, double v33, double critical,
                                 double centre)
{
    // (b1 + b3 d)^2 - t^2 (v11 + 2 d v13 + d^2 v33) = A d^2 + B d + C; the slope is significant where it is positive.
    const double t2 = critical * critical;
    const double A = b3 * b3 - t2 * v33;
    const double B = 2.0 * (b1 * b3 - t2 * v13);
    const double C = b1 * b1 - t2 * v11;
    auto f = [&](double d) { return (A * d + B) * d + C; };
    std::vector<double> roots;
    if (A == 0.0) {
        if (B != 0.0) {
            roots.push_back(-C / B);
        }
    } else {
        const double discriminant = B * B - 4.0 * A * C;
        if (discriminant > 0.0) {
            // The stable form: q = -(B + sign(B) sqrt(disc)) / 2, roots q / A and C / q.
            const double q = -0.5 * (B + std::copysign(std::sqrt(discriminant), B));
            roots.push_back(q / A);
            if (q != 0.0) {
                roots.push_back(C / q);
            }
        }
    }
    std::sort(roots.begin(), roots.end());
    // Each piece's significance at a point inside it; a bound where it does not change is dropped.
    auto inside = [&](std::size_t piece) {
        if (roots.empty()) {
            // Away from the vertex, where a double root touches 0.
            const double vertex = A != 0.0 ? -B / (2.0 * A) : 0.0;
            return vertex + std::max(1.0, std::fabs(vertex));
        }
        if (piece == 0) {
            return roots.front() - std::max(1.0, std::fabs(roots.front()));
        }
        if (piece == roots.size()) {
            return roots.back() + std::max(1.0, std::fabs(roots.back()));
        }
        return 0.5 * (roots[piece - 1] + roots[piece]);
    };
    JohnsonNeyman jn;
    jn.significant.push_back(f(inside(0)) > 0.0);
    for (std::size_t piece = 1; piece <= roots.size(); ++piece) {
        const bool significant = f(inside(piece)) > 0.0;
        if (significant != jn.significant.back()) {
            jn.bounds.push_back(roots[piece - 1] + centre);
            jn.significant.push_back(significant);
        }
    }
    return jn;
}

} // namespace orvalis
