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
// source's ENR follows BenchSettings::sourceEnr at that frequency (for a
// converter, below: the DUT at the RF, the ENR at IF, RF and image; linear in
// dB between points, constant outside; acquire/BenchResponse.h); an empty
// list means the constant dutGainDb/dutNfDb or enrDb. truthAt() gives the
// true values at any frequency, truth() those at tunedMhz(). The receiver's
// own noise figure and gain do not depend on frequency.
//
// Converter. The DUT may be a frequency converter (BenchSettings::converter,
// physics/Converter.h): mode, LO (MHz), the sideband it converts as its
// wanted one, image rejection IR (dB). "RF" is where the source and the
// DUT's input work, "IF" where the receiver listens. A down-converter takes
// RF = LO - IF (LSB) or LO + IF (USB); an up-converter gives IF = LO + RF
// (USB) or LO - RF (LSB). The bench has no DSB setting: a double-sideband
// device is one with IR 0 dB (the image received as strongly as the RF),
// so that every IF has one RF. tunedMhz() is the receiver's frequency, the
// IF: a tuneTo() gives it (a rig tunes the receiver), the sheet's Frequency
// (setSheetMhz) is the RF and the bench works out the IF from its own LO and
// sideband. rfMhz() is the RF. A frequency the plan refuses (an LSB
// down-converter with its LO below the RF, an IF with no RF) makes every
// recording fail with the reason (frequencyError()).
//   Calibration path: the source at the IF (its ENR there) through Att11
// and Att12 to the receiver. Combined path: the source at the RF (Ts) and at
// the image (Ts_i, the ENR there) through Att21 (Ta, Ta_i behind it), then
//     T_out = Gs (Ta + T_own) + Gi Ta_i,   Gi = Gs / IR (linear),
// through Att22 to the receiver at the IF. Gs and T_own follow dutResponse
// (or dutGainDb, dutNfDb) at the RF: the typed gain is the single-sideband
// gain, the typed noise figure the converter's own noise T_own = 290 K
// (10^(NF/10) - 1), referred to its input in the wanted sideband. The IEEE
// single-sideband noise temperature (image terminated at 290 K, its noise
// counted as the device's) is then Te_ssb = T_own + 290 K / IR, so any typed
// value is a possible device; a DSB device of NF 0 dB has Te_ssb = 290 K.
// An amplifier is Gi = 0 at one frequency: the bench as it always was.
//
// Its sound card and serial port (audio(), serial()) are devices like the
// real ones: whoever reads from the bench uses them directly; the bench
// never rewires anything. User-interface thread only.

#include "acquire/BenchDevices.h"
#include "acquire/BenchResponse.h"
#include "physics/Converter.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
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

// The bench DUT as a frequency converter (see the header comment).
struct BenchConverter {
    physics::DeviceMode mode = physics::DeviceMode::Amplifier; // Amplifier: LO and the rest unused
    double loMhz = 9750.0;                                     // local oscillator (MHz)
    physics::Sideband sideband = physics::Sideband::Usb;       // Lsb or Usb; Dsb is refused
    double imageRejectionDb = 0;                               // IR (dB), 0: a DSB device

    bool converter() const { return mode != physics::DeviceMode::Amplifier; }
};

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
    // The DUT as a converter; the default amplifier is the plain bench.
    BenchConverter converter;
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
// For an amplifier the IF is the RF, there is no image and the amplifier
// formula's reading is the DUT's own figures.
struct BenchTruth {
    double mhz = 0;                        // the RF these values hold at (MHz)
    double enrDb = 0;                      // source ENR at the RF (dB)
    double thotK = 0, tcoldK = 0;          // source at the RF (K)
    // The DUT's true figures: for a converter its single-sideband gain Gs
    // and IEEE single-sideband Te and NF, what a measurement in its own
    // device mode recovers.
    double dutGainDb = 0, dutTeK = 0, dutNfDb = 0;
    double rxTeK = 0, rxNfDb = 0;          // receiver alone
    // Converter only (else 0, and ifMhz = mhz). An empty planError: the
    // frequencies hold; otherwise why the bench refuses this RF.
    QString planError;
    double ifMhz = 0, loMhz = 0, imageMhz = 0; // MHz
    double enrIfDb = 0, thotIfK = 0;           // source at the IF: the calibration path
    double enrImageDb = 0;                     // source at the image (dB)
    double ownTeK = 0;                         // T_own: the typed noise figure (K)
    // What the amplifier formula reads (a measurement in Amplifier mode, or
    // with no image response): Ga = Gs (1 + r / IR), r the source's excess at
    // the image over that at the RF, and Ta from Ga (Ta + Tc) = Gs (Tc +
    // T_own) + Gi Tc_i, Tc the source's Tcold behind Att21 at Tatt1. readNfDb
    // is NaN when Ta is at or below -290 K.
    double readGainDb = 0, readTeK = 0, readNfDb = 0;
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

    // True values with the DUT's input at `mhz` (MHz, the RF; for an
    // amplifier also where the receiver listens), and at the RF the bench
    // works at now.
    BenchTruth truthAt(double mhz) const;
    BenchTruth truth() const { return truthAt(rfMhz()); }

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
    // The receiver's frequency (MHz): for a converter the IF, see above. When
    // the plan refuses the sheet's RF there is no IF: the RF, so that the
    // value stays a number (frequencyError() says why).
    double tunedMhz() const;
    // The RF at the DUT's input (MHz): the sheet's, or for a tuned converter
    // the RF of the receiver's IF (the IF itself when there is none).
    double rfMhz() const;
    // Empty when the converter's plan holds at the frequency now, else why
    // not (recordings then fail with it).
    QString frequencyError() const;

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
    // The sheet's RF, or kDefaultMhz.
    double sheetRfMhz() const;
    // For a tuned converter: the RF of the receiver's IF, if any.
    std::optional<double> rfOfTunedIf() const;
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
