// orvalis-cli: global options, FILE, command and the command's own arguments.
#include "cli/CliApp.h"

#include "common/NumberText.h"
#include "data/DataImport.h"

#include <functional>
#include <map>

namespace orvalis::cli {
namespace {

const char* const UsageText =
    "usage: orvalis-cli [--delimiter space|comma|tab] FILE COMMAND [ARGUMENTS]\n"
    "\n"
    "Imports FILE (one case per line, fields separated by the delimiter;\n"
    "default: space) and runs COMMAND on it:\n"
    "  summary   print the import summary\n"
    "  dump      print the table: one line per case, cells separated by a tab,\n"
    "            \".\" for a missing value\n"
    "\n"
    "Exit status: 0 success, 1 the import or the analysis failed, 2 usage error.\n";

struct UsageError {
    std::string message;
};

struct Invocation {
    char delimiter = ' ';
    std::string file;
    std::string command;
    std::vector<std::string> commandArgs;
};

// A command receives its own arguments and the imported data set.
struct Command {
    // Checks the command's arguments before the file is read; throws UsageError.
    std::function<void(const std::vector<std::string>&)> checkArgs;
    std::function<int(const Invocation&, const DataSet&, std::ostream&, std::ostream&)> run;
};

void noArguments(const std::vector<std::string>& args)
{
    if (!args.empty()) {
        throw UsageError{"unexpected argument: " + args.front()};
    }
}

int runSummary(const Invocation& invocation, const DataSet& dataSet, std::ostream& out, std::ostream&)
{
    out << toUnixLineEnds(FormatImportSummary(invocation.file, dataSet));
    return ExitSuccess;
}

int runDump(const Invocation&, const DataSet& dataSet, std::ostream& out, std::ostream&)
{
    std::string line;
    for (std::int32_t row = 1; row <= dataSet.NumCases(); ++row) {
        line.clear();
        for (std::int32_t column = 1; column <= dataSet.NumVariables(); ++column) {
            if (column > 1) {
                line.push_back('\t');
            }
            const float value = dataSet.DataTable(row, column);
            line += DataSet::isMissing(value) ? std::string(".") : formatFloat(value);
        }
        line.push_back('\n');
        out << line;
    }
    return ExitSuccess;
}

const std::map<std::string, Command>& commands()
{
    static const std::map<std::string, Command> table = {
        {"summary", {noArguments, runSummary}},
        {"dump", {noArguments, runDump}},
    };
    return table;
}

char parseDelimiter(const std::string& name)
{
    if (name == "space") {
        return ' ';
    }
    if (name == "comma") {
        return ',';
    }
    if (name == "tab") {
        return '\t';
    }
    throw UsageError{"unknown delimiter: " + name + " (expected space, comma or tab)"};
}

Invocation parseArguments(const std::vector<std::string>& args)
{
    Invocation invocation;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--delimiter") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--delimiter needs a value"};
            }
            invocation.delimiter = parseDelimiter(args[++i]);
        } else if (arg.rfind("--delimiter=", 0) == 0) {
            invocation.delimiter = parseDelimiter(arg.substr(12));
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
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << UsageText;
        return ExitSuccess;
    }
    Invocation invocation;
    const Command* command = nullptr;
    try {
        invocation = parseArguments(args);
        const auto found = commands().find(invocation.command);
        if (found == commands().end()) {
            throw UsageError{"unknown command: " + invocation.command};
        }
        command = &found->second;
        command->checkArgs(invocation.commandArgs);
    } catch (const UsageError& error) {
        err << "orvalis-cli: " << error.message << "\n" << UsageText;
        return ExitUsage;
    }

    ImportOutcome outcome = ImportDataFile(invocation.file, invocation.delimiter);
    if (!outcome.ok()) {
        err << outcome.failure.message << "\n";
        return ExitFailure;
    }
    return command->run(invocation, *outcome.dataSet, out, err);
}

} // namespace orvalis::cli
