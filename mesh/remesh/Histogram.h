#pragma once
// Fixed-bin histogram of curvature values with interpolated quantiles, used
// to trim the adaptive size field. Non-finite values are never counted.

#include <cstdint>
#include <vector>

struct Histogram {
    Histogram(double lo, double hi, uint64_t bins = 200);

    void add(double value);
    double quantile(double q) const;

    double min;
    double max;
    uint64_t binCount;
    double binWidth;
    std::vector<uint64_t> counts;
    uint64_t inRange = 0;
    uint64_t below = 0;
    uint64_t above = 0;
};
