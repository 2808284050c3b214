#pragma once
// The sound card through Qt Multimedia (PulseAudio on the desktop).
//
// Nothing here blocks: a recording or a stream reads its QAudioSource in
// pull mode whenever the device has data (and on a 20 ms poll), a playback
// feeds a QAudioSink from memory, and each reports through its AudioJob.
// Every job gives up after its nominal duration plus a grace period, so
// nothing hangs on a missing device or a vanished audio server. When the
// server dies, Qt's PulseAudio back end deletes the QIODevice it handed
// out; the jobs hold it through a QPointer and end with an I/O error then.
// Nothing reaches the sound server before a job, a device list or a named
// device needs it (see the constructor).
// Create and use on the GUI thread; destroy before the QCoreApplication ends.
//
// Error numbers: 1..4 are Qt's QAudio::Error (1 open, 2 I/O, 3 underrun,
// 4 fatal); the others are listed in AudioQtError below.

#include "platform/Audio.h"

#include <QAudioDevice>

namespace AudioQtError {
inline constexpr int NoInput = 20;    // no audio input device
inline constexpr int NoOutput = 21;   // no audio output device
inline constexpr int Format = 22;     // the device refuses 16-bit mono at that rate
inline constexpr int Timeout = 23;    // did not complete in duration + grace
inline constexpr int FileOpen = 24;   // wave file to play cannot be opened
inline constexpr int FileFormat = 25; // wave file to play is not 16-bit mono PCM
inline constexpr int TooLong = 26;    // more samples than the back end will hold
inline constexpr int Gone = 27;       // the chosen device is not (or no longer) present
} // namespace AudioQtError

class AudioQt : public IAudio
{
public:
    AudioQt();
    ~AudioQt() override;

    std::unique_ptr<AudioJob> record(int rate, qint64 samples) override;
    std::unique_ptr<AudioJob> stream(int rate) override;
    std::unique_ptr<AudioJob> play(const QString &wavFile) override;
    void beep(int hz, int ms) override;
    bool hasInput() override;
    QList<AudioDevice> inputDevices() override;
    QList<AudioDevice> outputDevices() override;
    bool setInputDevice(const QString &id) override;
    bool setOutputDevice(const QString &id) override;
    QString inputDevice() const override;
    QString outputDevice() const override;

    // Time a job may take beyond its nominal duration, in ms.
    void setGraceMs(int ms) { m_graceMs = ms; }

    // The desktop's default input: Qt's idea of it, else the first input
    // named like the server's default source (when known), else the first.
    QAudioDevice defaultInput() const;
    // "16-bit mono at 44100 Hz": the format `dev` accepts that is nearest to
    // 16-bit mono at `rate` Hz.
    static QString nearestFormat(const QAudioDevice &dev, int rate);

    struct Shared; // recordings running and streams to pause, shared with the jobs

private:
    // The chosen input (or the default); null and *why set when it is gone.
    QAudioDevice input(AudioStatus *why) const;
    QAudioDevice usableInput(AudioStatus *why);
    QAudioDevice output(AudioStatus *why) const;
    // Starts the sound server's answer on its default source, once.
    void askServerDefault() const;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<AudioJob> m_beep; // the tone now playing, if any
    int m_graceMs = 5000;
};
