// bootstrapJson, descriptivesJson, drawsCsv: nlohmann::json for the objects, to_chars for the CSV.
#include "cli/CliJson.h"

#include "analyses/CoefficientsReport.h"
#include "analyses/EffectSizeBlock.h"
#include "analyses/ReportText.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "common/Version.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace orvalis::cli {
namespace {

using nlohmann::json;

template <typename T>
json orNull(const std::optional<T>& value)
{
    return value ? json(*value) : json(nullptr);
}

json variable(std::int32_t v, const std::vector<std::string>& names)
{
    const auto index = static_cast<std::size_t>(v);
    const bool named = index < names.size() && !names[index].empty();
    return json{{"number", v}, {"name", named ? json(names[index]) : json(nullptr)}};
}

json variables(const std::vector<std::int32_t>& list, const std::vector<std::string>& names)
{
    json array = json::array();
    for (const std::int32_t v : list) {
        array.push_back(variable(v, names));
    }
    return array;
}

// Every text in the objects is valid UTF-8 (names are decoded at import, paths
// escaped); should one ever not be, it is replaced rather than aborting.
std::string dumped(const json& object)
{
    return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

// The object "record": the program, the file with its size and SHA-256
// (null, with the reason in "problem", when there is none: "changed since
// import" for a file that is no longer the one read), the date and the
// command line. "file" is null for a run that read no file.
json recordJson(const RunRecord& record)
{
    const std::optional<FileFingerprint>& print = record.fingerprint;
    const bool hashed = print && !print->changedSinceImport;
    const json file =
        record.dataFile.empty()
            ? json(nullptr)
            : json{{"name", escapeControlCharacters(record.dataFile)},
                   {"size", print ? json(print->size) : json(nullptr)},
                   {"sha256", hashed ? json(print->sha256) : json(nullptr)},
                   {"problem", hashed ? json(nullptr)
                                      : json(print ? std::string("changed since import") : record.fingerprintProblem)}};
    return {
        {"program", record.program},          {"file", file},
        {"same_result_on_any_threads", true}, {"date", record.date},
        {"command_line", record.commandLine},
    };
}

const char* estimandWord(Estimand estimand)
{
    switch (estimand) {
    case Estimand::ChangeR2:
        return "change_r2";
    case Estimand::ReducedR2:
        return "reduced_r2";
    case Estimand::FullR2:
        return "full_r2";
    case Estimand::CohenF2:
        return "cohen_f2";
    }
    return "";
}

json difference(const std::optional<double>& full, const std::optional<double>& reduced)
{
    return full && reduced ? json(*full - *reduced) : json(nullptr);
}

// A predictor column as a term: its variable, and the category its indicator
// marks (null for a numeric variable).
struct TermColumn {
    std::int32_t variable = 0;
    json category;
    json by; // a product's second factor ({"variable", "category"}); null for a column that is no product
};

// A column's category label, or null for a numeric variable.
json categoryLabel(const std::map<std::int32_t, std::vector<std::string>>& categories, std::int32_t v,
                   std::int32_t category)
{
    const auto labels = categories.find(v);
    return category == 0 || labels == categories.end() ? json(nullptr)
                                                       : json(labels->second[static_cast<std::size_t>(category) - 1]);
}

// A bootstrap interval's limits, each null where undefined.
json limitsJson(const std::optional<ResampledInterval>& interval)
{
    return {{"lower", interval ? orNull(interval->lower) : json(nullptr)},
            {"upper", interval ? orNull(interval->upper) : json(nullptr)}};
}

// A model's coefficients: the terms in order, the intercept first (its
// "column" 0, its "variable" null), or null with the reason.
json modelCoefficientsJson(const CoefficientsOutcome& model, const std::vector<TermColumn>& columns,
                           const std::vector<std::string>& names)
{
    if (!model.table) {
        return {{"terms", nullptr}, {"problem", model.problem}};
    }
    json terms = json::array();
    for (const Coefficient& c : model.table->rows) {
        const auto index = static_cast<std::size_t>(c.column);
        const bool term = c.column != 0 && index <= columns.size();
        json row = {{"column", c.column},
                    {"variable", term ? variable(columns[index - 1].variable, names) : json(nullptr)},
                    {"category", term ? columns[index - 1].category : json(nullptr)},
                    {"b", c.B},
                    {"se", c.SE},
                    {"ci", {{"lower", c.lower}, {"upper", c.upper}}},
                    {"beta", orNull(c.beta)},
                    {"t", c.t},
                    {"p", c.p},
                    {"sr2", orNull(c.sr2)},
                    {"tolerance", orNull(c.tolerance)},
                    {"vif", orNull(c.vif)}};
        // The bootstrap intervals of beta and sr^2, where the run has them.
        auto intervals = [](const std::optional<ResampledInterval>& percentile,
                            const std::optional<ResampledInterval>& bca) {
            json out = {{"percentile", limitsJson(percentile)}};
            if (bca) {
                out["bca"] = limitsJson(bca);
            }
            return out;
        };
        if (c.betaPercentile) {
            row["beta_interval"] = intervals(c.betaPercentile, c.betaBCa);
        }
        if (c.sr2Percentile) {
            row["sr2_interval"] = intervals(c.sr2Percentile, c.sr2BCa);
        }
        if (term && !columns[index - 1].by.is_null()) {
            row["by"] = {{"variable", variable(columns[index - 1].by["variable"].get<std::int32_t>(), names)},
                         {"category", columns[index - 1].by["category"]}};
        }
        terms.push_back(std::move(row));
    }
    return {{"terms", terms}, {"r2", model.table->R2}, {"df", model.table->df}, {"problem", nullptr}};
}

// The coefficients of the pair's two models.
json coefficientsJson(const BootstrapResult& result)
{
    const BootstrapRequest& request = result.request;
    std::vector<TermColumn> columns;
    for (const std::vector<std::int32_t>* list : {&request.PredictorList, &request.AddedList}) {
        for (const std::int32_t v : *list) {
            if (result.Columns.empty()) {
                columns.push_back({v, nullptr, nullptr});
            }
        }
    }
    for (const PredictorColumn& c : result.Columns) {
        columns.push_back({c.variable, categoryLabel(result.Categories, c.variable, c.category), nullptr});
    }
    return {{"confidence", percentOf(request.Level)},
            {"reduced", modelCoefficientsJson(result.Coefficients->reduced, columns, result.VariableNames)},
            {"full", modelCoefficientsJson(result.Coefficients->full, columns, result.VariableNames)}};
}

// The effect sizes and analytic intervals of a run, with every interval of its list.
json effectSizesJson(const BootstrapResult& result)
{
    const EffectSizeStatistics c = result.EffectSizes.value_or(EffectSizeStatistics{});
    json intervals = json::array();
    for (const Interval& interval : result.Intervals) {
        intervals.push_back({{"kind", intervalRow(interval.kind).jsonKind},
                             {"of", estimandWord(interval.estimand)},
                             {"confidence", percentOf(interval.level)},
                             {"lower", orNull(interval.lower)},
                             {"upper", orNull(interval.upper)}});
    }
    const bool robust = c.RobustF.has_value();
    json object = {
        {"intervals", intervals},
        {"exact_r2_convention", "fixed predictors; R2 = lambda / (lambda + N)"},
        {"alf_graf_standard_error", orNull(c.AlfGrafStandardError)},
        {"adjusted_r2",
         {{"ezekiel",
           {{"reduced", orNull(c.ReducedEzekiel)},
            {"full", orNull(c.FullEzekiel)},
            {"change", difference(c.FullEzekiel, c.ReducedEzekiel)}}},
          {"olkin_pratt",
           {{"reduced", orNull(c.ReducedOlkinPratt)},
            {"full", orNull(c.FullOlkinPratt)},
            {"change", difference(c.FullOlkinPratt, c.ReducedOlkinPratt)}}}}},
        {"cohen_f2", orNull(c.CohenF2)},
        {"robust_f_test",
         {{"covariance", robustCovarianceName(c.covariance)},
          {"f", orNull(c.RobustF)},
          {"df1", robust ? json(c.RobustDf1) : json(nullptr)},
          {"df2", robust ? json(c.RobustDf2) : json(nullptr)},
          {"p", orNull(c.RobustP)},
          {"problem", robust ? json(nullptr) : json(c.RobustProblem)}}},
        {"modified_limit_follows", modifiedTestName(result)},
    };
    if (!c.AlfGrafProblem.empty()) {
        // Only where there is one, so that every other run prints what it always has.
        object["alf_graf_problem"] = c.AlfGrafProblem;
    }
    return object;
}

// The p-value the modified limit's decision used, and where it came from.
json pValueUsed(const BootstrapResult& result)
{
    if (result.ModifiedFollowed == ModifiedTest::Robust && result.EffectSizes && result.EffectSizes->RobustP) {
        return *result.EffectSizes->RobustP;
    }
    return result.PValue;
}

json pValueSource(const BootstrapResult& result)
{
    if (result.ModifiedFollowed == ModifiedTest::Robust && result.EffectSizes) {
        return std::string("robust ") + robustCovarianceName(result.EffectSizes->covariance) + " Wald";
    }
    return "exact";
}

} // namespace

std::string bootstrapJson(const BootstrapResult& result, std::string_view dataFile, const RunRecord* record,
                          bool effectSizes)
{
    const BootstrapRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    const BootstrapDetails details = result.Details.value_or(BootstrapDetails{});
    const bool fTest = result.FValue.has_value();
    json object;
    // A path is bytes; shown as the text report shows it, so the JSON is valid UTF-8.
    object["file"] = escapeControlCharacters(dataFile);
    object["version"] = programVersion();
    object["seed"] = result.Seed;
    object["request"] = {
        {"dependent", variable(request.DependentVariable.value_or(0), names)},
        {"predictors", variables(request.PredictorList, names)},
        {"added", variables(request.AddedList, names)},
        {"trials", request.NumTrials},
        {"confidence", percentOf(request.Level)},
    };
    // A run with a categorical predictor: its indicator columns, each by its
    // category, against the reference (absent for a run without one).
    const bool indicators = std::any_of(result.Columns.begin(), result.Columns.end(),
                                        [](const PredictorColumn& c) { return c.category != 0; });
    if (indicators) {
        json columns = json::array();
        for (const PredictorColumn& c : result.Columns) {
            const auto labels = result.Categories.find(c.variable);
            const bool category = c.category != 0 && labels != result.Categories.end();
            json column = {{"variable", c.variable}, {"category", nullptr}, {"reference", nullptr}};
            if (category) {
                const std::vector<std::string>& names = labels->second;
                const auto reference =
                    static_cast<std::size_t>(referenceCategory(request.ReferenceCategory, c.variable)) - 1;
                column["category"] = names[static_cast<std::size_t>(c.category) - 1];
                column["reference"] = reference < names.size() ? json(names[reference]) : json(nullptr);
            }
            columns.push_back(std::move(column));
        }
        object["request"]["columns"] = std::move(columns);
    }
    object["cases"] = {{"read", result.CasesRead}, {"complete", result.CompleteCases}};
    object["trials"] = {{"attempted", request.NumTrials}, {"valid", result.NumValid}};
    object["observed"] = {
        {"reduced_r2", orNull(result.ReducedR2)},
        {"full_r2", orNull(result.FullR2)},
        {"change_r2", orNull(result.DeltaR2)},
    };
    // The traditional and modified limits are single precision (and printed
    // so); null where undefined (no valid trial), where the text report shows 0.
    auto single = [](const std::optional<double>& limit) {
        return limit ? json(static_cast<float>(*limit)) : json(nullptr);
    };
    auto limits = [&](IntervalKind kind) {
        const Interval* interval = result.interval(kind);
        return interval != nullptr ? json{{"lower", single(interval->lower)}, {"upper", single(interval->upper)}}
                                   : json{{"lower", nullptr}, {"upper", nullptr}};
    };
    const Interval* bca = result.interval(IntervalKind::BCa);
    // Every kind of the change with a key of its own; BCa's limits are in
    // "details", beside its constants.
    object["limits"] = {
        {"percentile_positions", {{"lower", result.Positions.lower}, {"upper", result.Positions.upper}}},
    };
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.jsonKey != nullptr && row.kind != IntervalKind::BCa) {
            object["limits"][row.jsonKey] = limits(row.kind);
        }
    }
    object["f_test"] = {
        {"f", orNull(result.FValue)},
        {"df1", result.df1},
        {"df2", result.df2},
        // The decision is made on the exact p-value.
        {"p_value_used", fTest ? pValueUsed(result) : json(nullptr)},
        {"p_value_source", fTest ? pValueSource(result) : json(nullptr)},
        {"modified_lower_is_zero", fTest ? json(result.ModifiedLowerIsZero) : json(nullptr)},
        {"exact_p", orNull(details.ExactP)},
    };
    object["details"] = {
        {"mean", orNull(details.Mean)},
        {"standard_error", orNull(details.StandardError)},
        {"bca",
         {{"lower", bca != nullptr ? orNull(bca->lower) : json(nullptr)},
          {"upper", bca != nullptr ? orNull(bca->upper) : json(nullptr)},
          {"bias_correction", orNull(details.BiasCorrection)},
          {"acceleration", orNull(details.Acceleration)}}},
    };
    if (details.BCaAtExtreme) {
        // Only where it holds, so that every other run prints what it always has.
        object["details"]["bca"]["extreme_order_statistics"] = true;
    }
    if (effectSizes) {
        object["effect_sizes"] = effectSizesJson(result);
    }
    if (result.Coefficients) {
        object["coefficients"] = coefficientsJson(result);
    }
    if (record != nullptr) {
        object["record"] = recordJson(*record);
        object["monte_carlo_error"] = {
            {"method", "binomial spread of the limits' ranks"},
            {"traditional_lower", orNull(details.LowerLimitError)},
            {"traditional_upper", orNull(details.UpperLimitError)},
            {"large", record->precision.large},
            {"advisable_trials", record->precision.large ? json(record->precision.advisableTrials) : json(nullptr)},
        };
        const bool guided = record->sampleSize.has_value();
        object["sample_size"] = {
            {"source", "Algina, Keselman and Penfield (2008)"},
            {"complete_cases", result.CompleteCases},
            {"needed", guided ? json(record->sampleSize->needed) : json(nullptr)},
            {"better", guided ? json(record->sampleSize->better) : json(nullptr)},
            {"below", guided ? json(record->sampleSize->below) : json(nullptr)},
        };
    }
    return dumped(object);
}

// The simple slopes and the Johnson-Neyman values of a run that asked for them.
json moderationJson(const HierarchicalResult& result)
{
    const ModerationResult& moderation = *result.Moderation;
    const std::vector<std::string>& names = result.VariableNames;
    json slopes = json::array();
    for (const SimpleSlope& slope : moderation.slopes) {
        slopes.push_back({{"at", slopePointText(moderation, slope)},
                          {"value", moderation.categoricalModerator ? json(nullptr) : json(slope.at)},
                          {"category", moderation.categoricalModerator ? categoryLabel(
                                           result.Categories, moderation.request.moderator, slope.category)
                                                                       : json(nullptr)},
                          {"b", slope.B},
                          {"se", slope.SE},
                          {"ci", {{"lower", slope.lower}, {"upper", slope.upper}}},
                          {"t", slope.t},
                          {"p", slope.p},
                          {"percentile", limitsJson(slope.percentile)},
                          {"intercept", slope.intercept}});
    }
    json object = {{"focal", variable(moderation.request.focal, names)},
                   {"moderator", variable(moderation.request.moderator, names)},
                   {"step", moderation.step + 1},
                   {"df", moderation.df},
                   {"confidence", percentOf(moderation.level)},
                   {"focal_range", {moderation.focalMin, moderation.focalMax}},
                   {"slopes", slopes},
                   {"johnson_neyman", nullptr}};
    if (!moderation.categoricalModerator) {
        object["moderator_mean"] = moderation.moderatorMean;
        object["moderator_sd"] = moderation.moderatorSD;
        object["moderator_range"] = {moderation.moderatorMin, moderation.moderatorMax};
    }
    if (moderation.johnsonNeyman) {
        const JohnsonNeyman& jn = *moderation.johnsonNeyman;
        object["johnson_neyman"] = {
            {"bounds", jn.bounds},
            {"significant", jn.significant},
            {"sentence", JohnsonNeymanSentence(moderation, variableText(moderation.request.focal, names),
                                               variableText(moderation.request.moderator, names),
                                               [](double value) { return formatFixed(value, 5); })}};
    }
    return object;
}

std::string dominanceJson(const DominanceResult& result, std::string_view dataFile)
{
    const DominanceRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    const DominanceStatistics& s = result.observed;
    const BootstrapResult& model = result.model;
    json object;
    object["file"] = escapeControlCharacters(dataFile);
    object["version"] = programVersion();
    object["seed"] = result.Seed;
    object["dependent"] = variable(request.DependentVariable.value_or(0), names);
    object["covariates"] = variables(request.Covariates, names);
    object["trials"] = request.NumTrials;
    object["valid_trials"] = result.NumValid;
    object["confidence"] = percentOf(request.Level);
    object["cases"] = {{"read", result.CasesRead}, {"complete", result.CompleteCases}};
    const Interval* traditional = model.interval(IntervalKind::Traditional);
    object["model"] = {
        {"r2", s.fullR2},
        {"covariates_r2", s.covariatesR2},
        {"change_r2", orNull(model.DeltaR2)},
        {"f", orNull(model.FValue)},
        {"df1", model.df1},
        {"df2", model.df2},
        {"p", model.FValue ? json(model.PValue) : json(nullptr)},
        {"traditional", traditional != nullptr
                            ? json{{"lower", orNull(traditional->lower)}, {"upper", orNull(traditional->upper)}}
                            : json{{"lower", nullptr}, {"upper", nullptr}}},
    };
    json units = json::array();
    for (std::size_t u = 0; u < result.units.size(); ++u) {
        json unit = {{"name", result.units[u].name.empty() ? json(nullptr) : json(result.units[u].name)},
                     {"variables", variables(result.units[u].variables, names)},
                     {"columns", result.units[u].columns.size()},
                     {"general", s.general[u]},
                     {"share", s.share[u]},
                     {"general_interval", {{"percentile", limitsJson(result.generalPercentile[u])}}},
                     {"share_interval", {{"percentile", limitsJson(result.sharePercentile[u])}}},
                     {"conditional", s.conditional[u]},
                     {"sr2", s.sr2[u]}};
        if (!result.generalBCa.empty()) {
            unit["general_interval"]["bca"] = limitsJson(result.generalBCa[u]);
            unit["share_interval"]["bca"] = limitsJson(result.shareBCa[u]);
        }
        units.push_back(std::move(unit));
    }
    object["units"] = std::move(units);
    json pairs = json::array();
    for (std::size_t a = 0; a < result.units.size(); ++a) {
        for (std::size_t b = a + 1; b < result.units.size(); ++b) {
            pairs.push_back({{"a", a + 1},
                             {"b", b + 1},
                             {"complete", s.complete[a][b] > 0   ? "a"
                                          : s.complete[a][b] < 0 ? "b"
                                                                 : "undetermined"},
                             {"a_completely_share", result.completeShare[a][b]},
                             {"b_completely_share", result.completeShare[b][a]},
                             {"a_generally_share", result.generalShare[a][b]}});
        }
    }
    object["pairs"] = std::move(pairs);
    return dumped(object);
}

std::string hierarchicalJson(const HierarchicalResult& result, std::string_view dataFile, bool effectSizes,
                             const RunRecord* record)
{
    const HierarchicalRequest& request = result.request;
    const std::vector<std::string>& names = result.VariableNames;
    json object;
    object["file"] = escapeControlCharacters(dataFile);
    object["version"] = programVersion();
    object["seed"] = result.Seed;
    object["dependent"] = variable(request.DependentVariable.value_or(0), names);
    object["trials"] = request.NumTrials;
    object["confidence"] = percentOf(request.Level);
    object["cases"] = {{"read", result.CasesRead}, {"complete", result.CompleteCases}};
    object["f_change"] = "each step against the one before it, with the step's own error term";
    if (!result.CentredMeans.empty()) {
        json centred = json::array();
        for (const auto& [v, mean] : result.CentredMeans) {
            centred.push_back({{"variable", variable(v, names)}, {"mean", mean}});
        }
        object["centred"] = std::move(centred);
    }
    auto limits = [](const BootstrapResult& step, IntervalKind kind) {
        const Interval* interval = step.interval(kind);
        return interval != nullptr ? json{{"lower", orNull(interval->lower)}, {"upper", orNull(interval->upper)}}
                                   : json{{"lower", nullptr}, {"upper", nullptr}};
    };
    // Every predictor column as a coefficient's term, once for every step.
    std::vector<TermColumn> terms;
    for (const PredictorColumn& c : result.columns) {
        terms.push_back({c.variable, categoryLabel(result.Categories, c.variable, c.category),
                         c.isProduct()
                             ? json{{"variable", c.byVariable},
                                    {"category", categoryLabel(result.Categories, c.byVariable, c.byCategory)}}
                             : json(nullptr)});
    }
    json steps = json::array();
    std::size_t column = 0;
    for (std::size_t s = 0; s < result.steps.size(); ++s) {
        const BootstrapResult& step = result.steps[s];
        json columns = json::array();
        for (std::int32_t k = 0; k < result.stepColumns[s]; ++k, ++column) {
            const PredictorColumn& c = result.columns[column];
            columns.push_back(
                {{"variable", c.variable}, {"category", categoryLabel(result.Categories, c.variable, c.category)}});
            if (c.isProduct()) {
                columns.back()["by"] = {{"variable", c.byVariable},
                                        {"category", categoryLabel(result.Categories, c.byVariable, c.byCategory)}};
            }
        }
        const BootstrapDetails details = step.Details.value_or(BootstrapDetails{});
        const bool fTest = step.FValue.has_value();
        steps.push_back({
            {"step", s + 1},
            {"variables", variables(request.Steps[s], names)},
            {"columns", columns},
            {"r2", orNull(step.FullR2)},
            {"change_r2", orNull(step.DeltaR2)},
            {"valid_trials", step.NumValid},
            {"f", orNull(step.FValue)},
            {"df1", step.df1},
            {"df2", step.df2},
            {"p", fTest ? json(step.PValue) : json(nullptr)},
            {"modified_lower_is_zero", fTest ? json(step.ModifiedLowerIsZero) : json(nullptr)},
            {"mean", orNull(details.Mean)},
            {"standard_error", orNull(details.StandardError)},
            {"bias_correction", orNull(details.BiasCorrection)},
            {"acceleration", orNull(details.Acceleration)},
        });
        for (const IntervalRow& row : intervalCatalogue()) {
            if (row.jsonKey != nullptr) {
                steps.back()[row.jsonKey] = limits(step, row.kind);
            }
        }
        if (s < request.Products.size() && !request.Products[s].empty()) {
            json products = json::array();
            for (const ProductTerm& term : request.Products[s]) {
                products.push_back(json::array({variable(term.first, names), variable(term.second, names)}));
            }
            steps.back()["products"] = std::move(products);
        }
        if (effectSizes) {
            steps.back()["effect_sizes"] = effectSizesJson(step);
        }
        if (step.Coefficients) {
            steps.back()["coefficients"] = modelCoefficientsJson(step.Coefficients->full, terms, names);
            steps.back()["coefficients"]["confidence"] = percentOf(request.Level);
        }
    }
    object["steps"] = steps;
    if (result.Moderation) {
        object["moderation"] = moderationJson(result);
    }
    if (record != nullptr) {
        object["record"] = recordJson(*record);
    }
    return dumped(object);
}

std::string powerJson(const PowerQuestion& question, const PowerAnswer& answer, std::optional<double> target,
                      const RunRecord* record)
{
    json object({
        {"plan", "power"},
        {"version", programVersion()},
        {"predictors", question.p},
        {"added", question.q},
        {"f2", question.f2},
        {"alpha", question.alpha},
        {"noncentrality", noncentralityName(question.convention)},
        {"target_power", orNull(target)},
        {"n", answer.n},
        {"df1", answer.df1},
        {"df2", answer.df2},
        {"lambda", answer.lambda},
        {"critical_f", answer.criticalF},
        {"power", answer.power},
    });
    if (record != nullptr) {
        object["record"] = recordJson(*record);
    }
    return dumped(object);
}

std::string widthPlanJson(const WidthPlan& plan, const RunRecord* record, bool details)
{
    const WidthQuestion& question = plan.question;
    json rows = json::array();
    for (const WidthRow& row : plan.rows) {
        rows.push_back({{"n", row.n},
                        {"data_sets", row.dataSets},
                        {"median_width", row.medianWidth},
                        {"assurance_width", row.assuranceWidth},
                        {"median_modified_width", row.medianModifiedWidth},
                        {"assurance_modified_width", row.assuranceModifiedWidth},
                        {"coverage", row.coverage},
                        {"modified_coverage", row.modifiedCoverage},
                        {"modified_lower_zero", row.lowerZero}});
        if (details) {
            rows.back()["assurance_width_mc_error"] = row.assuranceWidthError;
            rows.back()["assurance_modified_width_mc_error"] = row.assuranceModifiedWidthError;
            rows.back()["near_target"] = row.nearTarget;
            rows.back()["modified_near_target"] = row.modifiedNearTarget;
        }
    }
    json object({
        {"plan", "width"},
        {"version", programVersion()},
        {"population",
         {{"predictors", question.population.p},
          {"added", question.population.q},
          {"reduced_r2", question.population.reducedR2},
          {"full_r2", question.population.fullR2},
          {"correlations", question.population.correlations}}},
        {"data_sets", question.dataSets},
        {"trials", question.trials},
        {"confidence", percentOf(question.level)},
        {"seed", question.seed},
        {"target_width", question.targetWidth},
        {"assurance", question.assurance},
        {"rows", rows},
        {"smallest_n",
         {{"traditional", orNull(plan.smallestTraditional)}, {"modified", orNull(plan.smallestModified)}}},
    });
    if (record != nullptr) {
        object["record"] = recordJson(*record);
    }
    return dumped(object);
}

std::string descriptivesJson(const std::vector<DescriptivesRow>& rows)
{
    json array = json::array();
    for (const DescriptivesRow& row : rows) {
        if (row.categorical) {
            json categories = json::array();
            for (const DescriptivesRow::Category& category : row.categories) {
                categories.push_back({{"label", category.label}, {"n", category.N}});
            }
            array.push_back({
                {"variable", row.variable},
                {"name", row.name.empty() ? json(nullptr) : json(row.name)},
                {"n", row.N},
                {"mean", nullptr},
                {"sd", nullptr},
                {"min", nullptr},
                {"max", nullptr},
                {"categories", categories},
            });
            continue;
        }
        const bool any = row.N >= 1;
        array.push_back({
            {"variable", row.variable},
            {"name", row.name.empty() ? json(nullptr) : json(row.name)},
            {"n", row.N},
            {"mean", any ? json(row.Mean) : json(nullptr)},
            {"sd", row.N >= 2 ? json(row.SD) : json(nullptr)},
            {"min", any ? json(row.Min) : json(nullptr)},
            {"max", any ? json(row.Max) : json(nullptr)},
        });
    }
    return dumped(json{{"variables", array}});
}

} // namespace orvalis::cli
