#pragma once
// The sound card: recording (the instrument's detector), a continuous input
// stream, playback of a wave file, and the beep. Nothing here blocks: every
// operation is an AudioJob that reports through signals while the event loop
// runs. User-interface thread only.

#include <QObject>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <memory>

struct AudioStatus {
    int number = 0; // 0 = no error
    QString text;   // the device's error text when number != 0
    bool ok() const { return number == 0; }
};

// One running recording, stream or playback. Owned by whoever started it;
// cancel() or deleting it releases the device at once, and no signal follows.
// `finished` comes exactly once, and never from inside the call that
// started the job (a refusal at the start arrives from the event loop too).
class AudioJob : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Stops without a result: no `finished`, no more blocks.
    void cancel();
    bool ended() const { return m_ended; }

Q_SIGNALS:
    // Recording and streaming: the next samples, signed 16-bit mono, in
    // order and without gaps (a stream pauses between blocks while a
    // recording runs).
    void samples(const QVector<qint16> &block);
    // 0..1 of a recording or playback.
    void progress(double fraction);
    // A recording has delivered all its samples, a playback has played to
    // its end, or the device failed (status.number != 0).
    void finished(const AudioStatus &status);

protected:
    // Releases the device; called once, by cancel() or before `finished`.
    virtual void halt() = 0;
    // Ends the job with `status` (ignored after the end).
    void finish(const AudioStatus &status);
    // The same from the event loop, for refusals found while starting.
    void finishLater(const AudioStatus &status);
    // Emits a block unless the job has ended.
    void deliver(const QVector<qint16> &block);

private:
    bool m_ended = false;
};

// Stops `job` at once and frees it from the event loop: safe also from
// inside one of its own signals.
inline void discardJob(std::unique_ptr<AudioJob> &job)
{
    if (job) {
        job->cancel();
        job.release()->deleteLater();
    }
}

// An audio device as the desktop lists it.
struct AudioDevice {
    QString id;          // stable name of the device (PulseAudio: the source or sink name)
    QString description; // the name the user sees
    bool isDefault = false;
};

class IAudio
{
public:
    virtual ~IAudio() = default;
    // Records exactly `samples` samples at `rate` Hz from the default input,
    // delivered in blocks; `finished` follows the last block, or reports the
    // failure. Gives up a few seconds after the nominal duration.
    virtual std::unique_ptr<AudioJob> record(int rate, qint64 samples) = 0;
    // A continuous stream of blocks from the default input at `rate` Hz
    // until cancelled (for a live level display). Paused while a recording
    // runs. `finished` only on a device failure.
    virtual std::unique_ptr<AudioJob> stream(int rate) = 0;
    // Plays a 16-bit mono PCM wave file to its end.
    virtual std::unique_ptr<AudioJob> play(const QString &wavFile) = 0;
    // A tone on the default output; returns at once, failures are ignored.
    virtual void beep(int hz, int ms) = 0;
    // False when the machine offers no audio input at all.
    virtual bool hasInput() = 0;

    // Device choice. The lists are the devices present now. The chosen
    // input serves every later record() and stream(), the chosen output
    // every play() and beep(); an empty id means the desktop's default.
    // setXxxDevice returns false when no device has that id: the default
    // serves then. A chosen device that disappears later is not replaced:
    // jobs on it fail with a message naming it.
    virtual QList<AudioDevice> inputDevices() { return {}; }
    virtual QList<AudioDevice> outputDevices() { return {}; }
    virtual bool setInputDevice(const QString &id) { return id.isEmpty(); }
    virtual bool setOutputDevice(const QString &id) { return id.isEmpty(); }
    virtual QString inputDevice() const { return {}; } // the chosen id, empty for the default
    virtual QString outputDevice() const { return {}; }
};
