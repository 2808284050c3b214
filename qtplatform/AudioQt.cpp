#include "qtplatform/AudioQt.h"

#include "acquire/Wave.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// Longest wait for the sound server's own answer (pactl), in ms.
constexpr int kServerWaitMs = 500;
// How often a job looks at its stream, in ms.
constexpr int kPollMs = 20;
// Samples read from the device at a time.
constexpr qint64 kReadBlock = 16384;
// Longest recording or playback held in memory, in samples (128 MiB).
constexpr qint64 kMaxSamples = qint64(1) << 26;
// Beep: rate of the generated tone and its peak level (fraction of full scale).
constexpr int kBeepRate = 48000;
constexpr double kBeepLevel = 0.3;
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
    case QAudio::NoError:
        return QStringLiteral("No error.");
    case QAudio::OpenError:
        return QStringLiteral("The audio device could not be opened.");
    case QAudio::IOError:
        return QStringLiteral("Reading from or writing to the audio device failed.");
    case QAudio::UnderrunError:
        return QStringLiteral("The audio device ran out of data.");
    case QAudio::FatalError:
        return QStringLiteral("The audio device is not usable.");
    }
    return QStringLiteral("Unknown audio error.");
}

AudioStatus qtError(QAudio::Error e)
{
    return AudioStatus{static_cast<int>(e), qtAudioErrorText(e)};
}

// How often a capture looks whether its device is still listed, in polls.
constexpr int kPresenceEvery = 12; // about 250 ms

bool inputPresent(const QByteArray &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    return std::any_of(inputs.cbegin(), inputs.cend(), [&id](const QAudioDevice &d) { return d.id() == id; });
}

AudioStatus goneStatus(bool input, const QString &name, bool vanished)
{
    return {AudioQtError::Gone, QStringLiteral("The audio %1 \"%2\" is %3.")
                                    .arg(input ? QStringLiteral("input") : QStringLiteral("output"), name,
                                         vanished ? QStringLiteral("no longer available")
                                                  : QStringLiteral("not available"))};
}

AudioStatus formatStatus(const QAudioDevice &dev, int rate, bool input)
{
    return {AudioQtError::Format,
            QStringLiteral("The audio %1 \"%2\" does not support 16-bit mono at %3 Hz; the nearest format it "
                           "accepts is %4.")
                .arg(input ? QStringLiteral("input") : QStringLiteral("output"), dev.description())
                .arg(rate)
                .arg(AudioQt::nearestFormat(dev, rate))};
}

} // namespace

struct AudioQt::Shared {
    int recordings = 0;
    QList<QPointer<QAudioSource>> streams;
    bool serverAsked = false; // `pactl get-default-source` has been started
    QString serverDefault;    // its answer, once it has come
    // Chosen devices (empty id: the default) and their names for messages.
    QString inputId, inputName, outputId, outputName;
    void pauseStreams(bool pause)
    {
        for (const QPointer<QAudioSource> &s : std::as_const(streams)) {
            if (!s)
                continue;
            if (pause && s->state() == QAudio::ActiveState)
                s->suspend();
            else if (!pause && s->state() == QAudio::SuspendedState)
                s->resume();
        }
    }
};

namespace {

// A recording (exactly `total` samples) or a stream (total < 0) from an input.
class CaptureJob : public AudioJob
{
public:
    CaptureJob(std::shared_ptr<AudioQt::Shared> shared, const QAudioDevice &dev, int rate, qint64 total,
               int graceMs)
        : m_shared(std::move(shared)), m_total(total), m_deviceId(dev.id()), m_deviceName(dev.description()),
          m_source(dev, monoInt16(rate))
    {
        if (recording()) {
            ++m_shared->recordings;
            m_shared->pauseStreams(true);
            m_timeoutMs = 1000 * total / rate + graceMs;
        } else {
            m_shared->streams.append(&m_source);
        }
        m_clock.start();
        m_io = m_source.start();
        if (!m_io || m_source.error() != QAudio::NoError) {
            finishLater(qtError(m_source.error() == QAudio::NoError ? QAudio::OpenError : m_source.error()));
            return;
        }
        // Only now: nothing may end the job inside the constructor.
        connect(m_io.data(), &QIODevice::readyRead, this, &CaptureJob::drain);
        connect(&m_source, &QAudioSource::stateChanged, this, &CaptureJob::drain);
        connect(&m_poll, &QTimer::timeout, this, &CaptureJob::drain);
        if (!recording() && m_shared->recordings > 0)
            m_source.suspend(); // a reading has the card
        m_poll.start(kPollMs);
        if (total == 0)
            finishLater({});
    }
    ~CaptureJob() override { cancel(); }

protected:
    void halt() override
    {
        m_poll.stop();
        disconnect(&m_source, nullptr, this, nullptr);
        if (m_io)
            disconnect(m_io.data(), nullptr, this, nullptr);
        m_source.stop();
        if (recording() && --m_shared->recordings == 0)
            m_shared->pauseStreams(false);
        m_shared->streams.removeAll(QPointer<QAudioSource>(&m_source));
    }

private:
    bool recording() const { return m_total >= 0; }

    void drain()
    {
        if (ended())
            return;
        // The source's own verdict first: a dead server stops it, and the
        // back end may already have deleted the device it handed out.
        const QAudio::Error e = m_source.error();
        if (e != QAudio::NoError && e != QAudio::UnderrunError)
            return finish(qtError(e));
        // An unplugged card may leave the stream open but silent.
        if (++m_polls % kPresenceEvery == 0 && !inputPresent(m_deviceId))
            return finish(goneStatus(true, m_deviceName, true));
        if (!m_io || m_source.state() == QAudio::StoppedState)
            return finish(qtError(QAudio::IOError));
        // The device's bytesAvailable() is not reliable here: read until it
        // has nothing more, a bounded block at a time.
        for (;;) {
            qint64 want = kReadBlock;
            if (recording())
                want = std::min(want, m_total - m_got);
            if (want <= 0 || !m_io)
                break;
            QVector<qint16> block(want); // Qt's samples are native-endian
            const qint64 n = m_io->read(reinterpret_cast<char *>(block.data()), 2 * want);
            if (n <= 0)
                break;
            block.resize(n / 2);
            m_got += n / 2;
            deliver(block);
            if (ended())
                return;
            if (recording())
                Q_EMIT progress(m_total > 0 ? double(m_got) / m_total : 1.0);
        }
        if (recording() && m_got >= m_total)
            return finish({});
        if (recording() && m_clock.elapsed() > m_timeoutMs)
            return finish({AudioQtError::Timeout,
                           QStringLiteral("The recording did not complete in time (%1 of %2 samples).")
                               .arg(m_got)
                               .arg(m_total)});
    }

    std::shared_ptr<AudioQt::Shared> m_shared;
    qint64 m_total;
    qint64 m_got = 0;
    qint64 m_timeoutMs = 0;
    QByteArray m_deviceId;
    QString m_deviceName;
    int m_polls = 0;
    QAudioSource m_source;
    QPointer<QIODevice> m_io; // owned by the source; the back end may delete it
    QTimer m_poll;
    QElapsedTimer m_clock;
};

// Plays 16-bit mono PCM from memory to its end.
class PlayJob : public AudioJob
{
public:
    PlayJob(const QAudioDevice &dev, const AudioStatus &why, const QByteArray &pcm, int rate, qint64 timeoutMs)
        : m_data(pcm), m_timeoutMs(timeoutMs)
    {
        const QAudioFormat fmt = monoInt16(rate);
        if (!why.ok()) {
            finishLater(why);
            return;
        }
        if (dev.isNull()) {
            finishLater({AudioQtError::NoOutput, QStringLiteral("No audio output device is available.")});
            return;
        }
        if (!dev.isFormatSupported(fmt)) {
            finishLater(formatStatus(dev, rate, false));
            return;
        }
        if (m_data.isEmpty()) {
            finishLater({});
            return;
        }
        m_nominalMs = 1000 * (m_data.size() / 2) / rate;
        m_buffer.setBuffer(&m_data);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(dev, fmt);
        connect(m_sink.get(), &QAudioSink::stateChanged, this, &PlayJob::check);
        connect(&m_poll, &QTimer::timeout, this, &PlayJob::check);
        m_clock.start();
        m_sink->start(&m_buffer);
        if (m_sink->error() != QAudio::NoError) {
            finishLater(qtError(m_sink->error()));
            return;
        }
        m_poll.start(kPollMs);
    }
    ~PlayJob() override { cancel(); }

protected:
    void halt() override
    {
        m_poll.stop();
        if (m_sink) {
            disconnect(m_sink.get(), nullptr, this, nullptr);
            m_sink->stop();
        }
    }

private:
    void check()
    {
        if (ended() || !m_sink)
            return;
        if (m_sink->error() != QAudio::NoError && m_sink->error() != QAudio::UnderrunError)
            return finish(qtError(m_sink->error()));
        if (m_nominalMs > 0)
            Q_EMIT progress(std::min(1.0, double(m_clock.elapsed()) / m_nominalMs));
        // The data has been handed over and its time has passed.
        if (m_buffer.atEnd() && m_clock.elapsed() >= m_nominalMs && m_sink->state() != QAudio::ActiveState)
            return finish({});
        if (m_clock.elapsed() > m_timeoutMs)
            return finish({AudioQtError::Timeout, QStringLiteral("Playback did not complete in time.")});
    }

    QByteArray m_data;
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink; // declared after the buffer: stopped first
    QTimer m_poll;
    QElapsedTimer m_clock;
    qint64 m_nominalMs = 0;
    qint64 m_timeoutMs;
};

// A job that only reports a refusal.
class RefusedJob : public AudioJob
{
public:
    explicit RefusedJob(const AudioStatus &st) { finishLater(st); }
    ~RefusedJob() override { cancel(); }

protected:
    void halt() override {}
};

} // namespace

// Neither constructing nor choosing the default devices touches the sound
// server: Qt Multimedia connects to it, and lists the devices, on the first
// QMediaDevices call, which costs several milliseconds at start-up. That
// happens when a recording, a stream, a playback, the device lists or a
// named device first need it.
AudioQt::AudioQt() : m_shared(std::make_shared<Shared>()) {}

void AudioQt::askServerDefault() const
{
    // Qt 6.4 may not know the PulseAudio default source; the server is asked
    // once, the first time that matters. The answer normally comes within a
    // few milliseconds, so it is awaited briefly to serve the very job that
    // asked; a server that is slower answers later jobs.
    if (m_shared->serverAsked)
        return;
    m_shared->serverAsked = true;
    auto *p = new QProcess;
    std::weak_ptr<Shared> shared = m_shared;
    auto take = [p, shared] {
        if (auto s = shared.lock(); s && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0)
            s->serverDefault = QString::fromUtf8(p->readAllStandardOutput().left(1024)).trimmed();
    };
    p->start(QStringLiteral("pactl"), {QStringLiteral("get-default-source")}, QIODevice::ReadOnly);
    if (!p->waitForStarted(kServerWaitMs)) {
        delete p;
        return;
    }
    if (p->waitForFinished(kServerWaitMs)) {
        take();
        delete p;
        return;
    }
    QObject::connect(p, &QProcess::finished, p, [p, take] {
        take();
        p->deleteLater();
    });
    QTimer::singleShot(5000, p, [p] { p->kill(); }); // never lingers
}

AudioQt::~AudioQt() = default;

QAudioDevice AudioQt::defaultInput() const
{
    const QAudioDevice qtDefault = QMediaDevices::defaultAudioInput();
    if (!qtDefault.isNull())
        return qtDefault;
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    if (inputs.isEmpty())
        return {};
    askServerDefault();
    for (const QAudioDevice &d : inputs) {
        if (!m_shared->serverDefault.isEmpty() && QString::fromUtf8(d.id()) == m_shared->serverDefault)
            return d;
    }
    return inputs.first();
}

bool AudioQt::hasInput()
{
    return !defaultInput().isNull();
}

QString AudioQt::nearestFormat(const QAudioDevice &dev, int rate)
{
    const int r = std::clamp(rate, dev.minimumSampleRate(), std::max(dev.minimumSampleRate(), dev.maximumSampleRate()));
    const int ch = std::max(1, dev.minimumChannelCount());
    const QList<QAudioFormat::SampleFormat> formats = dev.supportedSampleFormats();
    QString kind = QStringLiteral("16-bit");
    if (!formats.isEmpty() && !formats.contains(QAudioFormat::Int16)) {
        switch (formats.first()) {
        case QAudioFormat::UInt8: kind = QStringLiteral("8-bit"); break;
        case QAudioFormat::Int32: kind = QStringLiteral("32-bit"); break;
        case QAudioFormat::Float: kind = QStringLiteral("32-bit float"); break;
        default: break;
        }
    }
    return QStringLiteral("%1 %2 at %3 Hz")
        .arg(kind, ch == 1 ? QStringLiteral("mono") : QStringLiteral("%1 channels").arg(ch))
        .arg(r);
}

namespace {
QList<AudioDevice> listDevices(const QList<QAudioDevice> &devices, const QByteArray &defaultId)
{
    QList<AudioDevice> r;
    for (const QAudioDevice &d : devices)
        r.append({QString::fromUtf8(d.id()), d.description(), d.id() == defaultId});
    return r;
}
} // namespace

QList<AudioDevice> AudioQt::inputDevices()
{
    return listDevices(QMediaDevices::audioInputs(), defaultInput().id());
}

QList<AudioDevice> AudioQt::outputDevices()
{
    return listDevices(QMediaDevices::audioOutputs(), QMediaDevices::defaultAudioOutput().id());
}

namespace {

// Chooses the device `id` of `devices` into `chosenId`/`chosenName`; an
// empty or unknown id chooses the default (both cleared). True when the
// id was empty or found.
bool chooseDevice(const QString &id, bool input, QString &chosenId, QString &chosenName)
{
    chosenId.clear();
    chosenName.clear();
    if (id.isEmpty())
        return true; // the default: nothing to look up
    const QList<QAudioDevice> devices = input ? QMediaDevices::audioInputs() : QMediaDevices::audioOutputs();
    for (const QAudioDevice &d : devices) {
        if (QString::fromUtf8(d.id()) == id) {
            chosenId = id;
            chosenName = d.description();
            return true;
        }
    }
    return false;
}

} // namespace

bool AudioQt::setInputDevice(const QString &id)
{
    return chooseDevice(id, true, m_shared->inputId, m_shared->inputName);
}

bool AudioQt::setOutputDevice(const QString &id)
{
    return chooseDevice(id, false, m_shared->outputId, m_shared->outputName);
}

QString AudioQt::inputDevice() const
{
    return m_shared->inputId;
}

QString AudioQt::outputDevice() const
{
    return m_shared->outputId;
}

QAudioDevice AudioQt::input(AudioStatus *why) const
{
    if (m_shared->inputId.isEmpty())
        return defaultInput();
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        if (QString::fromUtf8(d.id()) == m_shared->inputId)
            return d;
    *why = goneStatus(true, m_shared->inputName, false);
    return {};
}

QAudioDevice AudioQt::output(AudioStatus *why) const
{
    if (m_shared->outputId.isEmpty())
        return QMediaDevices::defaultAudioOutput();
    for (const QAudioDevice &d : QMediaDevices::audioOutputs())
        if (QString::fromUtf8(d.id()) == m_shared->outputId)
            return d;
    *why = goneStatus(false, m_shared->outputName, false);
    return {};
}

// The chosen (or default) input, or null with `why` saying why there is
// none.
QAudioDevice AudioQt::usableInput(AudioStatus *why)
{
    const QAudioDevice dev = input(why);
    if (why->ok() && dev.isNull())
        *why = AudioStatus{AudioQtError::NoInput, QStringLiteral("No audio input device is available.")};
    return dev;
}

std::unique_ptr<AudioJob> AudioQt::record(int rate, qint64 samples)
{
    if (rate <= 0 || samples < 0)
        return std::make_unique<RefusedJob>(
            AudioStatus{AudioQtError::Format, QStringLiteral("Invalid recording format (%1 Hz).").arg(rate)});
    if (samples > kMaxSamples)
        return std::make_unique<RefusedJob>(
            AudioStatus{AudioQtError::TooLong, QStringLiteral("The recording is too long.")});
    AudioStatus why;
    const QAudioDevice dev = usableInput(&why);
    if (!why.ok())
        return std::make_unique<RefusedJob>(why);
    if (!dev.isFormatSupported(monoInt16(rate)))
        return std::make_unique<RefusedJob>(formatStatus(dev, rate, true));
    return std::make_unique<CaptureJob>(m_shared, dev, rate, samples, m_graceMs);
}

std::unique_ptr<AudioJob> AudioQt::stream(int rate)
{
    AudioStatus why;
    const QAudioDevice dev = usableInput(&why);
    if (!why.ok())
        return std::make_unique<RefusedJob>(why);
    if (rate <= 0)
        return std::make_unique<RefusedJob>(
            AudioStatus{AudioQtError::Format, QStringLiteral("Invalid recording format (%1 Hz).").arg(rate)});
    if (!dev.isFormatSupported(monoInt16(rate)))
        return std::make_unique<RefusedJob>(formatStatus(dev, rate, true));
    return std::make_unique<CaptureJob>(m_shared, dev, rate, -1, m_graceMs);
}

std::unique_ptr<AudioJob> AudioQt::play(const QString &wavFile)
{
    QFile file(wavFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::make_unique<RefusedJob>(AudioStatus{
            AudioQtError::FileOpen, QStringLiteral("Cannot open %1: %2").arg(wavFile, file.errorString())});
    const WaveInfo info = ReadWaveHeader(file);
    if (info.Rate <= 0 || info.Samples < 0)
        return std::make_unique<RefusedJob>(AudioStatus{
            AudioQtError::FileFormat, QStringLiteral("%1 is not a 16-bit mono PCM wave file.").arg(wavFile)});
    // Never past the data nor the end of the file.
    const qint64 n = std::min<qint64>(wholeSamples(info), (file.size() - file.pos()) / 2);
    if (n > kMaxSamples)
        return std::make_unique<RefusedJob>(
            AudioStatus{AudioQtError::TooLong, QStringLiteral("%1 is too long to play.").arg(wavFile)});
    const QByteArray pcm = file.read(2 * std::max<qint64>(n, 0));
    AudioStatus why;
    const QAudioDevice dev = output(&why);
    return std::make_unique<PlayJob>(dev, why, pcm, info.Rate, 1000 * (pcm.size() / 2) / info.Rate + m_graceMs);
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
    // A new beep replaces one still playing; a failed beep is not reported.
    AudioStatus why;
    const QAudioDevice dev = output(&why);
    m_beep = std::make_unique<PlayJob>(dev, why, pcm, kBeepRate, ms + kBeepGraceMs);
}
