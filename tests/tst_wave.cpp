// Header walk, raw/trimmed file building and streaming a reading into the level analysis, on in-memory wave images.
#include "acquire/Wave.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

QByteArray le(quint32 v, int bytes = 4)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b.left(bytes);
}

// fmt chunk of `fmtSize` bytes, optional chunk before data, declared data size (-1: real size).
QByteArray wave(const QVector<qint16> &s, int rate = 48000, int fmtSize = 16, int tag = 1, int align = 2,
                const QByteArray &between = {}, qint64 dataSize = -1)
{
    QByteArray fmt = le(tag, 2) + le(1, 2) + le(rate) + le(rate * align) + le(align, 2) + le(16, 2);
    QByteArray data(2 * s.size(), '\0');
    if (!s.isEmpty())
        qToLittleEndian<qint16>(s.constData(), s.size(), data.data());
    const QByteArray body = "WAVEfmt " + le(fmtSize) + fmt + QByteArray(fmtSize - 16, '\0') + between + "data"
        + le(dataSize < 0 ? data.size() : dataSize) + data;
    return "RIFF" + le(body.size()) + body;
}
QByteArray sized(qint64 dataSize, int n = 0) { return wave(QVector<qint16>(n, 0), 48000, 16, 1, 2, {}, dataSize); }

QVector<qint16> generate(int n, const std::function<double(int)> &f)
{
    QVector<qint16> s(n);
    for (int i = 0; i < n; ++i)
        s[i] = qint16(std::lround(qBound(-1.0, f(i), 32767.0 / 32768) * 32768));
    return s;
}

} // namespace

class TstWave : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCOMPARE(roundHalfEven(2.5), 2); QCOMPARE(roundHalfEven(3.5), 4); }

    // The header walk, then the samples it leads the analysis to (only whole samples the file holds).
    void walkAndAnalyse_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("rate");     // 0: not supported
        QTest::addColumn<int>("samples");  // as the header declares them
        QTest::addColumn<qint64>("analysed"); // -1: nothing to analyse
        QTest::addColumn<double>("ms");
        const QVector<qint16> s(10, 0);
        const QByteArray ok = wave(s, 44100);
        // The signal model is tested in tst_physics; streamed in blocks from a file it must give the same bits.
        const QVector<qint16> sine = generate(100000, [](int i) { return 0.35 * std::sin(i * 0.1309); });
        const double inMemory = physics::analyseSamples(sine.constData(), sine.size(), 48000, true).ms;
        QTest::newRow("sine streamed in blocks") << wave(sine) << 48000 << 100000 << qint64(100000) << inMemory;
        QTest::newRow("RIFF size not checked") << QByteArray(ok).replace(4, 4, le(0)) << 44100 << 10 << qint64(10) << 0.0;
        QTest::newRow("18-byte fmt") << wave(s, 22050, 18) << 22050 << 10 << qint64(10) << 0.0;
        // Shorter than the DC window, then a loud chunk: nothing read after the data.
        QTest::newRow("short reading before LIST") << wave(QVector<qint16>(10, 6554)) + "LIST" + le(8) + QByteArray(8, '\x7f')
                                                   << 48000 << 10 << qint64(10) << 0.0;
        QTest::newRow("odd size 7: 4 declared, 3 read") << sized(7, 3) + QByteArray(9, '\x7f') << 48000 << 4 << qint64(3) << 0.0;
        QTest::newRow("truncated data") << sized(2000, 10) << 48000 << 1000 << qint64(10) << 0.0;
        QTest::newRow("declared but absent") << sized(100) << 48000 << 50 << qint64(-1) << 0.0;
        QTest::newRow("one odd byte") << sized(1) + QByteArray(1, '\1') << 48000 << 0 << qint64(-1) << 0.0;
        QTest::newRow("LIST before data") << wave(s, 48000, 16, 1, 2, "LIST" + le(4) + "INFO") << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("float format tag") << wave(s, 48000, 16, 3) << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("block align 4") << wave(s, 48000, 16, 1, 4) << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("not WAVE") << QByteArray(ok).replace(8, 4, "AVI ") << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("negative fmt size") << QByteArray(ok).replace(16, 4, le(quint32(-8))) << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("fmt size past the end") << QByteArray(ok).replace(16, 4, le(1u << 30)) << 0 << 0 << qint64(-1) << 0.0;
        QTest::newRow("truncated in data size") << ok.left(42) << 0 << 0 << qint64(-1) << 0.0;
    }
    void walkAndAnalyse()
    {
        QFETCH(QByteArray, image);
        QFETCH(int, rate);
        QFETCH(int, samples);
        QFETCH(qint64, analysed);
        QFETCH(double, ms);
        QBuffer buf(&image);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        const WaveInfo info = ReadWaveHeader(buf);
        QCOMPARE(info.Rate, rate);
        QCOMPARE(info.Samples, samples);
        const LevelResult r = analyseLevel(buf, buf.pos(), wholeSamples(info), info.Rate, true);
        QCOMPARE(r.ok ? r.analysed : -1, analysed);
        QVERIFY(r.ms == ms); // bit for bit
    }

    // Raw file in the template's layout, then the trimmed reading from it.
    void buildFiles_data()
    {
        QTest::addColumn<int>("fmtSize");
        QTest::addColumn<int>("keep");
        QTest::newRow("44-byte header") << 16 << 40;
        QTest::newRow("46-byte header, nothing kept") << 18 << 0;
    }
    void buildFiles()
    {
        QFETCH(int, fmtSize);
        QFETCH(int, keep);
        const int h = 28 + fmtSize, skip = 100, total = skip + keep + 10;
        const QVector<qint16> rec = generate(total, [](int i) { return (i - 500) / 32768.0; });
        QByteArray raw, out;
        QBuffer rawBuf(&raw), outBuf(&out);
        QString error;
        rawBuf.open(QIODevice::WriteOnly);
        QVERIFY(writeRawWave(rawBuf, wave(QVector<qint16>(3, 7), 8000, fmtSize).left(h), rec, &error));
        rawBuf.close();
        QCOMPARE(raw, wave(rec, 8000, fmtSize));
        rawBuf.open(QIODevice::ReadOnly);
        outBuf.open(QIODevice::WriteOnly);
        // One sample more than the raw file holds: refused, nothing read past it.
        QVERIFY(!buildTrimmedWave(rawBuf, h, skip, total - skip + 1, outBuf, &error) && error.contains(QLatin1String("bytes")));
        QVERIFY(out.isEmpty() && buildTrimmedWave(rawBuf, h, skip, keep, outBuf, &error));
        QCOMPARE(out, wave(rec.mid(skip, keep), 8000, fmtSize).replace(4, 4, le(36 + 2 * keep))); // RIFF size 36 + 2N
    }
};

QTEST_GUILESS_MAIN(TstWave)
#include "tst_wave.moc"
