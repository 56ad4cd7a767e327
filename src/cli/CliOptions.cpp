// The option table, the one parser that walks it, and its two renderings: plain text for the terminal, roff
// for the man page.
#include "cli/CliOptions.h"

#include "analyses/Hierarchical.h"
#include "common/NumberText.h"
#include "common/Version.h"
#include "data/DataSet.h"
#include "data/Delimiter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <chrono>
#include <limits>
#include <random>
#include <tuple>
#include <utility>

namespace orvalis::cli {
namespace {

// Words of text wrapped to lines of at most width characters, each after indent.
std::string wrapped(const std::string& text, std::size_t indent, std::size_t width)
{
    std::string out;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        if (!line.empty()) {
            line += ' ';
        }
        line += word;
        start = end + 1;
    }
    if (!line.empty()) {
        out += std::string(indent, ' ') + line + "\n";
    }
    return out;
}
// text without the blanks (spaces and tabs) around it.
std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The items of a comma-separated list, each without the blanks (spaces and
// tabs) around it, so that "a, b" is "a,b".
std::vector<std::string> listItems(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return items;
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

// The sample sizes of plan width's --n: "50,100,200" or "FROM:TO:STEP" ("50:500:50").
std::vector<std::int32_t> parseSampleSizes(const std::string& text, const std::string& what)
{
    std::vector<std::int32_t> sizes;
    if (std::count(text.begin(), text.end(), ':') == 2) {
        const std::size_t first = text.find(':');
        const std::size_t second = text.find(':', first + 1);
        const auto from = parseNumber(text.substr(0, first), 1, 1000000, what);
        const auto to = parseNumber(text.substr(first + 1, second - first - 1), from, 1000000, what);
        const auto step = parseNumber(text.substr(second + 1), 1, 1000000, what);
        for (std::int64_t n = from; n <= to; n += step) {
            sizes.push_back(static_cast<std::int32_t>(n));
        }
    } else {
        for (const std::string& item : listItems(text)) {
            sizes.push_back(static_cast<std::int32_t>(parseNumber(item, 1, 1000000, what)));
        }
        std::sort(sizes.begin(), sizes.end());
        sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    }
    if (sizes.size() > 1000) {
        throw UsageError{what + " gives more than 1,000 sample sizes: " + text};
    }
    return sizes;
}

// A figure's size: a preset's word, or WxH in whole millimetres within the
// limits the figure windows accept.
std::pair<double, double> parseFigureSize(const std::string& text, const std::string& what)
{
    for (const FigureSizePreset& preset : FigureSizePresets) {
        if (text == preset.word) {
            return {preset.widthMm, preset.heightMm};
        }
    }
    const std::string wrong = what + " must be " + FigureSizePresets[0].word + ", " + FigureSizePresets[1].word
                              + " or WxH in whole millimetres (W " + formatDouble(FigureLeastWidthMm) + " to "
                              + formatDouble(FigureMostMm) + ", H " + formatDouble(FigureLeastHeightMm) + " to "
                              + formatDouble(FigureMostMm) + "): " + text;
    const std::size_t by = text.find('x');
    if (by == std::string::npos) {
        throw UsageError{wrong};
    }
    auto millimetres = [&](const std::string& part, double least) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size() || value < least
            || value > FigureMostMm) {
            throw UsageError{wrong};
        }
        return static_cast<double>(value);
    };
    return {millimetres(text.substr(0, by), FigureLeastWidthMm), millimetres(text.substr(by + 1), FigureLeastHeightMm)};
}

// "a, b or c".
std::string wordList(const std::vector<const char*>& words)
{
    std::string list;
    for (std::size_t k = 0; k < words.size(); ++k) {
        list += (k == 0 ? "" : k + 1 == words.size() ? " or " : ", ") + std::string(words[k]);
    }
    return list;
}

// Hyphens and backslashes as roff wants them.
std::string roff(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '-') {
            out += "\\-";
        } else if (c == '\\') {
            out += "\\e";
        } else if (c == '^') {
            out += "\\(ha";
        } else {
            out.push_back(c);
        }
    }
    return out;
}
ValueRule ruleOf(ValueKind kind)
{
    ValueRule rule{kind, 0, 0, 0.0, 0.0, {}, ""};
    return rule;
}
ValueRule ruleWhole(std::int64_t low, std::int64_t high)
{
    ValueRule rule = ruleOf(ValueKind::Whole);
    rule.low = low;
    rule.high = high;
    return rule;
}
ValueRule ruleDecimal(double low, double high)
{
    ValueRule rule = ruleOf(ValueKind::Decimal);
    rule.lowDecimal = low;
    rule.highDecimal = high;
    return rule;
}
ValueRule ruleWords(std::vector<const char*> words)
{
    ValueRule rule = ruleOf(ValueKind::Word);
    rule.words = std::move(words);
    return rule;
}
ValueRule ruleText(const char* emptyMessage)
{
    ValueRule rule = ruleOf(ValueKind::Text);
    rule.emptyMessage = emptyMessage;
    return rule;
}

// The value rules: each check of the command line, written once.
const ValueRule DelimiterWord = ruleOf(ValueKind::Delimiter);
const ValueRule SheetName = ruleText("--sheet needs a sheet's name");
const ValueRule Dependent = ruleOf(ValueKind::Variable);
const ValueRule VariableListRule = ruleOf(ValueKind::VariableList);
const ValueRule StepListRule = ruleOf(ValueKind::StepList);
const ValueRule SlopesRule = ruleOf(ValueKind::Slopes);
const ValueRule SlopesAtRule = ruleOf(ValueKind::SlopesAt);
const ValueRule GroupRule = ruleOf(ValueKind::Group);
const ValueRule Reference = ruleOf(ValueKind::Reference);
const ValueRule Trials = ruleWhole(1, 100000);
const ValueRule Confidence = ruleOf(ValueKind::Level);
const ValueRule Seed = ruleWhole(0, std::numeric_limits<std::int64_t>::max());
const ValueRule Threads = ruleWhole(1, 256);
// The words are in the order of Format.
const ValueRule ReportFormat = ruleWords({"text", "json", "apa", "apa-markdown"});
const ValueRule PlainFormat = ruleWords({"text", "json"});
// The intervals the APA texts can name, by their command words, from the interval catalogue.
std::vector<const char*> apaIntervalWords()
{
    std::vector<const char*> words;
    for (const IntervalKind kind : apaIntervalKinds()) {
        words.push_back(intervalRow(kind).commandWord);
    }
    return words;
}
std::string apaIntervalSyntaxText()
{
    std::string text;
    for (const char* word : apaIntervalWords()) {
        if (!text.empty()) {
            text += '|';
        }
        text += word;
    }
    return text;
}
const ValueRule ApaIntervalRule = ruleWords(apaIntervalWords());
const std::string ApaIntervalSyntax = apaIntervalSyntaxText(); // "percentile|modified|bca|alf-graf"
// The APA coefficient table's last columns, by their words.
std::vector<const char*> apaCoefficientColumnWords()
{
    std::vector<const char*> words;
    for (const ApaCoefficientColumnRow& row : apaCoefficientColumnRows()) {
        words.push_back(row.word);
    }
    return words;
}
const ValueRule ApaCoefficientColumnRule = ruleWords(apaCoefficientColumnWords());
const ValueRule Robust = ruleWords({"hc3", "hc4"});
const ValueRule ModifiedTest = ruleWords({"classical", "robust"});
const ValueRule DrawsFile = ruleText("--save-draws needs a file name");
const ValueRule PlanPredictors = ruleWhole(0, MaxColumns - 1);
const ValueRule PlanAdded = ruleWhole(1, MaxColumns - 1);
const ValueRule Share = ruleDecimal(0.0, 1.0);
const ValueRule EffectF2 = ruleDecimal(0.0, 1e6);
const ValueRule Correlation = ruleDecimal(-1.0, 1.0);
// The power's N; the plan checks it against the smallest sample its question allows.
const ValueRule PowerSample = ruleWhole(1, 10'000'000);
const ValueRule NoncentralityRule = ruleWords({"gpower", "pwr"});
const ValueRule CorrelationFile = ruleText("--correlations needs a file name");
const ValueRule SampleSizes = ruleOf(ValueKind::SampleSizes);
const ValueRule DataSets = ruleWhole(1, 10000);
const ValueRule FigureFile = ruleOf(ValueKind::FigureFile);
const ValueRule FigureSizeRule = ruleOf(ValueKind::FigureSize);
const ValueRule FigureDpi = ruleWords({"300", "600"});
const ValueRule FigureStep = ruleWhole(1, MaxSteps);
const ValueRule FigureOf = ruleWords({"distribution", "slopes", "johnson-neyman"});

// The setters: where each option's value goes.
void setDelimiter(CliSettings& s, const OptionValue& v)
{
    s.delimiterWord = v.text;
    s.delimiter = v.delimiter;
}
void setSheet(CliSettings& s, const OptionValue& v)
{
    s.sheet = v.text;
}
void setDependent(CliSettings& s, const OptionValue& v)
{
    s.dependent = v.variable;
}
void setPredictors(CliSettings& s, const OptionValue& v)
{
    s.predictors = v.variables;
}
void setAdded(CliSettings& s, const OptionValue& v)
{
    s.added = v.variables;
}
void addStep(CliSettings& s, const OptionValue& v)
{
    s.steps.push_back(v.variables);
    s.stepProducts.push_back(v.products);
}
void setUnits(CliSettings& s, const OptionValue& v)
{
    s.units = v.variables;
}
void addGroup(CliSettings& s, const OptionValue& v)
{
    s.groups.emplace_back(v.groupName, v.variables);
}
void setCovariates(CliSettings& s, const OptionValue& v)
{
    s.covariates = v.variables;
}
void setSlopes(CliSettings& s, const OptionValue& v)
{
    s.slopes = v.slopes;
}
void setSlopesAt(CliSettings& s, const OptionValue& v)
{
    s.slopesAt.emplace(v.variable, v.decimals);
}
void addReference(CliSettings& s, const OptionValue& v)
{
    s.references.push_back(v.reference);
}
void addCategorical(CliSettings& s, const OptionValue& v)
{
    s.categorical.insert(s.categorical.end(), v.variables.begin(), v.variables.end());
}
void addCentred(CliSettings& s, const OptionValue& v)
{
    s.centred.insert(s.centred.end(), v.variables.begin(), v.variables.end());
}
void setTrials(CliSettings& s, const OptionValue& v)
{
    s.run.trials = static_cast<std::int32_t>(v.whole);
}
void setLevel(CliSettings& s, const OptionValue& v)
{
    s.run.level = v.level;
}
void setSeed(CliSettings& s, const OptionValue& v)
{
    s.run.seed = static_cast<std::uint64_t>(v.whole);
}
void setThreads(CliSettings& s, const OptionValue& v)
{
    s.run.threads = static_cast<unsigned>(v.whole);
}
void setDetails(CliSettings& s, const OptionValue&)
{
    s.run.form.details = true;
}
void setRecord(CliSettings& s, const OptionValue&)
{
    s.run.form.record = true;
}
void setEffectSizes(CliSettings& s, const OptionValue&)
{
    s.run.form.effectSizes = true;
}
void setCoefficients(CliSettings& s, const OptionValue&)
{
    s.run.form.coefficients = true;
}
void setFormat(CliSettings& s, const OptionValue& v)
{
    s.run.form.format = static_cast<Format>(v.word);
}
void setApaInterval(CliSettings& s, const OptionValue& v)
{
    s.run.form.apaInterval = *intervalNamed(v.text);
}
void setApaCoefficientColumn(CliSettings& s, const OptionValue& v)
{
    s.run.form.apaCoefficientColumn = *apaCoefficientColumnNamed(v.text);
}
void setRobust(CliSettings& s, const OptionValue& v)
{
    s.run.form.effectSizeRequest.covariance = v.word == 1 ? RobustCovariance::HC4 : RobustCovariance::HC3;
    s.run.form.effectSizes = true;
}
void setModifiedTest(CliSettings& s, const OptionValue& v)
{
    s.run.form.effectSizeRequest.modifiedFollowsRobust = v.word == 1;
    s.run.form.effectSizes = true;
}
void setDrawsFile(CliSettings& s, const OptionValue& v)
{
    s.run.form.drawsFile = v.text;
}
void setFigure(CliSettings& s, const OptionValue& v)
{
    s.run.form.figure.file = v.text;
    s.run.form.figure.type = v.figureType;
}
void setFigureSize(CliSettings& s, const OptionValue& v)
{
    s.run.form.figure.widthMm = v.widthMm;
    s.run.form.figure.heightMm = v.heightMm;
}
void setFigureDpi(CliSettings& s, const OptionValue& v)
{
    s.run.form.figure.dpi = FigureResolutions[v.word];
}
void setFigureStep(CliSettings& s, const OptionValue& v)
{
    s.run.form.figure.step = static_cast<std::int32_t>(v.whole);
}
void setFigureOf(CliSettings& s, const OptionValue& v)
{
    s.run.form.figure.moderation = v.word == 1   ? std::optional(ModerationFigureKind::SimpleSlopes)
                                   : v.word == 2 ? std::optional(ModerationFigureKind::JohnsonNeyman)
                                                 : std::nullopt;
}
void setPlanPredictors(CliSettings& s, const OptionValue& v)
{
    s.plan.predictors = static_cast<std::int32_t>(v.whole);
}
void setPlanAdded(CliSettings& s, const OptionValue& v)
{
    s.plan.added = static_cast<std::int32_t>(v.whole);
}
void setDeltaR2(CliSettings& s, const OptionValue& v)
{
    s.plan.deltaR2 = v.decimal;
}
void setR2Full(CliSettings& s, const OptionValue& v)
{
    s.plan.r2Full = v.decimal;
}
void setF2(CliSettings& s, const OptionValue& v)
{
    s.plan.f2 = v.decimal;
}
void setAlpha(CliSettings& s, const OptionValue& v)
{
    s.plan.alpha = v.decimal;
}
void setPowerSample(CliSettings& s, const OptionValue& v)
{
    s.plan.n = static_cast<std::int32_t>(v.whole);
}
void setPower(CliSettings& s, const OptionValue& v)
{
    s.plan.power = v.decimal;
}
void setNoncentrality(CliSettings& s, const OptionValue& v)
{
    s.plan.convention = v.word == 1 ? Noncentrality::Pwr : Noncentrality::GPower;
}
void setR2Reduced(CliSettings& s, const OptionValue& v)
{
    s.plan.r2Reduced = v.decimal;
}
void setIntercorrelation(CliSettings& s, const OptionValue& v)
{
    s.plan.intercorrelation = v.decimal;
}
void setCorrelations(CliSettings& s, const OptionValue& v)
{
    s.plan.correlations = v.text;
}
void setSampleSizes(CliSettings& s, const OptionValue& v)
{
    s.plan.sampleSizes = v.sampleSizes;
}
void setTargetWidth(CliSettings& s, const OptionValue& v)
{
    s.plan.targetWidth = v.decimal;
}
void setAssurance(CliSettings& s, const OptionValue& v)
{
    s.plan.assurance = v.decimal;
}
void setDataSets(CliSettings& s, const OptionValue& v)
{
    s.plan.dataSets = static_cast<std::int32_t>(v.whole);
}

} // namespace

std::uint64_t RunOptions::clockSeed()
{
    return (std::random_device{}()
            ^ static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()))
           & static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
}

const char* commandName(unsigned command)
{
    switch (command) {
    case Bootstrap:
        return "bootstrap";
    case Hierarchical:
        return "hierarchical";
    case PlanPower:
        return "plan power";
    case PlanWidth:
        return "plan width";
    case Descriptives:
        return "descriptives";
    case Dominance:
        return "dominance";
    default:
        return "";
    }
}

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

bool looksNumeric(const std::string& text)
{
    return !text.empty()
           && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 || text[0] == '+' || text[0] == '-');
}

std::pair<VariableRef, VariableRef> parseProduct(const std::string& item)
{
    const std::size_t star = item.find('*');
    if (star == 0 || star == std::string::npos || star + 1 == item.size()
        || item.find('*', star + 1) != std::string::npos) {
        throw UsageError{"--step takes a product of two variables as VAR*VAR: " + item};
    }
    return {parseVariable(trimmed(item.substr(0, star)), "--step"),
            parseVariable(trimmed(item.substr(star + 1)), "--step")};
}

VariableRef parseVariable(const std::string& text, const std::string& what)
{
    if (!looksNumeric(text) && !text.empty()) {
        return {0, text};
    }
    return {static_cast<std::int32_t>(parseNumber(text, 1, DataSet::MaxColumn, what)), {}};
}

OptionValue parseValue(const std::string& option, const ValueRule& rule, const std::string& text)
{
    OptionValue value;
    value.text = text;
    switch (rule.kind) {
    case ValueKind::Whole:
        value.whole = parseNumber(text, rule.low, rule.high, option);
        break;
    case ValueKind::Decimal:
        value.decimal = parseDecimal(text, rule.lowDecimal, rule.highDecimal, option);
        break;
    case ValueKind::Word: {
        const auto found =
            std::find_if(rule.words.begin(), rule.words.end(), [&](const char* word) { return text == word; });
        if (found == rule.words.end()) {
            throw UsageError{option + " must be " + wordList(rule.words) + ": " + text};
        }
        value.word = static_cast<std::size_t>(found - rule.words.begin());
        break;
    }
    case ValueKind::Level: {
        const std::optional<ConfidenceLevel> level = levelFromPercent(parseNumber(text, 90, 99, option));
        if (!level) {
            throw UsageError{option + " must be 90, 95 or 99: " + text};
        }
        value.level = *level;
        break;
    }
    case ValueKind::Delimiter: {
        const std::optional<Delimiter> delimiter = delimiterNamed(text);
        if (!delimiter) {
            std::vector<const char*> words;
            for (const DelimiterInfo& info : delimiterTable()) {
                words.push_back(info.word);
            }
            throw UsageError{"unknown delimiter: " + text + " (expected " + wordList(words) + ")"};
        }
        value.delimiter = *delimiter;
        break;
    }
    case ValueKind::Text:
        if (text.empty()) {
            throw UsageError{rule.emptyMessage};
        }
        break;
    case ValueKind::Variable:
        value.variable = parseVariable(text, option);
        break;
    case ValueKind::VariableList:
        for (const std::string& item : listItems(text)) {
            value.variables.push_back(parseVariable(item, option));
        }
        break;
    case ValueKind::StepList:
        // An item with a '*' is read once the data is: a variable may be named so.
        for (const std::string& item : listItems(text)) {
            if (item.find('*') == std::string::npos) {
                value.variables.push_back(parseVariable(item, option));
            } else {
                value.products.push_back(item);
            }
        }
        break;
    case ValueKind::Group: {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
            throw UsageError{option + " must be NAME=LIST: " + text};
        }
        value.groupName = trimmed(text.substr(0, equals));
        for (const std::string& item : listItems(text.substr(equals + 1))) {
            value.variables.push_back(parseVariable(item, option));
        }
        break;
    }
    case ValueKind::Slopes: {
        const std::size_t at = text.find('@');
        if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
            throw UsageError{option + " must be FOCAL@MODERATOR: " + text};
        }
        value.slopes = {parseVariable(trimmed(text.substr(0, at)), option),
                        parseVariable(trimmed(text.substr(at + 1)), option)};
        break;
    }
    case ValueKind::SlopesAt: {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
            throw UsageError{option + " must be VAR=v1,v2,...: " + text};
        }
        value.variable = parseVariable(trimmed(text.substr(0, equals)), option);
        for (const std::string& item : listItems(text.substr(equals + 1))) {
            const std::optional<double> number = parseFiniteDouble(item);
            if (!number) {
                throw UsageError{option + " takes numbers after VAR=: " + item};
            }
            value.decimals.push_back(*number);
        }
        break;
    }
    case ValueKind::Reference: {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
            throw UsageError{option + " must be VAR=CATEGORY: " + text};
        }
        value.reference = {parseVariable(text.substr(0, equals), option), text.substr(equals + 1)};
        break;
    }
    case ValueKind::SampleSizes:
        value.sampleSizes = parseSampleSizes(text, option);
        break;
    case ValueKind::FigureFile: {
        const std::optional<FigureFileType> type = figureFileType(text);
        if (!type) {
            throw UsageError{option + " must name a .pdf, .png or .svg file: " + text};
        }
        value.figureType = *type;
        break;
    }
    case ValueKind::FigureSize:
        std::tie(value.widthMm, value.heightMm) = parseFigureSize(text, option);
        break;
    }
    return value;
}

const std::vector<OptionRow>& optionTable()
{
    static const std::vector<OptionRow> table = {
        {Global, "--delimiter", "space|comma|tab|semicolon|auto", &DelimiterWord, setDelimiter, false,
         "The field delimiter of FILE (default: space). With semicolon a decimal comma reads as a"
         " point (2,5 is 2.5); auto takes the first of tab, semicolon, comma and space that splits every"
         " line of the first megabyte into the same number of fields, and the summary says which."},
        {Global, "--sheet", "NAME", &SheetName, setSheet, false,
         "The sheet of an Excel (.xlsx) or OpenDocument (.ods) workbook to read (default: the first)."},
        {Global, "--help", "", nullptr, nullptr, false, "Print this help and exit."},
        {Global, "--version", "", nullptr, nullptr, false, "Print the version and exit."},
        {Bootstrap, "--dv", "VAR", &Dependent, setDependent, false, "The dependent variable."},
        {Bootstrap, "--predictors", "LIST", &VariableListRule, setPredictors, false,
         "The reduced model's predictors (none when left out)."},
        {Bootstrap, "--added", "LIST", &VariableListRule, setAdded, false,
         "The predictors added in the full model (one or more). At most 12 predictors and added predictors"
         " together; a variable may play only one role."},
        {Bootstrap, "--categorical", "LIST", &VariableListRule, addCategorical, true,
         "Predictors to enter as categorical: a numeric variable's distinct values become its categories (named by"
         " their value labels, as SPSS and Stata files give them), entered as indicators but the reference one; at"
         " most 25 categories, 24 predictor columns in all. A text variable is categorical already, and the"
         " bootstrap takes it only when named here."},
        {Bootstrap, "--reference", "VAR=CATEGORY", &Reference, addReference, true,
         "A categorical predictor's reference category, by its label, or by its value for a numeric variable"
         " declared with --categorical (default: the first)."},
        {Bootstrap, "--trials", "N", &Trials, setTrials, false, "1 to 100000 bootstrap trials (default 600)."},
        {Bootstrap, "--confidence", "90|95|99", &Confidence, setLevel, false, "The confidence level (default 95)."},
        {Bootstrap, "--seed", "S", &Seed, setSeed, false,
         "A whole number from 0 to 2^63 - 1 (default: taken from the clock). A seed gives the same report on any"
         " number of threads."},
        {Bootstrap, "--threads", "N", &Threads, setThreads, false,
         "Threads for the trials, 1 to 256 (default: one per core)."},
        {Bootstrap, "--details", "", nullptr, setDetails, true,
         "Append the details block: seed, data file, cases used, the F test with its exact p-value and the"
         " decision, bootstrap mean and standard error, percentile positions and BCa limits."},
        {Bootstrap, "--record", "", nullptr, setRecord, true,
         "Append the record of the run: the program's version, the data file's size and SHA-256, cases, seed,"
         " trials and level, the date, the orvalis-cli command line that repeats the run, the Monte Carlo"
         " standard errors of the traditional limits (with a note when they are large against the interval) and"
         " a note when the complete cases are fewer than the modified interval needs. With --format json: the"
         " same as the objects record, monte_carlo_error and sample_size."},
        {Bootstrap, "--format", "text|json|apa|apa-markdown", &ReportFormat, setFormat, false,
         "json prints one JSON object with every value of the report and of the details (null where undefined)"
         " instead of the text. apa prints the results sentence in APA style and its table as plain text;"
         " apa-markdown the sentence and the table in Markdown."},
        {Bootstrap, "--apa-interval", ApaIntervalSyntax.c_str(), &ApaIntervalRule, setApaInterval, false,
         "The interval the APA sentence and table report (default percentile); modified says why its lower"
         " limit is 0 when it is; alf-graf is Alf and Graf's large-sample interval."},
        {Bootstrap, "--apa-coefficient-column", "ci|sr2", &ApaCoefficientColumnRule, setApaCoefficientColumn, false,
         "With --coefficients, the APA table is the hierarchical regression table, each model's terms with B, SE B,"
         " beta, t and p; its last column is B's interval at the run's level (ci, the default) or the squared"
         " semipartial correlation (sr2)."},
        {Bootstrap, "--effect-sizes", "", nullptr, setEffectSizes, true,
         "Append the block of effect sizes and analytic intervals: each model's R^2 with its exact interval"
         " (noncentral F, fixed predictors, lambda / (lambda + N)), the change with Alf and Graf's interval,"
         " Ezekiel's and Olkin and Pratt's adjusted R^2, Cohen's f^2 with its bootstrap percentile interval and the"
         " robust F test of the added predictors. With --format json: the object effect_sizes, with every interval"
         " of the run."},
        {Bootstrap, "--coefficients", "", nullptr, setCoefficients, true,
         "Append the block of coefficients of the reduced and the full model: each term's B, its standard error"
         " and t-based interval at the run's level, the standardized beta, t, p, the squared semipartial"
         " correlation sr^2 (the R^2 lost when that predictor alone is dropped), tolerance and VIF. With --format"
         " json: the object coefficients."},
        {Bootstrap, "--robust", "hc3|hc4", &Robust, setRobust, false,
         "The covariance of the robust F test (default hc3); implies --effect-sizes."},
        {Bootstrap, "--modified-test", "classical|robust", &ModifiedTest, setModifiedTest, false,
         "The test the modified lower limit follows (default classical, the F test); robust follows the robust F"
         " test, and the effect sizes block says so. Implies --effect-sizes."},
        {Bootstrap, "--save-draws", "CSV", &DrawsFile, setDrawsFile, false,
         "Write \"trial,change\" for every valid trial, in trial order. CSV is never the data file, a directory,"
         " a pipe, a device or a read-only file; a link is written through; a failed write leaves an existing"
         " file as it was."},
        {Bootstrap, "--figure", "FILE", &FigureFile, setFigure, false,
         "Write the figure of the valid trials' changes with the interval limits and a legend of their values, as"
         " the Bootstrap Distribution window saves it, after the report: a PDF, PNG or SVG file by FILE's"
         " extension (.pdf, .png, .svg), by the same rules as --save-draws. Needs no display."},
        {Bootstrap, "--figure-size", "one-column|two-column|WxH", &FigureSizeRule, setFigureSize, false,
         "The figure's printed size: one column, 85 x 64 mm (default); two columns, 175 x 105 mm; or W x H whole"
         " millimetres, W 60 to 300 and H 50 to 300 (120x80)."},
        {Bootstrap, "--figure-dpi", "300|600", &FigureDpi, setFigureDpi, false,
         "A PNG figure's dots per inch (default 300), stored in the file."},
        {Hierarchical, "--dv", "VAR", &Dependent, setDependent, false, "The dependent variable (numeric)."},
        {Hierarchical, "--step", "LIST", &StepListRule, addStep, true,
         "The predictors a step adds, once per step in order (1 to 6 steps); step 1 is set against the model without"
         " predictors. A text (categorical) variable enters as the indicators of its categories but the reference"
         " one. A product X*W is the interaction of two predictors entered in this step or an earlier one: one"
         " column for two numeric ones, the numeric one times each indicator of a categorical one, or each pair of"
         " indicators of two categorical ones. At most 24 predictor columns in all."},
        {Hierarchical, "--reference", "VAR=CATEGORY", &Reference, addReference, true,
         "A categorical predictor's reference category, by its label or its number (default: the first)."},
        {Hierarchical, "--categorical", "LIST", &VariableListRule, addCategorical, true,
         "Numeric predictors to enter as categorical, as for bootstrap: each distinct value a category, named by"
         " its value label; --reference then takes the category's label or its value."},
        {Hierarchical, "--center", "LIST", &VariableListRule, addCentred, true,
         "Numeric predictors to centre at their means over the complete cases: the coefficients' intercept is"
         " then the dependent variable's mean where they are at their means (the coefficients block says at"
         " which); no R^2 changes."},
        {Hierarchical, "--slopes", "FOCAL@MODERATOR", &SlopesRule, setSlopes, false,
         "Append the simple slopes of a numeric FOCAL predictor at values of MODERATOR, read from the model of the"
         " step that enters FOCAL*MODERATOR: B, SE, t, p and the t-based interval from the coefficients and their"
         " covariance, and each slope's bootstrap percentile interval from the run's trials; for a numeric"
         " moderator at its mean and one standard deviation either side (or --slopes-at) with the Johnson-Neyman"
         " values where the slope's test changes significance, for a categorical one in each category."},
        {Hierarchical, "--slopes-at", "VAR=v1,v2,...", &SlopesAtRule, setSlopesAt, false,
         "The numeric moderator's values for --slopes, in its own units (not centred)."},
        {Hierarchical, "--trials", "N", &Trials, setTrials, false, "1 to 100000 bootstrap trials (default 600)."},
        {Hierarchical, "--confidence", "90|95|99", &Confidence, setLevel, false, "The confidence level (default 95)."},
        {Hierarchical, "--seed", "S", &Seed, setSeed, false,
         "As for bootstrap; every step's changes come from the same resamples."},
        {Hierarchical, "--threads", "N", &Threads, setThreads, false,
         "Threads for the trials, 1 to 256 (default: one per core)."},
        {Hierarchical, "--details", "", nullptr, setDetails, true,
         "Append each step's bootstrap mean and standard error, BCa limits and the Monte Carlo errors of its"
         " limits."},
        {Hierarchical, "--record", "", nullptr, setRecord, true,
         "Append the record of the run: the program's version, the data file's size and SHA-256, cases, seed,"
         " trials and level, the date and the orvalis-cli command line that repeats the run. With --format json:"
         " the object record."},
        {Hierarchical, "--format", "text|json|apa|apa-markdown", &ReportFormat, setFormat, false,
         "json prints one object with a \"steps\" array; apa and apa-markdown the results sentences and a table"
         " with a row per step."},
        {Hierarchical, "--apa-interval", ApaIntervalSyntax.c_str(), &ApaIntervalRule, setApaInterval, false,
         "As for bootstrap."},
        {Hierarchical, "--apa-coefficient-column", "ci|sr2", &ApaCoefficientColumnRule, setApaCoefficientColumn, false,
         "As for bootstrap, with each step's model."},
        {Hierarchical, "--effect-sizes", "", nullptr, setEffectSizes, true,
         "As for bootstrap, for every step against the step before it."},
        {Hierarchical, "--coefficients", "", nullptr, setCoefficients, true,
         "Append the block of coefficients of each step's model (the steps up to it), as bootstrap's"
         " --coefficients gives them; a categorical variable's indicators are named by their category and the"
         " reference. With --format json: the object coefficients in each step."},
        {Hierarchical, "--robust", "hc3|hc4", &Robust, setRobust, false, "As for bootstrap."},
        {Hierarchical, "--modified-test", "classical|robust", &ModifiedTest, setModifiedTest, false,
         "As for bootstrap, for every step."},
        {Hierarchical, "--save-draws", "CSV", &DrawsFile, setDrawsFile, false,
         "Write \"step,trial,change\" for every step's valid trials, by the same rules as bootstrap's."},
        {Hierarchical, "--figure", "FILE", &FigureFile, setFigure, false,
         "As for bootstrap, of one step's changes (--figure-step)."},
        {Hierarchical, "--figure-size", "one-column|two-column|WxH", &FigureSizeRule, setFigureSize, false,
         "As for bootstrap."},
        {Hierarchical, "--figure-dpi", "300|600", &FigureDpi, setFigureDpi, false, "As for bootstrap."},
        {Hierarchical, "--figure-step", "N", &FigureStep, setFigureStep, false,
         "The step whose changes the figure shows, 1 to the number of steps (default: the last)."},
        {Hierarchical, "--figure-of", "distribution|slopes|johnson-neyman", &FigureOf, setFigureOf, false,
         "The figure --figure writes: the distribution of a step's changes (default); slopes, the predicted"
         " dependent variable against the focal predictor of --slopes over its observed range, a line per"
         " moderator value; johnson-neyman, the focal slope across a numeric moderator's observed range with its"
         " confidence band at the run's level and the values where it is significant shaded."},
        {PlanPower, "--predictors", "P", &PlanPredictors, setPlanPredictors, false,
         "Predictors in the reduced model (default 0)."},
        {PlanPower, "--added", "Q", &PlanAdded, setPlanAdded, false,
         "Predictors added (1 or more; at most 24 in all)."},
        {PlanPower, "--delta-r2", "D", &Share, setDeltaR2, false, "The population's change in R^2, with --r2-full."},
        {PlanPower, "--r2-full", "R", &Share, setR2Full, false, "The full model's population R^2; f^2 = D / (1 - R)."},
        {PlanPower, "--f2", "F", &EffectF2, setF2, false, "Cohen's f^2 directly, instead of --delta-r2 and --r2-full."},
        {PlanPower, "--alpha", "A", &Share, setAlpha, false, "The test's alpha (default 0.05)."},
        {PlanPower, "--n", "N", &PowerSample, setPowerSample, false, "The power at N cases."},
        {PlanPower, "--power", "W", &Share, setPower, false, "Instead of --n: the smallest N whose power reaches W."},
        {PlanPower, "--noncentrality", "gpower|pwr", &NoncentralityRule, setNoncentrality, false,
         "lambda = f^2 N as G*Power has it (default), or f^2 (u + v + 1) as R's pwr has it."},
        {PlanPower, "--format", "text|json", &PlainFormat, setFormat, false,
         "json prints one object with the inputs, df, lambda and power."},
        {PlanPower, "--record", "", nullptr, setRecord, false,
         "Append the record of the plan: the program's version, the date and the orvalis-cli command line that"
         " repeats it. With --format json: the object record."},
        {PlanWidth, "--predictors", "P", &PlanPredictors, setPlanPredictors, false,
         "Predictors in the reduced model (default 0)."},
        {PlanWidth, "--added", "Q", &PlanAdded, setPlanAdded, false, "Predictors added (1 or more)."},
        {PlanWidth, "--r2-reduced", "R", &Share, setR2Reduced, false,
         "The reduced model's population R^2 (with --delta-r2; 0 without reduced-model predictors)."},
        {PlanWidth, "--delta-r2", "D", &Share, setDeltaR2, false, "The population's change in R^2."},
        {PlanWidth, "--intercorrelation", "r", &Correlation, setIntercorrelation, false,
         "The common correlation of every pair of predictors (default 0, as in the window)."},
        {PlanWidth, "--correlations", "FILE", &CorrelationFile, setCorrelations, false,
         "Instead of the three above: the population's correlation matrix, the dependent variable first, one row"
         " per line (blanks, commas or semicolons between values; lines starting with # skipped)."},
        {PlanWidth, "--n", "LIST|FROM:TO:STEP", &SampleSizes, setSampleSizes, false,
         "The sample sizes: 50,100,200 or 50:500:50."},
        {PlanWidth, "--target-width", "W", &Share, setTargetWidth, false, "The width the interval should not exceed."},
        {PlanWidth, "--assurance", "A", &Share, setAssurance, false,
         "The share of data sets whose interval must be at most W wide (default 0.8)."},
        {PlanWidth, "--datasets", "S", &DataSets, setDataSets, false,
         "Data sets per sample size, 1 to 10000 (default 200)."},
        {PlanWidth, "--trials", "T", &Trials, setTrials, false,
         "Bootstrap trials per data set, 1 to 100000 (default 1000)."},
        {PlanWidth, "--confidence", "90|95|99", &Confidence, setLevel, false, "The intervals' level (default 95)."},
        {PlanWidth, "--seed", "S", &Seed, setSeed, false,
         "As for bootstrap (default: from the clock); data set d draws its cases from the stream (S, 2d) and"
         " bootstraps with a seed from the stream (S, 2d + 1), so the plan is the same on any number of threads."},
        {PlanWidth, "--threads", "N", &Threads, setThreads, false,
         "Threads, 1 to 256 (default: one per core); each runs whole data sets."},
        {PlanWidth, "--format", "text|json", &PlainFormat, setFormat, false,
         "json prints one object with the population, a row per N and the"
         " smallest N."},
        {PlanWidth, "--details", "", nullptr, setDetails, false,
         "Add to each row the Monte Carlo standard errors of its two assurance-quantile widths (from the order"
         " statistics) and a mark (Near) where one lies within its error of the target, and say below the table"
         " which answers that makes uncertain. With --format json: the keys assurance_width_mc_error,"
         " assurance_modified_width_mc_error, near_target and modified_near_target in each row."},
        {PlanWidth, "--record", "", nullptr, setRecord, false,
         "Append the record of the plan: the program's version, the --correlations file's size and SHA-256 (of"
         " the bytes read), seed, trials, level and data sets, the date and the orvalis-cli command line that"
         " repeats it. With --format json: the object record."},
        {Descriptives, "--format", "text|json", &PlainFormat, setFormat, false,
         "json prints {\"variables\": [{\"variable\", \"name\", \"n\", \"mean\", \"sd\", \"min\", \"max\"}, ...]}"
         " instead of the text."},
        {Dominance, "--dv", "VAR", &Dependent, setDependent, false, "The dependent variable (numeric)."},
        {Dominance, "--units", "LIST", &VariableListRule, setUnits, false,
         "The predictors compared, each a unit of its own (a text or declared categorical variable: the block of"
         " its indicators); with the groups, 2 to 12 units and at most 24 predictor columns in all."},
        {Dominance, "--group", "NAME=LIST", &GroupRule, addGroup, true,
         "A unit of several predictors that enter and leave the models together, named NAME; once per group."},
        {Dominance, "--covariates", "LIST", &VariableListRule, setCovariates, false,
         "Predictors kept in every model: the units then share the R^2 beyond them."},
        {Dominance, "--categorical", "LIST", &VariableListRule, addCategorical, true, "As for bootstrap."},
        {Dominance, "--reference", "VAR=CATEGORY", &Reference, addReference, true, "As for bootstrap."},
        {Dominance, "--trials", "N", &Trials, setTrials, false, "1 to 100000 bootstrap trials (default 600)."},
        {Dominance, "--confidence", "90|95|99", &Confidence, setLevel, false, "The confidence level (default 95)."},
        {Dominance, "--seed", "S", &Seed, setSeed, false,
         "As for bootstrap; the trials are those of bootstrap for the full model against the covariates."},
        {Dominance, "--threads", "N", &Threads, setThreads, false,
         "Threads for the trials, 1 to 256 (default: one per core)."},
        {Dominance, "--details", "", nullptr, setDetails, true,
         "Add the BCa limits of every general weight and share (one jackknife over the cases)."},
        {Dominance, "--format", "text|json|apa|apa-markdown", &ReportFormat, setFormat, false,
         "json prints one object: the units, the full model, each unit's general weight, share, their intervals,"
         " conditional dominance and sr^2, and every pair's complete dominance with the shares of trials. apa and"
         " apa-markdown print the results sentence (the weights with their percentile intervals and shares, and"
         " which unit completely dominated which) and the table."},
        {Dominance, "--figure", "FILE", &FigureFile, setFigure, false,
         "As for bootstrap, of the general dominance weights: a bar per unit, the largest first, with the"
         " percentile interval of its weight, as the Relative Importance window saves it."},
        {Dominance, "--figure-size", "one-column|two-column|WxH", &FigureSizeRule, setFigureSize, false,
         "As for bootstrap."},
        {Dominance, "--figure-dpi", "300|600", &FigureDpi, setFigureDpi, false, "As for bootstrap."},
    };
    return table;
}

const OptionRow* findOption(unsigned command, const std::string& name)
{
    for (const OptionRow& row : optionTable()) {
        if (row.command == command && name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

void takeOption(const std::vector<std::string>& args, std::size_t& i, unsigned command, CliSettings& settings,
                std::set<std::string>& seen, const std::string& unknownWords)
{
    const std::string& arg = args[i];
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionRow* row = findOption(command, name);
    if (row == nullptr || row->set == nullptr) {
        throw UsageError{unknownWords + ": " + name};
    }
    std::string text;
    if (row->rule == nullptr) {
        if (equals != std::string::npos) {
            throw UsageError{name + " takes no value"};
        }
    } else if (equals != std::string::npos) {
        text = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
        text = args[++i];
    } else {
        throw UsageError{name + " needs a value"};
    }
    // An option may be given once unless its row says otherwise: a second one
    // is a usage error rather than a silent "last wins".
    if (!seen.insert(name).second && !row->repeatable) {
        throw UsageError{name + " is given twice"};
    }
    const OptionValue value = row->rule == nullptr ? OptionValue{} : parseValue(name, *row->rule, text);
    row->set(settings, value);
    settings.given.insert_or_assign(name, text);
    ++i;
}

void parseCommandOptions(const std::vector<std::string>& args, std::size_t first, unsigned command,
                         CliSettings& settings, void (*positional)(CliSettings&, const std::string&))
{
    std::set<std::string> seen;
    const std::string unknownWords = std::string("unknown ") + commandName(command) + " option";
    for (std::size_t i = first; i < args.size();) {
        if (args[i].rfind("--", 0) == 0) {
            takeOption(args, i, command, settings, seen, unknownWords);
        } else if (positional != nullptr) {
            positional(settings, args[i++]);
        } else {
            throw UsageError{"unexpected argument: " + args[i]};
        }
    }
}

std::string usageText()
{
    std::string text =
        "usage: orvalis-cli [--delimiter space|comma|tab|semicolon|auto] [--sheet NAME] FILE COMMAND [ARGUMENTS]\n"
        "       orvalis-cli plan power|width [options]\n"
        "       orvalis-cli --help | --version\n"
        "\n"
        "Imports FILE (one case per line, fields separated by the delimiter) and runs\n"
        "COMMAND on it:\n"
        "  summary   print the import summary\n"
        "  dump      print the table: one line per case, cells separated by a tab,\n"
        "            \".\" for a missing value\n"
        "  bootstrap --dv VAR [--predictors LIST] --added LIST [options]\n"
        "            the effect-size bootstrap of the R^2 change when the added\n"
        "            predictors join the reduced model\n"
        "  hierarchical --dv VAR --step LIST [--step LIST ...] [options]\n"
        "            the bootstrap of every step's R^2 change, each step adding a\n"
        "            block of predictors to the steps before it\n"
        "  dominance --dv VAR --units LIST [--group NAME=LIST ...] [options]\n"
        "            which predictors matter most: general, conditional and complete\n"
        "            dominance over every subset of 2 to 12 units, with bootstrap\n"
        "            intervals\n"
        "  descriptives VAR... [--format text|json]\n"
        "            mean, standard deviation, minimum, maximum and count of\n"
        "            each variable, in the order given\n"
        "\n"
        "plan power|width reads no FILE: it plans a study. power gives the power of\n"
        "the F test of the added predictors (or the N that reaches a power); width\n"
        "the N whose bootstrap interval of the R^2 change is narrow enough, by\n"
        "simulating normal data.\n"
        "\n"
        "A VAR is a variable number (1-based) or a name from the file's names line\n"
        "(anything that starts like a number is a number); a LIST is comma-separated\n"
        "VARs; for descriptives a VAR may also be a range such as 1-4. An option that\n"
        "takes a value may be given once.\n";
    unsigned command = 0;
    bool first = true;
    for (const OptionRow& option : optionTable()) {
        if (first || command != option.command) {
            first = false;
            command = option.command;
            text += "\n";
            if (command == Global) {
                text += "Options:\n";
            } else {
                text.append("Options of ").append(commandName(command)).append(":\n");
            }
        }
        text.append("  ").append(option.name);
        if (*option.value != 0) {
            text.append(" ").append(option.value);
        }
        text += "\n";
        text += wrapped(option.text, 12, 78);
    }
    text += "\nExit status: 0 success, 1 the import or the analysis failed or the output could\n"
            "not be written, 2 usage error.\n";
    return text;
}

std::string manPageOptions()
{
    std::string text;
    unsigned command = 0;
    bool first = true;
    for (const OptionRow& option : optionTable()) {
        if (first || command != option.command) {
            first = false;
            command = option.command;
            if (command != Global) {
                text += ".SS " + std::string(commandName(command)) + "\n";
            }
        }
        text += ".TP\n";
        if (*option.value == 0) {
            text += ".B " + roff(option.name) + "\n";
        } else {
            text += ".BI " + roff(option.name) + " \" " + roff(option.value) + "\"\n";
        }
        text += roff(option.text) + "\n";
    }
    return text;
}

std::string versionText()
{
    return std::string("orvalis-cli ") + programVersion() + "\n";
}

} // namespace orvalis::cli
