#pragma once
// Y-factor noise measurement of a receiver alone and of a device in front of
// it, with the attenuators at their physical temperatures and the
// second-stage correction. Numbers in, a result struct out; no state, any
// thread.
//
// Set-up: noise source -> attenuator 1 (at tAtt1) -> [device under test] ->
// attenuator 2 (at tAtt2) -> instrument (receiver + sound card).
//
// Calibration path (no device): both attenuators lie between source and
// instrument, so the instrument sees the source temperatures Th2/Tc2. With
// the detector power P = k (T_in + Te) the Y factor Y = P_hot / P_cold gives
// Te = (Th - Y Tc) / (Y - 1).
//
// Device path: only attenuator 1 lies before the device, so the combination
// sees Th12/Tc12 and yields Te12 at the device input. The device gain
// follows from the two power steps per kelvin:
//   G1 = (dP12 / dP2) * (Th2 - Tc2) / (Th12 - Tc12) * L22,
// L22 being the linear loss of attenuator 2 after the device. The second
// stage behind the device is attenuator 2 (Te = (L22 - 1) tAtt2) followed by
// the instrument (Te2, referred to the attenuator input: L22 Te2), hence
//   Te1 = Te12 - (L22 - 1) tAtt2 / G1 - L22 Te2 / G1.
//
// Temperatures in kelvin, losses and gains in dB at the interface, linear
// power ratios inside; a noise figure is 10 log10(1 + Te / 290 K).

#include <optional>

namespace physics {

// How the detector levels are written: dB (10 log10 of power), power, or an
// RMS voltage (power goes as its square).
enum class LevelUnits { Db, Watt, Volt };

// A pair of levels with the source off (lo) and on (hi).
struct LevelPair {
    double lo = 0;
    double hi = 0;
};

// Linear power ratio Y = P_hi / P_lo and power step dP = P_hi - P_lo of a
// level pair, in the units the levels are written in. Y stays 0 when it
// cannot be formed (lo not positive for Watt or Volt).
struct PowerRatio {
    double Y = 0;
    double dP = 0;
};
PowerRatio powerRatio(LevelUnits units, LevelPair levels);
// The linear power of one level written in `units` (dB relative to full
// scale, a power, or an rms voltage), on a scale common to all levels in
// those units.
double levelPower(LevelUnits units, double level);

struct CascadeInput {
    double tHot = 0, tCold = 0;  // noise source temperatures, K
    double tAtt1 = 0, tAtt2 = 0; // physical temperatures of the attenuators, K
    double att11 = 0, att12 = 0; // attenuators 1 and 2 in the calibration path, dB
    double att21 = 0, att22 = 0; // attenuators 1 and 2 in the device path, dB
    LevelUnits units = LevelUnits::Db;
    std::optional<LevelPair> instrument; // calibration levels, when measured
    std::optional<LevelPair> combined;   // device + instrument levels, when measured
    // Mismatch between the noise source and the port it drives, as factors
    // on the noise temperature it delivers (1: matched): into the instrument
    // in the calibration path (cal) and into the device in the device path
    // (dev), source on (hot) and off (cold). The uncertainty budget varies
    // them; the sheet's results leave them at 1.
    double calHotMatch = 1, calColdMatch = 1, devHotMatch = 1, devColdMatch = 1;
    // The source's temperatures in the calibration path when they differ
    // from those of the device path (K): a frequency-converting device is
    // measured at its RF, the receiver alone is calibrated at the IF, where
    // the source's ENR is another. tHot / tCold when absent.
    std::optional<double> calTHot = std::nullopt, calTCold = std::nullopt;
};

// One Y-factor measurement. ok: every quantity below is finite (a Y of
// exactly 1, the logarithm of a non-positive ratio or an overflow make it
// false); te may still be zero or negative, then nfDb is NaN.
struct YFactorResult {
    bool ok = false;
    double tHot = 0, tCold = 0; // source temperatures at the input measured, K
    double Y = 0;               // linear power ratio
    double dP = 0;              // power step, level units
    double yDb = 0;             // Y in dB
    double te = 0;              // effective input noise temperature, K
    double nfDb = 0;            // noise figure, dB (NaN when te <= 0)
};

// The device alone, after removing the second stage. ok: finite G1, te, gainDb.
struct DeviceResult {
    bool ok = false;
    double gain = 0; // linear
    double gainDb = 0;
    double te = 0;   // K
    double nfDb = 0; // dB (NaN when te <= 0)
};

struct CascadeResult {
    YFactorResult instrument; // calibration path: the receiver alone
    YFactorResult combined;   // device path: device followed by the receiver
    DeviceResult device;      // needs both paths ok and instrument.te > 0
};

// Y-factor measurement of a receiver presented tHot / tCold (K).
YFactorResult yFactor(double tHot, double tCold, LevelUnits units, LevelPair levels);
// The whole cascade: each path that has levels, then the device.
CascadeResult cascade(const CascadeInput &in);

} // namespace physics
