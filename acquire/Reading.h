#pragma once
// One level reading as a small state machine driven by signals and timers:
//
//   Switching -> Settling (500 ms) -> Recording -> Analysing -> Done
//
// Switching sets the serial lines (when the plan asks for the port), the
// settling wait lets the noise source and the path relay settle, the
// recording streams 1.1 s plus the interval from the sound card into a
// private raw file in the template's format, and the analysis reduces the
// trimmed reading (the raw file without its first second) to a mean-square
// level. On every exit the lines are released and the port closed. A port
// that fails on its own while switched ends the reading at once, whatever
// the stage, with a message naming the port (PortFaultMessage).
//
// The result is a value: a level, or a failure with the message to show
// (empty when the failure is silent). Nothing is written to the sheet and no
// message is shown here, so a frequency sweep can drive the same machine.
// The two files of the reading (tempWave + ".tmp", the raw recording, and
// tempWave + ".wav", the trimmed reading) are replaced only when the
// analysis has run, and together: when either cannot be put in place, both
// files of the previous reading stay as they were. A cancelled or failed
// reading leaves those of the previous reading as they were and deletes its
// own partial files.
//
// UI thread only. The audio device and the serial lines given at
// construction are not owned and outlive the reading.

#include "acquire/NoiseSwitch.h"
#include "sheet/Operation.h"

#include <QDateTime>
#include <QString>
#include <QTimer>

#include <memory>

class AudioJob;
class IAudio;
class QTemporaryFile;
struct AudioStatus;

struct ReadingPlan {
    bool usePort = false;  // switch the serial lines (when the lines are enabled)
    bool sourceOn = false; // DTR: noise source powered
    bool combined = false; // RTS: device under test in the path
    double dur = 0;        // seconds of reading kept (the Interval)
    bool limits = true;    // the clipping check counts ("Measurement limits enabled")
    QString templateWave;  // the template wave (data folder + "TQX.wav"): rate and header layout
    QString tempWave;      // base path of the reading's two files, ".wav" and ".tmp"
};

struct ReadingResult {
    enum class Outcome { Running, Succeeded, Failed, Cancelled };
    Outcome outcome = Outcome::Running;
    // Failed: the whole text of the message box, empty for a silent failure
    // (a recorded file the analysis cannot use).
    QString message;
    bool portError = false; // the failure came from the serial port
    // The recording reached the device: the time stamp changes (the new
    // one, or empty after a device failure).
    bool stamped = false;
    QString obsTime;       // "yyyyMMddHHmmss", the middle of the recording
    bool recorded = false; // the reading's two files were replaced
    // Succeeded: mean square of the DC-removed samples (full scale = 1) and
    // whether one exceeded 0.4 of full scale with the limits on.
    double ms = 0;
    bool clipped = false;
    // Largest |DC-removed sample| (full scale = 1): how close it came to clipping.
    double peak = 0;
};

// Error numbers of the recording-failure message for failures that do not
// come from the audio device itself.
namespace RecordError {
inline constexpr int NoAudio = 100;        // no audio service at all
inline constexpr int BadLength = 101;      // duration negative, not finite or too long
inline constexpr int ShortRecording = 102; // the device delivered the wrong sample count
inline constexpr int RawFile = 103;        // the raw recording could not be written
inline constexpr int OutputFile = 104;     // the trimmed reading could not be built
} // namespace RecordError

// Longest recording accepted, in samples (23 minutes at 48 kHz; the raw
// file then holds 128 MiB).
inline constexpr long long kMaxRecordSamples = 1LL << 26;

class Reading : public Operation
{
    Q_OBJECT
public:
    enum class Stage { Idle, Switching, Settling, Recording, Analysing, Done };
    Q_ENUM(Stage)

    // `audio` records the reading (null: the reading fails with a message);
    // `lines` switch the source when the plan asks for the port.
    Reading(IAudio *audio, const NoiseSourceLines &lines, const ReadingPlan &plan, QObject *parent = nullptr);
    ~Reading() override; // cancels a running reading

    // Runs the machine; `ended` follows, never from inside start().
    void start();
    void cancel() override;
    Stage stage() const { return m_stage; }
    const ReadingResult &result() const { return m_result; }

Q_SIGNALS:
    void stageChanged(Reading::Stage stage);
    // 0..1 of the recording.
    void progress(double fraction);

private:
    void enter(Stage s);
    void startRecording();
    void onBlock(const QVector<qint16> &block);
    void onRecorded(const AudioStatus &status);
    void analyse();
    bool portFailed();
    void fail(const QString &message);
    void recordingFailed(const QString &text, int number);
    void finish(ReadingResult::Outcome outcome);
    void release();

    IAudio *m_audio;
    NoiseSourceLines m_lines;
    ReadingPlan m_plan;
    Stage m_stage = Stage::Idle;
    ReadingResult m_result;
    bool m_switched = false; // the lines are ours until release()
    QTimer m_step;           // the settling wait, and the hand-over to the analysis
    std::unique_ptr<AudioJob> m_job;
    std::unique_ptr<QTemporaryFile> m_raw; // the raw recording being written
    std::unique_ptr<QTemporaryFile> m_wav; // the trimmed reading
    qint64 m_headerLen = 0;                // first-sample offset of the template layout
    qint64 m_skip = 0;                     // samples discarded at the start (one second)
    qint64 m_keep = 0;                     // samples kept (the interval)
    qint64 m_total = 0;                    // samples recorded
    qint64 m_got = 0;                      // samples written so far
    QDateTime m_t1;                        // when the recording started
};
