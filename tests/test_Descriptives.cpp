// Descriptives: the statistics (stable standard deviation), cell texts, and whole report blocks.
#include "TestData.h"
#include "analyses/Descriptives.h"
#include "common/RuntimeErrors.h"
#include "data/DataImport.h"

#include <gtest/gtest.h>

namespace orvalis {
namespace {

using test::dataOf;

TEST(Descriptives, BlockWithAllMissingAndFewValuesColumns)
{
    const DataSet data = dataOf("1 0 12.25 .\n2 0 . .\n3 0 . .\n4 0 . .\n5 0 . .\n");
    EXPECT_EQ(FormatDescriptivesReport(*ComputeDescriptives(data, {1, 3, 4})),
              "DESCRIPTIVES\r\n"
              "------------------------------------------------------------\r\n"
              "Name            Mean        SD       Min       Max         N\r\n"
              "------------------------------------------------------------\r\n"
              "Var 1              3     1.581         1         5         5\r\n"
              "Var 3          12.25         .     12.25     12.25         1\r\n"
              "Var 4              .         .         .         .         0\r\n"
              "------------------------------------------------------------\r\n"
              "\r\n\r\n\r\n");
}

// Names widen the label column (a long name cut to 24 characters); a
// variable without a name keeps its number alone.
TEST(Descriptives, BlockWithNames)
{
    const DataSet data = test::dataOf("Fertility \"Infant.Mortality.per.1000.live.births\" \"\"\n"
                                      "80.2 22.2 1\n83.1 22.2 2\n92.5 20.2 3\n");
    EXPECT_EQ(FormatDescriptivesReport(*ComputeDescriptives(data, {1, 2, 3})),
              "DESCRIPTIVES\r\n"
              "---------------------------------------------------------------------------------\r\n"
              "Name                                 Mean        SD       Min       Max         N\r\n"
              "---------------------------------------------------------------------------------\r\n"
              "Var 1 Fertility                    85.267      6.43      80.2      92.5         3\r\n"
              "Var 2 Infant.Mortality.per.100     21.533     1.155      20.2      22.2         3\r\n"
              "Var 3                                   2         1         1         3         3\r\n"
              "---------------------------------------------------------------------------------\r\n"
              "\r\n\r\n\r\n");
}

// A text variable shows its count and one row per category in the order
// the file first shows them, never a mean of its codes.
TEST(Descriptives, ATextVariableCountsItsCategories)
{
    const DataSet data = test::dataOf("y,group\n1,control\n2,treated\n3,control\n4,NA\n", ',');
    EXPECT_EQ(FormatDescriptivesReport(*ComputeDescriptives(data, {1, 2})),
              "DESCRIPTIVES\r\n"
              "--------------------------------------------------------------\r\n"
              "Name              Mean        SD       Min       Max         N\r\n"
              "--------------------------------------------------------------\r\n"
              "Var 1 y            2.5     1.291         1         4         4\r\n"
              "Var 2 group                                                  3\r\n"
              "  control                                                    2\r\n"
              "  treated                                                    1\r\n"
              "--------------------------------------------------------------\r\n"
              "\r\n\r\n\r\n");
}

TEST(Descriptives, StableStandardDeviationAndLargeOffsets)
{
    // Single-precision sums would give SD 24.642 here; the values differ by 0.25.
    const DataSet offset = dataOf("123456.5\n123456.75\n");
    EXPECT_EQ(FormatDescriptivesReport(*ComputeDescriptives(offset, {1})).substr(14 + 3 * 62, 62),
              "Var 1      123456.62     0.177  123456.5  123456.8         2\r\n");
    // Two values of 0.3: the deviations are 0, not a negative radicand.
    const auto equal = *ComputeDescriptives(dataOf("0.3\n0.3\n0.3\n"), {1});
    EXPECT_EQ(equal[0].SD, 0.0);
    EXPECT_EQ(equal[0].Mean, 0.3);
    // Cells of 0 count; rows in the order asked for.
    const auto rows = *ComputeDescriptives(dataOf("0 4\n0 .\n2 6\n"), {2, 1});
    EXPECT_EQ(rows[0].variable, 2);
    EXPECT_EQ(rows[0].N, 2);
    EXPECT_EQ(rows[1].N, 3);
    EXPECT_EQ(rows[1].Min, 0.0f);
    EXPECT_EQ(rows[1].Max, 2.0f);
    EXPECT_FALSE(ComputeDescriptives(offset, {2}).ok());
}

TEST(Descriptives, AMillionValuesKeepTheirDecimals)
{
    DataSet data(1000000, 2);
    for (std::int32_t r = 1; r <= 1000000; ++r) {
        data.rowData(r)[1] = r % 2 == 0 ? 0.125f : 0.375f;
    }
    data.setNumVariables(1);
    const auto rows = *ComputeDescriptives(data, {1});
    EXPECT_EQ(rows[0].Mean, 0.25);
    EXPECT_EQ(rows[0].SD, 0.125);
    EXPECT_EQ(rows[0].N, 1000000);
}

TEST(Descriptives, CellTextsNeverLoseIntegerDigitsOrExponents)
{
    struct Case {
        std::string general;
        double value;
        const char* cell;
    };
    const Case cases[] = {
        {"3", 3, "3"},
        {"1.581", 1.581, "1.581"},
        {"123456.625", 123456.625, "123456.62"}, // cut: only a fractional digit is lost
        {"0.0001234568", 0.0001234568, "0.0001234"},
        {"1234567890", 1234567890.0, "1.235E+09"},
        {"-1234567890", -1234567890.0, "-1.23E+09"},
        {"1000000000", 1000000000.0, "1E+09"},
        {"1.234568E+07", 12345678.0, "1.235E+07"},
        {"-3.402823E+38", -3.4028234663852886e38, "-3.4E+38"},
        {"1.23E-05", 0.0000123, "1.23E-05"},
        {"123456789", 123456789.0, "123456789"},
        {"123456789.5", 123456789.5, "123456789"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(descriptivesCellText(c.general, c.value), c.cell) << c.general;
    }
}

TEST(Descriptives, HugeValuesInAWholeRow)
{
    const DataSet data = dataOf("1234567890\n1234567890\n");
    EXPECT_EQ(FormatDescriptivesReport(*ComputeDescriptives(data, {1})).substr(14 + 3 * 62, 62),
              "Var 1      1.235E+09         0 1.235E+09 1.235E+09         2\r\n");
}

} // namespace
} // namespace orvalis
