#include "physics/Series.h"

#include <algorithm>
#include <cmath>

namespace physics {

SeriesStats seriesStats(std::span<const double> timesS, std::span<const double> values)
{
    const std::size_t n = std::min(timesS.size(), values.size());
    auto usable = [&](std::size_t i) { return std::isfinite(timesS[i]) && std::isfinite(values[i]); };
    SeriesStats s;
    double sumT = 0, sumV = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (usable(i)) {
            ++s.count;
            sumT += timesS[i];
            sumV += values[i];
        }
    if (s.count == 0)
        return s;
    const double meanT = sumT / double(s.count);
    const double meanV = sumV / double(s.count);
    // Sums of products about the means: no cancellation between large
    // squares when the times are seconds since the epoch.
    double sxx = 0, sxy = 0, syy = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (usable(i)) {
            const double dt = timesS[i] - meanT, dv = values[i] - meanV;
            sxx += dt * dt;
            sxy += dt * dv;
            syy += dv * dv;
        }
    s.mean = meanV;
    if (s.count >= 2) {
        const double sigma = std::sqrt(syy / double(s.count - 1));
        if (std::isfinite(sigma)) {
            s.hasSigma = true;
            s.sigma = sigma;
        }
    }
    if (s.count >= 2 && sxx > 0) {
        const double slope = sxy / sxx * 3600.0;
        if (std::isfinite(slope)) {
            s.hasSlope = true;
            s.slopePerHour = slope;
        }
    }
    if (!std::isfinite(s.mean)) // values near the largest double overflow the sum
        s = SeriesStats{};
    return s;
}

} // namespace physics
