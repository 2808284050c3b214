#pragma once
// What a frequency sweep measures: the list of frequencies, the source's
// noise temperatures at each of them, and the fixed parameters of the
// set-up, all gathered and checked before the first tuning so that a plan
// the sweep cannot carry out is refused with a message instead of failing
// half-way. Pure values; Qt Core only, any thread.
//
// Frequencies in MHz, temperatures in K, losses in dB, times in seconds.

#include "physics/Conversions.h"
#include "physics/YFactor.h"
#include "sheet/DeviceSetup.h"

#include <QString>
#include <QVector>

#include <memory>
#include <optional>

struct EnrTable;
class Sheet;
struct Session;

// Most points a sweep may have.
inline constexpr int kSweepMaxPoints = 10000;
// The frequency range the main window accepts (MHz).
inline constexpr double kSweepMinMhz = 0.1, kSweepMaxMhz = 100000;

// Where the frequencies come from.
struct SweepFrequencies {
    enum class Source { Range, List, EnrTable };
    Source source = Source::Range;
    double startMhz = 0, stopMhz = 0, stepMhz = 0; // Range
    QString list;                                  // List: numbers separated by blanks, ';' or new lines
};

// A list of frequencies, or the message that refuses it.
struct FrequencyList {
    QVector<double> mhz;
    QString error; // empty when the list is usable
};

// Start, start + step, ... up to stop (stop itself when the steps land on
// it within a millionth of a step). Refuses start above stop, a step that is
// not positive, frequencies outside kSweepMinMhz..kSweepMaxMhz and more than
// kSweepMaxPoints points.
FrequencyList rangeFrequencies(double startMhz, double stopMhz, double stepMhz);
// A typed list; numbers take '.' or ',' as the decimal mark. Refuses an
// entry that is not a number, out of range, not above its predecessor, an
// empty list and more than kSweepMaxPoints entries.
FrequencyList listedFrequencies(const QString &text);

// `points` frequencies evenly spaced from start to stop (start alone for one
// point), as the typed-list text listedFrequencies reads back exactly
// (six decimals, '.' as the mark): the form a script's start, stop and
// point count take.
QString evenlySpacedList(double startMhz, double stopMhz, int points);
// The same text for any frequencies.
QString frequencyListText(const QVector<double> &mhz);

// The source's temperatures at one frequency.
struct SourceTemps {
    double enrDb = 0; // as used, rounded to 0.01 dB like the main window's field
    double tHot = 0;
    double tCold = physics::kT0; // with a table: the source's physical temperature when off
};

// Source temperatures for every frequency: from the ENR table's spline when
// a table is given (Tcold = fixed.tCold, the source's physical temperature
// when off, and Thot = 290 K * 10^(ENR/10) + Tcold), else the fixed values.
// With a table, a frequency outside
// its knots is refused (it would be extrapolated), and so is an ENR outside
// (0, 200) dB, the table's own limits.
struct SourcePlan {
    QVector<SourceTemps> temps;
    QString error;
};
SourcePlan sourceTemps(const QVector<double> &mhz, const EnrTable *table, const SourceTemps &fixed);

enum class SweepKind { Calibration, Measurement };

// Everything a sweep needs, read from the main window when it starts.
struct SweepPlan {
    SweepKind kind = SweepKind::Calibration;
    QVector<double> mhz;         // the device's input: the RF of a converter
    // The device measured. A converter's receiver is tuned to the IF of each
    // frequency (`ifMhz`); an amplifier's to the frequency itself.
    DeviceSetup device;
    QVector<double> ifMhz;       // one per frequency
    // One per frequency: at `mhz` for a measurement, at the IF for a
    // calibration (the receiver alone works there).
    QVector<SourceTemps> source;
    // The ENR table the temperatures come from (a copy: the user may load
    // another during the sweep), for a receiver that tunes slightly off the
    // planned frequency; null with fixed temperatures.
    std::shared_ptr<const EnrTable> enr;
    physics::CascadeInput params; // temperatures and attenuators; levels unused
    double intervalS = 1;         // seconds kept per reading
    // Readings per level, averaged in power (their mean square), as the
    // spot buttons take them (1..999).
    int averages = 1;
    double settleS = 0.5;         // wait after each tuning before reading
    double zeroMs = 0;            // sound-card zero power (full scale = 1), subtracted from every reading
    bool serialSwitching = false; // the serial lines switch source and path
    bool limits = true;           // clipping check
    bool stopOnFailure = false;   // a failed point ends the sweep
};

// The frequencies the user asked for; EnrTable takes the knots of `table`,
// the ENR table in use (refused when the sheet says no table is loaded).
FrequencyList planFrequencies(const Sheet &sheet, const EnrTable &table, const SweepFrequencies &f);
// The whole plan from the session (the main window's fields): attenuators
// and their temperatures, interval, the zero reading, serial switching, the
// limits option, and the source temperatures per frequency (`table` when
// the sheet says it is loaded, or Thot/Tcold). The error names the first
// problem.
struct PlanResult {
    SweepPlan plan;
    QString error;
};
//
// For a frequency-converting device (the sheet's device) the frequencies are
// the RF; every one needs an IF by the device's frequency plan, and the
// receiver is tuned there. A calibration measures the receiver alone at the
// IFs, with the source's ENR at the IF from `calTable` (the calibration
// table in use; null or `table` itself: the measurement table serves both);
// a measurement works at the RF with `table`. An amplifier's calibration
// likewise reads `calTable` at its own frequencies.
PlanResult makeSweepPlan(const Session &session, const EnrTable &table, SweepKind kind,
                         const SweepFrequencies &f, double settleS, bool stopOnFailure,
                         const EnrTable *calTable = nullptr);
// +1 when the RF rises with the IF in this plan, -1 when it falls (the LO
// above the RF of a down-converter, the difference product of an
// up-converter).
double rfPerIf(const DeviceSetup &device, double rfMhz);
