#pragma once
// The sound card: recording (the instrument's detector), playback of a
// wave file, and the beep. Calls block the caller until done or timed out.

#include <QString>
#include <QVector>
#include <QtGlobal>

struct AudioStatus {
    int number = 0;   // 0 = no error
    QString text;     // the device's error text when number != 0
    bool ok() const { return number == 0; }
};

class IAudio
{
public:
    virtual ~IAudio() = default;
    // Records exactly `samples` signed 16-bit mono samples at `rate` Hz from
    // the default input into `out`. Never blocks much longer than the
    // recording itself (a few seconds of timeout).
    virtual AudioStatus record(int rate, qint64 samples, QVector<qint16> &out) = 0;
    // Plays a 16-bit mono PCM wave file to its end.
    virtual AudioStatus play(const QString &wavFile) = 0;
    // A tone on the default output; failures are ignored.
    virtual void beep(int hz, int ms) = 0;
    // False when the machine offers no audio input at all.
    virtual bool hasInput() = 0;
};
