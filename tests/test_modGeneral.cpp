// modGeneral: NormalProb and FProb to the last bit, their faults, and the three critical F tables.
//
// The expected probabilities were worked out independently of this code, by a
// Python transcription of the algorithm that rounds to single precision with
// struct.pack('f', ...) at each stated step; they are written as hexadecimal
// floats so that every bit is compared.
#include "common/RuntimeErrors.h"
#include "stats/modGeneral.h"

#include <boost/math/distributions/fisher_f.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace orvalis::modGeneral {
namespace {

TEST(NormalProb, TailProbabilitiesMatchAnIndependentFloatTranscriptionBitForBit)
{
    struct Case {
        double x, mean, sd;
        float expected;
    };
    const Case cases[] = {
        {0, 0, 1, 0.5f},
        {1.96f, 0, 1, 0x1.99914ap-6f},  // ~0.0249980
        {-1.96f, 0, 1, 0x1.f33376p-1f}, // ~0.9750020
        {1, 0, 1, 0x1.44ed16p-3f},      // ~0.1586553
        {1, 2, 1, 0x1.aec4bap-1f},      // the upper tail of z = -1
        {-1, 0, 1, 0x1.aec4bap-1f},
        {0.5f, 0, 1, 0x1.3bf13ep-2f},
        {-3, 0, 1, 0x1.ff4f14p-1f},
        {14.0f, 0, 1, 0x1.f3f262p-104f},  // ~9.63e-32, still the formula
        {14.14f, 0, 1, 0x1.c1ae7ep-105f}, // at the cut-off: still the formula
        {14.2f, 0, 1, 0x1.bc409ep-105f},  // above it t is frozen at 10: ~4.278e-32
        {15, 0, 1, 0x1.bc409ep-105f},
        {100, 0, 1, 0x1.bc409ep-105f},
        {1e30, 0, 1, 0x1.bc409ep-105f},
        {-14.14f, 0, 1, 1.0f},
        {-14.2f, 0, 1, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalProb(c.x, c.mean, c.sd), c.expected) << "x " << c.x << " mean " << c.mean;
    }
}

TEST(NormalProb, FaultsRaiseErrors)
{
    EXPECT_THROW(NormalProb(1, 0, 0), DivisionByZeroError);
    EXPECT_THROW(NormalProb(0, 0, 0), InvalidOperationError);
    EXPECT_THROW(NormalProb(1e300, 0, 1e-300), OverflowError);
    EXPECT_THROW(NormalProb(1e39, 0, 1), OverflowError); // z beyond single precision
}

TEST(FProb, TailProbabilitiesMatchAnIndependentFloatTranscriptionBitForBit)
{
    struct Case {
        float F;
        std::int32_t df1, df2;
        float expected;
    };
    const Case cases[] = {
        {3, 2, 20, 0x1.21371ep-4f},    // ~0.07061 (the exact tail is 0.07254)
        {1, 5, 50, 0x1.b56c80p-2f},    // ~0.4272
        {2, 10, 200, 0x1.1eb1f4p-5f},  // ~0.03500
        {0.5f, 3, 10, 0x1.616542p-1f}, // ~0.6902
        {4, 1, 30, 0x1.62ffe8p-5f},    // df1 = 1: u2 = 0, g2 = 1
        {1, 1, 10, 0x1.33b4cap-2f},
        {2.5f, 3, 1, 0x1.b44622p-2f}, // df2 = 1: u1 = 0, g1 = 1
        {10, 2, 1, 0x1.5f6c88p-4f},
        {3.5f, 6, 40, 0x1.cd1c46p-8f},
        {1e-7f, 2, 5, 0x1.fffff6p-1f},    // a tiny F: a probability just below 1
        {1000, 4, 100, 0x1.bc409ep-105f}, // beyond the normal cut-off
        {0.75f, 2, 3, 0x1.1608bap-1f},    // u1 is exactly 1: g1 = 0
        {1, 2, 2, 0.5f},                  // u1 = u2 = 1: g1 = g2 = 0, z = 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FProb(c.F, c.df1, c.df2), c.expected) << "F " << c.F << " df " << c.df1 << ", " << c.df2;
    }
}

TEST(FProb, UndefinedCasesRaiseErrorsInsteadOfProbabilities)
{
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    const std::int32_t min = std::numeric_limits<std::int32_t>::min();
    // F = 0: y = 0 and u2 divides by zero; with df1 = 1 it is 0 / 0.
    EXPECT_THROW(FProb(0, 2, 20), DivisionByZeroError);
    EXPECT_THROW(FProb(0, 1, 20), InvalidOperationError);
    // F so small that x rounds to 1 in single precision.
    EXPECT_THROW(FProb(1e-9f, 2, 20), DivisionByZeroError);
    // df1 = df2 = 1: n = 0 and S = T = 0, so u1 is 0 / 0.
    EXPECT_THROW(FProb(2, 1, 1), InvalidOperationError);
    EXPECT_THROW(FProb(2, 0, 10), DivisionByZeroError);    // df1 = 0
    EXPECT_THROW(FProb(2, 10, 0), DivisionByZeroError);    // df2 = 0
    EXPECT_THROW(FProb(2, 2, 0), DivisionByZeroError);     // df1 + df2 = 2
    EXPECT_THROW(FProb(2, 0, 2), DivisionByZeroError);     // df1 + df2 = 2 the other way
    EXPECT_THROW(FProb(-2, 5, 10), DivisionByZeroError);   // df2 + F*df1 = 0
    EXPECT_THROW(FProb(-1, 5, 10), InvalidOperationError); // log of a negative u
    EXPECT_THROW(FProb(2, max, 1), OverflowError);         // df1 + df2
    EXPECT_THROW(FProb(2, 5, min), OverflowError);         // df1 + df2 fine, df2 - 1 overflows
    // Whatever the arguments, the answer is a probability or an error.
    for (float F : {0.001f, 0.5f, 1.0f, 7.0f, 1e6f, 3e38f}) {
        for (std::int32_t df1 : {1, 2, 4, 5, 12}) {
            for (std::int32_t df2 : {1, 2, 3, 50, 100000}) {
                try {
                    const float p = FProb(F, df1, df2);
                    EXPECT_TRUE(p >= 0.0f && p <= 1.0f) << F << " " << df1 << " " << df2;
                } catch (const RuntimeError&) {
                }
            }
        }
    }
}

using Lookup = float (*)(std::int32_t, std::int32_t);

struct TableRow {
    std::int32_t df2;
    float values[4];
};

void expectRows(Lookup lookup, const char* name, std::initializer_list<TableRow> rows)
{
    for (const TableRow& row : rows) {
        for (std::int32_t i = 1; i <= 4; ++i) {
            EXPECT_EQ(lookup(i, row.df2), row.values[i - 1]) << name << "(" << i << ", " << row.df2 << ")";
        }
    }
}

TEST(FCritical, TellingRows)
{
    expectRows(FCritical10, "FCritical10",
               {
                   {1, {39.86346f, 49.50000f, 53.59324f, 55.83296f}},
                   {2, {8.52632f, 9.00000f, 9.16179f, 9.24342f}},
                   {3, {5.53832f, 5.46238f, 5.39077f, 5.34264f}},
                   {5, {4.06042f, 3.77972f, 3.61948f, 3.52020f}},
                   {10, {3.28502f, 2.92447f, 2.72767f, 2.60534f}},
                   {20, {2.97465f, 2.58925f, 2.38009f, 2.24893f}},
                   {30, {2.88069f, 2.48872f, 2.27607f, 2.14223f}},
                   {60, {2.79107f, 2.39325f, 2.17741f, 2.04099f}},
                   {100, {2.75638f, 2.35643f, 2.13938f, 2.00194f}},
                   {120, {2.74781f, 2.34734f, 2.12999f, 1.99230f}},
                   {200, {2.73078f, 2.32930f, 2.11137f, 1.97318f}},
               });
    expectRows(FCritical05, "FCritical05",
               {
                   {1, {161.44765f, 199.50000f, 215.70735f, 224.58324f}},
                   {2, {18.51282f, 19.00000f, 19.16429f, 19.24679f}},
                   {3, {10.12796f, 9.55209f, 9.27663f, 9.11718f}},
                   {5, {6.60789f, 5.78614f, 5.40945f, 5.19217f}},
                   {10, {4.96460f, 4.10282f, 3.70826f, 3.47805f}},
                   {20, {4.35124f, 3.49283f, 3.09839f, 2.86608f}},
                   {30, {4.17088f, 3.31583f, 2.92228f, 2.68963f}},
                   {60, {4.00119f, 3.15041f, 2.75808f, 2.52522f}},
                   {100, {3.93614f, 3.08730f, 2.69553f, 2.46261f}},
                   {120, {3.92012f, 3.07178f, 2.68017f, 2.44724f}},
                   {200, {3.88837f, 3.04106f, 2.64975f, 2.41680f}},
               });
    // The 1% table, from published tables of the F distribution.
    expectRows(FCritical01, "FCritical01",
               {
                   {1, {4052.18070f, 4999.50000f, 5403.35201f, 5624.58333f}},
                   {2, {98.50251f, 99.00000f, 99.16620f, 99.24937f}},
                   {10, {10.04429f, 7.55943f, 6.55231f, 5.99434f}},
               });
    EXPECT_EQ(FCritical10(2, 2), 9.0f);
    EXPECT_EQ(FCritical05(2, 2), 19.0f);
    EXPECT_EQ(FCritical10(2, 1), 49.5f);
    EXPECT_EQ(FCritical05(2, 1), 199.5f);
    EXPECT_EQ(FCritical01(2, 2), 99.0f);
    EXPECT_EQ(FCritical10(1, 1), 39.8634605f);
}

TEST(FCritical, TheFiveExceptions)
{
    struct Case {
        Lookup lookup;
        std::int32_t i, df2;
        float stored;
    };
    const Case cases[] = {
        {FCritical10, 3, 130, 2.12640f}, {FCritical05, 1, 109, 3.92819f}, {FCritical05, 1, 132, 3.91287f},
        {FCritical05, 3, 22, 3.04913f},  {FCritical05, 3, 80, 2.71879f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.lookup(c.i, c.df2), c.stored) << c.i << ", " << c.df2;
    }
}

TEST(FCritical, EdgeLookups)
{
    for (Lookup lookup : {FCritical10, FCritical05, FCritical01}) {
        EXPECT_EQ(lookup(0, 50), 0.0f);
        EXPECT_EQ(lookup(0, 500), 0.0f);
        EXPECT_EQ(lookup(3, 0), 0.0f);
        EXPECT_EQ(lookup(0, 0), 0.0f);
        EXPECT_EQ(lookup(4, 201), lookup(4, 200));
        EXPECT_EQ(lookup(1, 100000), lookup(1, 200));
        EXPECT_EQ(lookup(2, std::numeric_limits<std::int32_t>::max()), lookup(2, 200));
        EXPECT_THROW(lookup(5, 10), SubscriptError);
        EXPECT_THROW(lookup(-1, 10), SubscriptError);
        EXPECT_THROW(lookup(-1, 300), SubscriptError);
        EXPECT_THROW(lookup(5, 300), SubscriptError);
        EXPECT_THROW(lookup(1, -1), SubscriptError);
        EXPECT_THROW(lookup(1, std::numeric_limits<std::int32_t>::min()), SubscriptError);
    }
    EXPECT_EQ(FCritical05(4, 200), 2.41680f);
    EXPECT_EQ(FCritical05(4, 201), 2.41680f);
    EXPECT_EQ(FCritical05(4, 100000), 2.41680f);
}

TEST(FCritical, EveryCellIsAFiveDecimalNumberNextToTheQuantile)
{
    struct Table {
        Lookup lookup;
        double tail;
        const char* name;
    };
    const Table tables[] = {{FCritical10, 0.10, "10%"}, {FCritical05, 0.05, "5%"}, {FCritical01, 0.01, "1%"}};
    int checked = 0;
    std::vector<std::string> notCorrectlyRounded;
    for (const Table& table : tables) {
        for (std::int32_t i = 1; i <= 4; ++i) {
            for (std::int32_t df2 = 1; df2 <= 200; ++df2) {
                const float cell = table.lookup(i, df2);
                const boost::math::fisher_f_distribution<double> dist(i, df2);
                const double quantile = boost::math::quantile(boost::math::complement(dist, table.tail));
                // Some five-decimal number next to the quantile must have the cell as its float.
                // (Above 128 several five-decimal numbers share one float.) The five exception
                // cells hold the other neighbour of a quantile within 0.00000015 of the
                // midpoint, so they lie up to 0.000005 + 0.00000015 away.
                bool found = false;
                const double nearest = std::round(quantile * 1e5);
                for (double units = nearest - 2; units <= nearest + 2 && !found; ++units) {
                    char text[32];
                    std::snprintf(text, sizeof text, "%.5f", units / 1e5);
                    found =
                        std::fabs(units / 1e5 - quantile) <= 0.000005 + 1.5e-7 && std::strtof(text, nullptr) == cell;
                }
                ASSERT_TRUE(found) << table.name << " [" << i << "][" << df2 << "] holds " << cell << ", quantile "
                                   << quantile;
                char rounded[32];
                std::snprintf(rounded, sizeof rounded, "%.5f", quantile);
                if (std::strtof(rounded, nullptr) != cell) {
                    notCorrectlyRounded.push_back(std::string(table.name) + " " + std::to_string(i) + " "
                                                  + std::to_string(df2));
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 2400);
    // Every other cell is the correctly rounded quantile.
    EXPECT_EQ(notCorrectlyRounded,
              std::vector<std::string>({"10% 3 130", "5% 1 109", "5% 1 132", "5% 3 22", "5% 3 80"}));
}

} // namespace
} // namespace orvalis::modGeneral
