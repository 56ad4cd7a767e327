// The option table and its two renderings: plain text for the terminal, roff for the man page.
#include "cli/CliOptions.h"

#include "common/Version.h"

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

} // namespace

const std::vector<OptionHelp>& optionTable()
{
    static const std::vector<OptionHelp> table = {
        {"", "--delimiter", "space|comma|tab|semicolon|auto",
         "The field delimiter of FILE (default: space). With semicolon a decimal comma reads as a"
         " point (2,5 is 2.5); auto takes the first of tab, semicolon, comma and space that splits every"
         " line of the first megabyte into the same number of fields, and the summary says which."},
        {"", "--sheet", "NAME",
         "The sheet of an Excel (.xlsx) or OpenDocument (.ods) workbook to read (default: the first)."},
        {"", "--help", "", "Print this help and exit."},
        {"", "--version", "", "Print the version and exit."},
        {"bootstrap", "--dv", "VAR", "The dependent variable."},
        {"bootstrap", "--predictors", "LIST", "The reduced model's predictors (none when left out)."},
        {"bootstrap", "--added", "LIST",
         "The predictors added in the full model (one or more). At most 12 predictors and added predictors"
         " together; a variable may play only one role."},
        {"bootstrap", "--trials", "N", "1 to 100000 bootstrap trials (default 600)."},
        {"bootstrap", "--confidence", "90|95|99", "The confidence level (default 95)."},
        {"bootstrap", "--seed", "S",
         "A whole number from 0 to 2^63 - 1 (default: taken from the clock). A seed gives the same report on any"
         " number of threads."},
        {"bootstrap", "--threads", "N", "Threads for the trials, 1 to 256 (default: one per core)."},
        {"bootstrap", "--details", "",
         "Append the details block: seed, data file, cases used, the F test with its exact p-value and the"
         " decision, bootstrap mean and standard error, percentile positions and BCa limits."},
        {"bootstrap", "--record", "",
         "Append the record of the run: the program's version, the data file's size and SHA-256, cases, seed,"
         " trials and level, the date, the orvalis-cli command line that repeats the run, the Monte Carlo"
         " standard errors of the traditional limits (with a note when they are large against the interval) and"
         " a note when the complete cases are fewer than the modified interval needs. With --format json: the"
         " same as the objects record, monte_carlo_error and sample_size."},
        {"bootstrap", "--format", "text|json|apa|apa-markdown",
         "json prints one JSON object with every value of the report and of the details (null where undefined)"
         " instead of the text. apa prints the results sentence in APA style and its table as plain text;"
         " apa-markdown the sentence and the table in Markdown."},
        {"bootstrap", "--apa-interval", "percentile|modified|bca|alf-graf",
         "The interval the APA sentence and table report (default percentile); modified says why its lower"
         " limit is 0 when it is; alf-graf is Alf and Graf's large-sample interval."},
        {"bootstrap", "--effect-sizes", "",
         "Append the block of effect sizes and analytic intervals: each model's R^2 with its exact interval"
         " (noncentral F, fixed predictors, lambda / (lambda + N)), the change with Alf and Graf's interval,"
         " Ezekiel's and Olkin and Pratt's adjusted R^2, Cohen's f^2 with its bootstrap percentile interval and the"
         " robust F test of the added predictors. With --format json: the object effect_sizes, with every interval"
         " of the run."},
        {"bootstrap", "--robust", "hc3|hc4",
         "The covariance of the robust F test (default hc3); implies --effect-sizes."},
        {"bootstrap", "--modified-test", "classical|robust",
         "The test the modified lower limit follows (default classical, the F test); robust follows the robust F"
         " test, and the effect sizes block says so. Implies --effect-sizes."},
        {"bootstrap", "--save-draws", "CSV",
         "Write \"trial,change\" for every valid trial, in trial order. CSV is never the data file, a directory,"
         " a pipe, a device or a read-only file; a link is written through; a failed write leaves an existing"
         " file as it was."},
        {"hierarchical", "--dv", "VAR", "The dependent variable (numeric)."},
        {"hierarchical", "--step", "LIST",
         "The predictors a step adds, once per step in order (1 to 6 steps); step 1 is set against the model without"
         " predictors. A text (categorical) variable enters as the indicators of its categories but the reference"
         " one. At most 24 predictor columns in all."},
        {"hierarchical", "--reference", "VAR=CATEGORY",
         "A categorical predictor's reference category, by its label or its number (default: the first)."},
        {"hierarchical", "--trials", "N", "1 to 100000 bootstrap trials (default 600)."},
        {"hierarchical", "--confidence", "90|95|99", "The confidence level (default 95)."},
        {"hierarchical", "--seed", "S", "As for bootstrap; every step's changes come from the same resamples."},
        {"hierarchical", "--threads", "N", "Threads for the trials, 1 to 256 (default: one per core)."},
        {"hierarchical", "--details", "",
         "Append each step's bootstrap mean and standard error, BCa limits and the Monte Carlo errors of its"
         " limits."},
        {"hierarchical", "--record", "",
         "Append the record of the run: the program's version, the data file's size and SHA-256, cases, seed,"
         " trials and level, the date and the orvalis-cli command line that repeats the run. With --format json:"
         " the object record."},
        {"hierarchical", "--format", "text|json|apa|apa-markdown",
         "json prints one object with a \"steps\" array; apa and apa-markdown the results sentences and a table"
         " with a row per step."},
        {"hierarchical", "--apa-interval", "percentile|modified|bca|alf-graf", "As for bootstrap."},
        {"hierarchical", "--effect-sizes", "", "As for bootstrap, for every step against the step before it."},
        {"hierarchical", "--robust", "hc3|hc4", "As for bootstrap."},
        {"hierarchical", "--modified-test", "classical|robust", "As for bootstrap, for every step."},
        {"hierarchical", "--save-draws", "CSV",
         "Write \"step,trial,change\" for every step's valid trials, by the same rules as bootstrap's."},
        {"plan power", "--predictors", "P", "Predictors in the reduced model (default 0)."},
        {"plan power", "--added", "Q", "Predictors added (1 or more; at most 24 in all)."},
        {"plan power", "--delta-r2", "D", "The population's change in R^2, with --r2-full."},
        {"plan power", "--r2-full", "R", "The full model's population R^2; f^2 = D / (1 - R)."},
        {"plan power", "--f2", "F", "Cohen's f^2 directly, instead of --delta-r2 and --r2-full."},
        {"plan power", "--alpha", "A", "The test's alpha (default 0.05)."},
        {"plan power", "--n", "N", "The power at N cases."},
        {"plan power", "--power", "W", "Instead of --n: the smallest N whose power reaches W."},
        {"plan power", "--noncentrality", "gpower|pwr",
         "lambda = f^2 N as G*Power has it (default), or f^2 (u + v + 1) as R's pwr has it."},
        {"plan power", "--format", "text|json", "json prints one object with the inputs, df, lambda and power."},
        {"plan power", "--record", "",
         "Append the record of the plan: the program's version, the date and the orvalis-cli command line that"
         " repeats it. With --format json: the object record."},
        {"plan width", "--predictors", "P", "Predictors in the reduced model (default 0)."},
        {"plan width", "--added", "Q", "Predictors added (1 or more)."},
        {"plan width", "--r2-reduced", "R",
         "The reduced model's population R^2 (with --delta-r2; 0 without reduced-model predictors)."},
        {"plan width", "--delta-r2", "D", "The population's change in R^2."},
        {"plan width", "--intercorrelation", "r",
         "The common correlation of every pair of predictors (default 0, as in the window)."},
        {"plan width", "--correlations", "FILE",
         "Instead of the three above: the population's correlation matrix, the dependent variable first, one row"
         " per line (blanks, commas or semicolons between values; lines starting with # skipped)."},
        {"plan width", "--n", "LIST|FROM:TO:STEP", "The sample sizes: 50,100,200 or 50:500:50."},
        {"plan width", "--target-width", "W", "The width the interval should not exceed."},
        {"plan width", "--assurance", "A",
         "The share of data sets whose interval must be at most W wide (default 0.8)."},
        {"plan width", "--datasets", "S", "Data sets per sample size, 1 to 10000 (default 200)."},
        {"plan width", "--trials", "T", "Bootstrap trials per data set, 1 to 100000 (default 1000)."},
        {"plan width", "--confidence", "90|95|99", "The intervals' level (default 95)."},
        {"plan width", "--seed", "S",
         "As for bootstrap (default: from the clock); data set d draws its cases from the stream (S, 2d) and"
         " bootstraps with a seed from the stream (S, 2d + 1), so the plan is the same on any number of threads."},
        {"plan width", "--threads", "N", "Threads, 1 to 256 (default: one per core); each runs whole data sets."},
        {"plan width", "--format", "text|json",
         "json prints one object with the population, a row per N and the"
         " smallest N."},
        {"plan width", "--details", "",
         "Add to each row the Monte Carlo standard errors of its two assurance-quantile widths (from the order"
         " statistics) and a mark (Near) where one lies within its error of the target, and say below the table"
         " which answers that makes uncertain. With --format json: the keys assurance_width_mc_error,"
         " assurance_modified_width_mc_error, near_target and modified_near_target in each row."},
        {"plan width", "--record", "",
         "Append the record of the plan: the program's version, the --correlations file's size and SHA-256 (of"
         " the bytes read), seed, trials, level and data sets, the date and the orvalis-cli command line that"
         " repeats it. With --format json: the object record."},
        {"descriptives", "--format", "text|json",
         "json prints {\"variables\": [{\"variable\", \"name\", \"n\", \"mean\", \"sd\", \"min\", \"max\"}, ...]}"
         " instead of the text."},
    };
    return table;
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
    const char* command = nullptr;
    for (const OptionHelp& option : optionTable()) {
        if (command == nullptr || std::string(command) != option.command) {
            command = option.command;
            text += "\n";
            if (*command == 0) {
                text += "Options:\n";
            } else {
                text.append("Options of ").append(command).append(":\n");
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
    const char* command = nullptr;
    for (const OptionHelp& option : optionTable()) {
        if (command == nullptr || std::string(command) != option.command) {
            command = option.command;
            if (*command != 0) {
                text += ".SS " + std::string(command) + "\n";
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
