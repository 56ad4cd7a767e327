// Writes orvalis-cli's man page: the template with its option list made from the program's own option table.
#include "cli/CliOptions.h"
#include "common/Version.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

void replace(std::string& text, const std::string& marker, const std::string& with)
{
    const std::size_t at = text.find(marker);
    if (at != std::string::npos) {
        text.replace(at, marker.size(), with);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_manpage TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        std::cerr << "make_manpage: cannot read " << argv[1] << "\n";
        return 1;
    }
    replace(text, "@OPTIONS@", orvalis::cli::manPageOptions());
    replace(text, "@VERSION@", orvalis::programVersion());
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "make_manpage: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
