#pragma once
// Uncertainty calculator: chi-square statistics of a noise power reading.
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

#include <QString>

class Meter;

namespace nmuc {
inline constexpr double CHI_MAX = 99999.0;    // largest chi-square value returned
inline constexpr double CHI_EPSILON = 1e-6;   // bisection width
inline constexpr double BIGX = 20.0;          // exponent below which ex() is 0
inline constexpr double LOG_SQRT_PI = 0.5723649429247;    // ln(sqrt(pi))
inline constexpr double I_SQRT_PI = 0.564189583547756;    // 1/sqrt(pi)
inline constexpr double Z_MAX = 6.0;          // |z| beyond which the normal tail is 0
inline constexpr double kFastDof = 1000.0;    // reference dof of the large-sample mode
inline constexpr double kFastMinDof = 100.0;  // at or below: never the fast mode
inline constexpr double kFastForceDof = 1e6;  // above: always the fast mode
} // namespace nmuc

// e^x, or exactly 0 when x < -BIGX.
double ex(double x);
// Probability that a standard normal variable is below z (Algorithm 209).
double poz(double z);
// Probability that a chi-square variable with df degrees of freedom exceeds
// x. Runs of series terms that ex() returns as exactly 0 are skipped, which
// makes large df cheap; the sum is that of pochisqPlain() to rounding.
double pochisq(double x, int df);
// The same upper-tail probability summing every series term one by one, as
// the published routine does. Reference for tests and benchmarks.
double pochisqPlain(double x, int df);
// The chi-square value whose upper-tail probability is p for df degrees of
// freedom (bisection down to CHI_EPSILON, at most CHI_MAX on entry).
double CritChi(double p, int df);
double CritChiPlain(double p, int df); // the same over pochisqPlain()

enum class Summation { Skipping, Plain };

// The measurement uncertainty in dB for bandwidth B (Hz), interval T (s) and
// two-sided confidence C (%), in the large-sample mode (fast) or exactly.
// Undefined cases (fewer than one degree of freedom, a non-finite step, a
// negative outcome) give 0, never a non-finite or negative number.
double nmucUncertainty(double B, double T, double C, bool fast,
                       Summation sum = Summation::Skipping);
// Whether CalcNmuc uses the large-sample mode for dof = 2*B*T degrees of
// freedom with the Fast box in the given state.
bool nmucUsesFast(double dof, bool fastChecked);

enum class NmucField { Bandwidth, Interval, Confidence };

// State and rules of the uncertainty calculator dialog (frmNmuc). The dialog
// is unloaded when closed, so each opening starts from load().
class Nmuc
{
public:
    Nmuc() { load(); }

    // The initial texts: 2000 Hz, 0.1 s, 95 %, Fast clear, no result.
    void load();

    const QString &text(NmucField f) const { return m_text[idx(f)]; }
    void setText(NmucField f, const QString &t) { m_text[idx(f)] = t; } // typing: no rule
    const QString &uncertainty() const { return m_uncertainty; }
    bool fast() const { return m_fast; }

    // Entering a field: the old result no longer matches what is edited.
    void fieldEnter(NmucField f);
    // Leaving a field (or Enter in it): reformat, run CalcNmuc when empty,
    // refuse out-of-range values with a message. False: the focus must stay.
    bool fieldLeave(const Meter &m, NmucField f);
    // The user clicked the Fast box.
    void clickFast(bool checked);
    // Compute the uncertainty from the three fields and the Fast box.
    void CalcNmuc();

    static QString format(NmucField f);       // "0.000", "0.000", "0."
    static QString refusal(NmucField f);      // the message for a refused value

private:
    static int idx(NmucField f) { return static_cast<int>(f); }
    void setFast(bool on);

    QString m_text[3];
    QString m_uncertainty;
    bool m_fast = false;
};
