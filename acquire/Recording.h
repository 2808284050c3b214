#pragma once
// Recording a reading from the sound card and reducing it to a level.
//
// RecordWave records `dur` seconds (plus 1.1 s) in the format of the template
// AppDir + "TQX.wav", keeps the raw recording as wavefile + ".tmp" and writes
// the reading without its first second to wavefile + ".wav". MeasureLevel
// records one reading (duration from the Interval field) and reduces the
// file it is given to Ms, Rms and ClipFlag of a Measurement. Both return 0 on
// success and 1 after a failure (already reported). UI thread only; both
// block for the whole recording.
#include "sheet/Meter.h"
#include <QString>
class Measurement;
int RecordWave(Meter &m, const QString &wavefile, double dur); // 0 ok, 1 failed
int MeasureLevel(Meter &m, const QString &wavefile, Measurement &meas);

// Error numbers of the recording-failure message for failures that do not
// come from the audio device itself.
namespace RecordError {
inline constexpr int NoAudio = 100;        // no audio service at all
inline constexpr int BadLength = 101;      // duration negative, not finite or too long
inline constexpr int ShortRecording = 102; // the device returned the wrong sample count
inline constexpr int RawFile = 103;        // wavefile + ".tmp" could not be written
inline constexpr int OutputFile = 104;     // wavefile + ".wav" could not be built
} // namespace RecordError

// Longest recording accepted, in samples (the whole recording is held in
// memory at 2 bytes a sample: 128 MiB; 23 minutes at 48 kHz).
inline constexpr long long kMaxRecordSamples = 1LL << 26;

// Marks the meter busy for the lifetime of the guard: while a recording or a
// playback blocks, Meter::click ignores everything.
class BusyGuard
{
public:
    explicit BusyGuard(Meter &m) : m_meter(m), m_was(m.busy()) { m_meter.setBusy(true); }
    ~BusyGuard() { m_meter.setBusy(m_was); }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    Meter &m_meter;
    bool m_was;
};
