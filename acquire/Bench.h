#pragma once
// The virtual bench: a simulated noise source, two attenuators, a device
// under test (DUT), a receiver and a sound card, so that a complete Y-factor
// measurement can be taken without hardware.
//
// The model follows the physics of the real set-up. The source presents
// Tcold when off and Thot = 290 K * 10^(ENR/10) + Tcold when on: the ENR
// states the excess noise against the 290 K reference, and a source away
// from 290 K adds its own thermal noise to it (at Tcold = 290 K, Thot =
// 290 (10^(ENR/10) + 1) K). In the
// calibration path it reaches the receiver through Att11 (at Tatt1) and
// Att12 (at Tatt2); in the combined path through Att21 (at Tatt1), the DUT
// (gain G, noise temperature Te) and Att22 (at Tatt2). An attenuator of loss
// L (linear) at physical temperature Tp turns T into T/L + Tp (L - 1)/L.
// The receiver adds its own noise temperature Trx and has a power gain Grx
// from its input (W) to the sound card (mean square relative to full scale,
// a full-scale square wave being 1), so the receiver's audio power is
//     k (T + Trx) Grx ENBW
// with k Boltzmann's constant and ENBW the noise bandwidth (Hz) of the audio
// band-pass (fourth-order Butterworth high-pass and low-pass at the band
// edges). The sound card adds its own white noise floor and a DC offset,
// quantises to 16 bits and clips at full scale.
//
// Noise comes from std::mt19937_64 seeded with the settings' seed; every
// recording advances it, so a run of readings is repeatable from the seed.
//
// The attenuators are the main window's: while the bench is the source of
// the readings, its owner gives it the sheet's attenuator fields
// (attenuatorsFrom, setAttenuators) and Frequency field (sheetMhzFrom,
// setSheetMhz), so the fields the user types are the bench's truth. A
// recording with attenuators the bench cannot simulate fails with the
// reason.
//
// Frequency. The bench works at one frequency at a time, tunedMhz(): the
// frequency last given to tuneTo() (the frequency the receiver reported
// after each tuning of a sweep), or before any tuneTo() the main window's
// Frequency field as last given to setSheetMhz(), else kDefaultMhz. The
// DUT's gain and noise figure follow BenchSettings::dutResponse and the
// source's ENR follows BenchSettings::sourceEnr at that frequency (linear in
// dB between points, constant outside; acquire/BenchResponse.h); an empty
// list means the constant dutGainDb/dutNfDb or enrDb. truthAt() gives the
// true values at any frequency, truth() those at tunedMhz(). The receiver's
// own noise figure and gain do not depend on frequency.
//
// Its sound card and serial port (audio(), serial()) are devices like the
// real ones: whoever reads from the bench uses them directly; the bench
// never rewires anything. User-interface thread only.

#include "acquire/BenchDevices.h"
#include "acquire/BenchResponse.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <utility>

class Sheet;

// Ranges the bench accepts (the bench window's spin boxes use them too).
namespace BenchRange {
inline constexpr double enrMinDb = -10, enrMaxDb = 45;
inline constexpr double tcoldMinK = 0, tcoldMaxK = 100000;
inline constexpr double gainMinDb = -30, gainMaxDb = 60;
inline constexpr double nfMinDb = 0, nfMaxDb = 40;
inline constexpr double rxGainMinDb = 0, rxGainMaxDb = 250;
inline constexpr double bandMinHz = 20, bandMaxHz = 90000;
// Below about -95 dB full scale the floor (half a 16-bit step rms) would
// vanish in the rounding instead of adding step^2/12 of quantisation noise.
inline constexpr double floorMinDbfs = -95, floorMaxDbfs = -20;
inline constexpr double dcMax = 0.5; // |offset| in full scale
inline constexpr double driftMaxDbPerMin = 10; // |receiver gain drift|
inline constexpr double attMaxDb = 200, tattMaxK = 1e6;
// Highest band edge as a fraction of the sample rate (keeps the low-pass
// well below the Nyquist frequency).
inline constexpr double bandMaxOfRate = 0.45;
} // namespace BenchRange

// The bench's true values, as the user sets them in the bench window.
struct BenchSettings {
    double enrDb = 15.0;      // source excess noise ratio (dB)
    double tcoldK = 290.0;    // source off (K)
    double dutGainDb = 20.0;  // DUT available gain (dB)
    double dutNfDb = 1.5;     // DUT noise figure (dB)
    double rxNfDb = 10.0;     // receiver noise figure (dB)
    // Full-scale mean square per watt at the receiver input (dB). The default
    // puts the loudest reading (DUT in path, source on) near -26 dB full
    // scale: Gaussian noise then stays 8 sigma inside the 0.4 full-scale
    // clipping limit, and the quietest reading still lies 39 dB above the
    // sound card's floor.
    double rxGainDb = 109.0;
    double bandLowHz = 300.0;  // audio band-pass lower edge (Hz, -3 dB)
    double bandHighHz = 2700.0;// audio band-pass upper edge (Hz, -3 dB)
    double floorDbfs = -90.0;  // sound card's own white noise, mean square (dB full scale)
    double dcOffset = 0.002;   // sound card's DC offset (full scale)
    quint64 seed = 1;
    // The receiver's gain drifts by this much per minute of the bench's own
    // clock (dB/min; the recorded samples' time since the noise restarted),
    // as a receiver warming up does: the slow change that averaging cannot
    // remove and interleaved hot and cold readings cancel.
    double gainDriftDbPerMin = 0.0;
    // False: a source that never switches (a dead supply, a broken DTR
    // line): it stays at Tcold whatever the port or the manual switch says.
    bool sourceSwitches = true;
    // DUT gain and noise figure against frequency; empty = dutGainDb and
    // dutNfDb at every frequency.
    QVector<BenchResponsePoint> dutResponse = BenchResponse::defaultDutResponse();
    // The source's ENR against frequency; empty = enrDb at every frequency.
    QVector<BenchEnrPoint> sourceEnr;
};

// Losses (dB) and physical temperatures (K) of the two attenuators.
struct BenchAttenuators {
    double att11 = 0, att12 = 0; // calibration path
    double att21 = 0, att22 = 0; // combined path: before / after the DUT
    double tatt1 = 290, tatt2 = 290;
};

// The switches of the bench at one moment.
struct BenchState {
    bool sourceOn = false;          // noise source powered (hot)
    bool combined = false;          // DUT in the path
    bool receiverConnected = true;  // receiver audio reaches the sound card
};

// True values derived from the settings, to compare with what TQX measures.
struct BenchTruth {
    double mhz = 0;                        // the frequency these values hold at (MHz)
    double enrDb = 0;                      // source ENR (dB)
    double thotK = 0, tcoldK = 0;          // source (K)
    double dutGainDb = 0, dutTeK = 0, dutNfDb = 0;
    double rxTeK = 0, rxNfDb = 0;          // receiver alone
};

class Bench
{
public:
    static constexpr double kBoltzmann = 1.380649e-23; // J/K
    static constexpr double kT0 = 290.0;               // reference temperature (K)
    static constexpr int kDisplayRate = 48000;         // rate for expectations before any recording (Hz)
    static constexpr double kDefaultMhz = 144.0;       // frequency without tuning or sheet (MHz)

    Bench();
    ~Bench();
    Bench(const Bench &) = delete;
    Bench &operator=(const Bench &) = delete;

    // --- true values ------------------------------------------------------
    const BenchSettings &settings() const { return m_settings; }
    // Takes new settings; a changed seed restarts the noise from it.
    void setSettings(const BenchSettings &s);
    // Restarts the noise generator from the settings' seed, and the bench's
    // clock from 0.
    void reseed();
    // Empty when the bench can simulate `s`, else a message for the user.
    static QString validate(const BenchSettings &s);
    static QString validate(const BenchAttenuators &a);

    const BenchAttenuators &attenuators() const { return m_atts; }
    void setAttenuators(const BenchAttenuators &a) { m_atts = a; }
    // The attenuator fields of the sheet (Att11, Att12, Att21, Att22 in dB,
    // Tatt1, Tatt2 in K), as the results calculation reads them.
    static BenchAttenuators attenuatorsFrom(const Sheet &sheet);

    // True values at `mhz` (MHz), and at the frequency the bench works at.
    BenchTruth truthAt(double mhz) const;
    BenchTruth truth() const { return truthAt(tunedMhz()); }

    // --- frequency --------------------------------------------------------
    // The receiver is now tuned to `mhz` (MHz, finite and above 0; anything
    // else is ignored).
    void tuneTo(double mhz);
    // Forgets the last tuneTo(): the main window's Frequency rules again.
    void clearTuning();
    // The main window's Frequency field (MHz), the frequency the bench works
    // at while no tuneTo() holds. Anything not finite or not above 0 (NaN
    // is the start value) means kDefaultMhz.
    void setSheetMhz(double mhz);
    // The sheet's Frequency field as a number (0 when it holds none).
    static double sheetMhzFrom(const Sheet &sheet);
    bool isTuned() const { return m_tuned; }
    // The frequency the bench's devices work at (MHz), see above.
    double tunedMhz() const;

    // --- switches ---------------------------------------------------------
    // Manual switches, used while the virtual port is closed.
    void setManualSource(bool on);
    void setManualCombined(bool on);
    void setReceiverConnected(bool on);
    bool manualSource() const { return m_manualSource; }
    bool manualCombined() const { return m_manualCombined; }
    bool receiverConnected() const { return m_receiverConnected; }
    // The virtual port: while open, DTR is the source and RTS the path.
    void setPortLines(bool open, bool dtr, bool rts);
    bool portOpen() const { return m_portOpen; }
    // The switches now in force.
    BenchState state() const;

    // --- the model --------------------------------------------------------
    // Noise temperature presented to the receiver input (K), without the
    // receiver's own noise.
    double receiverInputTempK(const BenchState &st) const { return receiverInputTempK(st, m_atts); }
    double receiverInputTempK(const BenchState &st, const BenchAttenuators &a) const;
    // Noise bandwidth of the audio band-pass, integral of |H|^2 (Hz), and
    // its statistical bandwidth (integral |H|^2)^2 / integral |H|^4 (Hz):
    // a mean square over T seconds has 2 B T degrees of freedom with the
    // latter.
    double noiseBandwidthHz(int rate) const;
    double statisticalBandwidthHz(int rate) const;
    // Expected mean square (full scale = 1) of a reading in state `st`
    // after DC removal: receiver audio, sound-card floor and 16-bit
    // quantisation noise. Clipping is not modelled here.
    double expectedMeanSquare(const BenchState &st, int rate) const { return expectedMeanSquare(st, rate, m_atts); }
    double expectedMeanSquare(const BenchState &st, int rate, const BenchAttenuators &a) const;
    // The sound card alone (receiver disconnected): floor plus quantisation.
    double floorMeanSquare() const;

    // Generates `samples` samples at `rate` Hz for state `st`. Empty on
    // success; otherwise a message and `out` is empty.
    QString generate(const BenchState &st, int rate, qint64 samples, QVector<qint16> &out);
    // Rate of the last recording (kDisplayRate before the first one).
    int lastRate() const { return m_lastRate; }
    // The bench's clock: seconds of samples generated since the noise last
    // restarted. The receiver's gain drift runs on it.
    double clockS() const { return m_clockS; }
    // The receiver's gain now (dB full scale per W): rxGainDb plus the drift
    // so far.
    double currentRxGainDb() const
    {
        return m_settings.rxGainDb + m_settings.gainDriftDbPerMin * m_clockS / 60.0;
    }

    // --- devices -----------------------------------------------------------
    // The bench's sound card and serial port, owned by the bench: the
    // readings' devices while the bench is their source.
    BenchAudio &audio() { return m_audio; }
    BenchSerial &serial() { return m_serial; }

    // Called after every change of the switches in force and after every
    // recording (the bench window shows them). Not owned.
    void setListener(std::function<void()> listener) { m_listener = std::move(listener); }

private:
    void notify() const;
    // Noise and statistical bandwidth (Hz) of the band-pass at `rate`,
    // computed once per rate and band.
    std::pair<double, double> bandwidths(int rate) const;

    BenchSettings m_settings;
    BenchAttenuators m_atts;
    bool m_manualSource = false;
    bool m_manualCombined = false;
    bool m_receiverConnected = true;
    bool m_portOpen = false;
    bool m_portDtr = false;
    bool m_portRts = false;
    int m_lastRate = kDisplayRate;
    double m_clockS = 0; // see clockS()
    bool m_tuned = false;
    double m_tunedMhz = kDefaultMhz;
    double m_sheetMhz = std::numeric_limits<double>::quiet_NaN();

    std::mt19937_64 m_rng;
    std::normal_distribution<double> m_normal{0.0, 1.0};

    BenchAudio m_audio{*this};
    BenchSerial m_serial{*this};
    std::function<void()> m_listener;

    struct BandwidthCache {
        int rate = 0;
        double lowHz = 0, highHz = 0;
        double noiseHz = 0, statisticalHz = 0;
    };
    mutable BandwidthCache m_bwCache;
};
