#pragma once
// Statistics of a measurement series: values taken one after another at
// known times (a noise figure, a gain, a level in dB every T seconds), as a
// warm-up or drift check reads them. Pairs whose time or value is not a
// finite number are left out, so nothing here ever returns NaN or inf.

#include <cstddef>
#include <span>

namespace physics {

struct SeriesStats {
    std::size_t count = 0; // finite (time, value) pairs used
    double mean = 0;       // of the values; 0 without any
    // Sample standard deviation (n - 1 in the denominator): the scatter of
    // one run about the mean. Needs two values.
    bool hasSigma = false;
    double sigma = 0;
    // Least-squares straight line through (time, value), its slope in value
    // units per hour: the drift. Needs two distinct times.
    bool hasSlope = false;
    double slopePerHour = 0;
};

// `timesS` in seconds from any origin, `values` in any unit; pairs by index
// (the shorter span sets the length).
SeriesStats seriesStats(std::span<const double> timesS, std::span<const double> values);

} // namespace physics
