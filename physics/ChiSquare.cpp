#include "physics/ChiSquare.h"

#include "physics/Conversions.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace physics {

using namespace nmuc;

double ex(double x)
{
    return x < -BIGX ? 0.0 : std::exp(x);
}

double poz(double z)
{
    // Ibbetson's polynomials for erf(y*sqrt 2), y = |z|/2: P1 in y^2 for
    // y < 1, P2 in (y - 2) for 1 <= y < 3; beyond z = 6 the tail is 0.
    double x;
    if (z == 0.0) {
        x = 0.0;
    } else {
        double y = 0.5 * std::fabs(z);
        if (y >= Z_MAX * 0.5) {
            x = 1.0;
        } else if (y < 1.0) {
            const double w = y * y;
            x = ((((((((0.000124818987 * w
                        - 0.001075204047) * w + 0.005198775019) * w
                      - 0.019198292004) * w + 0.059054035642) * w
                    - 0.151968751364) * w + 0.319152932694) * w
                  - 0.531923007300) * w + 0.797884560593) * y * 2.0;
        } else {
            y -= 2.0;
            x = (((((((((((((-0.000045255659 * y
                             + 0.000152529290) * y - 0.000019538132) * y
                           - 0.000676904986) * y + 0.001390604284) * y
                         - 0.000794620820) * y - 0.002034254874) * y
                       + 0.006549791214) * y - 0.010557625006) * y
                     + 0.011630447319) * y - 0.009279453341) * y
                   + 0.005353579108) * y - 0.002141268741) * y
                 + 0.000535310849) * y + 0.999936657524;
        }
    }
    return z > 0.0 ? (x + 1.0) * 0.5 : (1.0 - x) * 0.5;
}

namespace {

// In the large-a series the k-th term is exp(c*z - a - lnGamma(z + 1)) with
// c = ln a: a Poisson-like bump centred near z = a, some sqrt(a) terms wide.
// Terms whose exponent is below -BIGX are exactly 0 (ex), so for large df
// almost all of the dof/2 terms add nothing. kMargin keeps a safety band of
// one exponent unit around that edge, far wider than the rounding of the
// running log-factorial, so that no term the plain sum would keep is lost.
constexpr double kMargin = 1.0;

// Exponent of the term at z, with the log-factorial taken from lgamma.
double termExponent(double z, double a, double c)
{
    return c * z - a - std::lgamma(z + 1.0);
}

// The series value for x, df, in the two published branches, leaving out
// the runs of terms that are exactly 0 (and, in the small-a branch, the tail
// after the running term has underflowed to 0).
double pochisqSkipping(double x, int df)
{
    if (x <= 0.0 || df < 1)
        return 1.0;
    const double a = 0.5 * x;
    const bool even = (df % 2) == 0;
    double y = 0.0;
    if (df > 1)
        y = ex(-a);
    double s = even ? y : 2.0 * poz(-std::sqrt(x));
    if (df <= 2)
        return s;
    const double xl = 0.5 * df - 1.0;
    double z = even ? 1.0 : 0.5;
    if (a > BIGX) {
        // Before the term at z is added, e holds lnGamma(z): ln(z-1)! for
        // even df, ln(Gamma(z)) from ln(sqrt pi) = lnGamma(1/2) for odd df.
        double e = even ? 0.0 : LOG_SQRT_PI;
        const double c = std::log(a);
        // Exponents rise while z + 1 < a and fall after: find the first
        // term above the edge on the rising side by bisection.
        const double threshold = -BIGX - kMargin;
        const double zTop = std::min(xl, std::max(z, std::ceil(a - 1.0 - z) + z));
        const double kTop = std::floor(zTop - z);
        if (termExponent(z, a, c) < threshold) {
            if (termExponent(z + kTop, a, c) < threshold)
                return s; // the bump lies beyond xl or is wholly below 0-terms
            double lo = 0.0, hi = kTop; // exponent(lo) < threshold <= exponent(hi)
            while (hi - lo > 1.0) {
                const double mid = std::floor(0.5 * (lo + hi));
                (termExponent(z + mid, a, c) < threshold ? lo : hi) = mid;
            }
            z += hi;
            e = std::lgamma(z);
        }
        while (z <= xl) {
            e = std::log(z) + e;
            const double t = c * z - a - e;
            s = s + ex(t);
            // Past the top of the bump every later exponent is smaller.
            if (z > a && t < -BIGX - kMargin)
                break;
            z = z + 1.0;
        }
        return s;
    }
    double e = even ? 1.0 : I_SQRT_PI / std::sqrt(a);
    double c = 0.0;
    while (z <= xl) {
        e = e * a / z;
        c = c + e;
        if (e == 0.0)
            break; // underflowed: every later term is 0 as well
        z = z + 1.0;
    }
    return c * y + s;
}

// Whole number nearest to v, halves to the even neighbour.
double roundHalfEven(double v)
{
    const double r = std::round(v);
    if (std::fabs(v - std::trunc(v)) == 0.5)
        return 2.0 * std::round(0.5 * v);
    return r;
}

// -10*log10(chi/dof) in dB at two-sided confidence C (%) for dof degrees of
// freedom, with the critical value taken at nu = dof - 1. Fewer than one
// degree of freedom has no critical value; the bisection would run to its
// ceiling and give a meaningless negative figure, so that counts as a fault.
double uncertaintyAt(double dof, double C, UpperTail tail)
{
    const double nu = roundHalfEven(dof - 1.0);
    if (!(nu >= 1.0) || nu > INT_MAX)
        return 0.0;
    const double p = 1.0 - (1.0 - C / 100.0) / 2.0;
    const int df = static_cast<int>(nu);
    const double chi = CritChi(p, df, tail);
    return -10.0 * std::log(chi / dof) / Ln10;
}

} // namespace

double pochisq(double x, int df)
{
    return pochisqSkipping(x, df);
}

double CritChi(double p, int df, UpperTail tail)
{
    if (p <= 0.0)
        return CHI_MAX;
    if (p > 1.0)
        return 0.0;
    double lo = 0.0, hi = CHI_MAX;
    double x = df / std::sqrt(p);
    while (hi - lo > CHI_EPSILON) {
        if (tail(x, df) < p)
            hi = x;
        else
            lo = x;
        x = (hi + lo) * 0.5;
    }
    return x;
}

bool nmucUsesFast(double dof, bool fastChecked)
{
    return (dof > kFastMinDof && fastChecked) || dof > kFastForceDof;
}

double nmucUncertainty(double B, double T, double C, bool fast, UpperTail tail)
{
    double U;
    if (fast) {
        // Evaluate at the reference dof and scale the dB figure: for large
        // dof the relative spread of the reading goes as 1/sqrt(dof).
        U = uncertaintyAt(kFastDof, C, tail) * std::sqrt(kFastDof / (2.0 * B * T));
    } else {
        U = uncertaintyAt(2.0 * B * T, C, tail);
    }
    // A step that faults (division by 0 dof, log of 0) leaves U at 0, and
    // an uncertainty below 0 dB has no meaning.
    if (!std::isfinite(U) || U < 0.0)
        return 0.0;
    return U;
}

SigmaInterval sigmaInterval(double s, int dof, double C)
{
    SigmaInterval r;
    if (dof < 1 || !std::isfinite(s) || s < 0 || !(C > 0 && C < 100))
        return r;
    const double tail = (1.0 - C / 100.0) / 2.0;
    const double chiHi = CritChi(tail, dof);       // this much of the distribution above it
    const double chiLo = CritChi(1.0 - tail, dof); // and below this one
    if (!(chiLo > 0) || !(chiHi > chiLo))
        return r;
    r.low = s * std::sqrt(dof / chiHi);
    r.high = s * std::sqrt(dof / chiLo);
    r.ok = std::isfinite(r.low) && std::isfinite(r.high);
    return r;
}

} // namespace physics
