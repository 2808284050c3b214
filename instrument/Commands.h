#pragma once
// The instrument's commands: what a button, a menu entry or a double click
// does, and the glue that hands each workflow exactly the devices and
// values it needs from the instrument's session and routes. Instrument
// thread only.

#include "acquire/NoiseSwitch.h"
#include "instrument/Instrument.h"
#include "physics/Spline.h"

#include <memory>

class Reading;
struct ReadingPlan;

// A button or menu entry (never while an operation runs).
void runCommand(Instrument &m, Control c);
// A double click on a field.
void runDoubleClick(Instrument &m, Field f);

// Loads the session's ENR file into the instrument's table (start-up and
// import); 0 on success.
int loadEnrTable(Instrument &m);
// The same for the calibration path's own table (Session::CalEnrFileName).
int loadCalibrationEnrTable(Instrument &m);

// The interpolation of the loaded ENR table (the ENR view's choice):
// remembered beside the table, and the ENR at the current frequency read
// again with it, the results recalculated. Nothing without a table.
// `calibration`: the same for the calibration path's own table.
void chooseEnrInterpolation(Instrument &m, physics::Interpolation method, bool calibration = false);

// The serial lines that switch the noise source on the current route.
NoiseSourceLines noiseSourceLines(const Instrument &m);
// A reading on the current route's devices with the session's files; the
// caller fills the switching and the interval in `plan`. `switchAlways`:
// the lines switch even with serial switching off (the bench's own lines).
std::unique_ptr<Reading> makeReading(Instrument &m, ReadingPlan plan, bool switchAlways = false);

// Audio device choice (section "Audio" of the settings store).
void restoreAudioDevices(Instrument &m);
bool chooseAudioDevice(Instrument &m, bool input, const QString &id, const QString &name);

// The remembered route ("Route" in section "Audio": "bench" or empty).
DeviceRoute loadRoute(Instrument &m);
void storeRoute(Instrument &m);
