// makeRunRecord and FormatRunRecord: the record of a run, its limits' Monte Carlo error and the sample-size guidance.
#include "analyses/RunRecord.h"

#include "analyses/BootstrapReport.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "common/Version.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ctime>

namespace orvalis {
namespace {

// The larger error may be at most this share of the interval's width.
constexpr double ErrorShareOfWidth = 1.0 / 40.0;

} // namespace

std::string shellWord(const std::string& rawWord)
{
    const std::string word = escapeControlCharacters(rawWord);
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0
               || std::string_view("_./-+=:,@%").find(c) != std::string_view::npos;
    });
    if (plain) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

namespace {

std::string numberList(const std::vector<std::int32_t>& variables)
{
    std::string text;
    for (const std::int32_t v : variables) {
        if (!text.empty()) {
            text += ',';
        }
        text += formatInteger(v);
    }
    return text;
}

// An error in two significant digits, at least three decimals: "0.012", "0.0043".
std::string errorText(double error)
{
    const int decimals = error > 0.0 ? std::clamp(1 - static_cast<int>(std::floor(std::log10(error))), 3, 15) : 3;
    return formatFixed(error, decimals);
}

} // namespace

PrecisionAdvice assessPrecision(const BootstrapResult& result)
{
    PrecisionAdvice advice;
    const BootstrapDetails details = result.Details.value_or(BootstrapDetails{});
    const Interval* traditional = result.interval(IntervalKind::Traditional);
    if (!details.LowerLimitError || !details.UpperLimitError || traditional == nullptr || !traditional->lower
        || !traditional->upper) {
        return advice;
    }
    advice.error = std::max(*details.LowerLimitError, *details.UpperLimitError);
    const double allowed = (*traditional->upper - *traditional->lower) * ErrorShareOfWidth;
    advice.large = advice.error > allowed;
    if (!advice.large) {
        return advice;
    }
    const double needed = allowed > 0.0 ? result.NumValid * std::pow(advice.error / allowed, 2.0) : 1e300;
    advice.advisableTrials = 100000;
    for (const std::int32_t trials : {2000, 5000, 10000, 20000, 50000}) {
        if (needed <= trials) {
            advice.advisableTrials = trials;
            break;
        }
    }
    return advice;
}

namespace {

// The full model's predictor columns: a categorical predictor counts its indicators.
std::int32_t fullModelColumns(const BootstrapResult& result)
{
    return result.Columns.empty() ? result.request.NumPredictors() + result.request.NumAdded()
                                  : static_cast<std::int32_t>(result.Columns.size());
}

} // namespace

std::optional<SampleSizeGuidance> sampleSizeGuidance(const BootstrapResult& result)
{
    const std::int32_t predictors = fullModelColumns(result);
    SampleSizeGuidance guidance;
    if (predictors <= 4) {
        guidance.needed = 50;
        guidance.better = 50;
    } else if (predictors <= 6) {
        guidance.needed = 150;
        guidance.better = 150;
    } else if (predictors <= 9) {
        guidance.needed = 200;
        guidance.better = 250;
    } else {
        return std::nullopt;
    }
    guidance.below = result.CompleteCases < guidance.better;
    return guidance;
}

std::string utcTimestamp(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return std::string(buffer, length);
}

namespace {

// "orvalis-cli", the options that read the data as it was read, the path and the command.
std::string commandStart(const DataSource& source, const char* command)
{
    std::string line = "orvalis-cli";
    if (source.delimiter) {
        line += " --delimiter " + *source.delimiter;
    }
    if (!source.sheet.empty()) {
        line += " --sheet " + shellWord(source.sheet);
    }
    // A path that starts like an option is set apart by "--".
    const std::string path = escapeControlCharacters(source.path);
    line += (!path.empty() && path.front() == '-' ? " -- " : " ") + shellWord(path) + " " + command;
    return line;
}

// " --categorical 4,5" for the variables declared categorical, then each
// reference category by its label (by its number when it has none; a
// declared numeric variable's categories always have a label).
std::string categoricalOptions(const std::set<std::int32_t>& declared,
                               const std::map<std::int32_t, std::int32_t>& references,
                               const std::map<std::int32_t, std::vector<std::string>>& categories)
{
    std::string line;
    if (!declared.empty()) {
        line += " --categorical " + numberList(std::vector<std::int32_t>(declared.begin(), declared.end()));
    }
    for (const auto& [variable, code] : references) {
        // By its label, which the command line looks up before it reads a number.
        const auto labels = categories.find(variable);
        const bool labelled = labels != categories.end() && code >= 1
                              && static_cast<std::size_t>(code) <= labels->second.size()
                              && !labels->second[static_cast<std::size_t>(code) - 1].empty();
        line += " --reference "
                + shellWord(formatInteger(variable) + "="
                            + (labelled ? labels->second[static_cast<std::size_t>(code) - 1] : formatInteger(code)));
    }
    return line;
}

} // namespace

std::string equivalentCommandLine(const BootstrapRequest& request, std::uint64_t seed, const DataSource& source,
                                  const std::string& options,
                                  const std::map<std::int32_t, std::vector<std::string>>& categories)
{
    std::string line = commandStart(source, "bootstrap");
    line += " --dv " + formatInteger(request.DependentVariable.value_or(0));
    if (!request.PredictorList.empty()) {
        line += " --predictors " + numberList(request.PredictorList);
    }
    line += " --added " + numberList(request.AddedList);
    line += categoricalOptions(request.Categorical, request.ReferenceCategory, categories);
    line += " --trials " + formatInteger(request.NumTrials);
    line += " --confidence " + formatInteger(percentOf(request.Level));
    line += " --seed " + std::to_string(seed);
    return line + options;
}

std::string equivalentCommandLine(const HierarchicalResult& result, const DataSource& source,
                                  const std::string& options)
{
    const HierarchicalRequest& request = result.request;
    std::string line = commandStart(source, "hierarchical");
    line += " --dv " + formatInteger(request.DependentVariable.value_or(0));
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        // A step's variables, then its products: "--step 2,3,2*3".
        std::string terms = numberList(request.Steps[s]);
        if (s < request.Products.size()) {
            for (const ProductTerm& term : request.Products[s]) {
                terms += terms.empty() ? "" : ",";
                terms += formatInteger(term.first) + "*" + formatInteger(term.second);
            }
        }
        line += " --step " + terms;
    }
    line += categoricalOptions(request.Categorical, request.ReferenceCategory, result.Categories);
    if (!request.Centred.empty()) {
        line += " --center " + numberList(std::vector<std::int32_t>(request.Centred.begin(), request.Centred.end()));
    }
    if (request.Slopes) {
        line += " --slopes " + formatInteger(request.Slopes->focal) + "@" + formatInteger(request.Slopes->moderator);
        if (!request.Slopes->at.empty()) {
            std::string values;
            for (const double at : request.Slopes->at) {
                // The shortest text that reads back as the same number.
                char buffer[32];
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, at).ptr;
                values += values.empty() ? "" : ",";
                values.append(buffer, end);
            }
            line += " --slopes-at " + formatInteger(request.Slopes->moderator) + "=" + values;
        }
    }
    line += " --trials " + formatInteger(request.NumTrials);
    line += " --confidence " + formatInteger(percentOf(request.Level));
    line += " --seed " + std::to_string(result.Seed);
    return line + options;
}

RunRecord makeRunRecord(const DataSource& source, const Outcome<FileFingerprint>& fingerprint,
                        std::chrono::system_clock::time_point when, const std::string& commandLine)
{
    RunRecord record;
    record.program = std::string("Orvalis ") + programVersion();
    record.dataFile = source.path;
    if (fingerprint.ok()) {
        record.fingerprint = *fingerprint;
    } else {
        record.fingerprintProblem = fingerprint.refusal().message;
    }
    record.date = utcTimestamp(when);
    record.commandLine = commandLine;
    return record;
}

RunRecord makeRunRecord(const BootstrapResult& result, const DataSource& source,
                        const Outcome<FileFingerprint>& fingerprint, std::chrono::system_clock::time_point when,
                        const std::string& options)
{
    RunRecord record =
        makeRunRecord(source, fingerprint, when,
                      equivalentCommandLine(result.request, result.Seed, source, options, result.Categories));
    record.precision = assessPrecision(result);
    record.sampleSize = sampleSizeGuidance(result);
    return record;
}

std::string FormatRunRecord(const RunRecord& record, const RunFacts& facts, const std::vector<std::string>& moreLines)
{
    std::string out;
    auto line = [&out](const std::string& text) { appendLine(out, text); };
    line("Record of the Run");
    line(BlockRule);
    line("Program: " + record.program);
    if (!record.dataFile.empty()) {
        const std::string& role = record.fileRole;
        line(role + ": " + escapeControlCharacters(record.dataFile));
        if (record.fingerprint && record.fingerprint->changedSinceImport) {
            line(role + " size: " + formatGrouped(static_cast<std::int64_t>(record.fingerprint->size))
                 + " bytes as imported; SHA-256: changed since import");
        } else if (record.fingerprint) {
            line(role + " size: " + formatGrouped(static_cast<std::int64_t>(record.fingerprint->size))
                 + " bytes; SHA-256: " + record.fingerprint->sha256);
        } else {
            line(role + " size and SHA-256: undefined (" + record.fingerprintProblem + ")");
        }
    }
    if (facts.casesRead) {
        line("Cases read: " + formatInteger(*facts.casesRead)
             + "; complete cases used: " + formatInteger(facts.completeCases));
    }
    if (facts.seed) {
        line("Seed: " + std::to_string(*facts.seed) + "; trials: " + formatInteger(facts.trials)
             + "; level: " + formatInteger(facts.levelPercent) + "%"
             + (facts.dataSets ? "; data sets per sample size: " + formatInteger(*facts.dataSets) : std::string()));
        line("The same seed gives the same result digit for digit on any number of threads and any processor.");
    }
    line("Date: " + record.date);
    line("Command line: " + record.commandLine);
    for (const std::string& more : moreLines) {
        line(more);
    }
    appendBlockEnd(out);
    return out;
}

std::string FormatRunRecord(const HierarchicalResult& result, const RunRecord& record)
{
    return FormatRunRecord(record, {result.CasesRead, result.CompleteCases, result.Seed, result.request.NumTrials,
                                    percentOf(result.request.Level), std::nullopt});
}

std::string FormatRunRecord(const BootstrapResult& result, const RunRecord& record)
{
    std::vector<std::string> lines;
    auto line = [&lines](const std::string& text) { lines.push_back(text); };
    const std::int32_t percent = percentOf(result.request.Level);
    const BootstrapDetails details = result.Details.value_or(BootstrapDetails{});
    if (details.LowerLimitError && details.UpperLimitError) {
        line("Monte Carlo standard error of the traditional limits: " + errorText(*details.LowerLimitError) + " and "
             + errorText(*details.UpperLimitError) + " (binomial spread of the limits' ranks)");
    } else {
        line("Monte Carlo standard error of the traditional limits: undefined");
    }
    if (record.precision.large) {
        line("Note: with " + formatGrouped(result.request.NumTrials) + " trials the " + formatInteger(percent)
             + "% limits vary by about \u00b1" + errorText(record.precision.error) + " between seeds; "
             + formatGrouped(record.precision.advisableTrials) + " or more trials are advisable.");
    }
    if (record.sampleSize && record.sampleSize->below) {
        const SampleSizeGuidance& guidance = *record.sampleSize;
        const std::int32_t predictors = fullModelColumns(result);
        const std::string size = predictors <= 4 ? "at most 4" : predictors <= 6 ? "5 or 6" : "7 to 9";
        const std::string study = " that Algina, Keselman and Penfield (2008) found the modified interval needs with "
                                  + size
                                  + " predictors in the full model to keep its coverage within [.925, .975] "
                                    "for changes in the population R^2 from .01 to .04";
        if (result.CompleteCases < guidance.needed) {
            line("Note: " + formatGrouped(result.CompleteCases) + " complete cases are fewer than the "
                 + formatInteger(guidance.needed) + study
                 + (guidance.better > guidance.needed ? " (better " + formatInteger(guidance.better) + ")." : "."));
        } else {
            line("Note: " + formatGrouped(result.CompleteCases) + " complete cases reach the "
                 + formatInteger(guidance.needed) + study + ", but " + formatInteger(guidance.better) + " are better.");
        }
    }
    return FormatRunRecord(
        record, {result.CasesRead, result.CompleteCases, result.Seed, result.request.NumTrials, percent, std::nullopt},
        lines);
}

} // namespace orvalis
