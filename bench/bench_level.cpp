// Level analysis of a 100 s, 48 kHz reading (4.8 M samples, 9.6 MB),
// streamed from a real file, timed in one run against two references on the
// same file:
//   - `sox FILE -n stat`, which reads the file and computes its statistics:
//     the analysis must be at least 8 times faster;
//   - a floor loop that only reads the samples in the same blocks and sums
//     their squares (exactly, in 64-bit integers): the analysis must stay
//     within 2 times of it.
// Each time is the median of several runs with the file in the page cache.
// Prints the times and both ratios; exit status 1 when a target is missed.
#include "acquire/Wave.h"
#include "physics/Level.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 100;
constexpr qint64 kSamples = qint64(kRate) * kSeconds;

// The test file: noise of 0.1 full scale RMS on a small DC offset.
bool writeReading(const QString &path)
{
    QByteArray data(2 * kSamples, '\0');
    std::mt19937 rng(1);
    std::normal_distribution<double> g(0.0, 0.1);
    for (qint64 i = 0; i < kSamples; ++i) {
        const double x = std::clamp(0.01 + g(rng), -1.0, 32767.0 / 32768);
        qToLittleEndian<qint16>(qint16(std::lround(x * 32768)), data.data() + 2 * i);
    }
    QByteArray h("RIFF....WAVEfmt ");
    auto put32 = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto put16 = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    put32(16);
    put16(1);
    put16(1);
    put32(kRate);
    put32(2 * kRate);
    put16(2);
    put16(16);
    h.append("data");
    put32(quint32(data.size()));
    qToLittleEndian<quint32>(quint32(36 + data.size()), h.data() + 4);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(h + data) == h.size() + data.size();
}

// Wall time of one call, in ms.
double timeMs(const std::function<void()> &f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return timer.nsecsElapsed() / 1e6;
}

double median(std::vector<double> t)
{
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

volatile double g_sink; // keeps the results alive

double analyse(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const WaveInfo info = ReadWaveHeader(f);
    return analyseLevel(f, f.pos(), wholeSamples(info), info.Rate, true).ms;
}

// The floor: the same file, the same 64 KiB blocks, nothing but x^2 summed.
double floorLoop(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(44))
        return -1;
    std::vector<qint16> block(32768);
    std::int64_t sum = 0;
    for (qint64 left = kSamples; left > 0;) {
        const qint64 n = std::min<qint64>(32768, left);
        if (f.read(reinterpret_cast<char *>(block.data()), 2 * n) != 2 * n)
            return -1;
        for (qint64 i = 0; i < n; ++i)
            sum += std::int32_t(block[i]) * block[i];
        left -= n;
    }
    return double(sum);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reading.wav"));
    if (!dir.isValid() || !writeReading(path)) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 2;
    }
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    g_sink = analyse(path) + floorLoop(path); // warm the page cache

    // The analysis and the floor alternate, so that both see the same load.
    std::vector<double> tqxRuns, floorRuns, soxRuns;
    for (int i = 0; i < 21; ++i) {
        tqxRuns.push_back(timeMs([&] { g_sink = analyse(path); }));
        floorRuns.push_back(timeMs([&] { g_sink = floorLoop(path); }));
    }
    for (int i = 0; i < 5 && !sox.isEmpty(); ++i) {
        soxRuns.push_back(timeMs([&] {
            QProcess p;
            p.start(sox, {path, QStringLiteral("-n"), QStringLiteral("stat")});
            if (!p.waitForFinished(60000) || p.exitCode() != 0)
                g_sink = -1;
        }));
    }
    const double tqx = median(tqxRuns), floorMs = median(floorRuns);
    // The kernels alone, on the samples in memory (no file reading).
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll().mid(44);
    std::vector<qint16> samples(bytes.size() / 2);
    qFromLittleEndian<qint16>(bytes.constData(), samples.size(), samples.data());
    std::vector<double> avxRuns, portableRuns;
    for (int i = 0; i < 21; ++i) {
        for (auto [kernel, runs] : {std::pair{physics::LevelKernel::Avx2, &avxRuns},
                                    std::pair{physics::LevelKernel::Portable, &portableRuns}}) {
            if (physics::levelKernelAvailable(kernel))
                runs->push_back(timeMs([&] {
                    g_sink = physics::analyseSamples(samples.data(), kSamples, kRate, true, kernel).ms;
                }));
        }
    }
    const double soxMs = soxRuns.empty() ? -1 : median(soxRuns);
    const char *kernel = physics::levelKernelAvailable(physics::LevelKernel::Avx2) ? "AVX2" : "portable";
    std::printf("100 s, 48 kHz reading, %lld samples, %.1f MB, page cache warm; medians\n",
                static_cast<long long>(kSamples), 2e-6 * kSamples);
    std::printf("  TQX level analysis (%s kernel)   %8.2f ms\n", kernel, tqx);
    std::printf("  floor: read + sum of squares      %8.2f ms\n", floorMs);
    if (!avxRuns.empty())
        std::printf("  AVX2 kernel alone, in memory      %8.2f ms\n", median(avxRuns));
    std::printf("  portable kernel alone, in memory  %8.2f ms\n", median(portableRuns));
    if (soxMs < 0) {
        std::printf("  sox FILE -n stat                  not found\n");
        return 2;
    }
    std::printf("  sox FILE -n stat                  %8.2f ms\n", soxMs);
    const double vsSox = soxMs / tqx, vsFloor = tqx / floorMs;
    std::printf("sox / TQX   = %6.1f  (target >= 8)   %s\n", vsSox, vsSox >= 8 ? "met" : "MISSED");
    std::printf("TQX / floor = %6.2f  (target <= 2)   %s\n", vsFloor, vsFloor <= 2 ? "met" : "MISSED");
    return vsSox >= 8 && vsFloor <= 2 ? 0 : 1;
}
