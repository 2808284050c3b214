#pragma once
// The chi-square upper-tail probability summed term by term, as Hill and
// Pike publish it (Algorithm 299): the reference that the program's
// skipping sum (physics/ChiSquare) must match to rounding. Benchmarks and
// tests only.

#include "physics/ChiSquare.h"

#include <cmath>

inline double pochisqPlain(double x, int df)
{
    using namespace physics;
    using namespace physics::nmuc;
    if (x <= 0.0 || df < 1)
        return 1.0;
    const double a = 0.5 * x;
    const bool even = (df % 2) == 0;
    const double y = df > 1 ? ex(-a) : 0.0;
    double s = even ? y : 2.0 * poz(-std::sqrt(x));
    if (df <= 2)
        return s;
    const double xl = 0.5 * df - 1.0;
    double z = even ? 1.0 : 0.5;
    if (a > BIGX) {
        double e = even ? 0.0 : LOG_SQRT_PI;
        const double c = std::log(a);
        for (; z <= xl; z += 1.0) {
            e = std::log(z) + e;
            s = s + ex(c * z - a - e);
        }
        return s;
    }
    double e = even ? 1.0 : I_SQRT_PI / std::sqrt(a);
    double c = 0.0;
    for (; z <= xl; z += 1.0) {
        e = e * a / z;
        c = c + e;
    }
    return c * y + s;
}
