#pragma once
// Repeatability of the noise figures: the scatter the readings' own
// statistics predict, and the scatter a run of repeated measurements shows.
//
// Predicted: a reading is the mean square of noise of statistical
// bandwidth B over T seconds, a chi-square mean of 2 B T degrees of
// freedom, so its power scatters by 1/sqrt(B T) (relative, 1 sigma). B is
// the uncertainty budget's (typed, the virtual bench's or the uncertainty
// calculator's); T is the Interval times Session::Averages, the recording
// time behind each level. The budget's model (physics/Budget.h) carries
// that scatter through the cascade: its Noise11..Noise22 contributions,
// root-sum-square over the readings that are repeated, are the predicted
// 1 sigma of NF(1) (the device) and NF(2) (the instrument).
//
// Observed: the sample standard deviation of M noise figures (M - 1 degrees
// of freedom) with its 95 % chi-square interval (physics::sigmaInterval).
// A run is suspicious when the observed exceeds twice the predicted (with
// 9 degrees of freedom a sample standard deviation exceeds twice the true
// one about 4 times in 100 000), or when some repeats gave a noise figure and others
// none: the scatter then has a cause beyond the readings' statistics.
//
// User-interface (instrument) thread.

#include "physics/ChiSquare.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class Instrument;
class Sheet;

// The readings whose scatter a prediction counts.
enum class RepeatedReadings {
    All,         // the whole measurement: Noise LO and HI (2) and (12)
    Calibration, // the pair (2) only
    Device,      // the pair (12) only
};

// 1 sigma (dB); none where it cannot be computed (no result, no bandwidth,
// a budget without numbers).
struct NfPair {
    std::optional<double> dut; // NF(1)
    std::optional<double> rx;  // NF(2)
};

NfPair predictRepeatability(Instrument &m, RepeatedReadings which = RepeatedReadings::All);

// NF(1) and NF(2) of the sheet's levels, unrounded (the cascade of the
// results calculation); none where the sheet shows none.
NfPair sheetNoiseFigures(const Sheet &s);

struct RepeatObserved {
    int count = 0;                // repeats with a noise figure
    int missing = 0;              // repeats without one
    double sd = 0;                // sample standard deviation (dB); count >= 2
    physics::SigmaInterval range; // its 95 % interval
};
RepeatObserved observedScatter(const std::vector<std::optional<double>> &values);

// Too much scatter for the prediction (see above); false while fewer than
// two results or no prediction.
bool repeatSuspicious(const RepeatObserved &o, std::optional<double> predicted);

// "±0.13 dB predicted (1σ)"; empty without a prediction.
QString predictedText(std::optional<double> sigmaDb);
// "±0.15 dB observed (95 %: 0.10 to 0.27)", or how many repeats gave no
// noise figure; empty before two results.
QString observedText(const RepeatObserved &o);
// What to look for when the observed is too large.
QString repeatHint();

// A run of M repeats. Series: the instrument's measurement series takes the
// whole measurement M times, switching the source through the serial port.
// By hand: the user repeats a pair of readings with its buttons; each time
// both levels of a pair have changed at the end of an operation, the noise
// figures are collected. Each result keeps the prediction at that moment;
// the run compares with their root mean square.
class RepeatRun : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Series, ByHand };
    static constexpr int kMinRepeats = 2, kMaxRepeats = 1000, kDefaultRepeats = 10;

    explicit RepeatRun(Instrument &m, QObject *parent = nullptr);

    // Forgets the previous run and starts collecting `count` results
    // (kMinRepeats..kMaxRepeats). False with a message when the
    // measurement series cannot start.
    bool start(Mode mode, int count);
    // Ends the collection; the results so far stay.
    void stop();
    void clear();

    bool collecting() const { return m_collecting; }
    Mode mode() const { return m_mode; }
    int target() const { return m_target; }
    int taken() const { return static_cast<int>(m_dut.size()); }
    RepeatedReadings readings() const;

    RepeatObserved observedDut() const { return observedScatter(m_dut); }
    RepeatObserved observedRx() const { return observedScatter(m_rx); }
    // Root mean square of the predictions kept with the results.
    NfPair predicted() const;
    // The main window's line under NF(1) / NF(2): progress while collecting,
    // then the observed scatter.
    QString statusDut() const;
    QString statusRx() const;
    bool suspiciousDut() const { return repeatSuspicious(observedDut(), predicted().dut); }
    bool suspiciousRx() const { return repeatSuspicious(observedRx(), predicted().rx); }

    // One finished measurement (the series' and the by-hand path's entry).
    void take(const NfPair &nf, const NfPair &prediction);

Q_SIGNALS:
    void changed();

private:
    void operationEnded();
    QString status(const RepeatObserved &o) const;

    Instrument &m_instrument;
    Mode m_mode = Mode::ByHand;
    bool m_collecting = false;
    int m_target = kDefaultRepeats;
    bool m_calRepeated = false, m_devRepeated = false;
    QString m_levels[4]; // the level texts at the last result
    std::vector<std::optional<double>> m_dut, m_rx;
    std::vector<std::optional<double>> m_predDut, m_predRx;
};
