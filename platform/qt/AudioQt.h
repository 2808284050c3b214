#pragma once
// The sound card through Qt Multimedia (PulseAudio on the desktop).
//
// Every call blocks the calling (user-interface) thread in a local event
// loop, so windows keep repainting, and gives up after the nominal duration
// plus a grace period: nothing here can hang on a missing device or a
// vanished audio server. Create and use on the GUI thread; destroy before the
// QCoreApplication ends (no audio stream outlives a call anyway).
//
// Error numbers: 1..4 are Qt's QAudio::Error (1 open, 2 I/O, 3 underrun,
// 4 fatal); the others are listed in AudioQtError below.

#include "platform/Audio.h"

#include <QAudioDevice>
#include <functional>

namespace AudioQtError {
inline constexpr int NoInput = 20;     // no audio input device
inline constexpr int NoOutput = 21;    // no audio output device
inline constexpr int Format = 22;      // the device refuses 16-bit mono at that rate
inline constexpr int Timeout = 23;     // did not complete in duration + grace
inline constexpr int FileOpen = 24;    // wave file to play cannot be opened
inline constexpr int FileFormat = 25;  // wave file to play is not 16-bit mono PCM
inline constexpr int TooLong = 26;     // more samples than the back end will hold
} // namespace AudioQtError

class AudioQt : public IAudio
{
public:
    AudioQt() = default;
    ~AudioQt() override = default;

    AudioStatus record(int rate, qint64 samples, QVector<qint16> &out) override;
    AudioStatus play(const QString &wavFile) override;
    void beep(int hz, int ms) override;
    bool hasInput() override;

    // Called with 0..1 while a recording or playback runs (GUI thread).
    void setProgressHandler(std::function<void(double)> handler) { m_progress = std::move(handler); }
    // Time a blocking call may take beyond its nominal duration, in ms.
    void setGraceMs(int ms) { m_graceMs = ms; }

    // The desktop's default input: Qt's idea of it, else the server's
    // default source (`pactl get-default-source`), else the first input.
    static QAudioDevice defaultInput();

private:
    void progress(double fraction) const;

    std::function<void(double)> m_progress;
    int m_graceMs = 5000;
};
