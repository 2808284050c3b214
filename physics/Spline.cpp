#include "physics/Spline.h"

#include <cmath>

namespace physics {

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

} // namespace physics
