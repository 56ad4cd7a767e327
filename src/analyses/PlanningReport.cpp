// FormatPowerReport, FormatWidthPlan: fixed wording, rounded values.
#include "analyses/PlanningReport.h"

#include "analyses/BootstrapReport.h"
#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvalis {
namespace {

std::string rounded(double value, int decimals)
{
    return formatDouble(roundHalfEven(value, decimals));
}

std::string percentText(double share)
{
    return formatFixed(100.0 * share, 1) + "%";
}

// Cells padded to the widths of the table's columns, two blanks apart.
std::string row(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths)
{
    std::string text;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        text += cells[c];
        if (c + 1 < cells.size()) {
            text.append(widths[c] - std::min(widths[c], cells[c].size()) + 2, ' ');
        }
    }
    // An empty last cell (no mark in Near) leaves no blanks at the line's end.
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

} // namespace

std::string powerText(double power)
{
    const double shown = roundHalfEven(power, 4);
    return shown >= 1.0 ? std::string("> .9999") : formatDouble(shown);
}

std::string FormatPowerReport(const PowerQuestion& question, const PowerAnswer& answer, std::optional<double> target)
{
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Power of the F Test of the Added Predictors");
    line(BlockRule);
    line("Predictors in reduced model: " + formatInteger(question.p) + "; added: " + formatInteger(question.q));
    line("Effect: f^2 = " + rounded(question.f2, 5));
    line("Alpha: " + rounded(question.alpha, 5));
    line(std::string("Noncentrality: ") + noncentralityName(question.convention));
    if (target) {
        line("Target power: " + rounded(*target, 4));
        line("Smallest sample size reaching it: " + formatInteger(answer.n));
    } else {
        line("Sample size: " + formatInteger(answer.n));
    }
    line("df1 = " + formatInteger(answer.df1) + ", df2 = " + formatInteger(answer.df2)
         + ", lambda = " + rounded(answer.lambda, 4) + ", critical F = " + rounded(answer.criticalF, 4));
    line("Power: " + powerText(answer.power));
    appendBlockEnd(out);
    return out;
}

std::string FormatWidthPlan(const WidthPlan& plan, bool details)
{
    const WidthQuestion& question = plan.question;
    const Population& population = question.population;
    const std::string percent = formatInteger(percentOf(question.level)) + "%";
    const std::string assurance = formatInteger(static_cast<std::int64_t>(std::llround(question.assurance * 100.0)));
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Sample Size for the Width of the Bootstrap Interval");
    line(BlockRule);
    line("Population: " + formatInteger(population.p) + " reduced-model predictors, " + formatInteger(population.q)
         + " added; rho^2 reduced " + rounded(population.reducedR2, 4) + ", full " + rounded(population.fullR2, 4)
         + ", change " + rounded(population.fullR2 - population.reducedR2, 4) + "; normal data");
    line("Simulation: " + formatGrouped(question.dataSets) + " data sets per sample size, "
         + formatGrouped(question.trials) + " bootstrap trials each, " + percent + " intervals, seed "
         + std::to_string(question.seed));
    line("Target width: " + rounded(question.targetWidth, 5) + ", reached by " + assurance + "% of the intervals");
    line("");
    const std::vector<std::string> header = {"N",
                                             "Data sets",
                                             "Median width",
                                             "P" + assurance + " width",
                                             "Median mod.",
                                             "P" + assurance + " mod.",
                                             "Coverage",
                                             "Mod. coverage",
                                             "Lower 0"};
    std::vector<std::vector<std::string>> cells{header};
    if (details) {
        cells[0].insert(cells[0].end(), {"P" + assurance + " MC error", "P" + assurance + " mod. MC error", "Near"});
    }
    for (const WidthRow& r : plan.rows) {
        cells.push_back({formatInteger(r.n), formatInteger(r.dataSets), formatFixed(r.medianWidth, 4),
                         formatFixed(r.assuranceWidth, 4), formatFixed(r.medianModifiedWidth, 4),
                         formatFixed(r.assuranceModifiedWidth, 4), formatFixed(r.coverage, 3),
                         formatFixed(r.modifiedCoverage, 3), percentText(r.lowerZero)});
        if (details) {
            const char* near = r.nearTarget && r.modifiedNearTarget ? "both"
                               : r.nearTarget                       ? "trad."
                               : r.modifiedNearTarget               ? "mod."
                                                                    : "";
            cells.back().insert(cells.back().end(), {formatFixed(r.assuranceWidthError, 4),
                                                     formatFixed(r.assuranceModifiedWidthError, 4), near});
        }
    }
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& cellRow : cells) {
        for (std::size_t c = 0; c < cellRow.size(); ++c) {
            widths[c] = std::max(widths[c], cellRow[c].size());
        }
    }
    for (const auto& cellRow : cells) {
        line(row(cellRow, widths));
    }
    line("");
    auto smallest = [&](const char* which, const std::optional<std::int32_t>& n) {
        line(std::string("Smallest N whose ") + which + " intervals are at most " + rounded(question.targetWidth, 5)
             + " wide in " + assurance + "% of the data sets: "
             + (n ? formatInteger(*n) : "none up to " + formatInteger(question.sampleSizes.back())));
    };
    smallest("traditional", plan.smallestTraditional);
    smallest("modified", plan.smallestModified);
    line("Widths: upper limit less lower limit. Coverage: the share of intervals holding the population's change.");
    if (details) {
        line("MC error: the Monte Carlo standard error of the P" + assurance
             + " width over the data sets, from their order statistics: half the distance between the quantiles at "
               "p - s and p + s, s = sqrt(p (1 - p) / data sets).");
        line("Near: the P" + assurance + " width (trad.), the modified one (mod.) or both lie within one MC error of "
             "the target, so that another seed or grid may answer on the other side.");
        auto uncertain = [&](const char* which, const std::optional<std::int32_t>& n, bool WidthRow::*near) {
            if (!n) {
                return;
            }
            // The answer's row, or the one before it that just missed, lies
            // within its error of the target: the answer may be a neighbour.
            for (std::size_t k = 0; k < plan.rows.size(); ++k) {
                if (plan.rows[k].n != *n) {
                    continue;
                }
                if (plan.rows[k].*near || (k > 0 && plan.rows[k - 1].*near)) {
                    line(std::string("The ") + which + " answer, N = " + formatInteger(*n)
                         + ", is within the Monte Carlo error of the target: another seed may give a neighbouring N;"
                           " more data sets would settle it.");
                }
            }
        };
        uncertain("traditional", plan.smallestTraditional, &WidthRow::nearTarget);
        uncertain("modified", plan.smallestModified, &WidthRow::modifiedNearTarget);
    }
    appendBlockEnd(out);
    return out;
}

std::string FormatPowerCurveCsv(const std::vector<PowerAnswer>& points)
{
    std::string csv = "n,power\n";
    char buffer[64];
    for (const PowerAnswer& point : points) {
        csv += std::to_string(point.n);
        csv += ',';
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, point.power).ptr;
        csv.append(buffer, end);
        csv += '\n';
    }
    return csv;
}

} // namespace orvalis
