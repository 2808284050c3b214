// Header walk, raw/trimmed file building and the level analysis on
// in-memory wave images.
#include "acquire/Wave.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <complex>
#include <random>

namespace {

QByteArray le(quint32 v, int bytes = 4)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b.left(bytes);
}

// A wave image: fmt chunk of `fmtSize` bytes, optional chunk between fmt
// and data, declared data size `dataSize` (-1: the real size).
QByteArray wave(const QVector<qint16> &s, int rate = 48000, int fmtSize = 16, int tag = 1,
                int align = 2, const QByteArray &between = {}, qint64 dataSize = -1)
{
    QByteArray fmt = le(tag, 2) + le(1, 2) + le(rate) + le(rate * align) + le(align, 2) + le(16, 2);
    fmt += QByteArray(fmtSize - 16, '\0');
    QByteArray data(2 * s.size(), '\0');
    qToLittleEndian<qint16>(s.constData(), s.size(), data.data());
    const QByteArray body = "WAVEfmt " + le(fmtSize) + fmt + between + "data"
        + le(dataSize < 0 ? data.size() : dataSize) + data;
    return "RIFF" + le(body.size()) + body;
}

LevelResult analyse(QByteArray image, bool limits = true)
{
    QBuffer buf(&image);
    buf.open(QIODevice::ReadOnly);
    const WaveInfo info = ReadWaveHeader(buf);
    return analyseLevel(buf, buf.pos(), wholeSamples(info), info.Rate, limits);
}

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

    void headerWalk_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("samples");
        QTest::addColumn<qint64>("firstSample");
        const QVector<qint16> s(10, 0);
        const QByteArray ok = wave(s, 44100);
        QTest::newRow("16-byte fmt") << ok << 44100 << 10 << qint64(44);
        QTest::newRow("18-byte fmt") << wave(s, 22050, 18) << 22050 << 10 << qint64(46);
        QTest::newRow("RIFF size not checked") << QByteArray(ok).replace(4, 4, le(0)) << 44100 << 10 << qint64(44);
        QTest::newRow("odd size 7 rounds to 4") << wave(s, 8000, 16, 1, 2, {}, 7) << 8000 << 4 << qint64(44);
        QTest::newRow("odd size 5 rounds to 2") << wave(s, 8000, 16, 1, 2, {}, 5) << 8000 << 2 << qint64(44);
        QTest::newRow("LIST before data") << wave(s, 48000, 16, 1, 2, "LIST" + le(4) + "INFO") << 0 << 0 << qint64(-1);
        QTest::newRow("fact before data") << wave(s, 48000, 16, 1, 2, "fact" + le(4) + le(10)) << 0 << 0 << qint64(-1);
        QTest::newRow("float format tag") << wave(s, 48000, 16, 3) << 0 << 0 << qint64(-1);
        QTest::newRow("extensible tag") << wave(s, 48000, 40, 0xFFFE) << 0 << 0 << qint64(-1);
        QTest::newRow("block align 4") << wave(s, 48000, 16, 1, 4) << 0 << 0 << qint64(-1);
        QTest::newRow("not RIFF") << QByteArray(ok).replace(0, 4, "RIFX") << 0 << 0 << qint64(-1);
        QTest::newRow("not WAVE") << QByteArray(ok).replace(8, 4, "AVI ") << 0 << 0 << qint64(-1);
        QTest::newRow("negative fmt size") << QByteArray(ok).replace(16, 4, le(quint32(-8))) << 0 << 0 << qint64(-1);
        QTest::newRow("fmt size past the end") << QByteArray(ok).replace(16, 4, le(1u << 30)) << 0 << 0 << qint64(-1);
        QTest::newRow("truncated in fmt") << ok.left(30) << 0 << 0 << qint64(-1);
        QTest::newRow("truncated in data size") << ok.left(42) << 0 << 0 << qint64(-1);
        QTest::newRow("empty file") << QByteArray() << 0 << 0 << qint64(-1);
    }
    void headerWalk()
    {
        QFETCH(QByteArray, image);
        QBuffer buf(&image);
        QVERIFY(buf.open(QIODevice::ReadOnly));
        QFETCH(int, rate);
        QFETCH(int, samples);
        const WaveInfo info = ReadWaveHeader(buf);
        QCOMPARE(info.Rate, rate);
        QCOMPARE(info.Samples, samples);
        QFETCH(qint64, firstSample);
        if (firstSample >= 0)
            QCOMPARE(buf.pos(), firstSample);
    }

    // Raw file in the template's layout, then the trimmed reading from it.
    void buildFiles_data()
    {
        QTest::addColumn<int>("fmtSize");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("keep");
        QTest::newRow("44-byte header") << 16 << 100 << 40;
        QTest::newRow("46-byte header") << 18 << 100 << 40;
        QTest::newRow("nothing kept") << 16 << 100 << 0;
    }
    void buildFiles()
    {
        QFETCH(int, fmtSize);
        QFETCH(int, skip);
        QFETCH(int, keep);
        const QByteArray tpl = wave(QVector<qint16>(3, 7), 8000, fmtSize);
        const int h = 28 + fmtSize;
        const int total = skip + keep + 10;
        const QVector<qint16> rec = generate(total, [](int i) { return (i - 500) / 32768.0; });

        QByteArray raw;
        QBuffer rawBuf(&raw);
        rawBuf.open(QIODevice::WriteOnly);
        QString error;
        QVERIFY(writeRawWave(rawBuf, tpl.left(h), rec, &error));
        rawBuf.close();
        QCOMPARE(raw, QByteArray(wave(rec, 8000, fmtSize)));

        rawBuf.open(QIODevice::ReadOnly);
        QByteArray out;
        QBuffer outBuf(&out);
        outBuf.open(QIODevice::WriteOnly);
        QVERIFY(buildTrimmedWave(rawBuf, h, skip, keep, outBuf, &error));
        // RIFF size is 36 + 2N whatever the header length.
        QByteArray expected = wave(rec.mid(skip, keep), 8000, fmtSize).replace(4, 4, le(36 + 2 * keep));
        QCOMPARE(out, expected);

        // One sample more than the raw file holds: refused, nothing read past it.
        outBuf.close();
        outBuf.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QVERIFY(!buildTrimmedWave(rawBuf, h, skip, total - skip + 1, outBuf, &error));
        QVERIFY(error.contains(QLatin1String("bytes")));
    }

    void coefficients_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("k");
        QTest::addColumn<qint64>("window");
        QTest::newRow("44100 Hz") << 44100 << 0.0028454611 << qint64(441);
        QTest::newRow("22050 Hz (220.5 to even)") << 22050 << 0.0056828256 << qint64(220);
        QTest::newRow("48000 Hz") << 48000 << 0.0026145699 << qint64(480);
    }
    void coefficients()
    {
        QFETCH(int, rate);
        QFETCH(double, k);
        QFETCH(qint64, window);
        QCOMPARE(initialDcWindow(rate), window);
        QVERIFY2(std::fabs(dcTrackerCoefficient(rate) - k) < 1e-9, qPrintable(QString::number(dcTrackerCoefficient(rate), 'g', 12)));
    }

    void level_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("tolerance"); // absolute
        QTest::addColumn<bool>("clipped");
        QTest::addColumn<qint64>("analysed");
        const double pi = 4 * std::atan(1.0);
        std::mt19937 rng(12345);
        std::normal_distribution<double> gauss(0.0, 1.0);
        auto sine = generate(48000, [&](int i) { return 0.35 * std::sin(2 * pi * 1000 * i / 48000); });
        auto noise = generate(96000, [&](int) { return 0.05 * gauss(rng); });
        auto dcNoise = generate(96000, [&](int) { return 0.3 + 0.05 * gauss(rng); });
        auto spike = QVector<qint16>(4800, 0);
        spike[2400] = qint16(0.41 * 32768);
        auto nearMiss = spike;
        nearMiss[2400] = qint16(0.39 * 32768);
        auto lsb = generate(48000, [](int i) { return (i % 2 ? 1 : -1) / 32768.0; });
        const double lsbMs = 1.0 / (32768.0 * 32768.0);
        const QByteArray junk = "LIST" + le(8) + QByteArray(8, '\x7f');

        // The tracker is the high-pass (1 - z^-1) / (1 - (1 - k) z^-1): A^2/2
        // times its power gain at 1 kHz (slightly above 1).
        const std::complex<double> z = std::polar(1.0, -2 * pi * 1000 / 48000);
        const double gain = std::norm((1.0 - z) / (1.0 - (1 - dcTrackerCoefficient(48000)) * z));
        QTest::newRow("sine A=0.35 gives A^2/2") << wave(sine) << true << 0.06125 * gain << 2e-6 << false << qint64(48000);
        QTest::newRow("gaussian noise 0.05") << wave(noise) << true << 0.0025 << 1e-4 << false << qint64(96000);
        QTest::newRow("DC 0.3 plus noise 0.05") << wave(dcNoise) << true << 0.0025 << 1e-4 << false << qint64(96000);
        QTest::newRow("pure DC settles to 0") << wave(QVector<qint16>(48000, 8192)) << true << 0.0 << 1e-8 << false << qint64(48000);
        QTest::newRow("spike 0.41 limits on") << wave(spike, 48000) << true << 0.41 * 0.41 / 4800 << 1e-6 << true << qint64(4800);
        QTest::newRow("spike 0.41 limits off") << wave(spike, 48000) << false << 0.41 * 0.41 / 4800 << 1e-6 << false << qint64(4800);
        QTest::newRow("0.39 is no clip") << wave(nearMiss, 48000) << true << 0.39 * 0.39 / 4800 << 1e-6 << false << qint64(4800);
        QTest::newRow("one LSB square wave") << wave(lsb) << true << lsbMs << lsbMs * 0.01 << false << qint64(48000);
        QTest::newRow("silence") << wave(QVector<qint16>(1000, 0)) << true << 0.0 << 0.0 << false << qint64(1000);
        // Shorter than the 481-sample DC window, then a loud chunk: the
        // window averages what the data holds and reads nothing after it.
        QTest::newRow("short reading before LIST") << wave(QVector<qint16>(10, 6554)) + junk << true << 0.0 << 1e-20 << false << qint64(10);
        QTest::newRow("odd size 7 reads 3 samples") << wave(QVector<qint16>(3, 0), 48000, 16, 1, 2, {}, 7) + QByteArray(9, '\x7f') << true << 0.0 << 0.0 << false << qint64(3);
        QTest::newRow("truncated data") << wave(QVector<qint16>(10, 0), 48000, 16, 1, 2, {}, 2000) << true << 0.0 << 0.0 << false << qint64(10);
    }
    void level()
    {
        QFETCH(QByteArray, image);
        QFETCH(double, ms);
        QFETCH(double, tolerance);
        QFETCH(bool, limits);
        QFETCH(bool, clipped);
        QFETCH(qint64, analysed);
        const LevelResult r = analyse(image, limits);
        QVERIFY(r.ok);
        QVERIFY2(std::fabs(r.ms - ms) <= tolerance, qPrintable(QString::number(r.ms, 'g', 10)));
        QCOMPARE(r.clipped, clipped);
        QCOMPARE(r.analysed, analysed);
    }

    // The initial estimate sums M + 1 samples but divides by 0.01 R: at 100 Hz
    // M = 1, so two samples of c give dc = 2c; worked through by hand.
    void initialEstimateDivisor()
    {
        const double c = 0.25;
        const double k = 1 - std::exp(-2 * 4 * std::atan(1.0) * 20 / 100);
        const double expected = c * c * (1 + (1 - k) * (1 - k)) / 2;
        const LevelResult r = analyse(wave({8192, 8192}, 100));
        QVERIFY(r.ok);
        QVERIFY2(std::fabs(r.ms - expected) < 1e-12, qPrintable(QString::number(r.ms, 'g', 12)));
    }

    void nothingToAnalyse_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::newRow("no data bytes") << wave({}, 48000);
        QTest::newRow("declared but absent") << wave({}, 48000, 16, 1, 2, {}, 100);
        QTest::newRow("one odd byte") << wave({}, 48000, 16, 1, 2, {}, 1) + QByteArray(1, '\1');
    }
    void nothingToAnalyse()
    {
        QFETCH(QByteArray, image);
        QVERIFY(!analyse(image).ok);
    }
};

QTEST_GUILESS_MAIN(TstWave)
#include "tst_wave.moc"
