#include "physics/Spline.h"

#include <algorithm>
#include <cmath>

namespace physics {

namespace {

// The interval [x[k], x[k+1]] that holds `at`, the first or last one outside
// the knots (count >= 2).
std::size_t intervalOf(std::span<const double> x, double at)
{
    const auto upper = std::upper_bound(x.begin() + 1, x.end() - 1, at);
    return static_cast<std::size_t>(upper - x.begin()) - 1;
}

double sign(double v)
{
    return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0;
}

// One-sided three-point slope at an end knot, from the end interval (width
// h0, secant s0) and its neighbour (h1, s1), kept monotone: zero when it
// points against the end secant, at most three times the secant where the
// data turn at the neighbouring knot.
double endSlope(double h0, double h1, double s0, double s1)
{
    const double d = ((2 * h0 + h1) * s0 - h0 * s1) / (h0 + h1);
    if (sign(d) != sign(s0))
        return 0.0;
    if (sign(s0) != sign(s1) && std::fabs(d) > 3 * std::fabs(s0))
        return 3 * s0;
    return d;
}

} // namespace

std::vector<double> naturalSplineSecondDerivatives(std::span<const double> x, std::span<const double> y)
{
    // Natural cubic spline: y2 = 0 at both ends; forward elimination of the
    // tridiagonal system in y2/u, then back substitution.
    const int count = static_cast<int>(x.size());
    std::vector<double> y2(x.size(), 0.0);
    if (count < 3 || y.size() < x.size())
        return y2;
    const int n = count - 1;
    std::vector<double> u(n, 0.0);
    for (int i = 1; i <= n - 1; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    y2[n] = 0.0;
    for (int k = n - 1; k >= 0; --k)
        y2[k] = y2[k] * y2[k + 1] + u[k];
    return y2;
}

double splineAt(std::span<const double> x, std::span<const double> y, std::span<const double> y2, double at)
{
    const int count = static_cast<int>(x.size());
    if (count < 2 || y.size() < x.size() || y2.size() < x.size())
        return std::nan("");
    int klo = 0, khi = count - 1;
    while (khi - klo > 1) {
        // Midpoint rounded to the nearest integer, halves to the even one.
        const int sum = khi + klo;
        int k = sum / 2;
        if (sum % 2 != 0 && k % 2 != 0)
            ++k;
        if (x[k] > at)
            khi = k;
        else
            klo = k;
    }
    const double h = x[khi] - x[klo];
    // A is held in single precision, B in double: the interpolated values
    // then match the table program's own to the last digit shown.
    const float aSingle = static_cast<float>((x[khi] - at) / h);
    const double a = aSingle;
    const double b = (at - x[klo]) / h;
    return a * y[klo] + b * y[khi] + ((a * a * a - a) * y2[klo] + (b * b * b - b) * y2[khi]) * (h * h) / 6.0;
}

double linearAt(std::span<const double> x, std::span<const double> y, double at)
{
    if (x.size() < 2 || y.size() < x.size())
        return std::nan("");
    const std::size_t k = intervalOf(x, at);
    const double w = (at - x[k]) / (x[k + 1] - x[k]);
    return y[k] + w * (y[k + 1] - y[k]);
}

std::vector<double> monotoneSlopes(std::span<const double> x, std::span<const double> y)
{
    const std::size_t n = x.size();
    std::vector<double> d(n, 0.0);
    if (n < 2 || y.size() < n)
        return d;
    std::vector<double> h(n - 1), s(n - 1); // widths and secants of the intervals
    for (std::size_t k = 0; k + 1 < n; ++k) {
        h[k] = x[k + 1] - x[k];
        s[k] = (y[k + 1] - y[k]) / h[k];
    }
    if (n == 2) {
        d[0] = d[1] = s[0];
        return d;
    }
    for (std::size_t k = 1; k + 1 < n; ++k) {
        // A turn or a level step: a flat slope, so neither piece overshoots.
        if (!(s[k - 1] * s[k] > 0))
            continue;
        // Weighted harmonic mean of the two secants (Fritsch-Butland): it
        // never exceeds three times the smaller one, which keeps both
        // pieces monotone (Fritsch-Carlson), and leans on the shorter interval.
        const double w1 = 2 * h[k] + h[k - 1], w2 = h[k] + 2 * h[k - 1];
        d[k] = (w1 + w2) / (w1 / s[k - 1] + w2 / s[k]);
    }
    d[0] = endSlope(h[0], h[1], s[0], s[1]);
    d[n - 1] = endSlope(h[n - 2], h[n - 3], s[n - 2], s[n - 3]);
    return d;
}

double hermiteAt(std::span<const double> x, std::span<const double> y, std::span<const double> d, double at)
{
    if (x.size() < 2 || y.size() < x.size() || d.size() < x.size())
        return std::nan("");
    const std::size_t k = intervalOf(x, at);
    const double h = x[k + 1] - x[k];
    const double t = (at - x[k]) / h, t2 = t * t, t3 = t2 * t;
    // The cubic Hermite basis: value and slope at each end of the interval.
    return (2 * t3 - 3 * t2 + 1) * y[k] + (t3 - 2 * t2 + t) * h * d[k] + (3 * t2 - 2 * t3) * y[k + 1] +
           (t3 - t2) * h * d[k + 1];
}

std::vector<Excursion> rangeExcursions(std::span<const double> x, std::span<const double> y,
                                       const std::function<double(double)> &curve, double limit, int samples)
{
    std::vector<Excursion> out;
    if (x.size() < 2 || y.size() < x.size() || samples < 1)
        return out;
    for (std::size_t k = 0; k + 1 < x.size(); ++k) {
        const double lo = std::min(y[k], y[k + 1]), hi = std::max(y[k], y[k + 1]);
        Excursion e{x[k], x[k + 1], 0, x[k], y[k]};
        for (int i = 1; i < samples; ++i) {
            const double at = x[k] + (x[k + 1] - x[k]) * i / samples;
            const double v = curve(at);
            if (!std::isfinite(v))
                continue;
            const double beyond = std::max(lo - v, v - hi);
            if (beyond > e.size) {
                e.size = beyond;
                e.atX = at;
                e.curveY = v;
            }
        }
        if (e.size > limit)
            out.push_back(e);
    }
    return out;
}

} // namespace physics
