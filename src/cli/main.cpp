// orvalis-cli: the program's analyses without a window, reports on standard output.
#include "cli/CliApp.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = orvalis::cli::runCli(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.good() ? status : orvalis::cli::ExitFailure;
}
