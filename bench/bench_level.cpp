// Level analysis of a 100 s, 48 kHz reading (4.8 M samples, 9.6 MB),
// streamed from a real file, against `sox FILE -n stat` on the same file.
// Target: the analysis at least 5 times faster than sox.
#include "acquire/Wave.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <sys/resource.h>

#include <cmath>
#include <random>

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 100;

// The test file: noise of 0.1 full scale RMS on a small DC offset.
const QString &readingFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("reading.wav"));
        const qint64 n = qint64(kRate) * kSeconds;
        QByteArray data(2 * n, '\0');
        std::mt19937 rng(1);
        std::normal_distribution<double> g(0.0, 0.1);
        for (qint64 i = 0; i < n; ++i) {
            const double x = std::clamp(0.01 + g(rng), -1.0, 32767.0 / 32768);
            qToLittleEndian<qint16>(qint16(std::lround(x * 32768)), data.data() + 2 * i);
        }
        QByteArray h("RIFF....WAVEfmt ");
        auto put32 = [&h](quint32 v) { char b[4]; qToLittleEndian(v, b); h.append(b, 4); };
        auto put16 = [&h](quint16 v) { char b[2]; qToLittleEndian(v, b); h.append(b, 2); };
        put32(16); put16(1); put16(1); put32(kRate); put32(2 * kRate); put16(2); put16(16);
        h.append("data");
        put32(quint32(data.size()));
        qToLittleEndian<quint32>(quint32(36 + data.size()), h.data() + 4);
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(h + data) != h.size() + data.size())
            return QString();
        return p;
    }();
    return path;
}

void BM_AnalyseLevel(benchmark::State &state)
{
    const QString path = readingFile();
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the test file");
        return;
    }
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const WaveInfo info = ReadWaveHeader(f);
        const LevelResult r = analyseLevel(f, f.pos(), wholeSamples(info), info.Rate, true);
        benchmark::DoNotOptimize(r.ms);
    }
    state.SetBytesProcessed(state.iterations() * 2 * qint64(kRate) * kSeconds);
}
BENCHMARK(BM_AnalyseLevel)->Unit(benchmark::kMillisecond);

// The reference: sox reads the same file and prints its statistics.
void BM_SoxStat(benchmark::State &state)
{
    const QString path = readingFile();
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    if (path.isEmpty() || sox.isEmpty()) {
        state.SkipWithError("sox not found or no test file");
        return;
    }
    auto childCpu = [] {
        rusage u{};
        getrusage(RUSAGE_CHILDREN, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double cpu0 = childCpu();
    for (auto _ : state) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(sox, {path, QStringLiteral("-n"), QStringLiteral("stat")});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            state.SkipWithError("sox failed");
            return;
        }
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
    // sox's own CPU time per run, in ms (the benchmark's CPU column is ours).
    state.counters["sox_cpu_ms"] = 1000 * (childCpu() - cpu0) / double(state.iterations());
    state.SetBytesProcessed(state.iterations() * 2 * qint64(kRate) * kSeconds);
}
BENCHMARK(BM_SoxStat)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
