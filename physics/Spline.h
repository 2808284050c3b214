#pragma once
// Natural cubic spline through tabulated points, as used for the ENR table
// of a noise source (ENR in dB against frequency in MHz). Pure functions,
// any thread.

#include <span>
#include <vector>

namespace physics {

// Second derivatives at the knots of the natural cubic spline (zero at both
// ends) through (x, y): x strictly increasing, same length as y. Fewer than
// three knots give all zeros (a straight line between two knots).
std::vector<double> naturalSplineSecondDerivatives(std::span<const double> x, std::span<const double> y);

// The spline (x, y, y2) at abscissa `at`. Outside the knots the cubic of the
// first or last interval extrapolates; there is no range check. NaN with
// fewer than two knots or y, y2 shorter than x.
double splineAt(std::span<const double> x, std::span<const double> y, std::span<const double> y2, double at);

} // namespace physics
