// orvalis-cli: argument parsing and the commands, kept apart from main() so tests can drive them.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orvalis::cli {

// Exit codes of orvalis-cli.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1; // the import or the analysis failed
constexpr int ExitUsage = 2;   // the command line is wrong

// Runs orvalis-cli with the arguments after the program name. Reports go to
// out with LF line ends; messages and usage errors go to err.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same; afterImport runs once the data file is imported and before the
// command runs (tests change the file there, to see that a record never names
// bytes the run did not read).
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::function<void()>& afterImport);

// Turns the program's CR LF line breaks into LF for the terminal.
std::string toUnixLineEnds(const std::string& text);

} // namespace orvalis::cli
