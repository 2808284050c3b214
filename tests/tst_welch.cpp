// The input spectrum's mathematics: Welch PSD scaling, where a tone lands, and the noise bandwidth
// of the passband read off the spectrum against the bench's band-pass, whose ENBW is known.
#include "acquire/Bench.h"
#include "acquire/Monitor.h"
#include "physics/Welch.h"

#include <QtTest>

#include <cmath>
#include <random>

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

    // Lines in the monitor's spectrum. White noise has none, also in the first spectrum after a start (4
    // segments), whose highest bin stands 11 dB above the noise by chance with this seed. A sine in the
    // noise is reported at its frequency, as far above the noise as a Hann-windowed bin puts it:
    // A^2 N / (6 sigma^2) for a sine on a bin, up to 1.4 dB less between bins.
    void lines_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("hz");        // the sine's frequency; 0: noise alone
        QTest::addColumn<double>("amplitude"); // the sine's, full scale 1, in noise of sigma 0.05
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("white noise, first spectrum, 11 dB by chance") << 0.25 << 0.0 << 0.0 << 1648u;
        QTest::newRow("white noise, 2 s") << 2.0 << 0.0 << 0.0 << 1u;
        QTest::newRow("3 kHz sine on a bin, 32 dB above") << 2.0 << 3000.0 << 0.076 << 1u;
        QTest::newRow("1 kHz sine between bins, 21 dB above") << 2.0 << 1000.0 << 0.022 << 1u;
    }
    void lines()
    {
        QFETCH(double, seconds);
        QFETCH(double, hz);
        QFETCH(double, amplitude);
        QFETCH(unsigned, seed);
        Monitor mon(nullptr, QString()); // 48000 Hz, fed directly
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0.0, 0.05);
        std::vector<qint16> x(std::size_t(seconds * mon.rate()));
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = qint16(
                std::lround(32767 * (noise(rng) + amplitude * std::sin(2 * M_PI * hz * i / mon.rate()))));
        mon.process(x.data(), qsizetype(x.size()));
        const physics::Passband &pb = mon.passband();
        QVERIFY(pb.ok);
        if (hz == 0) {
            QCOMPARE(pb.lineBin, -1);
            // The same spectrum judged as an average of enough segments would show the chance line.
            if (seconds < 0.5)
                QVERIFY(physics::findPassband(mon.spectrum(), mon.binHz()).lineBin >= 0);
            return;
        }
        const double onBinDb = 10 * std::log10(amplitude * amplitude * 4096 / (6 * 0.05 * 0.05));
        QVERIFY2(std::abs(pb.lineHz - hz) < 0.1 * mon.binHz(), qPrintable(QString::number(pb.lineHz)));
        QVERIFY2(pb.lineDb > onBinDb - 2 && pb.lineDb < onBinDb + 0.7,
                 qPrintable(QStringLiteral("%1 dB, %2 on a bin").arg(pb.lineDb).arg(onBinDb)));
    }
};

QTEST_GUILESS_MAIN(TstSpectrum)
#include "tst_welch.moc"
