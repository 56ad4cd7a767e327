// orvalis-cli: global options, FILE, command and the command's own arguments.
#include "cli/CliApp.h"

#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/Companions.h"
#include "analyses/Descriptives.h"
#include "analyses/RequestCheck.h"
#include "cli/CliJson.h"
#include "cli/CliOptions.h"
#include "common/NumberText.h"
#include "common/SafeWrite.h"
#include "common/TextEscape.h"
#include "analyses/ApaReport.h"
#include "analyses/HierarchicalReport.h"
#include "analyses/Planning.h"
#include "analyses/PlanningReport.h"
#include "analyses/RunRecord.h"
#include "data/DataImport.h"
#include "data/FileContent.h"
#include "common/FileHash.h"
#include "common/RuntimeErrors.h"
#include "formats/FileFormats.h"

#include <algorithm>
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
#include <random>
#include <set>

namespace orvalis::cli {
namespace {

struct UsageError {
    std::string message;
};

// An option that takes a value may be given once: a second one is a usage
// error rather than a silent "last wins".
void once(std::set<std::string>& seen, const std::string& option)
{
    if (!seen.insert(option).second) {
        throw UsageError{option + " is given twice"};
    }
}

struct Invocation {
    char delimiter = ' ';
    std::optional<std::string> delimiterWord; // as given; none: the default
    std::string sheet;                        // a workbook's sheet, by name; empty: the first
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

// A whole decimal number in [low, high].
std::int64_t parseNumber(const std::string& text, std::int64_t low, std::int64_t high, const std::string& what)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError{what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high)
                         + ": " + text};
    }
    return value;
}

// A variable as the command line names it: by number (anything that starts
// like a number is one, checked at once) or by the name of the file's names
// line (looked up once the file is read).
struct VariableRef {
    std::int32_t number = 0;
    std::string name;
};

bool looksNumeric(const std::string& text)
{
    return !text.empty()
           && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 || text[0] == '+' || text[0] == '-');
}

VariableRef parseVariable(const std::string& text, const std::string& what)
{
    if (!looksNumeric(text) && !text.empty()) {
        return {0, text};
    }
    return {static_cast<std::int32_t>(parseNumber(text, 1, DataSet::MaxColumn, what)), {}};
}

// The items of a comma-separated list, each without the blanks (spaces and
// tabs) around it, so that "a, b" is "a,b".
std::vector<std::string> listItems(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t first = item.find_first_not_of(" \t");
        const std::size_t last = item.find_last_not_of(" \t");
        items.push_back(first == std::string::npos ? std::string() : item.substr(first, last - first + 1));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return items;
}

// A comma-separated list of variables.
std::vector<VariableRef> parseVariableList(const std::string& text, const std::string& what)
{
    std::vector<VariableRef> variables;
    for (const std::string& item : listItems(text)) {
        variables.push_back(parseVariable(item, what));
    }
    return variables;
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

// What a refused analysis prints: a request for a variable the data does not
// have is a usage error (exit 2, with the usage text); any other refusal
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

// The forms of --format: the text block (the default), JSON, and the APA
// sentence with its table as plain text or Markdown.
enum class Format { Text, Json, Apa, ApaMarkdown };

// What a command prints besides (or instead of) its text block.
struct OutputForm {
    bool details = false;
    bool record = false;
    // The effect sizes and analytic intervals (--effect-sizes, --robust, --modified-test).
    bool effectSizes = false;
    CompanionRequest companions;
    Format format = Format::Text;
    IntervalKind apaInterval = IntervalKind::Traditional;
    std::string drawsFile;
};

// --format: text (the default) or json; the bootstrap also takes apa and apa-markdown.
Format parseFormat(const std::string& value, bool apa)
{
    if (value == "text") {
        return Format::Text;
    }
    if (value == "json") {
        return Format::Json;
    }
    if (apa && value == "apa") {
        return Format::Apa;
    }
    if (apa && value == "apa-markdown") {
        return Format::ApaMarkdown;
    }
    throw UsageError{apa ? "--format must be text, json, apa or apa-markdown: " + value
                         : "--format must be text or json: " + value};
}

// What the bootstrap commands share: trials, level, seed, threads and the
// output forms.
struct RunOptions {
    std::int32_t trials = 600;
    ConfidenceLevel level = ConfidenceLevel::P95;
    // Within --seed's range, so that the seed the details show can be given back.
    std::uint64_t seed = (std::random_device{}()
                          ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()))
                         & static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    unsigned threads = 0;
    OutputForm form;
};

// Takes option and its value into run when it is one of the shared options;
// false when it is not.
bool sharedRunOption(const std::string& option, const std::string& value, RunOptions& run)
{
    if (option == "--trials") {
        run.trials = static_cast<std::int32_t>(parseNumber(value, 1, 100000, "--trials"));
    } else if (option == "--confidence") {
        const std::optional<ConfidenceLevel> level = levelFromPercent(parseNumber(value, 90, 99, "--confidence"));
        if (!level) {
            throw UsageError{"--confidence must be 90, 95 or 99: " + value};
        }
        run.level = *level;
    } else if (option == "--seed") {
        run.seed =
            static_cast<std::uint64_t>(parseNumber(value, 0, std::numeric_limits<std::int64_t>::max(), "--seed"));
    } else if (option == "--threads") {
        run.threads = static_cast<unsigned>(parseNumber(value, 1, 256, "--threads"));
    } else if (option == "--format") {
        run.form.format = parseFormat(value, true);
    } else if (option == "--apa-interval") {
        const std::optional<IntervalKind> interval = intervalNamed(value);
        if (!interval) {
            throw UsageError{"--apa-interval must be " + intervalWordsText() + ": " + value};
        }
        run.form.apaInterval = *interval;
    } else if (option == "--robust") {
        if (value != "hc3" && value != "hc4") {
            throw UsageError{"--robust must be hc3 or hc4: " + value};
        }
        run.form.companions.covariance = value == "hc4" ? RobustCovariance::HC4 : RobustCovariance::HC3;
        run.form.effectSizes = true;
    } else if (option == "--modified-test") {
        if (value != "classical" && value != "robust") {
            throw UsageError{"--modified-test must be classical or robust: " + value};
        }
        run.form.companions.modifiedFollowsRobust = value == "robust";
        run.form.effectSizes = true;
    } else if (option == "--save-draws") {
        if (value.empty()) {
            throw UsageError{"--save-draws needs a file name"};
        }
        run.form.drawsFile = value;
    } else {
        return false;
    }
    return true;
}

// Takes a switch both bootstrap commands have (--details, --record, --effect-sizes)
// into form; false when option is not one.
bool sharedRunFlag(const std::string& option, OutputForm& form)
{
    if (option == "--details") {
        form.details = true;
    } else if (option == "--record") {
        form.record = true;
    } else if (option == "--effect-sizes") {
        form.effectSizes = true;
    } else {
        return false;
    }
    return true;
}

// The effect sizes a run computes: when asked for, or for Alf and Graf's
// interval in the APA forms.
std::optional<CompanionRequest> companionsOf(const OutputForm& form)
{
    if (form.effectSizes || intervalRow(form.apaInterval).needs == IntervalNeeds::EffectSizes) {
        return form.companions;
    }
    return std::nullopt;
}

// What the command line adds after the seed to print the same blocks again
// with the record: the form, the effect sizes' options, --record.
std::string recordOptions(const OutputForm& form)
{
    const std::string effectSizes = form.effectSizes ? companionCommandOptions(form.companions) : "";
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

Runner bootstrapCommand(const Invocation& invocation)
{
    BootstrapRequest request;
    VariableRef dependent;
    std::vector<VariableRef> predictors;
    std::vector<VariableRef> added;
    RunOptions run;
    OutputForm& form = run.form;
    bool haveDependent = false;
    bool haveAdded = false;
    const std::vector<std::string>& args = invocation.commandArgs;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (sharedRunFlag(option, form)) {
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError{option.rfind("--", 0) == 0 ? option + " needs a value" : "unexpected argument: " + option};
        }
        const std::string& value = args[++i];
        if (option.rfind("--", 0) == 0) {
            once(seen, option);
        }
        if (option == "--dv") {
            dependent = parseVariable(value, "--dv");
            haveDependent = true;
        } else if (option == "--predictors") {
            predictors = parseVariableList(value, "--predictors");
        } else if (option == "--added") {
            added = parseVariableList(value, "--added");
            haveAdded = true;
        } else if (!sharedRunOption(option, value, run)) {
            throw UsageError{"unknown bootstrap option: " + option};
        }
    }
    if (!haveDependent) {
        throw UsageError{"bootstrap needs --dv"};
    }
    if (!haveAdded) {
        throw UsageError{"bootstrap needs --added"};
    }
    // The JSON, the record (its Monte Carlo errors) and the BCa interval of
    // the APA forms need the details.
    request.NumTrials = run.trials;
    request.Level = run.level;
    request.Details = form.details || form.record || form.format != Format::Text;
    request.Companions = companionsOf(form);
    const DataSource source{invocation.file, invocation.delimiterWord, invocation.sheet};
    return [request, dependent, predictors, added, seed = run.seed, threads = run.threads, form, source,
            file = invocation.file](const DataSet& dataSet, std::ostream& out, std::ostream& err) mutable {
        request.DependentVariable = resolve(dependent, dataSet);
        request.PredictorList = resolveSorted(predictors, dataSet);
        request.AddedList = resolveSorted(added, dataSet);
        const Outcome<BootstrapResult> outcome = RunBootstrap(request, dataSet, seed, {}, threads);
        if (!outcome.ok()) {
            return refused(outcome.refusal(), err);
        }
        if (!form.drawsFile.empty() && !saveDraws(file, form.drawsFile, FormatDraws(*outcome), err)) {
            return ExitFailure;
        }
        if (form.format == Format::Apa || form.format == Format::ApaMarkdown) {
            out << FormatApaResults(*outcome, form.apaInterval,
                                    form.format == Format::Apa ? ApaForm::Plain : ApaForm::Markdown);
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
            out << toUnixLineEnds(FormatCompanions(*outcome));
        }
        if (record) {
            out << toUnixLineEnds(FormatRunRecord(*outcome, *record));
        }
        return ExitSuccess;
    };
}

// A categorical predictor's reference category: VAR=CATEGORY, the category by
// its label (or, failing that, its 1-based number).
struct ReferenceRef {
    VariableRef variable;
    std::string category;
};

Runner hierarchicalCommand(const Invocation& invocation)
{
    HierarchicalRequest request;
    VariableRef dependent;
    std::vector<std::vector<VariableRef>> steps;
    std::vector<ReferenceRef> references;
    RunOptions run;
    OutputForm& form = run.form;
    bool haveDependent = false;
    const std::vector<std::string>& args = invocation.commandArgs;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (sharedRunFlag(option, form)) {
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError{option.rfind("--", 0) == 0 ? option + " needs a value" : "unexpected argument: " + option};
        }
        const std::string& value = args[++i];
        // --step and --reference are given once per step and per variable.
        if (option.rfind("--", 0) == 0 && option != "--step" && option != "--reference") {
            once(seen, option);
        }
        if (option == "--dv") {
            dependent = parseVariable(value, "--dv");
            haveDependent = true;
        } else if (option == "--step") {
            steps.push_back(parseVariableList(value, "--step"));
        } else if (option == "--reference") {
            const std::size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == value.size()) {
                throw UsageError{"--reference must be VAR=CATEGORY: " + value};
            }
            references.push_back({parseVariable(value.substr(0, equals), "--reference"), value.substr(equals + 1)});
        } else if (!sharedRunOption(option, value, run)) {
            throw UsageError{"unknown hierarchical option: " + option};
        }
    }
    if (!haveDependent) {
        throw UsageError{"hierarchical needs --dv"};
    }
    if (steps.empty()) {
        throw UsageError{"hierarchical needs at least one --step"};
    }
    request.NumTrials = run.trials;
    request.Level = run.level;
    request.Details = form.details || form.format != Format::Text;
    request.Companions = companionsOf(form);
    const DataSource source{invocation.file, invocation.delimiterWord, invocation.sheet};
    return [request, dependent, steps, references, seed = run.seed, threads = run.threads, form, source,
            file = invocation.file](const DataSet& dataSet, std::ostream& out, std::ostream& err) mutable {
        request.DependentVariable = resolve(dependent, dataSet);
        for (const std::vector<VariableRef>& step : steps) {
            request.Steps.push_back(resolveSorted(step, dataSet));
        }
        for (const ReferenceRef& reference : references) {
            const std::int32_t v = resolve(reference.variable, dataSet);
            if (v < 1 || v > dataSet.NumVariables()) {
                throw UsageError{variableNumber(v) + " is not in the data"};
            }
            const std::vector<std::string>& labels = dataSet.categories(v);
            const auto found = std::find(labels.begin(), labels.end(), decodeToUtf8(reference.category));
            std::int32_t code = 0;
            if (found != labels.end()) {
                code = static_cast<std::int32_t>(found - labels.begin()) + 1;
            } else if (looksNumeric(reference.category)) {
                code = static_cast<std::int32_t>(parseNumber(reference.category, 1, 1000000, "--reference"));
            } else {
                throw UsageError{"--reference: " + variableNumber(v) + " has no category "
                                 + escapeControlCharacters(reference.category)};
            }
            if (!request.ReferenceCategory.emplace(v, code).second) {
                throw UsageError{"--reference is given twice for " + variableNumber(v)};
            }
        }
        const Outcome<HierarchicalResult> outcome = RunHierarchical(request, dataSet, seed, {}, threads);
        if (!outcome.ok()) {
            return refused(outcome.refusal(), err);
        }
        if (!form.drawsFile.empty() && !saveDraws(file, form.drawsFile, FormatHierarchicalDraws(*outcome), err)) {
            return ExitFailure;
        }
        switch (form.format) {
        case Format::Apa:
        case Format::ApaMarkdown:
            out << FormatApaResults(*outcome, form.apaInterval,
                                    form.format == Format::Apa ? ApaForm::Plain : ApaForm::Markdown);
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
            out << toUnixLineEnds(FormatHierarchicalCompanions(*outcome));
        }
        if (record) {
            out << toUnixLineEnds(FormatRunRecord(*outcome, *record));
        }
        return ExitSuccess;
    };
}

Runner descriptivesCommand(const Invocation& invocation)
{
    std::vector<VariableRef> variables;
    bool json = false;
    std::set<std::string> seen;
    const std::vector<std::string>& args = invocation.commandArgs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--format") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--format needs a value"};
            }
            once(seen, arg);
            json = parseFormat(args[++i], false) == Format::Json;
            continue;
        }
        const std::size_t dash = arg.find('-', 1);
        if (!looksNumeric(arg) || dash == std::string::npos) {
            variables.push_back(parseVariable(arg, "a variable"));
            continue;
        }
        const auto first =
            static_cast<std::int32_t>(parseNumber(arg.substr(0, dash), 1, DataSet::MaxColumn, "a range"));
        const auto last =
            static_cast<std::int32_t>(parseNumber(arg.substr(dash + 1), 1, DataSet::MaxColumn, "a range"));
        if (last < first) {
            throw UsageError{"a range must run upwards: " + arg};
        }
        for (std::int32_t v = first; v <= last; ++v) {
            variables.push_back({v, {}});
        }
    }
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

const std::map<std::string, Command>& commands()
{
    static const std::map<std::string, Command> table = {
        {"summary", summaryCommand},           {"dump", dumpCommand},
        {"bootstrap", bootstrapCommand},       {"hierarchical", hierarchicalCommand},
        {"descriptives", descriptivesCommand},
    };
    return table;
}

// A decimal number in [low, high].
double parseDecimal(const std::string& text, double low, double high, const std::string& what)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= low && value <= high)) {
        throw UsageError{what + " must be a number from " + formatDouble(low) + " to " + formatDouble(high) + ": "
                         + text};
    }
    return value;
}

// The sample sizes of --n: "50,100,200" or "FROM:TO:STEP" ("50:500:50").
std::vector<std::int32_t> parseSampleSizes(const std::string& text)
{
    std::vector<std::int32_t> sizes;
    if (std::count(text.begin(), text.end(), ':') == 2) {
        const std::size_t first = text.find(':');
        const std::size_t second = text.find(':', first + 1);
        const auto from = parseNumber(text.substr(0, first), 1, 1000000, "--n");
        const auto to = parseNumber(text.substr(first + 1, second - first - 1), from, 1000000, "--n");
        const auto step = parseNumber(text.substr(second + 1), 1, 1000000, "--n");
        for (std::int64_t n = from; n <= to; n += step) {
            sizes.push_back(static_cast<std::int32_t>(n));
        }
    } else {
        for (const std::string& item : listItems(text)) {
            sizes.push_back(static_cast<std::int32_t>(parseNumber(item, 1, 1000000, "--n")));
        }
        std::sort(sizes.begin(), sizes.end());
        sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    }
    if (sizes.size() > 1000) {
        throw UsageError{"--n gives more than 1,000 sample sizes: " + text};
    }
    return sizes;
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
    std::map<std::string, std::string> values;
    bool wantRecord = false;
    bool wantDetails = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option.rfind("--", 0) != 0) {
            throw UsageError{"unexpected argument: " + option};
        }
        if (option == "--details" && !power) {
            if (wantDetails) {
                throw UsageError{"--details is given twice"};
            }
            wantDetails = true;
            continue;
        }
        if (option == "--record") {
            if (wantRecord) {
                throw UsageError{"--record is given twice"};
            }
            wantRecord = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError{option + " needs a value"};
        }
        if (!values.emplace(option, args[++i]).second) {
            throw UsageError{option + " is given twice"};
        }
    }
    const std::set<std::string> known =
        power ? std::set<std::string>{"--predictors", "--added", "--delta-r2", "--r2-full",       "--f2",
                                      "--alpha",      "--n",     "--power",    "--noncentrality", "--format"}
              : std::set<std::string>{
                  "--predictors",   "--added",      "--r2-reduced",   "--delta-r2",  "--intercorrelation",
                  "--correlations", "--n",          "--target-width", "--assurance", "--datasets",
                  "--trials",       "--confidence", "--seed",         "--threads",   "--format"};
    for (const auto& [option, value] : values) {
        if (known.count(option) == 0) {
            throw UsageError{std::string("unknown plan ") + (power ? "power" : "width") + " option: " + option};
        }
    }
    auto has = [&](const char* option) { return values.count(option) != 0; };
    auto need = [&](const char* option) -> const std::string& {
        const auto found = values.find(option);
        if (found == values.end()) {
            throw UsageError{std::string("plan ") + (power ? "power" : "width") + " needs " + option};
        }
        return found->second;
    };
    const auto p = static_cast<std::int32_t>(
        parseNumber(values.count("--predictors") ? values["--predictors"] : "0", 0, MaxColumns - 1, "--predictors"));
    const auto q = static_cast<std::int32_t>(parseNumber(need("--added"), 1, MaxColumns - 1, "--added"));
    bool json = false;
    if (has("--format")) {
        if (values["--format"] != "text" && values["--format"] != "json") {
            throw UsageError{"--format must be text or json: " + values["--format"]};
        }
        json = values["--format"] == "json";
    }

    if (power) {
        PowerQuestion question;
        question.p = p;
        question.q = q;
        if (has("--f2") == (has("--delta-r2") || has("--r2-full"))) {
            throw UsageError{"plan power needs either --f2 or --delta-r2 with --r2-full"};
        }
        if (has("--f2")) {
            question.f2 = parseDecimal(values["--f2"], 0.0, 1e6, "--f2");
        } else {
            const double change = parseDecimal(need("--delta-r2"), 0.0, 1.0, "--delta-r2");
            const double full = parseDecimal(need("--r2-full"), 0.0, 1.0, "--r2-full");
            if (!(change <= full) || full >= 1.0) {
                throw UsageError{"--delta-r2 must be at most --r2-full, and --r2-full below 1"};
            }
            question.f2 = change / (1.0 - full);
        }
        question.alpha = has("--alpha") ? parseDecimal(values["--alpha"], 0.0, 1.0, "--alpha") : 0.05;
        if (has("--noncentrality")) {
            const std::string& word = values["--noncentrality"];
            if (word != "gpower" && word != "pwr") {
                throw UsageError{"--noncentrality must be gpower or pwr: " + word};
            }
            question.convention = word == "pwr" ? Noncentrality::Pwr : Noncentrality::GPower;
        }
        if (has("--n") == has("--power")) {
            throw UsageError{"plan power needs either --n or --power"};
        }
        if (const Status checked = CheckPowerQuestion(question); !checked.ok()) {
            return refused(checked.refusal(), err);
        }
        std::optional<double> target;
        std::optional<PowerAnswer> answer;
        if (has("--n")) {
            const auto n =
                static_cast<std::int32_t>(parseNumber(values["--n"], smallestSample(question), 10'000'000, "--n"));
            answer = powerAt(question, n);
        } else {
            target = parseDecimal(values["--power"], 0.0, 1.0, "--power");
            if (!(*target > 0.0 && *target < 1.0)) {
                throw UsageError{"--power must lie between 0 and 1: " + values["--power"]};
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
        const std::string& path = values["--correlations"];
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
        const double reduced =
            p == 0 && !has("--r2-reduced") ? 0.0 : parseDecimal(need("--r2-reduced"), 0.0, 1.0, "--r2-reduced");
        const double change = parseDecimal(need("--delta-r2"), 0.0, 1.0, "--delta-r2");
        const double r = has("--intercorrelation")
                             ? parseDecimal(values["--intercorrelation"], -1.0, 1.0, "--intercorrelation")
                             : DefaultIntercorrelation;
        population = populationFromStructure(p, q, r, reduced, change);
    }
    if (!population.ok()) {
        return refused(population.refusal(), err);
    }
    question.population = *population;
    question.sampleSizes = parseSampleSizes(need("--n"));
    question.targetWidth = parseDecimal(need("--target-width"), 0.0, 1.0, "--target-width");
    question.assurance = has("--assurance") ? parseDecimal(values["--assurance"], 0.0, 1.0, "--assurance") : 0.8;
    question.dataSets =
        static_cast<std::int32_t>(has("--datasets") ? parseNumber(values["--datasets"], 1, 10000, "--datasets") : 200);
    question.trials =
        static_cast<std::int32_t>(has("--trials") ? parseNumber(values["--trials"], 1, 100000, "--trials") : 1000);
    if (has("--confidence")) {
        const std::optional<ConfidenceLevel> level =
            levelFromPercent(parseNumber(values["--confidence"], 90, 99, "--confidence"));
        if (!level) {
            throw UsageError{"--confidence must be 90, 95 or 99: " + values["--confidence"]};
        }
        question.level = *level;
    }
    // Without --seed, one from the clock, as the bootstrap takes; the block shows it.
    question.seed = has("--seed") ? static_cast<std::uint64_t>(
                        parseNumber(values["--seed"], 0, std::numeric_limits<std::int64_t>::max(), "--seed"))
                                  : RunOptions{}.seed;
    const unsigned threads =
        has("--threads") ? static_cast<unsigned>(parseNumber(values["--threads"], 1, 256, "--threads")) : 0;
    if (const Status checked = CheckWidthQuestion(question); !checked.ok()) {
        return refused(checked.refusal(), err);
    }
    const Outcome<WidthPlan> plan = RunWidthPlan(question, {}, threads);
    if (!plan.ok()) {
        return refused(plan.refusal(), err);
    }
    std::optional<RunRecord> record;
    if (wantRecord) {
        record = makeRunRecord(DataSource{has("--correlations") ? values["--correlations"] : std::string(), {}, {}},
                               matrixFingerprint, std::chrono::system_clock::now(),
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

char parseDelimiter(const std::string& name)
{
    if (const std::optional<Delimiter> delimiter = delimiterNamed(name)) {
        return delimiterChar(*delimiter);
    }
    std::string expected;
    const std::vector<DelimiterInfo>& table = delimiterTable();
    for (std::size_t k = 0; k < table.size(); ++k) {
        expected += (k == 0 ? "" : k + 1 == table.size() ? " or " : ", ") + std::string(table[k].word);
    }
    throw UsageError{"unknown delimiter: " + name + " (expected " + expected + ")"};
}

Invocation parseArguments(const std::vector<std::string>& args)
{
    Invocation invocation;
    std::set<std::string> seen;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--delimiter") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--delimiter needs a value"};
            }
            once(seen, "--delimiter");
            invocation.delimiterWord = args[++i];
            invocation.delimiter = parseDelimiter(*invocation.delimiterWord);
        } else if (arg.rfind("--delimiter=", 0) == 0) {
            once(seen, "--delimiter");
            invocation.delimiterWord = arg.substr(12);
            invocation.delimiter = parseDelimiter(*invocation.delimiterWord);
        } else if (arg == "--sheet" || arg.rfind("--sheet=", 0) == 0) {
            if (arg == "--sheet" && i + 1 >= args.size()) {
                throw UsageError{"--sheet needs a value"};
            }
            once(seen, "--sheet");
            invocation.sheet = arg == "--sheet" ? args[++i] : arg.substr(8);
            if (invocation.sheet.empty()) {
                throw UsageError{"--sheet needs a sheet's name"};
            }
        } else if (arg == "--") {
            ++i;
            break;
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
            err << "orvalis-cli: " << escapeControlCharacters(error.message) << "\n" << usageText();
            return ExitUsage;
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
        err << "orvalis-cli: " << escapeControlCharacters(error.message) << "\n" << usageText();
        return ExitUsage;
    }

    // Unlike the window, the command line reads pipes: `<(gunzip -c data.gz)`.
    ImportOptions options;
    options.acceptPipes = true;
    FormatOptions formatOptions;
    formatOptions.sheet = invocation.sheet;
    ImportOutcome outcome = importAnyFile(invocation.file, invocation.delimiter, options, formatOptions);
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
        err << "orvalis-cli: " << escapeControlCharacters(error.message) << "\n" << usageText();
        return ExitUsage;
    }
}

} // namespace orvalis::cli
