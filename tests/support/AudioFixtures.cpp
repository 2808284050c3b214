#include "AudioFixtures.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtEndian>
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
    const int n = int(rate * seconds);
    QByteArray wav(44 + 2 * n, '\0');
    char *h = wav.data();
    auto put32 = [&](int at, quint32 v) { qToLittleEndian<quint32>(v, h + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian<quint16>(v, h + at); };
    memcpy(h, "RIFF", 4);
    put32(4, 36 + 2 * n);
    memcpy(h + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1); // PCM
    put16(22, 1); // mono
    put32(24, rate);
    put32(28, 2 * rate);
    put16(32, 2);
    put16(34, 16);
    memcpy(h + 36, "data", 4);
    put32(40, 2 * n);
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / rate))),
                                h + 44 + 2 * i);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}
