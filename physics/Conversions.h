#pragma once
// Unit conversions of noise measurement: decibels, noise temperature and
// noise figure, the excess noise ratio of a noise source, and the noise
// temperature seen through a lossy attenuator. Pure functions, any thread.
//
// Temperatures in kelvin, ratios as linear power ratios, dB = 10 log10.

// ln 10: every ratio r in dB is 10 * ln(r) / Ln10.
inline constexpr double Ln10 = 2.302585092994046;

namespace physics {

// Reference temperature of noise figure and ENR (IEEE standard), K.
inline constexpr double kT0 = 290.0;

// Linear power ratio in dB (NaN for a negative ratio, -inf for 0).
double toDb(double ratio);
// dB to a linear power ratio.
double fromDb(double db);
// Noise figure in dB of an effective input noise temperature te (K):
// 10 log10(1 + te / 290 K); NaN for te <= -290 K.
double noiseFigureDb(double te);
// Effective input noise temperature (K) of a noise figure in dB.
double noiseTemperature(double nfDb);
// Noise temperature (K) seen through an attenuator of loss lossDb (dB) at
// physical temperature tPhys (K) when t (K) is presented to it:
// t / L + tPhys (L - 1) / L with L the linear loss.
double AttenuatorTemp(double t, double tPhys, double lossDb);
// Noise source: excess noise ratio (dB) against the 290 K reference,
// ENR = 10 log10((Thot - 290 K) / 290 K); NaN for Thot <= 290 K, where the
// source adds no excess noise. ThotFromEnr is its inverse (K).
double EnrFromThot(double thot);
double ThotFromEnr(double enrDb);
// The hot temperature (K) of a source whose physical temperature when off is
// tOffK: the excess noise the ENR states (referred to 290 K) on top of the
// source's own thermal noise, 290 K * 10^(ENR/10) + tOffK. With tOffK =
// 290 K it is ThotFromEnr(enrDb), to the last bit.
double ThotFromEnr(double enrDb, double tOffK);

} // namespace physics
