#pragma once
// Noise figure and gain against frequency: a state machine that tunes the
// receiver through IRig and takes a LO/HI pair of level readings
// (acquire/Reading) at every frequency of a SweepPlan.
//
//   Opening -> [Tuning -> Settling -> Reading]... -> Done
//
// A calibration sweep measures the receiver alone (path 2) and keeps its
// levels per frequency; a measurement sweep measures the device followed by
// the receiver (path 12) and computes, point by point, the device's gain,
// noise temperature and noise figure with physics::cascade - the function
// behind the main window's results - fed with the calibration's levels at
// the same frequency.
//
// With serial switching each point is tuned once and read LO then HI. Without
// it the sweep takes every LO reading first, then asks once (signal
// sourcePrompt, answered by resume()) for the source to be switched on, then
// takes every HI reading: a manual user switches twice per sweep.
//
// cancel() is Stop: it returns at once with every measured point kept. A
// failed reading marks its point failed (and ends the sweep when the plan
// says so); a rig that fails ends the sweep with its message.
//
// The receiver is held to the plan: after opening, every frequency must lie
// in its receive ranges (if it names any) or nothing is measured; after each
// tuning, the frequency it reports must lie within its finest tuning step
// (1 kHz when unknown) of the planned one, else that point fails. A point
// within the step is measured at, and its ENR taken at, the reported
// frequency. A rig call that fails because the connection is gone ends the
// sweep saying where it stopped.
//
// Each reading comes from the ReadingFactory given at construction, which
// supplies the devices and files; the sweep only says what to read. After
// every tuning the sweep announces the frequency the receiver reported
// (signal tuned), so that a simulated receiver can follow the real one.
//
// UI thread only. The rig given at construction is not owned and outlives
// the sweep; it is opened here and closed on every exit.

#include "acquire/Reading.h"
#include "acquire/SweepPlan.h"
#include "acquire/TimeLeft.h"
#include "physics/YFactor.h"
#include "platform/Rig.h"
#include "sheet/Operation.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

struct SweepPoint {
    enum class State { Pending, Measured, Failed };
    State state = State::Pending;
    double mhz = 0;       // planned frequency: the device's input (the RF of a converter)
    // Where the receiver is tuned for it: the IF of a frequency-converting
    // device (SweepPlan::device), `mhz` itself for an amplifier.
    double ifMhz = 0;
    double tunedMhz = 0;  // what the receiver reported after tuning (0 before): an IF
    // The RF that moves by +1 MHz when the IF does: +1 or -1 (an inverting
    // plan, LO above the RF), for placing a point the receiver tuned off.
    double rfPerIf = 1;
    SourceTemps source;   // at the noise source's output, at `mhz`
    // A measurement's calibration path: the source's temperatures the
    // calibration sweep used at this point's receiver frequency (the IF of a
    // converter); none without a calibration that recorded them.
    std::optional<SourceTemps> calSource;
    std::optional<double> loDb, hiDb; // levels, dB full scale with the zero removed
    QString failure;      // why the point failed
    // The path measured: receiver alone (calibration) or device + receiver.
    physics::YFactorResult path;
    // The receiver at this frequency: noise temperature (K) and power step
    // per kelvin at its input (full-scale mean square per K, in dB): the
    // calibration made here, or the one a measurement used.
    double rxTeK = 0, rxSlopeDb = 0;
    physics::DeviceResult device; // measurement only
    // Where a measured point lies on the frequency axis: where the receiver
    // was (within its tuning step of the plan). Others: the planned frequency.
    double axisMhz() const
    {
        return state == State::Measured && tunedMhz > 0 ? mhz + (tunedMhz - ifMhz) * rfPerIf : mhz;
    }
};

// A calibration point's levels, for the measurement at the same receiver
// frequency. Kept by the receiver's frequency (the IF of a converter), so a
// calibration serves every LO whose IFs it covers.
struct SweepCalibration {
    QVector<double> mhz;                // where the receiver was tuned
    QVector<physics::LevelPair> levels; // dB full scale, zero removed
    QVector<SourceTemps> source;        // the source's temperatures used there
    // The level pair measured at `mhz` (within a millionth), if any.
    std::optional<physics::LevelPair> at(double mhz) const;
    // The source's temperatures at that point, if any.
    std::optional<SourceTemps> sourceAt(double mhz) const;
};

class Sweep : public Operation
{
    Q_OBJECT
public:
    enum class Stage { Idle, Opening, Tuning, Settling, Reading, AwaitingSource, Done };
    Q_ENUM(Stage)
    enum class Outcome { Running, Finished, Stopped, Failed };

    // Makes one reading of the sweep. The sweep fills in the plan's usePort,
    // sourceOn, combined, dur and limits; the factory adds the rest (the
    // template and result files) and the devices (audio, serial lines) it
    // reads with. A null instead of a reading ends the sweep as failed.
    using ReadingFactory = std::function<std::unique_ptr<Reading>(const ReadingPlan &)>;

    // `rig` tunes the receiver (null: check() refuses the plan) with
    // `rigConfig`. A measurement plan needs `calibration` at every frequency
    // (checked by check()).
    Sweep(IRig *rig, ReadingFactory makeReading, const SweepPlan &plan, const RigConfig &rigConfig,
          const SweepCalibration &calibration = {}, QObject *parent = nullptr);
    ~Sweep() override;

    // Empty when the plan can run: a receiver is configured and available,
    // and a measurement has a calibration at every frequency.
    QString check() const;
    // Runs the machine; refused (ended with the check's message) when check()
    // fails. `ended` follows, never from inside start().
    void start();
    // Stop: the reading and any rig call are dropped, measured points stay.
    void cancel() override;
    // After sourcePrompt: the source is on, the HI readings may start.
    void resume();

    Stage stage() const { return m_stage; }
    Outcome outcome() const { return m_outcome; }
    QString message() const { return m_message; } // why it failed; empty otherwise
    const QVector<SweepPoint> &points() const { return m_points; }
    const SweepPlan &plan() const { return m_plan; }
    // The calibration this sweep made (Calibration sweeps; measured points only).
    SweepCalibration calibration() const;
    // Readings per sweep and readings done (for the progress bar).
    int readingsTotal() const { return int(m_steps.size()); }
    int readingsDone() const { return m_next; }
    // Estimated seconds until the end (see TimeLeft): from a first guess
    // and the time the readings so far took, the wait for the user to
    // switch the source excluded; at least 1 while readings remain.
    double secondsLeft() const;

Q_SIGNALS:
    void stageChanged(Sweep::Stage stage);
    void pointChanged(int index);
    void progress(int done, int total);
    // Manual switching: every LO reading is done; switch the source on, then resume().
    void sourcePrompt(const QString &text);
    // The receiver is now tuned to `mhz` (MHz, as it reported after the
    // tuning), before the readings at this point start.
    void tuned(double mhz);

private:
    struct Step {
        int point;
        bool hot;
    };
    void enter(Stage s);
    void next();
    void onOpened(const RigResult &r);
    void onTuned(const RigResult &r);
    void startReading();
    void readOnce(); // one reading of the level being read (of an average)
    void onReadingEnded();
    void computePoint(int i);
    void failPoint(int i, const QString &why);
    // The sweep's end when the link to the receiver broke while tuning point `i`.
    QString lostMessage(int i, const QString &rig) const;
    void finish(Outcome outcome, const QString &message = QString());
    void reportProgress();
    double workSeconds() const; // since the receiver opened, the prompt's wait excluded

    IRig *m_rig;
    ReadingFactory m_makeReading;
    SweepPlan m_plan;
    RigConfig m_rigConfig;
    SweepCalibration m_calibration;
    QVector<SweepPoint> m_points;
    QVector<Step> m_steps;
    int m_next = 0;          // index of the step to run next
    int m_tunedPoint = -1;   // the point the receiver is tuned to
    bool m_prompted = false; // manual switching: the source prompt was answered
    Stage m_stage = Stage::Idle;
    Outcome m_outcome = Outcome::Running;
    QString m_message;
    QString m_rigName;        // the receiver for messages, from its open()
    double m_toleranceHz = 0; // how far a tuning may land from the plan, Hz
    QTimer m_settle;
    std::unique_ptr<Reading> m_reading;
    // The average of the level being read: readings taken so far and the
    // sum of their mean squares (full scale = 1).
    ReadingPlan m_readingPlan; // of the level being read
    int m_averaged = 0;
    double m_averageSum = 0;
    QElapsedTimer m_clock;  // since the receiver opened
    QElapsedTimer m_paused; // while the source prompt waits for the user
    qint64 m_pausedMs = 0;  // earlier waits
    TimeLeft m_timeLeft;
};

// How long the rig may take for one call before the sweep gives up (ms).
inline constexpr int kRigTimeoutMs = 5000;
