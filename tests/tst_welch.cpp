// The input spectrum's mathematics: Welch PSD scaling, where a tone lands, and the noise bandwidth
// of the passband read off the spectrum against the bench's band-pass, whose ENBW is known.
#include "acquire/Bench.h"
#include "physics/Welch.h"

#include <QtTest>

#include <cmath>

class TstSpectrum : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A tone: the highest bin is within one bin of its frequency, and the PSD integrates to its mean
    // square (a sine of amplitude a: a^2 / 2), also between bins and on a DC offset.
    void tone_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("dc");
        QTest::newRow("1 kHz at 48 kHz") << 48000 << 1000.0 << 0.1 << 0.0;
        QTest::newRow("between bins at 44.1 kHz, on a DC offset") << 44100 << 3333.3 << 0.3 << 0.05;
        QTest::newRow("near Nyquist at 8 kHz") << 8000 << 3900.0 << 0.01 << 0.0;
    }
    void tone()
    {
        QFETCH(int, rate);
        QFETCH(double, hz);
        QFETCH(double, amplitude);
        QFETCH(double, dc);
        physics::WelchSpectrum w(4096, rate);
        std::vector<std::int16_t> x(3 * rate);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = std::int16_t(std::lround(32767 * (dc + amplitude * std::sin(2 * M_PI * hz * i / rate))));
        w.add(x.data(), x.size());
        const std::vector<double> p = w.psd();
        QCOMPARE(int(p.size()), 2049);
        const physics::Passband pb = physics::findPassband(p, w.binHz());
        QVERIFY2(std::abs(pb.peakBin * w.binHz() - hz) <= w.binHz(), qPrintable(QString::number(pb.peakBin)));
        double ms = 0;
        for (double v : p)
            ms += v * w.binHz();
        QVERIFY2(std::abs(ms / (amplitude * amplitude / 2) - 1) < 0.01, qPrintable(QString::number(ms)));
    }

    // Noise through the bench's fourth-order Butterworth band-pass: the ENBW read off the spectrum is
    // within 5 % of the filter's own, with hum and a birdie on top and with a sliding average.
    void noiseBandwidth_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("lines"); // amplitude of 50 Hz hum and a birdie mid-band
        QTest::addColumn<int>("keep");
        QTest::newRow("SSB 300-2700 Hz at 48 kHz") << 48000 << 300.0 << 2700.0 << 0.0 << 0;
        QTest::newRow("CW 400-900 Hz at 48 kHz") << 48000 << 400.0 << 900.0 << 0.0 << 0;
        QTest::newRow("wide 100-12000 Hz at 44.1 kHz") << 44100 << 100.0 << 12000.0 << 0.0 << 0;
        QTest::newRow("strong hum and birdie") << 48000 << 300.0 << 2700.0 << 0.2 << 0;
        QTest::newRow("live: last 32 segments") << 48000 << 300.0 << 2700.0 << 0.0 << 32;
    }
    void noiseBandwidth()
    {
        QFETCH(int, rate);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, lines);
        QFETCH(int, keep);
        Bench bench;
        BenchSettings s;
        s.bandLowHz = low;
        s.bandHighHz = high;
        bench.setSettings(s);
        QVector<qint16> x;
        QCOMPARE(bench.generate(BenchState{true, true, true}, rate, 10 * qint64(rate), x), QString());
        for (qsizetype i = 0; i < x.size(); ++i)
            x[i] = qint16(x[i] + std::lround(32767 * lines *
                                             (std::sin(2 * M_PI * 50 * i / rate) +
                                              std::sin(2 * M_PI * (low + high) / 2 * i / rate))));
        physics::WelchSpectrum w(4096, rate, keep);
        w.add(reinterpret_cast<const std::int16_t *>(x.constData()), std::size_t(x.size()));
        const physics::Passband pb = physics::findPassband(w.psd(), w.binHz());
        // The bench's ENBW is the integral of |H|^2; ENBW proper divides by its peak, below 1 where the
        // two edges of a narrow band overlap (fourth-order Butterworth edges).
        double peak = 0;
        for (double f = low; f <= high; f += 1)
            peak = std::max(peak, 1 / (1 + std::pow(low / f, 8)) / (1 + std::pow(f / high, 8)));
        const double truth = bench.noiseBandwidthHz(rate) / peak;
        QVERIFY(pb.ok);
        QVERIFY2(std::abs(pb.enbwHz / truth - 1) < 0.05,
                 qPrintable(QStringLiteral("%1 Hz, filter %2 Hz").arg(pb.enbwHz).arg(truth)));
        QVERIFY(pb.lowBin * w.binHz() < low && pb.highBin * w.binHz() > high);
    }
};

QTEST_GUILESS_MAIN(TstSpectrum)
#include "tst_welch.moc"
