#pragma once
// Frequency-converting devices (LNBs, mixers, converters, transverters):
// where the receiver listens for a given RF, where the image lies, and the
// correction that refers a Y-factor result to one sideband. Numbers in, a
// result struct out; no state, any thread. docs/converters.md derives the
// formulas and works an example.
//
// Frequency plan, all frequencies in MHz. "RF" is where the noise source and
// the device's input work, "IF" where the receiver is tuned (the device's
// output), "LO" the device's fixed local oscillator:
//   Amplifier:      IF = RF, no image, the LO is not used.
//   Down-converter: LSB  RF = LO - IF, so IF = LO - RF (LO above the RF)
//                   USB  RF = LO + IF, so IF = RF - LO (LO below the RF)
//                   DSB  either side:   IF = |RF - LO|
//                   The IF must lie below the RF.
//   Up-converter:   USB  IF = LO + RF (the sum product)
//                   LSB  IF = LO - RF (the difference, inverted)
//                   The IF must lie above the RF; an up-converter has no
//                   double-sideband plan (the receiver listens to one
//                   product; an unfiltered mixer is USB or LSB with an image
//                   rejection of 0 dB).
// The image is the other input frequency that the LO converts to the same
// IF: |2 LO - RF| for a down-converter and for an LSB up-converter (mixing
// products fold at 0 Hz), 2 LO + RF for a USB up-converter.
//
// Image correction, temperatures in kelvin: a converter driven by a
// broadband source receives the source in the wanted sideband with power
// gain Gs and in the image with Gi = Gs / IR. The amplifier formula of
// `cascade` (YFactor.h) credits all of the output step to the wanted
// sideband; with rho = 1 / IR and r = (Th_i - Tc_i) / (Th - Tc) the excess
// at the image relative to the wanted sideband, the device's own figures
// are
//   Gs     = Ga / (1 + rho r)
//   Te_ssb = (1 + rho r)(Ta + Tc) - Tc + rho (T0 - Tc_i)
// where Ga, Ta are the amplifier formula's gain and noise temperature and
// Te_ssb is the single-sideband noise temperature of the IEEE definition:
// the image input terminated at T0 = 290 K, its noise counted as the
// device's. IR -> infinity gives Gs = Ga, Te_ssb = Ta. With equal excess
// at both sidebands (r = 1) and one cold temperature (Tc_i = Tc), whatever
// its value, Te_ssb = (1 + rho) Ta + rho T0, so F_ssb = (1 + rho) F_a and
// Gs = Ga / (1 + rho): a double-sideband device (IR = 0 dB) has its noise
// figure 3.01 dB above and its gain 3.01 dB below the amplifier reading.

#include "physics/YFactor.h"

#include <optional>

namespace physics {

enum class DeviceMode { Amplifier, DownConverter, UpConverter };
enum class Sideband { Lsb, Usb, Dsb };

// Why a frequency plan or a correction was refused; None when it was not.
enum class ConverterError {
    None,
    NotFinite,               // an input is NaN or infinite (IR may be +infinite)
    RfNotPositive,           // RF at or below 0 MHz
    LoNotPositive,           // a converter with an LO at or below 0 MHz
    IfNotPositive,           // the sideband puts the IF at or below 0 MHz
    IfNotBelowRf,            // a down-converter whose IF is not below its RF
    IfNotAboveRf,            // an up-converter whose IF is not above its RF
    DsbUpConverter,          // an up-converter given DSB
    NoExcessAtRf,            // source hot not above cold at the RF
    NegativeExcessAtImage,   // source hot below cold at the image
    ImageRejectionBelowZero, // the image received more strongly than the RF
    GainNotPositive,         // amplifier-formula gain at or below 0
};

struct FrequencyPlan {
    ConverterError error = ConverterError::None;
    double ifMhz = 0;               // where the receiver listens
    std::optional<double> imageMhz; // none for an amplifier
    bool ok() const { return error == ConverterError::None; }
};

// The IF and the image of an RF for a device mode, an LO and a sideband.
FrequencyPlan frequencyPlan(DeviceMode mode, double loMhz, Sideband sideband, double rfMhz);

// The image rejection (dB) that the correction is to use: +infinity for an
// amplifier (no image), 0 dB for DSB (both sidebands alike), otherwise the
// device's own figure.
double imageRejectionFor(DeviceMode mode, Sideband sideband, double imageRejectionDb);

struct ImageCorrectionInput {
    double te = 0;   // amplifier-formula noise temperature of the device, K
    double gain = 0; // amplifier-formula gain, linear
    // Source temperatures at the device input (behind attenuator 1) at the
    // RF, as the device path of `cascade` used them, K.
    double tHot = 0, tCold = 0;
    // The same at the image frequency; the RF values when not given.
    std::optional<double> tHotImage, tColdImage;
    double imageRejectionDb = 0; // IR >= 0 dB; +infinity: no image response
};

struct ImageCorrection {
    ConverterError error = ConverterError::None;
    DeviceResult device; // single-sideband gain and IEEE SSB Te, NF
    double factor = 1;   // 1 + rho r: how much the amplifier formula over-reads the gain
    bool ok() const { return error == ConverterError::None && device.ok; }
};

// Refers an amplifier-formula result to the wanted sideband (see above).
ImageCorrection correctForImage(const ImageCorrectionInput &in);

} // namespace physics
