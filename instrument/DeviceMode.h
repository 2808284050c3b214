#pragma once
// Options > Device: the device measured (an amplifier or a converter with a
// fixed LO, sheet/DeviceSetup.h) as the instrument changes it. Instrument
// thread only.

struct DeviceSetup;
class Instrument;

// Sets the sheet's device and recalculates the results. Refused with a
// message (false) for an LO or an image rejection out of range, or while an
// operation runs; the readings are kept either way.
bool setDeviceSetup(Instrument &m, const DeviceSetup &device);
