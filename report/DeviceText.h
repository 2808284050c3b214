#pragma once
// The device measured (sheet/DeviceSetup.h) as every report file writes
// it: the mode in words, the LO and the IF in MHz with three decimals (a
// kHz), the image rejection in dB with one. Numbers with '.' as the decimal
// mark whatever the user's locale, as the files carry them. Pure text; Qt
// Core only, any thread.

#include "sheet/DeviceSetup.h"

#include <QString>

// "Amplifier", "Down-converter" or "Up-converter".
QString deviceModeName(physics::DeviceMode mode);
// "9750.000"; empty when not finite.
QString mhzText(double mhz);
// The image rejection the results were referred with: the device's own
// figure, 0 dB for DSB (both sidebands received alike), "20.0".
QString imageRejectionText(const DeviceSetup &device);
// The IF of `rfMhz` in the device's frequency plan ("1250.000"); empty when
// the plan refuses that RF (the device's results are empty then too).
QString ifMhzText(const DeviceSetup &device, double rfMhz);
