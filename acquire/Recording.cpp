#include "acquire/Recording.h"

#include "acquire/Wave.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"

#include <QDateTime>
#include <QFile>
#include <QVector>

#include <cmath>

namespace {

const QString kCaption = QStringLiteral("TQX");
// A template header longer than this is not a header we want to copy.
constexpr qint64 kMaxHeaderBytes = 65536;

void showWorking(Meter &m, bool visible)
{
    if (IWindows *w = m.platform().windows)
        w->showWorking(visible);
}

// The recording-failure path: the working window goes first, then the time
// stamp, then the message quoting the device's text and number.
int recordingFailed(Meter &m, const QString &text, int number)
{
    showWorking(m, false);
    m.ObsTime.clear();
    m.message(kCaption,
              QStringLiteral("Error: recording wave file: ") + text + QStringLiteral("(")
                  + QString::number(number) + QStringLiteral(")."),
              MsgIcon::Critical);
    return 1;
}

int refuse(Meter &m, const QString &text)
{
    showWorking(m, false);
    m.message(kCaption, text, MsgIcon::Critical);
    return 1;
}

} // namespace

int RecordWave(Meter &m, const QString &wavefile, double dur)
{
    BusyGuard busy(m);
    showWorking(m, true);

    // The template fixes rate and header layout; it is only read.
    QFile tpl(m.AppDir + QStringLiteral("TQX.wav"));
    if (!tpl.open(QIODevice::ReadOnly))
        return refuse(m, QStringLiteral("Unable to open TQX.wav."));
    const WaveInfo info = ReadWaveHeader(tpl);
    const qint64 headerLen = tpl.pos();
    QByteArray header;
    if (info.Rate > 0 && headerLen <= kMaxHeaderBytes && tpl.seek(0))
        header = tpl.read(headerLen);
    tpl.close();
    // A rate of 0 is what the header walk reports; a negative rate would give
    // a negative recording length and is refused the same way.
    if (info.Rate <= 0 || header.size() != headerLen)
        return refuse(m, QStringLiteral("Unsupported WAVE file format."));
    const int rate = info.Rate;

    // N samples are kept, S (one second) discarded, and 0.1 S of margin.
    const double keepExact = rate * dur;
    if (!std::isfinite(keepExact) || keepExact < 0 || keepExact > kMaxRecordSamples)
        return recordingFailed(m, QStringLiteral("The recording length of %1 s is out of range.")
                                      .arg(dur), RecordError::BadLength);
    const qint64 keep = roundHalfEven(keepExact);
    const qint64 skip = roundHalfEven(rate * 1.0);
    const qint64 total = roundHalfEven(1.1 * skip + keep);
    if (total > kMaxRecordSamples)
        return recordingFailed(m, QStringLiteral("The recording length of %1 s is out of range.")
                                      .arg(dur), RecordError::BadLength);

    IAudio *audio = m.platform().audio;
    if (!audio)
        return recordingFailed(m, QStringLiteral("No audio device is available."), RecordError::NoAudio);
    QVector<qint16> samples;
    const QDateTime t1 = QDateTime::currentDateTime();
    const AudioStatus st = audio->record(rate, total, samples);
    const QDateTime t2 = QDateTime::currentDateTime();
    m.ObsTime = t2.addMSecs(-t1.msecsTo(t2) / 2).toString(QStringLiteral("yyyyMMddHHmmss"));
    if (!st.ok())
        return recordingFailed(m, st.text, st.number);
    if (samples.size() != total)
        return recordingFailed(m, QStringLiteral("The device delivered %1 of %2 samples.")
                                      .arg(samples.size()).arg(total), RecordError::ShortRecording);

    // The raw recording, in the template's header layout.
    QString error;
    {
        QFile raw(wavefile + QStringLiteral(".tmp"));
        if (!raw.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return recordingFailed(m, QStringLiteral("Cannot write %1: %2")
                                          .arg(raw.fileName(), raw.errorString()), RecordError::RawFile);
        if (!writeRawWave(raw, header, samples, &error) || !raw.flush())
            return recordingFailed(m, error.isEmpty() ? raw.errorString() : error, RecordError::RawFile);
    }
    samples = QVector<qint16>(); // the file holds them now

    // The reading: the raw file without its first second and its margin.
    QFile raw(wavefile + QStringLiteral(".tmp"));
    if (!raw.open(QIODevice::ReadOnly))
        return recordingFailed(m, QStringLiteral("Cannot read %1: %2")
                                      .arg(raw.fileName(), raw.errorString()), RecordError::OutputFile);
    QFile out(wavefile + QStringLiteral(".wav"));
    out.remove(); // errors ignored: it may not exist
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return recordingFailed(m, QStringLiteral("Cannot write %1: %2")
                                      .arg(out.fileName(), out.errorString()), RecordError::OutputFile);
    if (!buildTrimmedWave(raw, headerLen, skip, keep, out, &error) || !out.flush()) {
        out.close();
        out.remove(); // never leave a half-built reading behind
        return recordingFailed(m, error.isEmpty() ? out.errorString() : error, RecordError::OutputFile);
    }
    out.close();
    raw.close();

    m.sheet().setEnabled(Control::mnuPlayWave, true);
    m.sheet().setEnabled(Control::mnuSaveWave, true);
    showWorking(m, false);
    return 0;
}

int MeasureLevel(Meter &m, const QString &wavefile, Measurement &meas)
{
    meas.err = -1;
    const double dur = ParseNumber(m.sheet().text(Field::Interval));
    if (RecordWave(m, m.TempWave, dur) != 0)
        return 1;

    QFile file(wavefile);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const WaveInfo info = ReadWaveHeader(file);
    if (info.Rate <= 0 || info.Samples <= 0)
        return 1;
    // The option cannot change while the loop runs: read it once.
    const bool limits = m.sheet().checked(Control::mnuOptionsLimits);
    const LevelResult level = analyseLevel(file, file.pos(), wholeSamples(info), info.Rate, limits);
    file.close();
    if (!level.ok)
        return 1;

    meas.ClipFlag = level.clipped ? -1 : 0;
    meas.Ms = level.ms;
    meas.Calc();
    meas.err = 0;
    if (IAudio *audio = m.platform().audio)
        audio->beep(2000, 100);
    return 0;
}
