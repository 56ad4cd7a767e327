// Field rules of data files: numbers, the three missing-value markers, invalid and out-of-range fields.
#include "data/DataSet.h"
#include "data/FieldParser.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

namespace orvalis {
namespace {

TEST(FieldParser, MissingValueMarkers)
{
    for (const std::string field : {"", ".", " ", "NA"}) {
        float value = 0;
        EXPECT_EQ(parseField(field, value), FieldKind::Missing) << '"' << field << '"';
        EXPECT_EQ(value, MissingValue);
    }
}

TEST(FieldParser, NumbersAndTheirSingleValues)
{
    struct Case {
        const char* field;
        float value;
    };
    const Case cases[] = {
        {".5", 0.5f},
        {"5.", 5.0f},
        {"+5", 5.0f},
        {"1e3", 1000.0f},
        {" 7 ", 7.0f},
        {"   -2.25", -2.25f},
        {"1E+2", 100.0f},
        {"1e-2", 0.01f},
        {"1.e5", 100000.0f},
        {"-.5e1", -5.0f},
        {"00012", 12.0f},
        {"0.1", 0.1f},
        {"49.1234", 49.1234f},
        {"9999999", 9999999.0f},
        {"9999999.4", 9999999.0f}, // rounds onto the missing-value code
        {"16777217", 16777216.0f}, // beyond 24 bits: ties to even
        {"0.1000000000000000055511151231257827", 0.1f},
        {"123456789012345678901234567890", 1.2345679e29f},
        {"3.4028235e38", FLT_MAX},
        {"-3.4028235e38", -FLT_MAX},
        {"1e-50", 0.0f},
        {"1e-400", 0.0f},
        {"0e999999999", 0.0f},
        {"1e000000000000000000000001", 10.0f},
    };
    for (const Case& c : cases) {
        float value = -1;
        EXPECT_EQ(parseField(c.field, value), FieldKind::Number) << c.field;
        EXPECT_EQ(value, c.value) << c.field;
    }
}

TEST(FieldParser, InvalidFields)
{
    const std::string cases[] = {
        "  ",       " .",
        "na",       " NA",
        "N/A",      "-",
        "+",        "+.",
        "..",       "1,000",
        "$5",       "(5)",
        "12abc",    "1 000",
        "inf",      "-inf",
        "nan",      "NaN",
        "infinity", "0x10",
        "1d3",      "1D3",
        "&H10",     "1e",
        "1e+",      "e5",
        "E5",       "1.2.3",
        "--5",      "5-",
        "+-5",      "1e5.5",
        "1 e5",     std::string("1\0", 2),
        "\t1",      "1\t",
        "\xc3\xa9", "5\xff",
    };
    for (const std::string& field : cases) {
        float value = 0;
        EXPECT_EQ(parseField(field, value), FieldKind::Invalid) << '"' << field << '"';
    }
}

TEST(FieldParser, BeyondSinglePrecisionRange)
{
    for (const std::string field :
         {"1e39", "-1e39", "3.4028236e38", "1e400", "340282356779733661637539395458142568448"}) {
        float value = 0;
        EXPECT_EQ(parseField(field, value), FieldKind::OutOfRange) << field;
    }
    // Just below the midpoint between FLT_MAX and the next power of two: still FLT_MAX.
    float value = 0;
    EXPECT_EQ(parseField("3.40282356e38", value), FieldKind::Number);
    EXPECT_EQ(value, FLT_MAX);
}

// Exponents too long to count while scanning: 100,000 fraction digits and an
// exponent of a million cancel only in part, so the value is read whole.
TEST(FieldParser, LongExponentsAreReadWhole)
{
    const std::string zeros(99999, '0');
    struct Case {
        std::string field;
        FieldKind kind;
        float value;
    };
    const Case cases[] = {
        {"0." + zeros + "1e1000000", FieldKind::OutOfRange, 0}, // 1e900000
        {"0." + zeros + "1e100000", FieldKind::Number, 1},      // exactly 1
        {"0." + zeros + "1e100001", FieldKind::Number, 10},     // the first exponent counted past the cap
        {"1" + zeros + "e-1000000", FieldKind::Number, 0},      // 1e-900001: underflows to 0
        {"1e0000000000000000001", FieldKind::Number, 10},       // leading zeros are not length
        {"-0." + zeros + "25e100000", FieldKind::Number, -2.5f},
    };
    for (const Case& c : cases) {
        float value = -7;
        EXPECT_EQ(parseField(c.field, value), c.kind) << c.field.substr(0, 8) << "... " << c.field.size();
        if (c.kind == FieldKind::Number) {
            EXPECT_EQ(value, c.value) << c.field.substr(0, 8) << "... " << c.field.size();
        }
    }
}

} // namespace
} // namespace orvalis
