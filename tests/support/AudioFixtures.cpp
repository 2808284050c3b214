#include "AudioFixtures.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>

namespace {
QString script()
{
    return qEnvironmentVariable("TQX_SOURCE_DIR", QStringLiteral(TQX_SOURCE_DIR_FALLBACK))
        + QStringLiteral("/scripts/pulse-test-server");
}
} // namespace

QString startPulseServer(QString *pulseDir)
{
    QProcess p;
    p.start(QStringLiteral("bash"), {script(), QStringLiteral("start")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        return QStringLiteral("PulseAudio test server did not start: ")
            + QString::fromLocal8Bit(p.readAllStandardError().right(2000));
    }
    static const QRegularExpression line(QStringLiteral("^export ([A-Z_]+)='([^']*)'$"));
    for (const QString &l : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const auto m = line.match(l.trimmed());
        if (m.hasMatch())
            qputenv(m.captured(1).toLatin1().constData(), m.captured(2).toLocal8Bit());
    }
    *pulseDir = qEnvironmentVariable("TQX_PULSE_DIR");
    return pulseDir->isEmpty() ? QStringLiteral("PulseAudio test server gave no folder") : QString();
}

void stopPulseServer(const QString &pulseDir)
{
    if (pulseDir.isEmpty())
        return;
    QProcess p;
    p.start(QStringLiteral("bash"), {script(), QStringLiteral("stop"), pulseDir});
    p.waitForFinished(10000);
}

bool writeToneWave(const QString &path, double amplitude, double hz, double seconds, int rate)
{
    const quint32 n = quint32(rate * seconds), bytes = 2 * n;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream s(&f);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("RIFF", 4);
    s << quint32(36 + bytes);
    s.writeRawData("WAVEfmt ", 8);
    // fmt: PCM, mono, rate, bytes per second, block align 2, 16 bits
    s << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(2 * rate);
    s << quint16(2) << quint16(16);
    s.writeRawData("data", 4);
    s << bytes;
    for (quint32 i = 0; i < n; ++i)
        s << qint16(std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return s.status() == QDataStream::Ok && f.flush();
}
