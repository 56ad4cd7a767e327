// The bins of a histogram of bootstrap changes: the Freedman-Diaconis rule within 10 to 60 bins.
#pragma once

#include <cstdint>
#include <vector>

namespace orvalis {

// Bin k covers [lower + k x width, lower + (k + 1) x width); the last bin also
// holds its upper edge. No bins for no values.
struct Histogram {
    double lower = 0.0;
    double width = 0.0;
    std::vector<std::int32_t> counts;

    double upper() const { return lower + width * static_cast<double>(counts.size()); }
};

// The Freedman-Diaconis width 2 IQR n^(-1/3) over the values' range, the number
// of bins held within 10 to 60 (values with no spread, or no interquartile
// spread, get 10 or 60 bins over their range). Values all equal get 10 bins
// centred on the value, each a thousandth of its magnitude wide (at least
// 1e-6). Every value lands in exactly one bin.
Histogram MakeHistogram(std::vector<double> values);

} // namespace orvalis
