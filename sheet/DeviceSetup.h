#pragma once
// What kind of device the spot measurement is of: an amplifier (input and
// output at one frequency) or a frequency-converting device with a fixed LO
// (an LNB, a mixer, a transverter). For a converter the Frequency field
// names the RF at the device input; the receiver listens at the IF of the
// frequency plan, and the device's results are referred to one sideband
// (physics/Converter.h, docs/converters.md). Part of the sheet so that every
// rule that recalculates the results sees it. User-interface thread only.

#include "physics/Converter.h"

#include <QString>
#include <optional>

struct DeviceSetup {
    physics::DeviceMode mode = physics::DeviceMode::Amplifier;
    double loMhz = kDefaultLoMhz;
    physics::Sideband sideband = physics::Sideband::Usb;
    // The image rejection of a single-sideband device, dB (0: the image is
    // received as strongly as the RF). DSB uses 0 dB whatever is stored.
    double imageRejectionDb = 0;

    bool converter() const { return mode != physics::DeviceMode::Amplifier; }

    static constexpr double kDefaultLoMhz = 9750.0; // a universal Ku-band LNB's low band
    static constexpr double kMaxLoMhz = 100000.0;   // the Frequency field's own limit
    static constexpr double kMaxImageRejectionDb = 999.0;
};

// The words stored in the settings file and their parsing; an unknown word
// gives nothing.
QString deviceModeKey(physics::DeviceMode mode);
std::optional<physics::DeviceMode> deviceModeFromKey(const QString &key);
QString sidebandKey(physics::Sideband sideband);
std::optional<physics::Sideband> sidebandFromKey(const QString &key);
// An LO (MHz) or an image rejection (dB) as accepted: finite and in range.
bool validLoMhz(double mhz);
bool validImageRejectionDb(double db);
// A sentence for a refused frequency plan or image correction.
QString converterErrorText(physics::ConverterError e);
// The device's figures of `r` as the sheet shows them: an amplifier's as
// `cascade` gives them; a converter's referred to its wanted sideband
// (physics::correctForImage), the amplifier formula having credited the
// whole output step to it. The image takes the source temperatures of the
// RF at the device input (r.combined), for want of the ENR at the image.
physics::ImageCorrection deviceFigures(const DeviceSetup &device, const physics::CascadeResult &r);
