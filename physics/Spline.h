#pragma once
// Curves through tabulated points, as used for the ENR table of a noise
// source (ENR in dB against frequency in MHz): the natural cubic spline, the
// straight line between neighbouring points, and the monotone piecewise
// cubic (Fritsch-Carlson, known as PCHIP). Pure functions, any thread.
//
// Why three: a natural spline is smooth but, between unevenly spaced knots
// (10 MHz, 100 MHz, 1 GHz, then 20 GHz), it swings far beyond its data - a
// table of 14.5 to 15.5 dB reads 27 dB at 9 GHz - and every dB of ENR error
// is a dB of noise figure error. The straight line in dB never leaves the
// range of its two knots but has corners; the monotone cubic is smooth
// (continuous slope) and also stays within the range of its two knots.

#include <functional>
#include <span>
#include <vector>

namespace physics {

enum class Interpolation {
    NaturalSpline, // cubic, zero curvature at both ends; the default
    Linear,        // straight lines in dB between neighbouring knots
    MonotoneCubic, // Fritsch-Carlson piecewise cubic Hermite (PCHIP)
};

// Second derivatives at the knots of the natural cubic spline (zero at both
// ends) through (x, y): x strictly increasing, same length as y. Fewer than
// three knots give all zeros (a straight line between two knots).
std::vector<double> naturalSplineSecondDerivatives(std::span<const double> x, std::span<const double> y);

// The spline (x, y, y2) at abscissa `at`. Outside the knots the cubic of the
// first or last interval extrapolates; there is no range check. NaN with
// fewer than two knots or y, y2 shorter than x.
double splineAt(std::span<const double> x, std::span<const double> y, std::span<const double> y2, double at);

// The straight line between the two knots around `at`; outside the knots
// the first or last segment extends. NaN with fewer than two knots or y
// shorter than x.
double linearAt(std::span<const double> x, std::span<const double> y, double at);

// Slopes at the knots of the monotone piecewise cubic through (x, y), x
// strictly increasing (Fritsch and Carlson 1980, with Fritsch and Butland's
// weighted harmonic mean at inner knots): zero where the data turn or stay
// level, so each piece is monotone and stays within the range of its two
// knots. Ends: the one-sided three-point slope, limited the same way. Two
// knots give the straight line's slope; fewer, all zeros.
std::vector<double> monotoneSlopes(std::span<const double> x, std::span<const double> y);

// The piecewise cubic Hermite (x, y, slopes d) at `at`. Outside the knots the
// cubic of the first or last interval extrapolates. NaN with fewer than two
// knots or y, d shorter than x.
double hermiteAt(std::span<const double> x, std::span<const double> y, std::span<const double> d, double at);

// An interval between neighbouring knots over which a curve leaves the range
// of its two knots' values.
struct Excursion {
    double fromX = 0, toX = 0; // the knots around it
    double size = 0;           // how far beyond the nearer knot value the curve gets (same unit as y)
    double atX = 0;            // where it gets furthest
    double curveY = 0;         // the curve there
};

// Every interval between the first and the last knot over which `curve`
// leaves [min(y_k, y_k+1), max(y_k, y_k+1)] by more than `limit`, from the
// lowest x up. The curve is sampled at `samples` points per interval (the
// pieces are cubics: 256 points find the peak to a few parts in 10^5 of the
// interval's width). Non-finite curve values are skipped.
std::vector<Excursion> rangeExcursions(std::span<const double> x, std::span<const double> y,
                                       const std::function<double(double)> &curve, double limit,
                                       int samples = 256);

} // namespace physics
