// libFuzzer target for the readers of SPSS, Stata, SAS, Excel and OpenDocument files: any bytes, told apart by their
// content.
//
// Besides looking for crashes, hangs and sanitizer findings inside ReadStat,
// libzip, expat and our own code, it checks that a failure always says why
// and that every name and label read is valid UTF-8 that shows on one line.
#include "common/TextEscape.h"
#include "formats/FileFormats.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    orvalis::ImportOptions options;
    options.threads = 1;
    // A small table limit, so that a file claiming millions of cases is refused, not allocated.
    options.availableMemory = std::uint64_t{64} << 20;
    const orvalis::ImportOutcome outcome = orvalis::importAnyBytes(bytes, "", orvalis::Delimiter::Space, options);
    if (!outcome.ok()) {
        if (outcome.refusal().message.empty()) {
            std::abort();
        }
        return 0;
    }
    auto validText = [](const std::string& text) {
        const std::string shown = orvalis::escapeControlCharacters(text);
        return orvalis::decodeToUtf8(text) == text && shown.find_first_of("\r\n") == std::string::npos;
    };
    for (const std::string& name : outcome->VariableNames()) {
        if (!validText(name)) {
            std::abort();
        }
    }
    for (std::int32_t v = 1; v <= outcome->NumVariables(); ++v) {
        if (!validText(outcome->variableLabel(v))) {
            std::abort();
        }
        for (const std::string& label : outcome->categories(v)) {
            if (!validText(label)) {
                std::abort();
            }
        }
    }
    return 0;
}
