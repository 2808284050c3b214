#pragma once
// Y-factor results: the nine result fields of the sheet, computed from the
// parameter and level field texts, plus the actions that clear them.
// All functions run on the user-interface thread and never show a message.

#include "physics/YFactor.h"

#include <QString>
#include <optional>

class Meter;

// The units the level fields are written in ("dB", "Watt", "Volt"); none
// for any other Units text.
std::optional<physics::LevelUnits> levelUnits(const QString &units);

// Recompute everything: clears first (ResultsReset), then fills in whatever
// the fields allow. Enables the report outlets when the instrument
// calibration pair gives a positive Y factor.
void ResultsCalc(Meter &m);
// Empty the nine result fields, colour the three temperatures dark red and
// disable the four report outlets.
void ResultsReset(Meter &m);
// btnReset and the double click on Noise00: forget the zero reading, empty
// the five level fields, clear the results.
void ResetAction(Meter &m);
// mnuOptionsLimits: invert the check mark and Meter::LimitsEnabled, then
// discard every reading as ResetAction does.
void LimitsToggle(Meter &m);

// Forget the zero reading (ZeroMeas.Reset()) and empty Noise00, Noise11,
// Noise12, Noise21 and Noise22. Shared by the reset actions and by the
// interval and units changes of the field rules; does not recalculate.
void discardReadings(Meter &m);
