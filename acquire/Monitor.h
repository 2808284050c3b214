#pragma once
// The live input monitor: what the sound card hears while the operator sets
// up the receiver, between readings.
//
// It streams one audio input (IAudio::stream: the sound card's, or on the
// virtual bench the bench's), fixed for its life, at the template's rate and reduces it, window by
// window, with the very analysis a reading uses (physics::LevelAnalysis: the
// 20 Hz DC tracker and the mean square), so that its level agrees with the
// level fields:
//   - the level of each 50 ms window (20 updates a second) and the level
//     of the last second (the mean of those mean squares), in dBFS: 10
//     log10 of the mean square relative to a full-scale square wave, the
//     scale of the level fields;
//   - the peak of the DC-removed samples over the last second, and a
//     clipping warning when one exceeded the 0.4 full-scale limit readings
//     use (whatever the limits option says);
//   - the headroom: how far the level may still rise (dB) before it
//     reaches kHotCeilingDbfs, the highest level at which a hot reading of
//     Gaussian noise keeps its peaks inside the clipping limit;
//   - the level history of the last 60 s, ten points a second;
//   - the Welch spectrum of the last 1.4 s and the receiver's passband
//     with its equivalent noise bandwidth, and the line that stands most
//     clearly above the noise, if any (physics/Welch.h).
//
// The analysis pauses while an operation runs (setPaused: the sound card
// belongs to the reading) and starts afresh when it ends. When the stream
// fails (the device unplugged, the server gone) the monitor stops with the
// device's message; it never waits on the device. Listening to another
// device takes another Monitor.
//
// User-interface thread only (it creates an FFTW plan). The audio device
// given at construction is not owned and outlives the monitor.

#include "physics/Welch.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <deque>
#include <memory>
#include <vector>

class AudioJob;
class IAudio;
struct AudioStatus;

class Monitor : public QObject
{
    Q_OBJECT
public:
    // Level (dBFS) the hot reading should stay below: Gaussian noise at
    // this level keeps 7 standard deviations inside the 0.4 full-scale
    // clipping limit (20 log10(0.4 / 7) = -24.9).
    static constexpr double kHotCeilingDbfs = -25.0;
    static constexpr int kWindowsPerSecond = 20; // level windows (updates) per second
    static constexpr int kHistorySeconds = 60;
    static constexpr int kHistoryPerSecond = 10;
    // Shown for a level of no power at all (dBFS).
    static constexpr double kFloorDbfs = -140.0;

    enum class State { Stopped, Running, Paused, Failed };

    // Listens to `audio` (null: start() fails with a message) at the rate
    // of the template wave `templateWave`.
    Monitor(IAudio *audio, const QString &templateWave, QObject *parent = nullptr);
    ~Monitor() override;

    // Starts streaming at the template's rate (48000 Hz when the template
    // cannot be opened; a template a reading would refuse - not a supported
    // wave file, or a rate outside kMinWaveRate..kMaxWaveRate - fails the
    // monitor). A refusal arrives as `failed` from the event loop.
    void start();
    void stop();
    // An operation (a reading, a sweep, a playback) runs: the blocks are
    // not analysed until it has ended, and the analysis then starts afresh.
    // Connect it to the instrument's busyChanged; call it once after
    // construction when an operation may already run.
    void setPaused(bool busy);
    State state() const { return m_state; }
    int rate() const { return m_rate; }
    // The failure that stopped the monitor, empty otherwise.
    const QString &message() const { return m_message; }

    // Levels in dBFS (kFloorDbfs for no power); valid once `updated` came.
    double windowDb() const { return m_windowDb; }
    double levelDb() const { return m_levelDb; }
    double levelMs() const { return m_levelMs; }   // mean square of the last second (full scale = 1)
    double peakDbfs() const { return m_peakDbfs; } // 20 log10 of the peak (full scale = 1)
    bool clipping() const { return m_clipping; }
    double headroomDb() const { return kHotCeilingDbfs - m_levelDb; }
    // Oldest first, kHistoryPerSecond points a second, at most 60 s.
    const std::deque<double> &history() const { return m_history; }

    // PSD (FS^2/Hz, bins binHz() apart, from 0 Hz) and its passband.
    const std::vector<double> &spectrum() const { return m_psd; }
    double binHz() const { return m_spectrum ? m_spectrum->binHz() : 0.0; }
    const physics::Passband &passband() const { return m_passband; }

    // Feeds samples as the stream would (the engine behind onBlock; public
    // for benchmarks that time the analysis alone).
    void process(const qint16 *x, qsizetype n);

Q_SIGNALS:
    void updated();         // a new window: levels, history
    void spectrumUpdated(); // a new spectrum, four times a second
    void stateChanged(Monitor::State state);
    void failed(const QString &message);

private:
    void onBlock(const QVector<qint16> &block);
    void onFinished(const AudioStatus &status);
    void setState(State s);
    void refuse(const QString &message); // fails from the event loop with `message`
    void restartAnalysis();

    IAudio *m_audio; // the device listened to, not owned
    QString m_templateWave;
    std::unique_ptr<AudioJob> m_job;
    State m_state = State::Stopped;
    QString m_message;
    int m_rate = 48000;
    bool m_busy = false; // an operation runs: the card is not ours

    std::vector<qint16> m_pending; // samples of the window being filled
    std::deque<double> m_windowMs; // mean squares of the last second's windows
    std::deque<double> m_windowPeak;
    std::deque<bool> m_windowClip;
    std::deque<double> m_history;
    double m_historyAcc = 0;
    int m_historyN = 0;
    double m_windowDb = kFloorDbfs, m_levelDb = kFloorDbfs, m_levelMs = 0, m_peakDbfs = kFloorDbfs;
    bool m_clipping = false;
    std::unique_ptr<physics::WelchSpectrum> m_spectrum;
    int m_spectrumRate = 0;
    std::vector<double> m_psd;
    physics::Passband m_passband;
    int m_windowsSinceSpectrum = 0;
};
