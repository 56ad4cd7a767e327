// ConfidenceLevel: the one table that maps a level to its numbers.
#include "analyses/ConfidenceLevel.h"

#include "stats/modGeneral.h"

#include <cstddef>

namespace orvalis {

namespace {

struct LevelNumbers {
    float value;
    double exact;
    double alpha;
    std::int32_t percent;
};

// In the order of the enumeration.
constexpr LevelNumbers Levels[] = {
    {0.90f, 0.90, 0.1, 90},
    {0.95f, 0.95, 0.05, 95},
    {0.99f, 0.99, 0.01, 99},
};

const LevelNumbers& numbersOf(ConfidenceLevel level)
{
    return Levels[static_cast<std::size_t>(level)];
}

} // namespace

float levelValue(ConfidenceLevel level)
{
    return numbersOf(level).value;
}

double analyticLevel(ConfidenceLevel level)
{
    return numbersOf(level).exact;
}

double alphaOf(ConfidenceLevel level)
{
    return numbersOf(level).alpha;
}

std::int32_t percentOf(ConfidenceLevel level)
{
    return numbersOf(level).percent;
}

float criticalF(ConfidenceLevel level, std::int32_t df1, std::int32_t df2)
{
    switch (level) {
    case ConfidenceLevel::P90:
        return modGeneral::FCritical10(df1, df2);
    case ConfidenceLevel::P95:
        return modGeneral::FCritical05(df1, df2);
    case ConfidenceLevel::P99:
        return modGeneral::FCritical01(df1, df2);
    }
    return modGeneral::FCritical05(df1, df2);
}

std::optional<ConfidenceLevel> levelFromPercent(std::int64_t percent)
{
    switch (percent) {
    case 90:
        return ConfidenceLevel::P90;
    case 95:
        return ConfidenceLevel::P95;
    case 99:
        return ConfidenceLevel::P99;
    default:
        return std::nullopt;
    }
}

} // namespace orvalis
