#pragma once
// Guards against impossible answers, and the state of the calibration.
//
// A Y-factor meter computes a number from whatever it was given: a source
// that never switched, a receiver in compression, a wrong Tcold or a DUT
// with too little gain for the second-stage correction all give results
// that look like any other. The guards look at the sheet's levels and
// results, at what the readings behind them recorded (Session::LevelRecords)
// and at their statistical scatter, and say what is wrong and what to do.
// They never change a result: a warning names the likely cause, marks the
// fields concerned and leaves the numbers as calculated.
//
// The statistics are those of the uncertainty budget: a reading of a noise
// of statistical bandwidth B over T seconds scatters with a relative
// standard deviation of 1 / sqrt(B T) (instrument/UncertaintyBudget.h gives
// B: typed, the bench's, or the uncertainty calculator's; T is the Interval
// times the readings averaged).
//
// Evaluated on demand from the present session; costs a few dozen
// evaluations of the cascade. User-interface (instrument) thread.

#include "sheet/Sheet.h"

#include <QList>
#include <QString>
#include <array>

class Instrument;

enum class GuardKind {
    NearClipping,          // a reading peaked within 1 dB of the clipping level
    SourceNotSwitched,     // a hot reading not above its cold one beyond the scatter
    ImpossibleTemperature, // a noise temperature more than 3 sigma below 0 K
    LowGain,               // the DUT's gain below 3 dB: the second stage dominates
    StaleCalibration,      // NF(1) from a calibration taken under other conditions
};

enum class CalibrationState { None, Valid, Stale };

struct GuardReport {
    CalibrationState calibration = CalibrationState::None;
    QString calibrationDetail; // why it is stale, or what it was taken at
    QList<GuardKind> fired;    // in the order of `warnings`
    QStringList warnings;      // one paragraph each, for the window's guard line
    // The text a marked field shows as its tooltip; empty: not marked.
    std::array<QString, static_cast<int>(Field::Count)> marks;
    bool marked(Field f) const { return !marks[static_cast<int>(f)].isEmpty(); }
};

// Peak above which a reading warns: 1 dB below the clipping level
// (physics::kClipLevel, 0.4 of full scale).
double nearClippingPeak();
// Below this DUT gain (dB) the second-stage correction dominates NF(1).
inline constexpr double kLowGainDb = 3.0;
// A hot reading must lie above its cold one by more than this Y (dB)...
inline constexpr double kMinYDb = 0.1;
// ... and by more than this many standard deviations of the ratio's scatter;
// a noise temperature below -kSigmas of its own scatter is impossible.
inline constexpr double kSigmas = 3.0;
// The "high gain" the low-gain factor compares with (dB).
inline constexpr double kReferenceGainDb = 30.0;

GuardReport evaluateGuards(Instrument &m);

// The calibration state label's text.
QString calibrationCaption(CalibrationState s);
