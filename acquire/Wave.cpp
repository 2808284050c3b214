#include "acquire/Wave.h"

#include <QFileDevice>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Samples moved per read or write while streaming (64 KiB of data).
constexpr qint64 kBlockSamples = 32768;
// Full scale of a signed 16-bit sample.
constexpr double kFullScale = 32768.0;
// DC-removed magnitude, relative to full scale, above which a reading clips.
constexpr double kClipLevel = 0.4;
// Corner of the DC tracker in Hz.
constexpr double kDcCornerHz = 20.0;

bool readAt(QIODevice &f, qint64 pos, char *buf, qint64 len)
{
    // Checked first: a seek past the end is not an error for every device.
    return pos >= 0 && pos + len <= f.size() && f.seek(pos) && f.read(buf, len) == len;
}

bool tagAt(QIODevice &f, qint64 pos, const char *tag)
{
    char buf[4];
    return readAt(f, pos, buf, 4) && std::equal(buf, buf + 4, tag);
}

bool u16At(QIODevice &f, qint64 pos, quint16 *v)
{
    uchar buf[2];
    if (!readAt(f, pos, reinterpret_cast<char *>(buf), 2))
        return false;
    *v = qFromLittleEndian<quint16>(buf);
    return true;
}

bool i32At(QIODevice &f, qint64 pos, qint32 *v)
{
    uchar buf[4];
    if (!readAt(f, pos, reinterpret_cast<char *>(buf), 4))
        return false;
    *v = qFromLittleEndian<qint32>(buf);
    return true;
}

QByteArray le32(qint64 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(v), b.data());
    return b;
}

bool writeAll(QIODevice &out, const char *data, qint64 len, QString *error)
{
    if (out.write(data, len) == len)
        return true;
    if (error) {
        const auto *file = qobject_cast<const QFileDevice *>(&out);
        *error = QStringLiteral("Cannot write %1: %2")
                     .arg(file ? file->fileName() : QStringLiteral("the wave file"), out.errorString());
    }
    return false;
}

void fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

qint64 roundHalfEven(double x)
{
    return static_cast<qint64>(std::nearbyint(x)); // default FE_TONEAREST: ties to even
}

qint64 wholeSamples(const WaveInfo &info)
{
    return std::max<qint64>(0, std::min<qint64>(info.Samples, info.dataBytes / 2));
}

WaveInfo ReadWaveHeader(QIODevice &file)
{
    const WaveInfo unsupported;
    qint32 fmtSize = 0, rate = 0, dataSize = 0;
    quint16 tag = 0, blockAlign = 0;
    if (!tagAt(file, 0, "RIFF") || !tagAt(file, 8, "WAVE") || !tagAt(file, 12, "fmt "))
        return unsupported;
    if (!i32At(file, 16, &fmtSize) || !u16At(file, 20, &tag) || tag != 1)
        return unsupported;
    if (!u16At(file, 32, &blockAlign) || blockAlign != 2)
        return unsupported;
    if (!i32At(file, 24, &rate))
        return unsupported;
    const qint64 dataTag = 20 + static_cast<qint64>(fmtSize);
    if (!tagAt(file, dataTag, "data") || !i32At(file, dataTag + 4, &dataSize))
        return unsupported;
    // The file is now positioned at the first sample, 28 + F.
    WaveInfo info;
    info.Rate = rate;
    info.Samples = static_cast<qint32>(roundHalfEven(dataSize / 2.0));
    info.dataBytes = dataSize;
    return info;
}

bool writeRawWave(QIODevice &out, const QByteArray &templateHeader,
                  const QVector<qint16> &samples, QString *error)
{
    const qint64 h = templateHeader.size();
    const qint64 dataBytes = 2 * static_cast<qint64>(samples.size());
    if (h < 12 || h - 8 + dataBytes > std::numeric_limits<qint32>::max()) {
        fail(error, QStringLiteral("The recording does not fit in a wave file."));
        return false;
    }
    QByteArray header = templateHeader;
    qToLittleEndian<quint32>(static_cast<quint32>(h - 8 + dataBytes), header.data() + 4);
    qToLittleEndian<quint32>(static_cast<quint32>(dataBytes), header.data() + h - 4);
    if (!writeAll(out, header.constData(), h, error))
        return false;
    QByteArray block;
    for (qint64 i = 0; i < samples.size(); i += kBlockSamples) {
        const qint64 n = std::min<qint64>(kBlockSamples, samples.size() - i);
        block.resize(2 * n);
        qToLittleEndian<qint16>(samples.constData() + i, n, block.data());
        if (!writeAll(out, block.constData(), block.size(), error))
            return false;
    }
    return true;
}

bool buildTrimmedWave(QIODevice &raw, qint64 headerLen, qint64 skip, qint64 keep,
                      QIODevice &out, QString *error)
{
    if (headerLen < 12 || skip < 0 || keep < 0
        || 36 + 2 * keep > std::numeric_limits<qint32>::max()) {
        fail(error, QStringLiteral("Invalid trimming request."));
        return false;
    }
    const qint64 needed = headerLen + 2 * (skip + keep);
    if (raw.size() < needed) {
        fail(error, QStringLiteral("The raw recording holds %1 bytes, %2 are needed.")
                        .arg(raw.size()).arg(needed));
        return false;
    }
    // "WAVE", the fmt chunk and the "data" tag: bytes 8 .. headerLen - 5.
    QByteArray middle(headerLen - 12, '\0');
    if (!readAt(raw, 8, middle.data(), middle.size())) {
        fail(error, QStringLiteral("Cannot read the raw recording: %1").arg(raw.errorString()));
        return false;
    }
    const QByteArray head = QByteArrayLiteral("RIFF") + le32(36 + 2 * keep) + middle + le32(2 * keep);
    if (!writeAll(out, head.constData(), head.size(), error))
        return false;
    if (!raw.seek(headerLen + 2 * skip)) {
        fail(error, QStringLiteral("Cannot read the raw recording: %1").arg(raw.errorString()));
        return false;
    }
    QByteArray block;
    for (qint64 left = 2 * keep; left > 0;) {
        const qint64 n = std::min<qint64>(2 * kBlockSamples, left);
        block = raw.read(n);
        if (block.size() != n) {
            fail(error, QStringLiteral("Cannot read the raw recording: %1").arg(raw.errorString()));
            return false;
        }
        if (!writeAll(out, block.constData(), n, error))
            return false;
        left -= n;
    }
    return true;
}

double dcTrackerCoefficient(int rate)
{
    const double pi = 4.0 * std::atan(1.0);
    return 1.0 - std::exp(-2.0 * pi * kDcCornerHz / rate);
}

qint64 initialDcWindow(int rate)
{
    return roundHalfEven(0.01 * rate);
}

LevelResult analyseLevel(QIODevice &file, qint64 dataStart, qint64 samples, int rate, bool limits)
{
    LevelResult r;
    const qint64 inFile = (file.size() - dataStart) / 2; // whole samples present
    const qint64 n = std::min(samples, inFile);
    if (rate <= 0 || n <= 0 || dataStart < 0)
        return r;

    const double k = dcTrackerCoefficient(rate);
    QByteArray block(2 * kBlockSamples, Qt::Uninitialized); // reused for every read
    auto readBlock = [&](qint64 count) { return file.read(block.data(), 2 * count) == 2 * count; };
    auto sampleAt = [&](qint64 i) {
        return qFromLittleEndian<qint16>(block.constData() + 2 * i) / kFullScale;
    };

    // Initial DC estimate over M + 1 samples, divided by 0.01 R (not M + 1).
    // A reading shorter than that window averages what it has.
    const qint64 window = std::min(initialDcWindow(rate) + 1, n);
    const double divisor = window == initialDcWindow(rate) + 1 ? 0.01 * rate : double(window);
    double sum = 0;
    if (!file.seek(dataStart))
        return r;
    for (qint64 done = 0; done < window;) {
        const qint64 count = std::min(kBlockSamples, window - done);
        if (!readBlock(count))
            return r;
        for (qint64 i = 0; i < count; ++i)
            sum += sampleAt(i);
        done += count;
    }
    double dc = sum / divisor;

    // One pass. Per sample: d = x - dc (before the tracker moves on), then
    // dc += k d, which is dc' = a dc + k x with a = 1 - k. That chain through
    // dc would cost a full multiply-add latency per sample, so the samples go
    // in groups of L: with c_0 = 0 and c_(j+1) = a c_j + k x_j (independent
    // of dc), dc_j = a^j dc + c_j. Equal to the sample-by-sample loop up to
    // rounding; the squares are summed in L partial sums, and the largest |d|
    // is compared with the clipping level once at the end.
    constexpr int L = 16;
    const double a = 1.0 - k;
    double aPow[L + 1];
    aPow[0] = 1.0;
    for (int j = 0; j < L; ++j)
        aPow[j + 1] = aPow[j] * a;
    double partial[L] = {};
    double peak[L] = {}; // largest |d| per lane; clipping is decided once at the end
    // The pass works in sample counts: scaling by the full scale 2^15 is exact
    // in binary floating point, so the result is bit for bit the same as in
    // full-scale units, one multiply per sample cheaper.
    dc *= kFullScale;
    if (!file.seek(dataStart))
        return r;
    for (qint64 done = 0; done < n;) {
        const qint64 count = std::min(kBlockSamples, n - done);
        if (!readBlock(count))
            return r;
        const char *p = block.constData();
        qint64 i = 0;
        // G groups at a time: their c chains do not depend on dc or on each
        // other, so they run interleaved instead of one latency per sample;
        // only the dc hand-over between groups stays serial (one multiply-add
        // per L samples). Same arithmetic per group as the loop below.
        constexpr int G = 8;
        for (; i + G * L <= count; i += G * L) {
            double x[G][L], c[G][L + 1];
            for (int g = 0; g < G; ++g)
                for (int j = 0; j < L; ++j)
                    x[g][j] = qFromLittleEndian<qint16>(p + 2 * (i + g * L + j));
            for (int g = 0; g < G; ++g)
                c[g][0] = 0.0;
            for (int j = 0; j < L; ++j)
                for (int g = 0; g < G; ++g)
                    c[g][j + 1] = a * c[g][j] + k * x[g][j];
            for (int g = 0; g < G; ++g) {
                for (int j = 0; j < L; ++j) {
                    const double d = (x[g][j] - c[g][j]) - aPow[j] * dc;
                    peak[j] = std::max(peak[j], std::fabs(d));
                    partial[j] += d * d;
                }
                dc = aPow[L] * dc + c[g][L];
            }
        }
        for (; i + L <= count; i += L) {
            double x[L], c[L + 1], e[L];
            for (int j = 0; j < L; ++j)
                x[j] = qFromLittleEndian<qint16>(p + 2 * (i + j));
            c[0] = 0.0;
            for (int j = 0; j < L; ++j)
                c[j + 1] = a * c[j] + k * x[j];
            for (int j = 0; j < L; ++j)
                e[j] = x[j] - c[j];
            for (int j = 0; j < L; ++j) {
                const double d = e[j] - aPow[j] * dc;
                peak[j] = std::max(peak[j], std::fabs(d));
                partial[j] += d * d;
            }
            dc = aPow[L] * dc + c[L];
        }
        for (; i < count; ++i) {
            const double d = qFromLittleEndian<qint16>(p + 2 * i) - dc;
            peak[0] = std::max(peak[0], std::fabs(d));
            dc += k * d;
            partial[0] += d * d;
        }
        done += count;
    }
    double power = 0;
    bool over = false;
    for (int j = 0; j < L; ++j) {
        power += partial[j];
        over = over || peak[j] > kClipLevel * kFullScale;
    }
    r.ok = true;
    r.ms = power / (kFullScale * kFullScale) / n;
    r.clipped = limits && over;
    r.analysed = n;
    return r;
}
