#pragma once
// Chi-square statistics of a noise power reading.
//
// A noise power measured through a detector bandwidth B (Hz) and averaged
// over T (s) fluctuates like a chi-square variable with 2*B*T degrees of
// freedom. The uncertainty in dB is how far below its mean a single reading
// can lie at a given two-sided confidence level: -10*log10(chi/dof), with chi
// the lower critical value of the distribution.
//
// The statistics are the classic ACM routines: the chi-square upper-tail
// probability of Hill and Pike (Algorithm 299), the normal probability
// integral of Ibbetson (Algorithm 209) and a bisection for the critical
// value. All of them are pure and cheap to call from any thread.

namespace physics {

namespace nmuc {
inline constexpr double CHI_MAX = 99999.0;             // largest chi-square value returned
inline constexpr double CHI_EPSILON = 1e-6;            // bisection width
inline constexpr double BIGX = 20.0;                   // exponent below which ex() is 0
inline constexpr double LOG_SQRT_PI = 0.5723649429247; // ln(sqrt(pi))
inline constexpr double I_SQRT_PI = 0.564189583547756; // 1/sqrt(pi)
inline constexpr double Z_MAX = 6.0;                   // |z| beyond which the normal tail is 0
inline constexpr double kFastDof = 1000.0;             // reference dof of the large-sample mode
inline constexpr double kFastMinDof = 100.0;           // at or below: never the fast mode
inline constexpr double kFastForceDof = 1e6;           // above: always the fast mode
} // namespace nmuc

// An upper-tail probability Q(x | df) of the chi-square distribution.
using UpperTail = double (*)(double x, int df);

// e^x, or exactly 0 when x < -BIGX.
double ex(double x);
// Probability that a standard normal variable is below z (Algorithm 209).
double poz(double z);
// Probability that a chi-square variable with df degrees of freedom exceeds
// x. Runs of series terms that ex() returns as exactly 0 are skipped, which
// makes large df cheap; the sum equals the published term-by-term series to
// rounding.
double pochisq(double x, int df);
// The chi-square value whose upper-tail probability is p for df degrees of
// freedom (bisection down to CHI_EPSILON, at most CHI_MAX on entry), over
// the given tail probability.
double CritChi(double p, int df, UpperTail tail = pochisq);

// The measurement uncertainty in dB for bandwidth B (Hz), interval T (s) and
// two-sided confidence C (%), in the large-sample mode (fast) or exactly.
// Undefined cases (fewer than one degree of freedom, a non-finite step, a
// negative outcome) give 0, never a non-finite or negative number.
double nmucUncertainty(double B, double T, double C, bool fast, UpperTail tail = pochisq);
// Whether the calculator uses the large-sample mode for dof = 2*B*T degrees
// of freedom with the Fast box in the given state.
bool nmucUsesFast(double dof, bool fastChecked);

// Confidence interval of a standard deviation: the sample standard
// deviation s of normal values with dof degrees of freedom (n - 1 for n
// values about their mean) scatters as s^2 dof / sigma^2 ~ chi-square(dof),
// so sigma lies within s sqrt(dof / chi_hi) .. s sqrt(dof / chi_lo) at
// two-sided confidence C (%), chi_lo and chi_hi the chi-square values with
// (1 - C/100)/2 of the distribution below and above them. ok is false (and
// the bounds 0) for dof < 1, s not finite or negative, C outside (0, 100).
struct SigmaInterval {
    bool ok = false;
    double low = 0, high = 0; // same unit as s
};
SigmaInterval sigmaInterval(double s, int dof, double C);

} // namespace physics
