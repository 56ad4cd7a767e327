// FormatDominanceReport: aligned tables of the weights, conditional dominance and the pairs.
#include "analyses/DominanceReport.h"

#include "analyses/BootstrapReport.h"
#include "analyses/CoefficientsReport.h"
#include "analyses/ReportText.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"

namespace orvalis {
namespace {

std::string complete(int relation)
{
    return relation > 0 ? "dominates" : relation < 0 ? "is dominated" : "undetermined";
}

std::string variableList(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names)
{
    std::string text;
    for (const std::int32_t v : variables) {
        text += (text.empty() ? "" : ", ") + variableText(v, names);
    }
    return text;
}

} // namespace

std::string unitName(const DominanceResult& result, std::size_t u)
{
    const DominanceUnit& unit = result.units[u];
    return unit.name.empty() ? variableText(unit.variables.front(), result.VariableNames)
                             : escapeControlCharacters(unit.name);
}

std::string FormatDominanceReport(const DominanceResult& result)
{
    const DominanceRequest& request = result.request;
    const DominanceStatistics& s = result.observed;
    const std::vector<std::string>& names = result.VariableNames;
    const std::size_t m = result.units.size();
    const std::string percent = formatInteger(percentOf(request.Level)) + "% ";
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Results of Dominance Analysis");
    line(BlockRule);
    line("Dependent variable: " + variableText(request.DependentVariable.value_or(0), names));
    std::string units;
    for (std::size_t u = 0; u < m; ++u) {
        units += (u == 0 ? "" : "; ") + unitName(result, u);
        if (!result.units[u].name.empty()) {
            units += " (" + variableList(result.units[u].variables, names) + ")";
        }
    }
    line("Units: " + units);
    if (!request.Covariates.empty()) {
        line("Covariates in every model: " + variableList(request.Covariates, names));
    }
    line("Complete cases used: " + formatInteger(result.CompleteCases) + " of " + formatInteger(result.CasesRead));
    line("Number of attempted bootstrap trials: " + formatInteger(request.NumTrials)
         + "; valid for every subset: " + formatInteger(result.NumValid));
    line("Confidence interval: " + formatInteger(percentOf(request.Level)) + "%");
    const BootstrapResult& model = result.model;
    std::string fit = "R^2 of the full model: " + fiveDecimals(s.fullR2);
    if (!request.Covariates.empty()) {
        fit += "; of the covariates: " + fiveDecimals(s.covariatesR2) + "; the units share "
               + fiveDecimals(s.fullR2 - s.covariatesR2);
    }
    line(fit);
    if (model.FValue) {
        line(std::string(request.Covariates.empty() ? "F test of the units: F = "
                                                    : "F test of the units beyond the "
                                                      "covariates: F = ")
             + formatFloat(roundHalfEven(*model.FValue, 3)) + ", df1 = " + formatInteger(model.df1)
             + ", df2 = " + formatInteger(model.df2) + ", p = " + pValueText(model.PValue));
    }
    line("");

    // The general weights and shares.
    const bool bca = !result.generalBCa.empty();
    std::vector<std::string> header = {"Unit", "General", "Share", percent + "percentile of General",
                                       percent + "percentile of Share"};
    if (bca) {
        header.insert(header.end(), {percent + "BCa of General", percent + "BCa of Share"});
    }
    header.push_back("sr^2");
    std::vector<std::vector<std::string>> rows = {header};
    for (std::size_t u = 0; u < m; ++u) {
        std::vector<std::string> row = {unitName(result, u), formatFixed(s.general[u], 5), formatFixed(s.share[u], 5),
                                        resampledText(result.generalPercentile[u]),
                                        resampledText(result.sharePercentile[u])};
        if (bca) {
            row.push_back(resampledText(result.generalBCa[u]));
            row.push_back(resampledText(result.shareBCa[u]));
        }
        row.push_back(formatFixed(s.sr2[u], 5));
        rows.push_back(std::move(row));
    }
    out += alignedColumns(rows);
    line("");

    // Conditional dominance: the mean gain at each model size.
    line("Conditional dominance: the mean R^2 each unit adds to the models of k other units");
    std::vector<std::string> sizes = {"Unit"};
    for (std::size_t k = 0; k < m; ++k) {
        sizes.push_back("k = " + formatInteger(static_cast<std::int64_t>(k)));
    }
    rows = {sizes};
    for (std::size_t u = 0; u < m; ++u) {
        std::vector<std::string> row = {unitName(result, u)};
        for (std::size_t k = 0; k < m; ++k) {
            row.push_back(formatFixed(s.conditional[u][k], 5));
        }
        rows.push_back(std::move(row));
    }
    out += alignedColumns(rows);
    line("");

    // Every pair: complete dominance in the sample, and in how many trials each kind holds.
    line("Dominance of each pair, A against B, and the share of valid trials in which it holds");
    rows = {{"A", "B", "Complete", "A completely", "B completely", "A generally"}};
    for (std::size_t a = 0; a < m; ++a) {
        for (std::size_t b = a + 1; b < m; ++b) {
            // Without a valid trial there is no share to give.
            auto share = [&](double value) {
                return result.NumValid > 0 ? formatFixed(value, 3) : std::string(UndefinedText);
            };
            rows.push_back({unitName(result, a), unitName(result, b), complete(s.complete[a][b]),
                            share(result.completeShare[a][b]), share(result.completeShare[b][a]),
                            share(result.generalShare[a][b])});
        }
    }
    out += alignedColumns(rows);
    line(BlockRule);
    line("General: a unit's mean R^2 gain over the model sizes; the weights sum to the R^2 "
         + std::string(request.Covariates.empty() ? "of the full model" : "beyond the covariates")
         + ". Complete: A adds more R^2 than B to every model of the other units.");
    appendBlockEnd(out);
    return out;
}

} // namespace orvalis
