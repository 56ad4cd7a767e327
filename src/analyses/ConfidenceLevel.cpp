// ConfidenceLevel: the one table that maps a level to its numbers.
#include "analyses/ConfidenceLevel.h"

#include "stats/modGeneral.h"

namespace orvalis {

float levelValue(ConfidenceLevel level)
{
    switch (level) {
    case ConfidenceLevel::P90:
        return 0.90f;
    case ConfidenceLevel::P95:
        return 0.95f;
    case ConfidenceLevel::P99:
        return 0.99f;
    }
    return 0.95f;
}

double alphaOf(ConfidenceLevel level)
{
    switch (level) {
    case ConfidenceLevel::P90:
        return 0.1;
    case ConfidenceLevel::P95:
        return 0.05;
    case ConfidenceLevel::P99:
        return 0.01;
    }
    return 0.05;
}

std::int32_t percentOf(ConfidenceLevel level)
{
    switch (level) {
    case ConfidenceLevel::P90:
        return 90;
    case ConfidenceLevel::P95:
        return 95;
    case ConfidenceLevel::P99:
        return 99;
    }
    return 95;
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
