// orvalis-cli: global options, FILE, command and the command's own arguments.
#include "cli/CliApp.h"

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/CoefficientsReport.h"
#include "analyses/EffectSizeBlock.h"
#include "analyses/Descriptives.h"
#include "analyses/ReportText.h"
#include "analyses/RequestCheck.h"
#include "cli/CliFigure.h"
#include "cli/CliJson.h"
#include "cli/CliOptions.h"
#include "common/NumberText.h"
#include "common/SafeWrite.h"
#include "common/TextEscape.h"
#include "analyses/ApaReport.h"
#include "analyses/DominanceReport.h"
#include "analyses/HierarchicalReport.h"
#include "analyses/Planning.h"
#include "analyses/PlanningReport.h"
#include "analyses/RunRecord.h"
#include "data/CategoricalView.h"
#include "data/DataImport.h"
#include "data/FileContent.h"
#include "common/FileHash.h"
#include "common/RuntimeErrors.h"
#include "formats/FileFormats.h"

#include <algorithm>
#include <filesystem>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <charconv>
#include <chrono>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>

namespace orvalis::cli {
namespace {

struct Invocation {
    CliSettings settings; // the options before FILE, then the command's
    std::string file;
    std::string command;
    std::vector<std::string> commandArgs;
};

// Runs a command on the imported data set; may throw UsageError for
// arguments that only the data can judge (a variable beyond the last).
using Runner = std::function<int(const DataSet&, std::ostream&, std::ostream&)>;

// A command parses its own arguments before the file is read (throwing
// UsageError) and returns what runs it.
using Command = std::function<Runner(const Invocation&)>;

void noArguments(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        throw UsageError{"unexpected argument: " + args.front()};
    }
}

// The variable's number in the data set; a name that matches no variable, or
// several, is a usage error naming it.
std::int32_t resolve(const VariableRef& variable, const DataSet& dataSet)
{
    if (variable.name.empty()) {
        return variable.number;
    }
    const Outcome<std::int32_t> found = variableNamed(dataSet, variable.name);
    if (!found.ok()) {
        throw UsageError{found.refusal().message};
    }
    return *found;
}

// A list's variables in ascending order.
std::vector<std::int32_t> resolveSorted(const std::vector<VariableRef>& variables, const DataSet& dataSet)
{
    std::vector<std::int32_t> numbers;
    for (const VariableRef& variable : variables) {
        numbers.push_back(resolve(variable, dataSet));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The variables of --categorical (or --center), in a set.
std::set<std::int32_t> resolveVariableSet(const std::vector<VariableRef>& variables, const DataSet& dataSet)
{
    std::set<std::int32_t> numbers;
    for (const VariableRef& variable : variables) {
        numbers.insert(resolve(variable, dataSet));
    }
    return numbers;
}

// The reference categories of --reference, each by its category (1-based).
// A text variable's category is found by its label, else read as its number;
// a numeric variable declared categorical by its label, else by its value
// ("condition=1" names the category of the cells holding 1).
std::map<std::int32_t, std::int32_t> resolveReferences(const std::vector<ReferenceRef>& references,
                                                       const std::set<std::int32_t>& declared, const DataSet& dataSet)
{
    std::map<std::int32_t, std::int32_t> codes;
    for (const ReferenceRef& reference : references) {
        const std::int32_t v = resolve(reference.variable, dataSet);
        if (v < 1 || v > dataSet.NumVariables()) {
            throw UsageError{variableNumber(v) + " is not in the data"};
        }
        std::int32_t code = 0;
        if (declared.contains(v) && !dataSet.isCategorical(v)) {
            const CategoricalView view = categoricalView(dataSet, v, static_cast<std::size_t>(MaxCategories));
            code = view.categoryLabelled(decodeToUtf8(reference.category));
            float value = 0.0f;
            const char* first = reference.category.data();
            const char* last = first + reference.category.size();
            if (const auto [end, error] = std::from_chars(first, last, value);
                code == 0 && error == std::errc() && end == last) {
                code = view.categoryOfValue(value);
            }
            if (code == 0) {
                throw UsageError{"--reference: " + variableNumber(v) + " has no category "
                                 + escapeControlCharacters(reference.category)};
            }
        } else {
            const std::vector<std::string>& labels = dataSet.categories(v);
            const auto found = std::find(labels.begin(), labels.end(), decodeToUtf8(reference.category));
            if (found != labels.end()) {
                code = static_cast<std::int32_t>(found - labels.begin()) + 1;
            } else if (looksNumeric(reference.category)) {
                code = static_cast<std::int32_t>(parseNumber(reference.category, 1, 1000000, "--reference"));
            } else {
                throw UsageError{"--reference: " + variableNumber(v) + " has no category "
                                 + escapeControlCharacters(reference.category)};
            }
        }
        if (!codes.emplace(v, code).second) {
            throw UsageError{"--reference is given twice for " + variableNumber(v)};
        }
    }
    return codes;
}

// The warning of value-labelled predictors entered as numbers, on err for the
// forms whose output has no place for it (JSON, APA); the text form has it
// after its report.
void warnOfValueLabels(const std::vector<std::int32_t>& variables, const std::vector<std::string>& names,
                       std::ostream& err)
{
    std::string text = toUnixLineEnds(FormatValueLabelWarning(variables, names));
    while (text.ends_with("\n\n")) {
        text.pop_back();
    }
    err << text;
}

// What a refused analysis prints: a request for a variable the data does not
// have is a usage error (exit 2, with the one-line form); any other refusal
// prints its message (exit 1).
int refused(const Refusal& refusal, std::ostream& err)
{
    if (refusal.reason == Refusal::Reason::NotInData) {
        throw UsageError{refusal.message};
    }
    err << refusal.message << "\n";
    return ExitFailure;
}

Runner summaryCommand(const Invocation& invocation)
{
    noArguments(invocation.commandArgs);
    return [file = invocation.file](const DataSet& dataSet, std::ostream& out, std::ostream&) {
        out << toUnixLineEnds(FormatImportSummary(file, dataSet));
        return ExitSuccess;
    };
}

// The effect sizes a run computes: when asked for, or for Alf and Graf's
// interval in the APA forms.
std::optional<EffectSizeRequest> effectSizesOf(const OutputForm& form)
{
    if (form.effectSizes || intervalRow(form.apaInterval).needs == IntervalNeeds::EffectSizes) {
        return form.effectSizeRequest;
    }
    return std::nullopt;
}

// What the command line adds after the seed to print the same blocks again
// with the record: the form, the effect sizes' options, --record.
std::string recordOptions(const OutputForm& form)
{
    const std::string effectSizes = (form.effectSizes ? effectSizeCommandOptions(form.effectSizeRequest) : "")
                                    + (form.coefficients ? " --coefficients" : "");
    return form.format == Format::Json ? " --format json" + effectSizes + " --record"
           : form.details              ? " --details" + effectSizes + " --record"
                                       : effectSizes + " --record";
}

// The data file's size and SHA-256 for the record, hashed now but only when
// the file is still the one imported (its identity as the import read it);
// otherwise a fingerprint that says it changed since the import.
Outcome<FileFingerprint> importedFingerprint(const std::string& file, const DataSet& dataSet)
{
    return fingerprintFile(file, dataSet.sourceIdentity());
}

// Writes the draws by the save rules, never over the data file; false (with
// the reason on err) when the write failed.
bool saveDraws(const std::string& dataFile, const std::string& drawsFile, const std::string& csv, std::ostream& err)
{
    SafeWriteOptions keep;
    keep.protectedFiles.push_back(dataFile);
    if (const Status saved = writeFileSafely(drawsFile, csv, keep); !saved.ok()) {
        err << "orvalis-cli: cannot write " << escapeControlCharacters(drawsFile) << ": " << saved.refusal().message
            << "\n";
        return false;
    }
    return true;
}

// The figure's options against each other and the run: a size, resolution or
// step only with --figure, a resolution only for a PNG, a step among the
// run's steps (0 for bootstrap, which has no --figure-step); and --figure only
// where orvalis-cli was built with Qt.
void checkFigureOptions(const CliSettings& settings, std::size_t steps)
{
    const bool figure = settings.has("--figure");
    for (const char* option : {"--figure-size", "--figure-dpi", "--figure-step", "--figure-of"}) {
        if (!figure && settings.has(option)) {
            throw UsageError{std::string(option) + " needs --figure"};
        }
    }
    if (!figure) {
        return;
    }
    if (!figuresAvailable()) {
        throw UsageError{"--figure needs Qt, and this orvalis-cli was built without it"};
    }
    const FigureRequest& request = settings.run.form.figure;
    if (settings.has("--figure-dpi") && request.type != FigureFileType::Png) {
        throw UsageError{"--figure-dpi is a PNG figure's resolution: " + request.file};
    }
    if (settings.has("--figure-step") && request.moderation) {
        throw UsageError{"--figure-step goes with the distribution figure, not --figure-of "
                         + settings.given.at("--figure-of")};
    }
    if (settings.has("--figure-step")) {
        parseNumber(settings.given.at("--figure-step"), 1, static_cast<std::int64_t>(steps), "--figure-step");
    }
    // The figure would be written over the draws just saved.
    const std::string& draws = settings.run.form.drawsFile;
    if (!draws.empty()) {
        std::error_code error;
        const auto path = [&error](const std::string& name) {
            return std::filesystem::weakly_canonical(std::filesystem::absolute(name, error), error);
        };
        if (path(draws) == path(request.file)) {
            throw UsageError{"--figure and --save-draws name the same file: " + request.file};
        }
    }
}

// What a command's figure draws, set by its runner once its run has
// succeeded: the drawing and write of the run's figure (the request's file,
// never over the data file). None when the command line asks for no figure.
using FigureWriter = std::function<Status(const FigureRequest& request, const std::string& dataFile)>;
using FigureSource = std::shared_ptr<FigureWriter>;

FigureSource figureSource(const FigureRequest& request)
{
    return request.file.empty() ? nullptr : std::make_shared<FigureWriter>();
}

// A command's runner followed by its figure: once the runner has printed its
// report and succeeded, the figure it kept in source is drawn and written by
// the save rules (never over the data file). A failed drawing or write says
// why on err and exits 1; the report stays printed.
Runner withFigure(const FigureRequest& request, FigureSource source, const std::string& dataFile, Runner runner)
{
    if (!source) {
        return runner;
    }
    return [request, source, dataFile, runner](const DataSet& dataSet, std::ostream& out, std::ostream& err) {
        const int status = runner(dataSet, out, err);
        if (status != ExitSuccess || !*source) {
            return status;
        }
        out.flush();
        if (const Status written = (*source)(request, dataFile); !written.ok()) {
            err << "orvalis-cli: cannot write " << escapeControlCharacters(request.file) << ": "
                << written.refusal().message << "\n";
            return ExitFailure;
        }
        return ExitSuccess;
    };
}

Runner bootstrapCommand(const Invocation& invocation)
{
    BootstrapRequest request;
    CliSettings settings = invocation.settings;
    parseCommandOptions(invocation.commandArgs, 0, Bootstrap, settings);
    const VariableRef& dependent = settings.dependent;
    const std::vector<VariableRef>& predictors = settings.predictors;
    const std::vector<VariableRef>& added = settings.added;
    const RunOptions& run = settings.run;
    const OutputForm& form = run.form;
    const bool haveDependent = settings.has("--dv");
    const bool haveAdded = settings.has("--added");
    if (!haveDependent) {
        throw UsageError{"bootstrap needs --dv"};
    }
    if (!haveAdded) {
        throw UsageError{"bootstrap needs --added"};
    }
    checkFigureOptions(settings, 0);
    const FigureSource shown = figureSource(form.figure);
    // The JSON, the record (its Monte Carlo errors) and the BCa interval of
    // the APA forms need the details.
    request.NumTrials = run.trials;
    request.Level = run.level;
    request.Details = form.details || form.record || form.format != Format::Text;
    request.EffectSizes = effectSizesOf(form);
    request.Coefficients = form.coefficients;
    const DataSource source{invocation.file, settings.delimiterWord, settings.sheet};
    const std::vector<VariableRef>& categorical = settings.categorical;
    const std::vector<ReferenceRef>& references = settings.references;
    const Runner runner = [request, dependent, predictors, added, categorical, references, seed = run.seed,
                           threads = run.threads, form, source, shown, file = invocation.file](
                              const DataSet& dataSet, std::ostream& out, std::ostream& err) mutable {
        request.DependentVariable = resolve(dependent, dataSet);
        request.PredictorList = resolveSorted(predictors, dataSet);
        request.AddedList = resolveSorted(added, dataSet);
        request.Categorical = resolveVariableSet(categorical, dataSet);
        request.ReferenceCategory = resolveReferences(references, request.Categorical, dataSet);
        const Outcome<BootstrapResult> outcome = RunBootstrap(request, dataSet, seed, {}, threads);
        if (!outcome.ok()) {
            return refused(outcome.refusal(), err);
        }
        if (!form.drawsFile.empty() && !saveDraws(file, form.drawsFile, FormatDraws(*outcome), err)) {
            return ExitFailure;
        }
        if (form.format != Format::Text) {
            warnOfValueLabels(outcome->ValueLabelledPredictors, outcome->VariableNames, err);
        }
        if (shown) {
            *shown = [result = *outcome](const FigureRequest& figure, const std::string& dataFile) {
                return writeDistributionFigure(result, figure, dataFile);
            };
        }
        if (form.format == Format::Apa || form.format == Format::ApaMarkdown) {
            out << FormatApaResults(*outcome, form.apaInterval,
                                    form.format == Format::Apa ? ApaForm::Plain : ApaForm::Markdown,
                                    form.apaCoefficientColumn);
            return ExitSuccess;
        }
        std::optional<RunRecord> record;
        if (form.record) {
            record = makeRunRecord(*outcome, source, importedFingerprint(file, dataSet),
                                   std::chrono::system_clock::now(), recordOptions(form));
        }
        if (form.format == Format::Json) {
            out << bootstrapJson(*outcome, file, record ? &*record : nullptr, form.effectSizes);
            return ExitSuccess;
        }
        out << toUnixLineEnds(FormatBootstrapReport(*outcome));
        if (form.details) {
            out << toUnixLineEnds(FormatBootstrapDetails(*outcome, file));
        }
        if (form.effectSizes) {
            out << toUnixLineEnds(FormatEffectSizes(*outcome));
        }
        out << toUnixLineEnds(FormatCoefficients(*outcome));
        if (record) {
            out << toUnixLineEnds(FormatRunRecord(*outcome, *record));
        }
        return ExitSuccess;
    };
    return withFigure(form.figure, shown, invocation.file, runner);
}

Runner hierarchicalCommand(const Invocation& invocation)
{
    HierarchicalRequest request;
    CliSettings settings = invocation.settings;
    parseCommandOptions(invocation.commandArgs, 0, Hierarchical, settings);
    const VariableRef& dependent = settings.dependent;
    const std::vector<std::vector<VariableRef>>& steps = settings.steps;
    const std::vector<ReferenceRef>& references = settings.references;
    const RunOptions& run = settings.run;
    const OutputForm& form = run.form;
    const bool haveDependent = settings.has("--dv");
    if (!haveDependent) {
        throw UsageError{"hierarchical needs --dv"};
    }
    if (steps.empty()) {
        throw UsageError{"hierarchical needs at least one --step"};
    }
    checkFigureOptions(settings, steps.size());
    const FigureSource shown = figureSource(form.figure);
    request.NumTrials = run.trials;
    request.Level = run.level;
    request.Details = form.details || form.format != Format::Text;
    request.EffectSizes = effectSizesOf(form);
    request.Coefficients = form.coefficients;
    const DataSource source{invocation.file, settings.delimiterWord, settings.sheet};
    const std::vector<VariableRef>& categorical = settings.categorical;
    const std::vector<VariableRef>& centred = settings.centred;
    const auto& products = settings.stepProducts;
    const auto& slopes = settings.slopes;
    const auto& slopesAt = settings.slopesAt;
    if (slopesAt && !slopes) {
        throw UsageError{"--slopes-at needs --slopes"};
    }
    if (form.figure.moderation && !slopes) {
        throw UsageError{"--figure-of " + std::string(settings.given.at("--figure-of")) + " needs --slopes"};
    }
    const Runner runner = [request, dependent, steps, products, slopes, slopesAt, references, categorical, centred,
                           seed = run.seed, threads = run.threads, form, source, shown, file = invocation.file](
                              const DataSet& dataSet, std::ostream& out, std::ostream& err) mutable {
        request.DependentVariable = resolve(dependent, dataSet);
        for (std::size_t s = 0; s < steps.size(); ++s) {
            std::vector<VariableRef> variables = steps[s];
            std::vector<ProductTerm>& terms = request.Products.emplace_back();
            for (const std::string& item : products[s]) {
                // A variable named with a '*' is that variable; anything else with one a product.
                if (variableNamed(dataSet, item).ok()) {
                    variables.push_back({0, item});
                    continue;
                }
                const auto [first, second] = parseProduct(item);
                terms.push_back({resolve(first, dataSet), resolve(second, dataSet)});
            }
            request.Steps.push_back(resolveSorted(variables, dataSet));
        }
        if (slopes) {
            SlopesRequest& asked = request.Slopes.emplace();
            asked.focal = resolve(slopes->first, dataSet);
            asked.moderator = resolve(slopes->second, dataSet);
            if (slopesAt) {
                if (resolve(slopesAt->first, dataSet) != asked.moderator) {
                    throw UsageError{"--slopes-at names the moderator of --slopes"};
                }
                asked.at = slopesAt->second;
            }
        }
        request.Categorical = resolveVariableSet(categorical, dataSet);
        request.Centred = resolveVariableSet(centred, dataSet);
        request.ReferenceCategory = resolveReferences(references, request.Categorical, dataSet);
        const Outcome<HierarchicalResult> outcome = RunHierarchical(request, dataSet, seed, {}, threads);
        if (!outcome.ok()) {
            return refused(outcome.refusal(), err);
        }
        // The Johnson-Neyman figure reads the slope across a numeric moderator's values.
        if (form.figure.moderation == ModerationFigureKind::JohnsonNeyman && outcome->Moderation
            && outcome->Moderation->categoricalModerator) {
            return refused(Refusal{"The Johnson-Neyman figure needs a numeric moderator, and "
                                       + variableText(outcome->Moderation->request.moderator, outcome->VariableNames)
                                       + " is categorical (--figure-of slopes draws its slopes).",
                                   {},
                                   Refusal::Reason::Refused},
                           err);
        }
        if (!form.drawsFile.empty() && !saveDraws(file, form.drawsFile, FormatHierarchicalDraws(*outcome), err)) {
            return ExitFailure;
        }
        if (form.format != Format::Text) {
            warnOfValueLabels(outcome->ValueLabelledPredictors, outcome->VariableNames, err);
        }
        if (shown && form.figure.moderation) {
            *shown = [result = *outcome](const FigureRequest& figure, const std::string& dataFile) {
                return writeModerationFigure(result, figure, dataFile);
            };
        } else if (shown) {
            // The last step unless --figure-step names another: the window plots the step its builder
            // stands on, the last once the steps are entered in order.
            const std::size_t step =
                form.figure.step > 0 ? static_cast<std::size_t>(form.figure.step) - 1 : outcome->steps.size() - 1;
            *shown = [result = outcome->steps[step]](const FigureRequest& figure, const std::string& dataFile) {
                return writeDistributionFigure(result, figure, dataFile);
            };
        }
        switch (form.format) {
        case Format::Apa:
        case Format::ApaMarkdown:
            out << FormatApaResults(*outcome, form.apaInterval,
                                    form.format == Format::Apa ? ApaForm::Plain : ApaForm::Markdown,
                                    form.apaCoefficientColumn);
            return ExitSuccess;
        case Format::Json:
        case Format::Text:
            break;
        }
        std::optional<RunRecord> record;
        if (form.record) {
            record = makeRunRecord(source, importedFingerprint(file, dataSet), std::chrono::system_clock::now(),
                                   equivalentCommandLine(*outcome, source, recordOptions(form)));
        }
        if (form.format == Format::Json) {
            out << hierarchicalJson(*outcome, file, form.effectSizes, record ? &*record : nullptr);
            return ExitSuccess;
        }
        out << toUnixLineEnds(FormatHierarchicalReport(*outcome));
        if (form.details) {
            out << toUnixLineEnds(FormatHierarchicalDetails(*outcome, file));
        }
        if (form.effectSizes) {
            out << toUnixLineEnds(FormatHierarchicalEffectSizes(*outcome));
        }
        out << toUnixLineEnds(FormatHierarchicalCoefficients(*outcome));
        out << toUnixLineEnds(FormatModeration(*outcome));
        if (record) {
            out << toUnixLineEnds(FormatRunRecord(*outcome, *record));
        }
        return ExitSuccess;
    };
    return withFigure(form.figure, shown, invocation.file, runner);
}

// A variable of descriptives: a VAR, or a range of numbers such as 1-4.
void addDescriptivesVariable(CliSettings& settings, const std::string& arg)
{
    const std::size_t dash = arg.find('-', 1);
    if (!looksNumeric(arg) || dash == std::string::npos) {
        settings.variables.push_back(parseVariable(arg, "a variable"));
        return;
    }
    const auto first = static_cast<std::int32_t>(parseNumber(arg.substr(0, dash), 1, DataSet::MaxColumn, "a range"));
    const auto last = static_cast<std::int32_t>(parseNumber(arg.substr(dash + 1), 1, DataSet::MaxColumn, "a range"));
    if (last < first) {
        throw UsageError{"a range must run upwards: " + arg};
    }
    for (std::int32_t v = first; v <= last; ++v) {
        settings.variables.push_back({v, {}});
    }
}

Runner descriptivesCommand(const Invocation& invocation)
{
    CliSettings settings = invocation.settings;
    parseCommandOptions(invocation.commandArgs, 0, Descriptives, settings, addDescriptivesVariable);
    const std::vector<VariableRef>& variables = settings.variables;
    const bool json = settings.run.form.format == Format::Json;
    if (variables.empty()) {
        throw UsageError{"descriptives needs at least one variable"};
    }
    return [variables, json](const DataSet& dataSet, std::ostream& out, std::ostream& err) {
        std::vector<std::int32_t> numbers;
        for (const VariableRef& variable : variables) {
            numbers.push_back(resolve(variable, dataSet));
        }
        const Outcome<std::vector<DescriptivesRow>> rows = ComputeDescriptives(dataSet, numbers);
        if (!rows.ok()) {
            return refused(rows.refusal(), err);
        }
        out << (json ? descriptivesJson(*rows) : toUnixLineEnds(FormatDescriptivesReport(*rows)));
        return ExitSuccess;
    };
}

Runner dumpCommand(const Invocation& invocation)
{
    noArguments(invocation.commandArgs);
    return [](const DataSet& dataSet, std::ostream& out, std::ostream&) {
        std::string line;
        for (std::int32_t row = 1; row <= dataSet.NumCases(); ++row) {
            line.clear();
            for (std::int32_t column = 1; column <= dataSet.NumVariables(); ++column) {
                if (column > 1) {
                    line.push_back('\t');
                }
                const float value = dataSet.DataTable(row, column);
                line += isMissing(value) ? std::string(".") : formatFloat(value);
            }
            line.push_back('\n');
            out << line;
        }
        return ExitSuccess;
    };
}

Runner dominanceCommand(const Invocation& invocation)
{
    DominanceRequest request;
    CliSettings settings = invocation.settings;
    parseCommandOptions(invocation.commandArgs, 0, Dominance, settings);
    if (!settings.has("--dv")) {
        throw UsageError{"dominance needs --dv"};
    }
    if (!settings.has("--units") && settings.groups.empty()) {
        throw UsageError{"dominance needs --units or --group"};
    }
    const RunOptions& run = settings.run;
    const OutputForm& form = run.form;
    request.NumTrials = run.trials;
    request.Level = run.level;
    request.Details = form.details;
    checkFigureOptions(settings, 0);
    const FigureSource shown = figureSource(form.figure);
    const Runner runner = [request, settings, seed = run.seed, threads = run.threads, form, shown,
                           file = invocation.file](const DataSet& dataSet, std::ostream& out,
                                                   std::ostream& err) mutable {
        request.DependentVariable = resolve(settings.dependent, dataSet);
        for (const VariableRef& unit : settings.units) {
            request.Units.push_back(resolve(unit, dataSet));
        }
        for (const auto& [name, members] : settings.groups) {
            DominanceGroup& group = request.Groups.emplace_back();
            group.name = name;
            for (const VariableRef& member : members) {
                group.variables.push_back(resolve(member, dataSet));
            }
        }
        for (const VariableRef& covariate : settings.covariates) {
            request.Covariates.push_back(resolve(covariate, dataSet));
        }
        request.Categorical = resolveVariableSet(settings.categorical, dataSet);
        request.ReferenceCategory = resolveReferences(settings.references, request.Categorical, dataSet);
        const Outcome<DominanceResult> outcome = RunDominance(request, dataSet, seed, {}, threads);
        if (!outcome.ok()) {
            return refused(outcome.refusal(), err);
        }
        if (shown) {
            *shown = [result = *outcome](const FigureRequest& figure, const std::string& dataFile) {
                return writeDominanceFigure(result, figure, dataFile);
            };
        }
        switch (form.format) {
        case Format::Json:
            out << dominanceJson(*outcome, file);
            return ExitSuccess;
        case Format::Apa:
        case Format::ApaMarkdown:
            out << FormatApaResults(*outcome, form.format == Format::Apa ? ApaForm::Plain : ApaForm::Markdown);
            return ExitSuccess;
        case Format::Text:
            break;
        }
        out << toUnixLineEnds(FormatDominanceReport(*outcome));
        return ExitSuccess;
    };
    return withFigure(form.figure, shown, invocation.file, runner);
}

const std::map<std::string, Command>& commands()
{
    static const std::map<std::string, Command> table = {
        {"summary", summaryCommand},           {"dump", dumpCommand},
        {"bootstrap", bootstrapCommand},       {"hierarchical", hierarchicalCommand},
        {"descriptives", descriptivesCommand}, {"dominance", dominanceCommand},
    };
    return table;
}

// The most bytes a --correlations file may have: a matrix of a few hundred
// variables takes well under a megabyte.
constexpr std::uint64_t CorrelationFileLimit = 16'000'000;

// The orvalis-cli command line that repeats a plan: its options as given
// (values quoted for a POSIX shell), the seed it used, --record.
std::string planCommandLine(bool power, const std::map<std::string, std::string>& values,
                            std::optional<std::uint64_t> seed, bool details = false)
{
    std::string line = std::string("orvalis-cli plan ") + (power ? "power" : "width");
    for (const auto& [option, value] : values) {
        if (option != "--seed") {
            line += " " + option + " " + shellWord(value);
        }
    }
    if (seed) {
        line += " --seed " + std::to_string(*seed);
    }
    if (details) {
        line += " --details";
    }
    return line + " --record";
}

// orvalis-cli plan power|width ...: no data file; the plan's block, or its JSON.
int runPlan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const bool power = args[0] == "power";
    CliSettings settings;
    parseCommandOptions(args, 1, power ? PlanPower : PlanWidth, settings);
    const PlanOptions& asked = settings.plan;
    // The options as given, for the record's command line; the switches it adds itself.
    std::map<std::string, std::string> values = settings.given;
    values.erase("--record");
    values.erase("--details");
    const bool wantRecord = settings.run.form.record;
    const bool wantDetails = settings.run.form.details;
    auto has = [&](const char* option) { return settings.has(option); };
    auto need = [&](const char* option) {
        if (!settings.has(option)) {
            throw UsageError{std::string("plan ") + (power ? "power" : "width") + " needs " + option};
        }
    };
    const std::int32_t p = asked.predictors;
    need("--added");
    const std::int32_t q = asked.added;
    const bool json = settings.run.form.format == Format::Json;

    if (power) {
        PowerQuestion question;
        question.p = p;
        question.q = q;
        if (has("--f2") == (has("--delta-r2") || has("--r2-full"))) {
            throw UsageError{"plan power needs either --f2 or --delta-r2 with --r2-full"};
        }
        if (has("--f2")) {
            question.f2 = asked.f2;
        } else {
            need("--delta-r2");
            need("--r2-full");
            const double change = asked.deltaR2;
            const double full = asked.r2Full;
            if (!(change <= full) || full >= 1.0) {
                throw UsageError{"--delta-r2 must be at most --r2-full, and --r2-full below 1"};
            }
            question.f2 = change / (1.0 - full);
        }
        question.alpha = asked.alpha;
        question.convention = asked.convention;
        if (has("--n") == has("--power")) {
            throw UsageError{"plan power needs either --n or --power"};
        }
        if (const Status checked = CheckPowerQuestion(question); !checked.ok()) {
            return refused(checked.refusal(), err);
        }
        std::optional<double> target;
        std::optional<PowerAnswer> answer;
        if (has("--n")) {
            // The row checks the syntax; the smallest N depends on the question.
            const auto n = static_cast<std::int32_t>(
                parseNumber(settings.given.at("--n"), smallestSample(question), 10'000'000, "--n"));
            answer = powerAt(question, n);
        } else {
            target = asked.power;
            if (!(*target > 0.0 && *target < 1.0)) {
                throw UsageError{"--power must lie between 0 and 1: " + settings.given.at("--power")};
            }
            answer = sampleForPower(question, *target);
            if (!answer) {
                err << "No sample of up to 10,000,000 cases reaches this power.\n";
                return ExitFailure;
            }
        }
        if (!answer) {
            err << "The power could not be computed.\n";
            return ExitFailure;
        }
        std::optional<RunRecord> record;
        if (wantRecord) {
            record = makeRunRecord(DataSource{}, Refusal{}, std::chrono::system_clock::now(),
                                   planCommandLine(true, values, std::nullopt));
        }
        if (json) {
            out << powerJson(question, *answer, target, record ? &*record : nullptr);
            return ExitSuccess;
        }
        out << toUnixLineEnds(FormatPowerReport(question, *answer, target));
        if (record) {
            out << toUnixLineEnds(FormatRunRecord(*record, RunFacts{}));
        }
        return ExitSuccess;
    }

    WidthQuestion question;
    Outcome<Population> population = Refusal{};
    // The matrix file's size and SHA-256, of the very bytes the plan read.
    Outcome<FileFingerprint> matrixFingerprint = Refusal{};
    if (has("--correlations")) {
        if (has("--r2-reduced") || has("--delta-r2") || has("--intercorrelation")) {
            throw UsageError{"--correlations gives the whole population: leave out --r2-reduced, --delta-r2 and "
                             "--intercorrelation"};
        }
        const std::string& path = asked.correlations;
        // Read as the data file is: a regular file or a pipe read once, never
        // a directory or a device, within a size limit.
        std::string text;
        try {
            FileContent::Options reading;
            reading.acceptPipes = true;
            reading.sizeLimit = CorrelationFileLimit;
            const FileContent file(path, reading);
            text.assign(file.bytes());
        } catch (const FileError& error) {
            err << error.what() << "\n";
            return ExitFailure;
        }
        matrixFingerprint = FileFingerprint{text.size(), sha256Hex(text)};
        Outcome<std::vector<std::vector<double>>> matrix = parseCorrelationMatrix(text);
        if (!matrix.ok()) {
            return refused(matrix.refusal(), err);
        }
        population = populationFromMatrix(p, q, std::move(*matrix));
    } else {
        if (p != 0) {
            need("--r2-reduced");
        }
        need("--delta-r2");
        const double reduced = asked.r2Reduced;
        const double change = asked.deltaR2;
        const double r = has("--intercorrelation") ? asked.intercorrelation : DefaultIntercorrelation;
        population = populationFromStructure(p, q, r, reduced, change);
    }
    if (!population.ok()) {
        return refused(population.refusal(), err);
    }
    question.population = *population;
    need("--n");
    need("--target-width");
    question.sampleSizes = asked.sampleSizes;
    question.targetWidth = asked.targetWidth;
    question.assurance = asked.assurance;
    question.dataSets = asked.dataSets;
    question.trials = has("--trials") ? settings.run.trials : 1000;
    question.level = settings.run.level;
    // Without --seed, one from the clock, as the bootstrap takes; the block shows it.
    question.seed = settings.run.seed;
    const unsigned threads = settings.run.threads;
    if (const Status checked = CheckWidthQuestion(question); !checked.ok()) {
        return refused(checked.refusal(), err);
    }
    const Outcome<WidthPlan> plan = RunWidthPlan(question, {}, threads);
    if (!plan.ok()) {
        return refused(plan.refusal(), err);
    }
    std::optional<RunRecord> record;
    if (wantRecord) {
        record =
            makeRunRecord(DataSource{asked.correlations, {}, {}}, matrixFingerprint, std::chrono::system_clock::now(),
                          planCommandLine(false, values, question.seed, wantDetails));
        record->fileRole = "Correlation file";
    }
    if (json) {
        out << widthPlanJson(*plan, record ? &*record : nullptr, wantDetails);
        return ExitSuccess;
    }
    out << toUnixLineEnds(FormatWidthPlan(*plan, wantDetails));
    if (record) {
        out << toUnixLineEnds(FormatRunRecord(*record, RunFacts{std::nullopt, 0, question.seed, question.trials,
                                                                percentOf(question.level), question.dataSets}));
    }
    return ExitSuccess;
}

Invocation parseArguments(const std::vector<std::string>& args)
{
    Invocation invocation;
    std::set<std::string> seen;
    std::size_t i = 0;
    while (i < args.size()) {
        const std::string& arg = args[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.rfind("--", 0) == 0) {
            takeOption(args, i, Global, invocation.settings, seen, "unknown option");
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option: " + arg};
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        throw UsageError{"missing FILE"};
    }
    invocation.file = args[i++];
    if (i >= args.size()) {
        throw UsageError{"missing COMMAND"};
    }
    invocation.command = args[i++];
    invocation.commandArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return invocation;
}

// A usage error: its one-line reason and where to read more, on err; exit status 2.
int usageError(const UsageError& error, std::ostream& err)
{
    err << "orvalis-cli: " << escapeControlCharacters(error.message) << "\n"
        << "Try 'orvalis-cli --help'\n";
    return ExitUsage;
}

} // namespace

std::string toUnixLineEnds(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return runCli(args, out, err, {});
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::function<void()>& afterImport)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << usageText();
        return ExitSuccess;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << versionText();
        return ExitSuccess;
    }
    // "plan power" and "plan width" read no file ("plan" followed by another
    // word is a file named plan, as it always was).
    if (args.size() >= 2 && args[0] == "plan" && (args[1] == "power" || args[1] == "width")) {
        try {
            return runPlan({args.begin() + 1, args.end()}, out, err);
        } catch (const UsageError& error) {
            return usageError(error, err);
        }
    }
    Invocation invocation;
    Runner runner;
    try {
        invocation = parseArguments(args);
        const auto found = commands().find(invocation.command);
        if (found == commands().end()) {
            throw UsageError{"unknown command: " + invocation.command};
        }
        runner = found->second(invocation);
    } catch (const UsageError& error) {
        return usageError(error, err);
    }

    // Unlike the window, the command line reads pipes: `<(gunzip -c data.gz)`.
    ImportOptions options;
    options.acceptPipes = true;
    FormatOptions formatOptions;
    formatOptions.sheet = invocation.settings.sheet;
    ImportOutcome outcome = importAnyFile(invocation.file, invocation.settings.delimiter, options, formatOptions);
    if (!outcome.ok()) {
        err << withDelimiterAdvice(outcome.refusal(), [](const DelimiterInfo& likely) {
            return std::string("use --delimiter ") + likely.word;
        }) << "\n";
        return ExitFailure;
    }
    if (afterImport) {
        afterImport();
    }
    try {
        return runner(*outcome, out, err);
    } catch (const UsageError& error) {
        return usageError(error, err);
    }
}

} // namespace orvalis::cli
