// libFuzzer target for the line and field parser: any bytes, any delimiter, any thread count.
//
// The first byte picks the delimiter. Besides looking for crashes and
// sanitizer findings, it checks that one, two and three reading threads give
// the same outcome, cell for cell, and that the one-scan reading of the common
// number form agrees with the field parser; every name is valid UTF-8 (the
// decoding leaves it as it is), and so is each text as the outputs show it.
#include "common/TextEscape.h"
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
    // Space, comma, tab, semicolon, or detected from the bytes.
    const char delimiter = " ,\t;\0"[data[0] % 5];
    const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);

    orvalis::ImportOptions options;
    options.threads = 1;
    const orvalis::ImportOutcome one =
        orvalis::importDataBuffer(content, orvalis::delimiterWithByte(delimiter), options);
    options.threads = 2;
    const orvalis::ImportOutcome two =
        orvalis::importDataBuffer(content, orvalis::delimiterWithByte(delimiter), options);
    options.threads = 3;
    const orvalis::ImportOutcome three =
        orvalis::importDataBuffer(content, orvalis::delimiterWithByte(delimiter), options);
    if (!sameOutcome(one, two) || !sameOutcome(one, three)) {
        std::abort();
    }
    if (!one.ok() && one.refusal().message.empty()) {
        std::abort();
    }
    auto validText = [](const std::string& text) {
        const std::string shown = orvalis::escapeControlCharacters(text);
        return orvalis::decodeToUtf8(text) == text && orvalis::decodeToUtf8(shown) == shown
               && shown.find_first_of("\r\n\x1b") == std::string::npos;
    };
    if (one.ok()) {
        for (const std::string& name : one->VariableNames()) {
            if (!validText(name)) {
                std::abort();
            }
        }
        for (const std::string& label : one->caseLabels()) {
            if (!validText(label)) {
                std::abort();
            }
        }
        // A text variable's cells are its codes 1..k or missing; its labels are UTF-8.
        for (std::int32_t v = 1; v <= one->NumVariables(); ++v) {
            const std::vector<std::string>& labels = one->categories(v);
            for (const std::string& label : labels) {
                if (!validText(label)) {
                    std::abort();
                }
            }
            for (std::int32_t r = 1; !labels.empty() && r <= one->NumCases(); ++r) {
                const float code = one->DataTable(r, v);
                if (!orvalis::isMissing(code) && one->categoryLabel(r, v).empty()) {
                    std::abort();
                }
            }
        }
    }
    const std::string shownContent = orvalis::escapeControlCharacters(content);
    if (orvalis::decodeToUtf8(shownContent) != shownContent) {
        std::abort();
    }

    // The whole input as one field.
    float value = 0;
    (void)orvalis::parseField(content, value);

    // Wherever a field can start, a number the one-scan reading accepts is the
    // number the field parser reads from the same bytes, bit for bit.
    const char* const begin = content.data();
    const char* const end = begin + content.size();
    for (const char* p = begin; p < end; ++p) {
        if (p != begin && p[-1] != delimiter && p[-1] != '\r' && p[-1] != '\n') {
            continue;
        }
        float fast = 0;
        const char* q = orvalis::readCommonNumber(p, end, delimiter, fast);
        if (q == nullptr) {
            continue;
        }
        float full = 0;
        const std::string_view field(p, static_cast<std::size_t>(q - p));
        if (orvalis::parseField(field, full) != orvalis::FieldKind::Number
            || std::memcmp(&fast, &full, sizeof fast) != 0) {
            std::abort();
        }
    }
    return 0;
}
