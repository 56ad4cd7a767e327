// Every option of orvalis-cli in one table: the help text and the man page's option list are made from it.
#pragma once

#include <string>
#include <vector>

namespace orvalis::cli {

// One option: the command it belongs to ("" for the global ones), its name,
// the value it takes ("" for a switch) and what it does, in one or more
// sentences.
struct OptionHelp {
    const char* command;
    const char* name;
    const char* value;
    const char* text;
};

// The table, in the order the help and the man page list it.
const std::vector<OptionHelp>& optionTable();

// The help text orvalis-cli prints for --help and after a usage error.
std::string usageText();

// The man page's option list in roff (.TP entries), for packaging/orvalis-cli.1.in.
std::string manPageOptions();

// "orvalis-cli VERSION" and a line end, as --version prints it.
std::string versionText();

} // namespace orvalis::cli
