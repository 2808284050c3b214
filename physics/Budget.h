#pragma once
// Uncertainty budget of a Y-factor measurement: how much each input - the
// source's ENR and cold temperature, the attenuators' losses and physical
// temperatures, the statistical scatter of the four readings and the
// mismatch between source, device and instrument - adds to the uncertainty
// of the device's noise figure and gain and of the instrument's noise
// figure.
//
// Method (GUM, JCGM 100:2008, and its Monte Carlo supplement JCGM 101):
// - the measurement model is physics::cascade itself, the very function the
//   sheet's results come from; every input is a variable of it;
// - the sensitivity coefficient of each input is a central difference of
//   the model (step a tenth of the input's standard uncertainty), the
//   contributions |c u| combine root-sum-square into the standard
//   uncertainty u_c, expanded with k = 2 (about 95 %);
// - a Monte Carlo run draws every input from its distribution (10^5 draws,
//   std::mt19937_64 with a fixed seed, so the figures repeat) and reports the
//   probabilistically symmetric 95 % interval (2.5 % and 97.5 % points) of
//   each output.
//
// Distributions and standard uncertainties:
// - ENR, Tcold, losses, attenuator temperatures: normal, u as given;
// - the ENR's interpolation between the table's points: an offset on the
//   ENR, rectangular within -+ a where a is half the difference between
//   the chosen curve and the straight line in dB at the frequency (the two
//   bracket what the source does between its calibration points), so
//   u = a / sqrt(3);
// - a reading's power: normal around its value with the relative standard
//   deviation of a chi-square mean of 2 B T degrees of freedom, 1/sqrt(B T);
// - mismatch between two ports with reflection magnitudes |Ga| and |Gb|
//   through a loss L (linear) between them: the delivered power varies by
//   the factor 1 / |1 - rho e^(j phi)|^2 with rho = |Ga| |Gb| / L and the
//   unknown phase phi uniform, i.e. within -20 log10(1 + rho) to
//   -20 log10(1 - rho) dB (-2.92 to +4.44 dB at rho = 0.4; EA-4/02 and
//   Keysight AN 57-2); its standard uncertainty is the standard deviation of
//   that factor in dB (mismatchStdDb; about the half width over sqrt(2)
//   for small rho). Source-instrument mismatch acts on the source
//   temperatures of the calibration path, source-device mismatch on those of
//   the device path, and device-output to instrument mismatch on the
//   device's gain, hence through the second-stage correction on its noise
//   figure. Source on and off are one port meeting one load: they share the
//   phase (each with its own magnitude), so their two terms are correlated
//   and combine with that correlation in u_c.
// - Far from linear - the linear interval value -+ U reaching below 0 K, or
//   the Monte Carlo interval departing from it by more than U / 10 - the
//   Monte Carlo interval is the result (BudgetOutput::mcIsResult). Draws
//   without a physical value (Y <= 1, a noise temperature at or below 0 K)
//   are counted; those below 0 K rank lowest, so the interval keeps its
//   meaning with them.
//
// Pure; any thread. Temperatures in K, losses and the ENR in dB.

#include <array>
#include <cstdint>

namespace physics {

// The inputs of the model, in this order in every table.
enum class BudgetTerm : int {
    Enr,
    EnrInterp,
    Tcold,
    Att11,
    Att12,
    Att21,
    Att22,
    Tatt1,
    Tatt2,
    Noise11,
    Noise12,
    Noise21,
    Noise22,
    MatchCalHot,
    MatchCalCold,
    MatchDevHot,
    MatchDevCold,
    MatchDevOut,
    Count
};
inline constexpr int kBudgetTerms = static_cast<int>(BudgetTerm::Count);

// The outputs.
enum class BudgetOut : int { DutNf, DutGain, RxNf, Count };
inline constexpr int kBudgetOuts = static_cast<int>(BudgetOut::Count);

struct BudgetInput {
    double tHot = 0, tCold = 0;           // source on / off, K
    double tAtt1 = 290, tAtt2 = 290;      // attenuator temperatures, K
    double att11 = 0, att12 = 0;          // calibration path losses, dB
    double att21 = 0, att22 = 0;          // device path losses, dB
    std::array<double, 4> power{};        // readings 11, 12, 21, 22: linear power, any common unit
    bool combined = false;                // readings 21 and 22 were taken
    std::array<double, 4> relSd{};        // relative standard deviation of each reading's power
    double uEnrDb = 0;                    // standard uncertainties: ENR (dB),
    double enrInterpHalfDb = 0;           // (half width, dB, of the ENR interpolation's rectangle)
    double uTcold = 0;                    // Tcold (K),
    double uAttDb = 0;                    // each attenuator's loss (dB; none for 0 dB),
    double uTatt = 0;                     // each attenuator's temperature (K)
    double gSourceOn = 0, gSourceOff = 0; // reflection magnitudes (0..1): source on, off,
    double gDutIn = 0, gDutOut = 0;       // device input and output,
    double gReceiver = 0;                 // instrument input
};

// Why the budget gives no numbers.
enum class BudgetStatus {
    Ok,
    NoCalibration,       // no usable calibration pair (2)
    YCalNotAboveOne,     // Y(2) <= 1
    YDevNotAboveOne,     // Y(12) <= 1
    NegativeTemperature, // a source or attenuator temperature below 0 K
    HotNotAbove290,      // no excess noise: the ENR is undefined
    BadInput,            // a reflection outside 0..1, a negative uncertainty, a non-finite value
};

struct BudgetTermRow {
    double value = 0; // nominal value in its own unit; a reading's power; a mismatch's reflection product rho
    double u = 0;     // its standard uncertainty (same unit)
    std::array<double, kBudgetOuts> contrib{}; // |c u| per output, dB (0 where it does not enter)
};

struct BudgetOutput {
    bool ok = false;              // every figure below is finite and meaningful
    double value = 0;             // nominal result, dB
    double uc = 0;                // combined standard uncertainty, dB
    double expanded = 0;          // k = 2, dB
    double statistical = 0;       // the readings' part of uc (RSS of their contributions), dB
    int dominant = -1;            // BudgetTerm with the largest contribution
    bool mcOk = false;            // the Monte Carlo interval is available
    double mcLow = 0, mcHigh = 0; // 2.5 % and 97.5 % points of the Monte Carlo draws, dB
    double mcSd = 0;              // standard deviation of the physical draws, dB
    bool mcIsResult = false;      // far from linear: the Monte Carlo interval is the result
    int mcDraws = 0;              // draws made
    int mcUnphysical = 0;         // draws without a physical value (Y <= 1, Te <= 0 K)
};

struct BudgetResult {
    BudgetStatus status = BudgetStatus::BadInput;
    std::array<BudgetTermRow, kBudgetTerms> rows{};
    std::array<BudgetOutput, kBudgetOuts> out{};
};

inline constexpr int kBudgetDraws = 100000;
inline constexpr std::uint64_t kBudgetSeed = 0x7158'2026'0001ull;

// The whole budget; draws = 0 skips the Monte Carlo run (the RSS part costs
// about a hundred model evaluations).
BudgetResult uncertaintyBudget(const BudgetInput &in, int draws = kBudgetDraws,
                               std::uint64_t seed = kBudgetSeed);

// Standard uncertainty (dB) of a mismatch with reflection product rho
// (< 1): the standard deviation of -10 log10 |1 - rho e^(j phi)|^2 over a
// uniform phase, (10 / ln 10) sqrt(2 Li2(rho^2)).
double mismatchStdDb(double rho);
// Correlation of two such mismatches at one phase:
// Li2(rhoA rhoB) / sqrt(Li2(rhoA^2) Li2(rhoB^2)); 1 for equal products.
double mismatchCorrelation(double rhoA, double rhoB);

} // namespace physics
