#include "acquire/Wave.h"

#include <QFileDevice>
#include <QIODevice>
#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Samples moved per read or write while streaming (64 KiB of data).
constexpr qint64 kBlockSamples = 32768;

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

LevelResult analyseLevel(QIODevice &file, qint64 dataStart, qint64 samples, int rate, bool limits)
{
    const qint64 inFile = (file.size() - dataStart) / 2; // whole samples present
    const qint64 n = std::min(samples, inFile);
    if (rate <= 0 || n <= 0 || dataStart < 0)
        return LevelResult();
    physics::LevelAnalysis analysis(rate, n);
    // Read straight into 16-bit samples; the file is little-endian.
    std::vector<qint16> block(kBlockSamples);
    auto readBlock = [&](qint64 count) {
        if (file.read(reinterpret_cast<char *>(block.data()), 2 * count) != 2 * count)
            return false;
        if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            qFromLittleEndian<qint16>(block.data(), count, block.data());
        return true;
    };
    // The initial DC estimate over the first samples, then the whole pass
    // from the first sample again.
    if (!file.seek(dataStart))
        return LevelResult();
    for (qint64 done = 0; done < analysis.dcWindow();) {
        const qint64 count = std::min(kBlockSamples, analysis.dcWindow() - done);
        if (!readBlock(count))
            return LevelResult();
        analysis.addDcSamples(block.data(), static_cast<std::size_t>(count));
        done += count;
    }
    if (!file.seek(dataStart))
        return LevelResult();
    for (qint64 done = 0; done < n;) {
        const qint64 count = std::min(kBlockSamples, n - done);
        if (!readBlock(count))
            return LevelResult();
        analysis.addSamples(block.data(), static_cast<std::size_t>(count));
        done += count;
    }
    return analysis.result(limits);
}
