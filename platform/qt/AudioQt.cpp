#include "platform/qt/AudioQt.h"

#include "acquire/Wave.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// How often the blocking loops look at the stream, in ms.
constexpr int kPollMs = 20;
// Longest recording or playback held in memory, in samples (128 MiB).
constexpr qint64 kMaxSamples = qint64(1) << 26;
// Beep: rate of the generated tone and its peak level (fraction of full scale).
constexpr int kBeepRate = 48000;
constexpr double kBeepLevel = 0.3;
// A beep never blocks longer than its length plus this, in ms.
constexpr int kBeepGraceMs = 1000;

QAudioFormat monoInt16(int rate)
{
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

QString qtAudioErrorText(QAudio::Error e)
{
    switch (e) {
    case QAudio::NoError: return QStringLiteral("No error.");
    case QAudio::OpenError: return QStringLiteral("The audio device could not be opened.");
    case QAudio::IOError: return QStringLiteral("Reading from or writing to the audio device failed.");
    case QAudio::UnderrunError: return QStringLiteral("The audio device ran out of data.");
    case QAudio::FatalError: return QStringLiteral("The audio device is not usable.");
    }
    return QStringLiteral("Unknown audio error.");
}

AudioStatus qtError(QAudio::Error e)
{
    return AudioStatus{static_cast<int>(e), qtAudioErrorText(e)};
}

// The server's default source name, or empty (bounded: 2 s).
QString pulseDefaultSource()
{
    QProcess p;
    p.start(QStringLiteral("pactl"), {QStringLiteral("get-default-source")}, QIODevice::ReadOnly);
    if (!p.waitForStarted(2000))
        return {};
    if (!p.waitForFinished(2000)) {
        p.kill();
        p.waitForFinished(500);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput().left(1024)).trimmed();
}

// Plays `pcm` (16-bit mono at `rate`) on the default output and returns when
// it has been played, failed, or `timeoutMs` passed. `progress` may be null.
AudioStatus playPcm(const QByteArray &pcm, int rate, int timeoutMs,
                    const std::function<void(double)> &progress)
{
    const QAudioDevice dev = QMediaDevices::defaultAudioOutput();
    if (dev.isNull())
        return {AudioQtError::NoOutput, QStringLiteral("No audio output device is available.")};
    const QAudioFormat fmt = monoInt16(rate);
    if (!dev.isFormatSupported(fmt))
        return {AudioQtError::Format,
                QStringLiteral("The audio output does not support 16-bit mono at %1 Hz.").arg(rate)};
    if (pcm.isEmpty())
        return {};

    QByteArray data = pcm; // QBuffer wants a non-const array
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // The sink is declared after the buffer so that it is destroyed first.
    QAudioSink sink(dev, fmt);
    const qint64 nominalMs = 1000 * (data.size() / 2) / rate;

    QEventLoop loop;
    QElapsedTimer clock;
    AudioStatus st;
    bool done = false;
    auto check = [&]() {
        if (done)
            return;
        if (sink.error() != QAudio::NoError && sink.error() != QAudio::UnderrunError) {
            st = qtError(sink.error());
            done = true;
        } else if (buffer.atEnd() && clock.elapsed() >= nominalMs
                   && sink.state() != QAudio::ActiveState) {
            done = true; // the data has been handed over and its time has passed
        } else if (clock.elapsed() > timeoutMs) {
            st = {AudioQtError::Timeout, QStringLiteral("Playback did not complete in time.")};
            done = true;
        }
        if (progress && nominalMs > 0)
            progress(std::min(1.0, double(clock.elapsed()) / nominalMs));
        if (done)
            loop.quit();
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    QObject::connect(&sink, &QAudioSink::stateChanged, &loop, check);

    clock.start();
    sink.start(&buffer);
    if (sink.error() != QAudio::NoError) {
        sink.stop();
        return qtError(sink.error());
    }
    poll.start(kPollMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();
    QObject::disconnect(&sink, nullptr, &loop, nullptr);
    sink.stop();
    return st;
}

} // namespace

void AudioQt::progress(double fraction) const
{
    if (m_progress)
        m_progress(fraction);
}

QAudioDevice AudioQt::defaultInput()
{
    const QAudioDevice qtDefault = QMediaDevices::defaultAudioInput();
    if (!qtDefault.isNull())
        return qtDefault;
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    if (inputs.isEmpty())
        return {};
    const QString name = pulseDefaultSource();
    for (const QAudioDevice &d : inputs) {
        if (!name.isEmpty() && QString::fromUtf8(d.id()) == name)
            return d;
    }
    return inputs.first();
}

bool AudioQt::hasInput()
{
    return !defaultInput().isNull();
}

AudioStatus AudioQt::record(int rate, qint64 samples, QVector<qint16> &out)
{
    out.clear();
    if (rate <= 0 || samples < 0)
        return {AudioQtError::Format, QStringLiteral("Invalid recording format (%1 Hz).").arg(rate)};
    if (samples > kMaxSamples)
        return {AudioQtError::TooLong, QStringLiteral("The recording is too long.")};
    const QAudioDevice dev = defaultInput();
    if (dev.isNull())
        return {AudioQtError::NoInput, QStringLiteral("No audio input device is available.")};
    const QAudioFormat fmt = monoInt16(rate);
    if (!dev.isFormatSupported(fmt))
        return {AudioQtError::Format,
                QStringLiteral("The audio input does not support 16-bit mono at %1 Hz.").arg(rate)};
    out.resize(samples);
    if (samples == 0)
        return {};

    // Qt's samples are native-endian: read straight into the vector.
    char *const dst = reinterpret_cast<char *>(out.data());
    const qint64 wanted = 2 * samples;
    qint64 got = 0;
    const qint64 timeoutMs = 1000 * samples / rate + m_graceMs;

    QAudioSource source(dev, fmt);
    QEventLoop loop;
    QElapsedTimer clock;
    AudioStatus st;
    bool done = false;
    QIODevice *io = nullptr;
    // The source never stops by itself: take exactly what is needed.
    auto drain = [&]() {
        if (done)
            return;
        if (io) {
            while (got < wanted) {
                const qint64 n = io->read(dst + got, wanted - got);
                if (n <= 0)
                    break;
                got += n;
            }
        }
        if (got >= wanted) {
            done = true;
        } else if (source.error() != QAudio::NoError && source.error() != QAudio::UnderrunError) {
            st = qtError(source.error());
            done = true;
        } else if (source.state() == QAudio::StoppedState && clock.elapsed() > kPollMs) {
            st = qtError(source.error() == QAudio::NoError ? QAudio::IOError : source.error());
            done = true;
        } else if (clock.elapsed() > timeoutMs) {
            st = {AudioQtError::Timeout,
                  QStringLiteral("The recording did not complete in time (%1 of %2 samples).")
                      .arg(got / 2).arg(samples)};
            done = true;
        }
        progress(double(got) / wanted);
        if (done)
            loop.quit();
    };

    clock.start();
    io = source.start();
    if (!io || source.error() != QAudio::NoError) {
        const QAudio::Error e = source.error() == QAudio::NoError ? QAudio::OpenError : source.error();
        source.stop();
        out.clear();
        return qtError(e);
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, drain);
    QObject::connect(io, &QIODevice::readyRead, &loop, drain);
    poll.start(kPollMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();
    QObject::disconnect(io, nullptr, &loop, nullptr);
    source.stop();
    if (!st.ok())
        out.clear();
    return st;
}

AudioStatus AudioQt::play(const QString &wavFile)
{
    QFile file(wavFile);
    if (!file.open(QIODevice::ReadOnly))
        return {AudioQtError::FileOpen,
                QStringLiteral("Cannot open %1: %2").arg(wavFile, file.errorString())};
    const WaveInfo info = ReadWaveHeader(file);
    if (info.Rate <= 0 || info.Samples < 0)
        return {AudioQtError::FileFormat, QStringLiteral("%1 is not a 16-bit mono PCM wave file.").arg(wavFile)};
    // Never past the data nor the end of the file.
    const qint64 n = std::min<qint64>(wholeSamples(info), (file.size() - file.pos()) / 2);
    if (n > kMaxSamples)
        return {AudioQtError::TooLong, QStringLiteral("%1 is too long to play.").arg(wavFile)};
    const QByteArray pcm = file.read(2 * std::max<qint64>(n, 0));
    file.close();
    const int timeoutMs = int(1000 * (pcm.size() / 2) / info.Rate) + m_graceMs;
    return playPcm(pcm, info.Rate, timeoutMs, m_progress);
}

void AudioQt::beep(int hz, int ms)
{
    if (hz <= 0 || ms <= 0)
        return;
    const qint64 n = qint64(kBeepRate) * std::min(ms, 10000) / 1000;
    QByteArray pcm(2 * n, '\0');
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    const double pi = 4.0 * std::atan(1.0);
    const qint64 ramp = std::min<qint64>(kBeepRate / 200, n / 2); // 5 ms fades: no clicks
    for (qint64 i = 0; i < n; ++i) {
        double gain = 1.0;
        if (i < ramp)
            gain = double(i) / ramp;
        else if (i >= n - ramp)
            gain = double(n - 1 - i) / ramp;
        s[i] = qint16(std::lround(32767.0 * kBeepLevel * gain * std::sin(2 * pi * hz * i / kBeepRate)));
    }
    playPcm(pcm, kBeepRate, ms + kBeepGraceMs, nullptr); // a beep never fails a reading
}
