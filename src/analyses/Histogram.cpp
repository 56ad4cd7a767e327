// MakeHistogram: sort, quartiles, bin width, one pass to count.
#include "analyses/Histogram.h"

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

constexpr std::int32_t FewestBins = 10;
constexpr std::int32_t MostBins = 60;

// The q-quantile of sorted values by linear interpolation between order statistics.
double quantile(const std::vector<double>& sorted, double q)
{
    const double position = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (position - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

} // namespace

Histogram MakeHistogram(std::vector<double> values)
{
    Histogram histogram;
    if (values.empty()) {
        return histogram;
    }
    std::sort(values.begin(), values.end());
    const double low = values.front();
    const double high = values.back();
    std::int32_t bins = FewestBins;
    if (high == low) {
        histogram.width = std::max(std::fabs(low) * 1e-3, 1e-6);
        histogram.lower = low - histogram.width * (FewestBins / 2.0 - 0.5);
    } else {
        const double iqr = quantile(values, 0.75) - quantile(values, 0.25);
        const double fd = 2.0 * iqr / std::cbrt(static_cast<double>(values.size()));
        bins = fd > 0.0 ? static_cast<std::int32_t>(
                   std::clamp(std::ceil((high - low) / fd), double{FewestBins}, double{MostBins}))
                        : MostBins;
        histogram.lower = low;
        histogram.width = (high - low) / bins;
    }
    histogram.counts.assign(static_cast<std::size_t>(bins), 0);
    for (const double v : values) {
        const auto k = static_cast<std::int64_t>(std::floor((v - histogram.lower) / histogram.width));
        ++histogram.counts[static_cast<std::size_t>(std::clamp<std::int64_t>(k, 0, bins - 1))];
    }
    return histogram;
}

} // namespace orvalis
