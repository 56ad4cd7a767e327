// Every option of orvalis-cli in one table: the parser, the help text and the man page's option list walk it.
#pragma once

#include "analyses/ApaReport.h"
#include "analyses/BootstrapRequest.h"
#include "analyses/ConfidenceLevel.h"
#include "analyses/NestedR2.h"
#include "analyses/Planning.h"
#include "cli/CliFigure.h"
#include "data/Delimiter.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvalis::cli {

// A wrong command line: the one-line reason orvalis-cli prints before
// "Try 'orvalis-cli --help'" (exit status 2).
struct UsageError {
    std::string message;
};

// The commands an option row belongs to, as bits; Global is the options
// before FILE.
enum CommandBit : unsigned {
    Global = 1u,
    Bootstrap = 2u,
    Hierarchical = 4u,
    PlanPower = 8u,
    PlanWidth = 16u,
    Descriptives = 32u,
    Dominance = 64u,
};

// The command's name as the help's headings and the messages say it
// ("bootstrap", "plan power"); "" for Global.
const char* commandName(unsigned command);

// A variable as the command line names it: by number (anything that starts
// like a number is one, checked at once) or by the name of the file's names
// line (looked up once the file is read).
struct VariableRef {
    std::int32_t number = 0;
    std::string name;
};

// A categorical predictor's reference category: VAR=CATEGORY, the category by
// its label (or, failing that, its 1-based number).
struct ReferenceRef {
    VariableRef variable;
    std::string category;
};

// The forms of --format: the text block (the default), JSON, and the APA
// sentence with its table as plain text or Markdown (in the order of the
// format rules' words).
enum class Format { Text, Json, Apa, ApaMarkdown };

// What a command prints besides (or instead of) its text block.
struct OutputForm {
    bool details = false;
    bool record = false;
    // The effect sizes and analytic intervals (--effect-sizes, --robust, --modified-test).
    bool effectSizes = false;
    EffectSizeRequest effectSizeRequest;
    // Each model's coefficients (--coefficients).
    bool coefficients = false;
    Format format = Format::Text;
    IntervalKind apaInterval = IntervalKind::Traditional;
    // The APA coefficient table's last column (--apa-coefficient-column).
    ApaCoefficientColumn apaCoefficientColumn = ApaCoefficientColumn::Interval;
    std::string drawsFile;
    // The distribution's figure, written after the report (--figure and its options).
    FigureRequest figure;
};

// What the bootstrap commands and the width plan share: trials, level, seed,
// threads and the output forms.
struct RunOptions {
    std::int32_t trials = 600;
    ConfidenceLevel level = ConfidenceLevel::P95;
    // Within --seed's range, so that the seed the details show can be given back.
    std::uint64_t seed = clockSeed();
    unsigned threads = 0;
    OutputForm form;

    // A seed from the clock and the random device, from 0 to 2^63 - 1.
    static std::uint64_t clockSeed();
};

// The questions of plan power and plan width as given; what is not given
// takes the plan's default (or is refused) when the plan is put together.
struct PlanOptions {
    std::int32_t predictors = 0;
    std::int32_t added = 0;
    double deltaR2 = 0.0;
    double r2Full = 0.0;
    double f2 = 0.0;
    double alpha = 0.05;
    std::int32_t n = 0; // plan power's --n
    double power = 0.0;
    Noncentrality convention = Noncentrality::GPower;
    double r2Reduced = 0.0;
    double intercorrelation = 0.0;
    std::string correlations;
    std::vector<std::int32_t> sampleSizes; // plan width's --n
    double targetWidth = 0.0;
    double assurance = 0.8;
    std::int32_t dataSets = 200;
};

// Everything a command line sets. Each command reads its own part.
struct CliSettings {
    // Before FILE.
    Delimiter delimiter = Delimiter::Space;
    std::optional<std::string> delimiterWord; // as given; none: the default
    std::string sheet;                        // a workbook's sheet, by name; empty: the first
    // bootstrap and hierarchical.
    VariableRef dependent;
    std::vector<VariableRef> predictors;
    std::vector<VariableRef> added;
    std::vector<std::vector<VariableRef>> steps;
    // Each step's items that hold a '*' (X*W in --step), as many lists as steps, as typed: a product unless the
    // data names a variable so (parseProduct).
    std::vector<std::vector<std::string>> stepProducts;
    // The simple slopes asked for: --slopes X@W, and --slopes-at W=v1,v2 (the moderator's values).
    std::optional<std::pair<VariableRef, VariableRef>> slopes;
    std::optional<std::pair<VariableRef, std::vector<double>>> slopesAt;
    // dominance: its units, named groups (--group NAME=LIST, any number of times) and covariates.
    std::vector<VariableRef> units;
    std::vector<std::pair<std::string, std::vector<VariableRef>>> groups;
    std::vector<VariableRef> covariates;
    std::vector<ReferenceRef> references;
    // Numeric variables to enter as categorical (--categorical, any number of times).
    std::vector<VariableRef> categorical;
    // Numeric predictors centred at their means (--center, any number of times).
    std::vector<VariableRef> centred;
    RunOptions run;
    // descriptives: its variables (the arguments that are not options).
    std::vector<VariableRef> variables;
    PlanOptions plan;
    // Every option given, with its value as typed ("" for a switch): what a
    // command checks for presence, and what a plan's record repeats.
    std::map<std::string, std::string> given;

    bool has(const std::string& option) const { return given.count(option) != 0; }
};

// The value an option takes, in one of these syntaxes; a rule is written once
// and every row that takes such a value points to it.
enum class ValueKind {
    Whole,        // a whole decimal number from low to high
    Decimal,      // a decimal number from lowDecimal to highDecimal
    Word,         // one of words (the value is its index)
    Level,        // a confidence level: 90, 95 or 99
    Delimiter,    // a word of the delimiter table
    Text,         // any text but the empty one
    Variable,     // a VAR
    VariableList, // a LIST of VARs
    StepList,     // a LIST of VARs and products VAR*VAR
    Slopes,       // FOCAL@MODERATOR
    SlopesAt,     // VAR=v1,v2,...
    Group,        // NAME=LIST
    Reference,    // VAR=CATEGORY
    SampleSizes,  // 50,100,200 or FROM:TO:STEP
    FigureFile,   // a file name ending in .pdf, .png or .svg
    FigureSize,   // a size's word (one-column) or WxH in whole millimetres
};

struct ValueRule {
    ValueKind kind;
    std::int64_t low = 0;
    std::int64_t high = 0;
    double lowDecimal = 0.0;
    double highDecimal = 0.0;
    std::vector<const char*> words;
    const char* emptyMessage = ""; // Text: the reason an empty value gives
};

// A value that passed its rule, in the form its kind gives.
struct OptionValue {
    std::string text; // as given
    std::int64_t whole = 0;
    double decimal = 0.0;
    std::size_t word = 0;
    ConfidenceLevel level = ConfidenceLevel::P95;
    Delimiter delimiter = Delimiter::Space;
    VariableRef variable;
    std::vector<VariableRef> variables;
    std::vector<std::string> products;          // a step's items X*W, as typed
    std::pair<VariableRef, VariableRef> slopes; // X@W
    std::vector<double> decimals;               // --slopes-at's values
    std::string groupName;                      // --group's NAME (its LIST in variables)
    ReferenceRef reference;
    std::vector<std::int32_t> sampleSizes;
    FigureFileType figureType = FigureFileType::Pdf;
    double widthMm = 0.0;
    double heightMm = 0.0;
};

// One option of one command: the command, its name, the value's syntax as the
// help shows it ("" for a switch), the rule that checks the value (none for a
// switch), where its value goes, whether it may be given more than once, and
// what it does, in one or more sentences.
struct OptionRow {
    unsigned command;
    const char* name;
    const char* value;
    const ValueRule* rule;
    void (*set)(CliSettings&, const OptionValue&); // none: --help and --version, taken alone before parsing
    bool repeatable;
    const char* text;
};

// The table, in the order the help and the man page list it.
const std::vector<OptionRow>& optionTable();

// The row of name for command, or none.
const OptionRow* findOption(unsigned command, const std::string& name);

// Checks text against rule (naming the option in the reason); throws UsageError.
OptionValue parseValue(const std::string& option, const ValueRule& rule, const std::string& text);

// Takes the option at args[i] ("--name", "--name=value" or "--name value")
// for command into settings and moves i past it. An option of no row of
// command, a value given to a switch, a missing value, a value its rule
// refuses, or a second one of an option that may be given once is a
// UsageError ("unknown OPTION" is worded by unknownWords: "unknown option",
// "unknown bootstrap option").
void takeOption(const std::vector<std::string>& args, std::size_t& i, unsigned command, CliSettings& settings,
                std::set<std::string>& seen, const std::string& unknownWords);

// Takes every argument of a command from args[first] on: options by the
// table; any other argument goes to positional when there is one, otherwise
// it is a UsageError.
void parseCommandOptions(const std::vector<std::string>& args, std::size_t first, unsigned command,
                         CliSettings& settings, void (*positional)(CliSettings&, const std::string&) = nullptr);

// A whole decimal number in [low, high]; UsageError naming what otherwise.
std::int64_t parseNumber(const std::string& text, std::int64_t low, std::int64_t high, const std::string& what);

// Whether text starts like a number (and so names a variable by number).
bool looksNumeric(const std::string& text);

// A VAR: by number, or by name.
VariableRef parseVariable(const std::string& text, const std::string& what);

// A product term of --step, FIRST*SECOND (blanks around either side are let
// be); throws UsageError for any other use of '*'.
std::pair<VariableRef, VariableRef> parseProduct(const std::string& item);

// The help text orvalis-cli prints for --help.
std::string usageText();

// The man page's option list in roff (.TP entries), for packaging/orvalis-cli.1.in.
std::string manPageOptions();

// "orvalis-cli VERSION" and a line end, as --version prints it.
std::string versionText();

} // namespace orvalis::cli
