#include "acquire/BenchDevices.h"

#include "acquire/Bench.h"
#include "acquire/Reading.h"

#include <QTimer>

#include <algorithm>

// A recording (bounded), a stream (endless) or a playback (nothing to do)
// of the virtual sound card, driven by a timer.
class BenchJob : public AudioJob
{
public:
    enum Kind { Recording, Stream, Playback };
    BenchJob(BenchAudio &audio, Kind kind, int rate, qint64 samples)
        : m_audio(audio), m_kind(kind), m_rate(rate), m_total(samples)
    {
        if (m_kind == Recording)
            ++m_audio.m_active;
        connect(&m_timer, &QTimer::timeout, this, &BenchJob::tick);
        if (m_kind == Recording && (rate <= 0 || samples < 0))
            finishLater(
                {BenchAudioError::BadFormat,
                 QStringLiteral("Invalid recording format (%1 Hz, %2 samples).").arg(rate).arg(samples)});
        else if (m_kind == Recording && samples > kMaxRecordSamples)
            finishLater({BenchAudioError::TooLong, QStringLiteral("The recording is too long.")});
        else
            m_timer.start(m_kind == Stream ? kStreamMs : 0);
    }
    ~BenchJob() override { cancel(); }

protected:
    void halt() override
    {
        m_timer.stop();
        if (m_kind == Recording)
            --m_audio.m_active;
    }

private:
    static constexpr int kStreamMs = 100;        // stream block period (ms)
    static constexpr double kRecordBlockS = 0.5; // recording block (s)

    void tick()
    {
        if (m_kind == Playback)
            return finish({});
        if (m_kind == Stream && m_audio.m_active > 0)
            return; // the reading has the card
        const qint64 block = m_kind == Stream
                                 ? qint64(m_rate) * kStreamMs / 1000
                                 : std::min<qint64>(qint64(m_rate * kRecordBlockS), m_total - m_done);
        Bench &bench = m_audio.m_bench;
        // The bench's settings and attenuators at this moment; ones it cannot
        // simulate end the job with the reason.
        QVector<qint16> out;
        const QString err = bench.generate(bench.state(), m_rate, block, out);
        if (!err.isEmpty())
            return finish({BenchAudioError::Settings, QStringLiteral("Virtual bench: ") + err});
        m_done += block;
        deliver(out);
        if (ended() || m_kind == Stream)
            return;
        Q_EMIT progress(m_total > 0 ? double(m_done) / m_total : 1.0);
        if (m_done >= m_total) {
            ++m_audio.m_recordings;
            finish({});
        }
    }

    BenchAudio &m_audio;
    Kind m_kind;
    int m_rate;
    qint64 m_total;
    qint64 m_done = 0;
    QTimer m_timer;
};

std::unique_ptr<AudioJob> BenchAudio::record(int rate, qint64 samples)
{
    return std::make_unique<BenchJob>(*this, BenchJob::Recording, rate, samples);
}

std::unique_ptr<AudioJob> BenchAudio::stream(int rate)
{
    return std::make_unique<BenchJob>(*this, BenchJob::Stream, rate, 0);
}

std::unique_ptr<AudioJob> BenchAudio::play(const QString &)
{
    return std::make_unique<BenchJob>(*this, BenchJob::Playback, 0, 0);
}

void BenchAudio::beep(int, int) {}

int BenchSerial::open(int port, bool dtr, bool rts)
{
    if (m_open)
        return kErrAlreadyOpen;
    if (!deviceExists(port))
        return kErrNoSuchPort;
    m_open = true;
    m_port = port;
    m_bench.setPortLines(true, dtr, rts);
    return 0;
}

bool BenchSerial::setLines(bool dtr, bool rts)
{
    // Lines of a closed port go nowhere, as on a real port.
    if (m_open)
        m_bench.setPortLines(true, dtr, rts);
    return m_open;
}

void BenchSerial::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_port = 0;
    m_bench.setPortLines(false, false, false);
}

QString BenchSerial::deviceName(int port) const
{
    return deviceExists(port) ? QStringLiteral("virtual bench, port %1").arg(port) : QString();
}

bool BenchSerial::deviceExists(int port) const
{
    return port >= kFirstPort && port <= kLastPort;
}
