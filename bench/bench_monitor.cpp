// The input monitor at 48 kHz against a private PulseAudio server (scripts/pulse-test-server):
//   - latency from sound to bar: a wave file of 1 s of silence and then a tone is played into the
//     null sink whose monitor the input is; the time from the tone's nominal start (the playback's
//     start plus 1 s) to the first level window that shows it. It includes the playback's own
//     buffering, so it overstates the input side. Target: at most 100 ms (median of five runs).
//   - CPU: the process's user and system time over 10 s of monitoring (the audio back end's
//     threads included), as a share of one core. Target: at most 5 %. Also the analysis alone
//     (Monitor::process on 10 s of samples in memory).
// Prints the figures; exit status 1 when a target is missed, 2 when the server does not start.
#include "acquire/Monitor.h"
#include "qtplatform/AudioQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {
constexpr int kRate = 48000;
constexpr double kMaxLatencyMs = 100;
constexpr double kMaxCpuPercent = 5;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// Runs the event loop for `ms` milliseconds (idle in between, so the CPU figure is the monitor's).
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString pulseDir;
    const QString why = startPulseServer(&pulseDir);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 2;
    }
    QTemporaryDir dir;
    writeToneWave(dir.filePath(QStringLiteral("TQX.wav")), 0, 0, 0.001, kRate);
    // 1 s of silence, then a tone 0.1 of full scale: the silence is a tone of amplitude 0.
    const QString burst = dir.filePath(QStringLiteral("burst.wav"));
    {
        const QString tone = dir.filePath(QStringLiteral("tone.wav"));
        writeToneWave(tone, 0.1, 1000, 1.0, kRate);
        QFile in(tone), out(burst);
        in.open(QIODevice::ReadOnly);
        QByteArray bytes = in.readAll();
        QByteArray silence(2 * kRate, '\0');
        bytes.insert(44, silence);
        const quint32 data = quint32(bytes.size() - 44);
        qToLittleEndian<quint32>(data + 36, bytes.data() + 4);
        qToLittleEndian<quint32>(data, bytes.data() + 40);
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
    }
    int failures = 0;
    {
        TestBench b;
        AudioQt audio;
        b.inFolder(dir.path(), &audio);
        Monitor mon(b.meter.audio(), b.meter.session().templateWave());
        mon.start();
        spin(1500);

        // CPU over 10 s of live monitoring.
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuSeconds();
        spin(10000);
        const double cpuPercent = 100.0 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);

        // Latency, five runs.
        std::vector<double> latencies;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            double seen = -1;
            auto c = QObject::connect(&mon, &Monitor::updated, &mon, [&] {
                if (seen < 0 && t.isValid() && mon.windowDb() > -40)
                    seen = double(t.nsecsElapsed()) / 1e6;
            });
            std::unique_ptr<AudioJob> play = audio.play(burst);
            t.start();
            spin(2500);
            QObject::disconnect(c);
            latencies.push_back(seen < 0 ? 1e9 : seen - 1000.0);
            spin(500);
        }
        std::sort(latencies.begin(), latencies.end());
        const double median = latencies[latencies.size() / 2];

        // The analysis alone on 10 s of noise.
        std::mt19937 rng(1);
        std::normal_distribution<double> g(0, 3000);
        std::vector<qint16> x(10 * kRate);
        for (qint16 &v : x)
            v = qint16(std::clamp(g(rng), -32768.0, 32767.0));
        Monitor alone(b.meter.audio(), b.meter.session().templateWave());
        QElapsedTimer t;
        t.start();
        alone.process(x.data(), qsizetype(x.size()));
        const double alonePercent = 100.0 * (t.nsecsElapsed() / 1e9) / 10.0;

        std::printf("monitor latency sound to bar: median %.1f ms, runs", median);
        for (double l : latencies)
            std::printf(" %.1f", l);
        std::printf(" (target <= %.0f ms)\n", kMaxLatencyMs);
        std::printf("monitor CPU at %d Hz: %.2f %% of one core live, %.3f %% for the analysis alone (target "
                    "<= %.0f %%)\n",
                    kRate, cpuPercent, alonePercent, kMaxCpuPercent);
        failures += median > kMaxLatencyMs;
        failures += cpuPercent > kMaxCpuPercent;
    }
    stopPulseServer(pulseDir);
    return failures ? 1 : 0;
}
