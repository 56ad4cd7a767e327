// FormatCoefficients: the terms of each model in aligned columns.
#include "analyses/CoefficientsReport.h"

#include "analyses/ReportText.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <algorithm>

namespace orvalis {
namespace {

// Every value of a column with the same number of decimals, so that the points line up.
std::string rounded(double value, int decimals)
{
    return formatFixed(value, decimals);
}

// "[-5.63924, -3.07836]"; written by appending (GCC 12 warns falsely on "[" + text).
std::string intervalText(double lower, double upper)
{
    std::string text = "[";
    text += rounded(lower, 5);
    text += ", ";
    text += rounded(upper, 5);
    text += "]";
    return text;
}

// "Full model: Var1 (mpg), R^2 = 0.83477, df = 28" (no R^2 and df for an undefined model).
std::string modelHeading(const std::string& model, const std::string& dependent, const CoefficientsOutcome& coefficients)
{
    std::string heading = model + " model: " + dependent;
    if (coefficients.table) {
        heading += ", R^2 = " + fiveDecimals(coefficients.table->R2) + ", df = " + formatInteger(coefficients.table->df);
    }
    return heading;
}

std::string optionalRounded(const std::optional<double>& value, int decimals)
{
    return value ? rounded(*value, decimals) : std::string();
}

std::string termOf(const Coefficient& c, const std::vector<std::string>& termNames)
{
    const auto index = static_cast<std::size_t>(c.column);
    return c.column == 0               ? std::string("(Intercept)")
           : index <= termNames.size() ? termNames[index - 1]
                                       : "Column " + formatInteger(c.column);
}

// The bootstrap intervals of beta and sr^2 of a model's predictors, below its
// table; nothing when the run has none.
std::string resampledTable(const CoefficientsOutcome& model, const std::vector<std::string>& termNames,
                           ConfidenceLevel level, std::int32_t validTrials)
{
    if (!model.table) {
        return {};
    }
    const auto rowsWith = std::count_if(model.table->rows.begin(), model.table->rows.end(),
                                        [](const Coefficient& c) { return c.betaPercentile.has_value(); });
    if (rowsWith == 0) {
        return {};
    }
    const bool bca = std::any_of(model.table->rows.begin(), model.table->rows.end(),
                                 [](const Coefficient& c) { return c.betaBCa.has_value(); });
    const std::string percent = formatInteger(percentOf(level)) + "% ";
    std::vector<std::string> header = {"Term", percent + "percentile of Beta", percent + "percentile of sr^2"};
    if (bca) {
        header.push_back(percent + "BCa of Beta");
        header.push_back(percent + "BCa of sr^2");
    }
    std::vector<std::vector<std::string>> rows = {header};
    for (const Coefficient& c : model.table->rows) {
        if (!c.betaPercentile) {
            continue;
        }
        rows.push_back({termOf(c, termNames), resampledText(c.betaPercentile), resampledText(c.sr2Percentile)});
        if (bca) {
            rows.back().push_back(resampledText(c.betaBCa));
            rows.back().push_back(resampledText(c.sr2BCa));
        }
    }
    std::string out;
    appendLine(out, "Bootstrap intervals from the " + formatInteger(validTrials) + " valid trials:");
    out += alignedColumns(rows);
    return out;
}

} // namespace

std::string resampledText(const std::optional<ResampledInterval>& interval)
{
    std::string text = "[";
    auto limit = [](const std::optional<double>& value) {
        return value ? rounded(*value, 5) : std::string(UndefinedText);
    };
    text += limit(interval ? interval->lower : std::nullopt);
    text += ", ";
    text += limit(interval ? interval->upper : std::nullopt);
    text += "]";
    return text;
}

std::string FormatCoefficientTable(const CoefficientsOutcome& model, const std::vector<std::string>& termNames,
                                   ConfidenceLevel level)
{
    if (!model.table) {
        std::string out;
        appendLine(out, "Coefficients undefined: " + model.problem);
        return out;
    }
    std::vector<std::vector<std::string>> rows = {{"Term", "B", "SE B", formatInteger(percentOf(level)) + "% CI of B",
                                                   "Beta", "t", "p", "sr^2", "Tolerance", "VIF"}};
    for (const Coefficient& c : model.table->rows) {
        rows.push_back({termOf(c, termNames), rounded(c.B, 5), rounded(c.SE, 5), intervalText(c.lower, c.upper),
                        optionalRounded(c.beta, 5), rounded(c.t, 3), pValueText(c.p), optionalRounded(c.sr2, 5),
                        optionalRounded(c.tolerance, 5), optionalRounded(c.vif, 3)});
    }
    return alignedColumns(rows);
}

std::string FormatCoefficients(const BootstrapResult& result)
{
    if (!result.Coefficients) {
        return {};
    }
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    // A categorical predictor's indicators are named as a model sequence's.
    std::vector<std::string> terms;
    for (const PredictorColumn& column : result.Columns) {
        terms.push_back(termName(result.Categories, request.ReferenceCategory, column,
                                 [&names](std::int32_t v) { return variableText(v, names); }));
    }
    if (result.Columns.empty()) { // a result built without its columns: one per variable
        for (const std::vector<std::int32_t>* list : {&request.PredictorList, &request.AddedList}) {
            for (const std::int32_t v : *list) {
                terms.push_back(variableText(v, names));
            }
        }
    }
    std::string out;
    appendLine(out, "Coefficients");
    appendLine(out, BlockRule);
    const std::string dependent = variableText(request.DependentVariable.value_or(0), names);
    auto model = [&](const char* which, const CoefficientsOutcome& coefficients) {
        appendLine(out, modelHeading(which, dependent, coefficients));
        out += FormatCoefficientTable(coefficients, terms, request.Level);
        out += resampledTable(coefficients, terms, request.Level, result.NumValid);
    };
    model("Reduced", result.Coefficients->reduced);
    appendLine(out, "");
    model("Full", result.Coefficients->full);
    appendLine(out, "sr^2: the R^2 the model loses when that predictor alone is dropped.");
    appendBlockEnd(out);
    return out;
}

std::string termName(const HierarchicalResult& result, const PredictorColumn& column)
{
    return termName(result.Categories, result.request.ReferenceCategory, column,
                    [&result](std::int32_t v) { return variableText(v, result.VariableNames); });
}

std::string termName(const std::map<std::int32_t, std::vector<std::string>>& categories,
                     const std::map<std::int32_t, std::int32_t>& references, const PredictorColumn& column,
                     const std::function<std::string(std::int32_t)>& variableName, std::string_view productSign)
{
    auto factor = [&](std::int32_t v, std::int32_t category) {
        std::string name = variableName(v);
        const auto labels = categories.find(v);
        if (category == 0 || labels == categories.end()) {
            return name;
        }
        const std::int32_t reference = referenceCategory(references, v);
        auto label = [&](std::int32_t code) {
            const auto index = static_cast<std::size_t>(code) - 1;
            return code >= 1 && index < labels->second.size() ? escapeControlCharacters(labels->second[index])
                                                              : formatInteger(code);
        };
        name += ": ";
        name += label(category);
        name += " vs ";
        name += label(reference);
        return name;
    };
    std::string name = factor(column.variable, column.category);
    if (column.isProduct()) {
        name += productSign;
        name += factor(column.byVariable, column.byCategory);
    }
    return name;
}

std::string FormatHierarchicalCoefficients(const HierarchicalResult& result)
{
    if (result.steps.empty() || !result.steps.front().Coefficients) {
        return {};
    }
    std::vector<std::string> terms;
    for (const PredictorColumn& column : result.columns) {
        terms.push_back(termName(result, column));
    }
    std::string out;
    appendLine(out, "Coefficients by Step");
    appendLine(out, BlockRule);
    if (!result.CentredMeans.empty()) {
        // "Centred at their means in the complete cases: Var2 (x) 3.05733, Var3 (w) 0.31200"
        std::string line = "Centred at their means in the complete cases:";
        for (std::size_t k = 0; k < result.CentredMeans.size(); ++k) {
            line += k == 0 ? " " : ", ";
            line += variableText(result.CentredMeans[k].first, result.VariableNames);
            line += " ";
            line += fiveDecimals(result.CentredMeans[k].second);
        }
        appendLine(out, line);
    }
    const std::string dependent = variableText(result.request.DependentVariable.value_or(0), result.VariableNames);
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        if (s > 0) {
            appendLine(out, "");
        }
        const CoefficientsOutcome& model = step.Coefficients->full;
        appendLine(out, modelHeading("Step " + formatInteger(static_cast<std::int64_t>(s) + 1), dependent, model));
        out += FormatCoefficientTable(model, terms, result.request.Level);
        out += resampledTable(model, terms, result.request.Level, step.NumValid);
    }
    appendLine(out, "sr^2: the R^2 the model loses when that predictor alone is dropped.");
    appendBlockEnd(out);
    return out;
}

std::string slopePointText(const ModerationResult& moderation, const SimpleSlope& slope)
{
    switch (slope.point) {
    case SlopePoint::BelowMean:
        return "mean - 1 SD";
    case SlopePoint::Mean:
        return "mean";
    case SlopePoint::AboveMean:
        return "mean + 1 SD";
    case SlopePoint::Given:
        return "given";
    case SlopePoint::Category: {
        const auto index = static_cast<std::size_t>(slope.category) - 1;
        return index < moderation.categoryLabels.size() ? escapeControlCharacters(moderation.categoryLabels[index])
                                                        : formatInteger(slope.category);
    }
    }
    return {};
}

std::string JohnsonNeymanSentence(const ModerationResult& moderation, const std::string& focal,
                                  const std::string& moderator, const std::function<std::string(double)>& number,
                                  bool pastTense)
{
    const JohnsonNeyman& jn = *moderation.johnsonNeyman;
    const std::string level = formatInteger(100 - percentOf(moderation.level)) + "% level";
    std::string text = "the slope of " + focal + (pastTense ? " was " : " is ");
    if (jn.bounds.empty()) {
        text += jn.significant.front() ? "significant at the " + level + " for every value of " + moderator
                                       : "not significant at the " + level + " for any value of " + moderator;
    } else {
        std::vector<std::string> pieces;
        for (std::size_t piece = 0; piece < jn.significant.size(); ++piece) {
            if (!jn.significant[piece]) {
                continue;
            }
            pieces.push_back(piece == 0 ? "below " + number(jn.bounds.front())
                             : piece == jn.bounds.size()
                                 ? "above " + number(jn.bounds.back())
                                 : "between " + number(jn.bounds[piece - 1]) + " and " + number(jn.bounds[piece]));
        }
        text += "significant at the " + level + " for " + moderator + " ";
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            text += (k == 0 ? "" : " and ") + pieces[k];
        }
    }
    text += "; " + moderator + (pastTense ? " ranged from " : " ranges from ") + number(moderation.moderatorMin)
            + " to " + number(moderation.moderatorMax);
    const bool beyond = std::any_of(jn.bounds.begin(), jn.bounds.end(), [&](double bound) {
        return bound < moderation.moderatorMin || bound > moderation.moderatorMax;
    });
    if (beyond) {
        text += pastTense ? " (a value beyond that range was an extrapolation)"
                          : " (a value beyond that range is an extrapolation)";
    }
    return text;
}

std::string FormatModeration(const HierarchicalResult& result)
{
    if (!result.Moderation) {
        return {};
    }
    const ModerationResult& moderation = *result.Moderation;
    const std::string focal = variableText(moderation.request.focal, result.VariableNames);
    const std::string moderator = variableText(moderation.request.moderator, result.VariableNames);
    const BootstrapResult& step = result.steps[moderation.step];
    const std::string percent = formatInteger(percentOf(result.request.Level)) + "% ";
    std::string out;
    appendLine(out, "Simple Slopes of " + focal + " at " + moderator);
    appendLine(out, BlockRule);
    appendLine(out, "From the model of step " + formatInteger(static_cast<std::int64_t>(moderation.step) + 1)
                        + " (R^2 = " + fiveDecimals(step.FullR2) + ", df = " + formatInteger(moderation.df)
                        + "); the percentile intervals from its " + formatInteger(step.NumValid) + " valid trials.");
    if (!moderation.categoricalModerator) {
        std::string line = moderator + ": mean " + rounded(moderation.moderatorMean, 5) + ", standard deviation "
                           + rounded(moderation.moderatorSD, 5);
        if (result.request.Centred.contains(moderation.request.moderator)) {
            line += ", centred at its mean";
        }
        appendLine(out, line + ".");
    }
    std::vector<std::vector<std::string>> rows = {{moderator, moderation.categoricalModerator ? "" : "Value", "B",
                                                   "SE B", percent + "CI of B", "t", "p", percent + "percentile of B"}};
    for (const SimpleSlope& slope : moderation.slopes) {
        rows.push_back({slopePointText(moderation, slope),
                        moderation.categoricalModerator ? std::string() : rounded(slope.at, 5), rounded(slope.B, 5),
                        rounded(slope.SE, 5), intervalText(slope.lower, slope.upper), rounded(slope.t, 3),
                        pValueText(slope.p), resampledText(slope.percentile)});
    }
    if (moderation.categoricalModerator) {
        for (std::vector<std::string>& row : rows) {
            row.erase(row.begin() + 1);
        }
    }
    out += alignedColumns(rows);
    if (moderation.johnsonNeyman) {
        std::string sentence =
            JohnsonNeymanSentence(moderation, focal, moderator, [](double value) { return rounded(value, 5); });
        sentence[0] = 'T';
        appendLine(out, "Johnson-Neyman: " + sentence + ".");
    }
    appendBlockEnd(out);
    return out;
}

} // namespace orvalis
