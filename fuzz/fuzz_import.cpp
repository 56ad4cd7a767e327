// libFuzzer target for the line and field parser: any bytes, any delimiter, any thread count.
//
// The first byte picks the delimiter. Besides looking for crashes and
// sanitizer findings, it checks that one, two and three reading threads give
// the same outcome, cell for cell, and that the field parser agrees with itself.
#include "data/DataImport.h"
#include "data/FieldParser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool sameOutcome(const orvalis::ImportOutcome& a, const orvalis::ImportOutcome& b)
{
    if (a.ok() != b.ok()) {
        return false;
    }
    if (!a.ok()) {
        return a.refusal().kind == b.refusal().kind && a.refusal().row == b.refusal().row
               && a.refusal().column == b.refusal().column && a.refusal().message == b.refusal().message;
    }
    const orvalis::DataSet& x = *a;
    const orvalis::DataSet& y = *b;
    if (x.NumCases() != y.NumCases() || x.NumVariables() != y.NumVariables()) {
        return false;
    }
    for (std::int32_t r = 0; r <= x.NumCases(); ++r) {
        for (std::int32_t c = 0; c <= x.NumVariables(); ++c) {
            const float u = x.DataTable(r, c);
            const float v = y.DataTable(r, c);
            if (std::memcmp(&u, &v, sizeof u) != 0) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const char delimiter = " ,\t"[data[0] % 3];
    const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);

    orvalis::ImportOptions options;
    options.threads = 1;
    const orvalis::ImportOutcome one = orvalis::importDataBuffer(content, delimiter, options);
    options.threads = 2;
    const orvalis::ImportOutcome two = orvalis::importDataBuffer(content, delimiter, options);
    options.threads = 3;
    const orvalis::ImportOutcome three = orvalis::importDataBuffer(content, delimiter, options);
    if (!sameOutcome(one, two) || !sameOutcome(one, three)) {
        std::abort();
    }
    if (!one.ok() && one.refusal().message.empty()) {
        std::abort();
    }

    // The whole input as one field.
    float value = 0;
    (void)orvalis::parseField(content, value);
    return 0;
}
