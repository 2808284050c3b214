#include "acquire/BenchDevices.h"

#include "acquire/Bench.h"
#include "acquire/Recording.h"

AudioStatus BenchAudio::record(int rate, qint64 samples, QVector<qint16> &out)
{
    out.clear();
    if (rate <= 0 || samples < 0)
        return {BenchAudioError::BadFormat,
                QStringLiteral("Invalid recording format (%1 Hz, %2 samples).").arg(rate).arg(samples)};
    if (samples > kMaxRecordSamples)
        return {BenchAudioError::TooLong, QStringLiteral("The recording is too long.")};
    // The sheet's attenuator fields are the bench's truth at this moment.
    QString err = m_bench.refreshAttenuators();
    if (err.isEmpty())
        err = m_bench.generate(m_bench.state(), rate, samples, out);
    if (!err.isEmpty())
        return {BenchAudioError::Settings, QStringLiteral("Virtual bench: ") + err};
    ++m_recordings;
    return {};
}

AudioStatus BenchAudio::play(const QString &)
{
    return {};
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

void BenchSerial::setLines(bool dtr, bool rts)
{
    // Lines of a closed port go nowhere, as on a real port.
    if (m_open)
        m_bench.setPortLines(true, dtr, rts);
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
