#pragma once
// Y-factor results: the nine result fields of the sheet, computed from the
// parameter and level field texts, plus the actions that clear them.
// All functions run on the user-interface thread and never show a message.

#include "physics/Converter.h"
#include "physics/YFactor.h"
#include "sheet/DeviceSetup.h"
#include "sheet/Sheet.h"

#include <QString>
#include <array>
#include <optional>

struct EnrTable;
struct Session;

// The units the level fields are written in ("dB", "Watt", "Volt"); none
// for any other Units text.
std::optional<physics::LevelUnits> levelUnits(const QString &units);

// The cascade's inputs as the sheet's texts give them, parsed once for the
// results and for the uncertainty budget.
struct CascadeInputs {
    // Temperatures (K) and losses (dB) as typed (a text that is not a number
    // counts as 0); `units` is that of the Units list, dB when unknown. A
    // level pair is present when both its texts are numbers and LO < HI
    // strictly; the mismatch factors stay 1.
    physics::CascadeInput cascade;
    // The Units list's units; none: no level gives a power ratio.
    std::optional<physics::LevelUnits> units;
    // Noise11, Noise12, Noise21, Noise22: the number typed, when the text is one.
    std::array<std::optional<double>, 4> levels;
};
CascadeInputs cascadeInputsFrom(const Sheet &s);

// Recompute everything: clears first (ResultsReset), then fills in whatever
// the fields allow. The calibration path takes Sheet::calibrationEnr's
// source temperatures when a table gives them; outside that table Teq1,
// NF1 and the device's results stay empty. For a converter (Sheet::device) the device's Gain, Teq
// and NF are referred to the wanted sideband (physics::correctForImage) and
// need a frequency plan that is not refused. Enables the report outlets when the instrument
// calibration pair gives a positive Y factor.
void ResultsCalc(Sheet &s);
// What the main window shows beside Frequency: for a converter the IF the
// receiver is to be tuned to ("IF 1250.000 MHz") for the RF in the
// Frequency field, or why the frequency plan is refused; with a
// calibration ENR table, the ENR it gives there (", calibration ENR 15.20
// dB") or that the IF lies outside its knots. For an amplifier empty, or
// only the calibration table's ENR when one of its own is loaded.
QString ifText(const Sheet &s);

// Empty the nine result fields, colour the three temperatures dark red and
// disable the four report outlets.
void ResultsReset(Sheet &s);
// btnReset and the double click on Noise00: forget the zero reading, empty
// the five level fields, clear the results.
void ResetAction(Session &m);
// mnuOptionsLimits: invert the check mark and Session::LimitsEnabled, then
// discard every reading as ResetAction does.
void LimitsToggle(Session &m);

// Forget the zero reading (ZeroMeas.Reset()) and empty Noise00, Noise11,
// Noise12, Noise21 and Noise22. Shared by the reset actions and by the
// interval and units changes of the field rules; does not recalculate.
void discardReadings(Session &m);

// Where the receiver alone is calibrated (MHz): a converter's IF for the
// RF in the Frequency field (NaN when its frequency plan is refused), an
// amplifier's Frequency.
double calibrationMhz(const Sheet &s);
// The calibration path's source (Sheet::calibrationEnr) from `table`, the
// calibration table in use (null: none; `ownTable`: loaded for the
// calibration, not the measurement table): for a converter, or an
// amplifier with a table of its own, the ENR at calibrationMhz, and Thot
// and Tcold from it as the fields would show them (Tcold = sourceOffK).
// Outside the table's knots, or an ENR not in (0, 200) dB there: Outside.
// Otherwise Typed (the calibration path uses Thot and Tcold).
Sheet::CalibrationEnr calibrationEnrFrom(const Sheet &s, const EnrTable *table, bool ownTable,
                                         double sourceOffK);
