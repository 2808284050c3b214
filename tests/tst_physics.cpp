// The physics without a sheet: conversions, the Y-factor cascade (worked
// examples and an independent forward model it must invert), the ENR spline,
// the chi-square statistics and the level analysis with its kernels.
#include "bench/ChiSquarePlain.h"
#include "physics/ChiSquare.h"
#include "physics/Conversions.h"
#include "physics/Level.h"
#include "physics/Spline.h"
#include "physics/YFactor.h"

#include <QtTest>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

using namespace physics;
Q_DECLARE_METATYPE(std::vector<std::int16_t>)

namespace {
const double kNan = std::nan("");
// Noise temperature behind an attenuator, written out independently.
double through(double t, double tPhys, double lossDb) { return t / std::pow(10, lossDb / 10) + tPhys * (1 - std::pow(10, -lossDb / 10)); }
std::vector<std::int16_t> generate(int n, const std::function<double(int)> &f)
{
    std::vector<std::int16_t> s(n);
    for (int i = 0; i < n; ++i)
        s[i] = std::int16_t(std::lround(std::clamp(f(i), -1.0, 32767.0 / 32768) * 32768));
    return s;
}
} // namespace

class TstPhysics : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void values_data()
    {
        QTest::addColumn<double>("got");
        QTest::addColumn<double>("expected"); // NaN: must be NaN
        QTest::addColumn<double>("tolerance");
        QTest::newRow("ENR of Thot 9452.7 K") << EnrFromThot(9452.7) << 15.0 << 5e-3;
        QTest::newRow("no ENR at 290 K") << EnrFromThot(290) << kNan << 0.0;
        QTest::newRow("Thot of ENR 15 dB") << ThotFromEnr(15) << 290 * (std::pow(10, 1.5) + 1) << 1e-9;
        QTest::newRow("0 dB attenuator passes") << AttenuatorTemp(1000, 77, 0) << 1000.0 << 0.0;
        QTest::newRow("3 dB at 290 K halves the excess") << AttenuatorTemp(590, 290, 10 * std::log10(2)) << 440.0 << 1e-9;
        QTest::newRow("attenuator at its own temperature") << AttenuatorTemp(300, 300, 20) << 300.0 << 1e-9;
        QTest::newRow("NF of 290 K is 3.01 dB") << noiseFigureDb(290) << 10 * std::log10(2) << 1e-12;
        QTest::newRow("Te of NF round trip") << noiseTemperature(noiseFigureDb(75)) << 75.0 << 1e-9;
        QTest::newRow("no NF below -290 K") << noiseFigureDb(-300) << kNan << 0.0;
        // Spline through a cubic's samples is exact where a natural spline can be: a straight line.
        const std::vector<double> x{100, 1000, 2000, 5000}, y{15, 15.9, 16.9, 19.9}; // 1 dB/GHz
        const std::vector<double> y2 = naturalSplineSecondDerivatives(x, y);
        QTest::newRow("spline on a line") << splineAt(x, y, y2, 3000) << 17.9 << 1e-6;
        QTest::newRow("spline extrapolates") << splineAt(x, y, y2, 6000) << 20.9 << 1e-6;
        QTest::newRow("spline of one knot") << splineAt({x.data(), 1}, y, y2, 100) << kNan << 0.0;
        // Published chi-square percentage points; the bisection stops at a width of 1e-6.
        QTest::newRow("chi df 10 lower 2.5 %") << CritChi(0.975, 10) << 3.24697 << 2e-5;
        QTest::newRow("chi df 399 lower 2.5 %") << CritChi(0.975, 399) << 345.55 << 5e-3;
        QTest::newRow("chi df 2 upper 10 %") << CritChi(0.1, 2) << 2 * std::log(10.0) << 1e-6;
        QTest::newRow("chi p 0 gives the ceiling") << CritChi(0, 10) << 99999.0 << 0.0;
        QTest::newRow("normal tail against erfc") << poz(-1.3) << 0.5 * std::erfc(1.3 / std::sqrt(2.0)) << 2e-9;
        QTest::newRow("chi tail df 4 closed form") << pochisq(7.5, 4) << std::exp(-3.75) * 4.75 << 1e-12;
        QTest::newRow("chi tail outside the domain") << pochisq(-1, 5) << 1.0 << 0.0;
        QTest::newRow("uncertainty 400 dof 95 %") << nmucUncertainty(2000, 0.1, 95, false) << 0.64 << 5e-3;
        QTest::newRow("uncertainty of 1 dof is 0") << nmucUncertainty(5, 0.1, 95, false) << 0.0 << 0.0;
        QTest::newRow("uncertainty never negative") << nmucUncertainty(-2000, 0.1, 95, false) << 0.0 << 0.0;
    }
    void values()
    {
        QFETCH(double, got);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        if (std::isnan(expected))
            QVERIFY2(std::isnan(got), qPrintable(QString::number(got)));
        else
            QVERIFY2(std::fabs(got - expected) <= tolerance, qPrintable(QString::number(got, 'g', 12)));
    }

    // The skipping series must match the published term-by-term one where it could show.
    void skippingMatchesPlain()
    {
        for (int df : {399, 400, 99999}) {
            for (double x : {0.9 * df, df - 2.0 * std::sqrt(2.0 * df), double(df), 1.1 * df})
                QVERIFY2(std::fabs(pochisq(x, df) - pochisqPlain(x, df)) <= 1e-8 * pochisqPlain(x, df) + 1e-300,
                         qPrintable(QString("df %1 x %2").arg(df).arg(x)));
            const double skip = nmucUncertainty(df / 2.0, 1, 95, false), plain = nmucUncertainty(df / 2.0, 1, 95, false, pochisqPlain);
            QVERIFY(skip > 0 && std::fabs(skip - plain) < 1e-6);
        }
    }

    // Worked example: Thot 9000 K, Tcold 290 K, levels 10/20 and 30/38 dB.
    void workedExamples_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QList<double>>("levels"); // instrument lo, hi, combined lo, hi
        QTest::addColumn<double>("att22");
        QTest::addColumn<QList<double>>("expected"); // Te2, NF2 dB, Te12, gain dB, Te1; NaN: not ok
        const QList<double> all{677.778, 5.23, 1350.43, 17.708, 1338.94};
        QTest::newRow("dB") << 0 << QList<double>{10, 20, 30, 38} << 0.0 << all;
        QTest::newRow("Watt") << 1 << QList<double>{1, 10, 100, std::pow(10, 2.8)} << 0.0 << all;
        QTest::newRow("Volt") << 2 << QList<double>{1, std::sqrt(10), 10, std::pow(10, 1.4)} << 0.0 << all;
        QTest::newRow("Att22 3 dB") << 0 << QList<double>{10, 20, 30, 38} << 10 * std::log10(2) << QList<double>{677.778, 5.23, 1350.43, 20.718, 1336.49};
        QTest::newRow("Y of 1: nothing") << 0 << QList<double>{-1e-17, 0, 30, 38} << 0.0 << QList<double>{kNan, kNan, 1350.43, kNan, kNan};
        QTest::newRow("Watt LO 0: nothing") << 1 << QList<double>{0, 10, 0, 600} << 0.0 << QList<double>{kNan, kNan, kNan, kNan, kNan};
        QTest::newRow("Te2 below 0: no device") << 0 << QList<double>{10, 30, 30, 38} << 0.0 << QList<double>{-202.02, kNan, 1350.43, kNan, kNan};
    }
    void workedExamples()
    {
        QFETCH(int, units);
        QFETCH(QList<double>, levels);
        QFETCH(double, att22);
        QFETCH(QList<double>, expected);
        CascadeInput in;
        in.tHot = 9000, in.tCold = 290, in.tAtt1 = 290, in.tAtt2 = 290, in.att22 = att22;
        in.units = LevelUnits(units);
        in.instrument = LevelPair{levels[0], levels[1]};
        in.combined = LevelPair{levels[2], levels[3]};
        const CascadeResult r = cascade(in);
        const double nf2 = r.instrument.nfDb;
        const QList<double> got{r.instrument.ok ? r.instrument.te : kNan, r.instrument.ok ? nf2 : kNan,
                                r.combined.ok ? r.combined.te : kNan, r.device.ok ? r.device.gainDb : kNan,
                                r.device.ok ? r.device.te : kNan};
        for (int i = 0; i < 5; ++i)
            QVERIFY2(std::isnan(expected[i]) ? std::isnan(got[i]) : std::fabs(got[i] - expected[i]) < 0.006,
                     qPrintable(QString("%1: %2").arg(i).arg(got[i], 0, 'g', 10)));
    }

    // Levels an ideal set-up of known Te2, G1, Te1 gives must be inverted; attenuator 2 (at Tatt2) follows the device.
    void cascadeInversion_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QList<double>>("p"); // Att11, Att12, Att21, Att22 (dB), Tatt1, Tatt2 (K), Te2, G1 (dB), Te1
        QTest::newRow("all attenuators, Tatt2 400 K") << 0 << QList<double>{1, 4, 2, 10, 350, 400, 1200, 25, 75};
        QTest::newRow("Watt, Att22 6 dB at 77 K") << 1 << QList<double>{0, 0, 0, 6, 290, 77, 600, 20, 150};
        QTest::newRow("Volt, Tatt2 320 K") << 2 << QList<double>{0, 3, 0, 5, 290, 320, 900, 15, 420};
    }
    void cascadeInversion()
    {
        QFETCH(int, units);
        QFETCH(QList<double>, p);
        const double tHot = 9000, tCold = 77, k = 1e-6, g1 = std::pow(10, p[7] / 10), te2 = p[6], te1 = p[8];
        auto cal = [&](double ts) { return k * (through(through(ts, p[4], p[0]), p[5], p[1]) + te2); };
        auto comb = [&](double ts) { return k * (through(g1 * (through(ts, p[4], p[2]) + te1), p[5], p[3]) + te2); };
        auto level = [units](double w) { return units == 0 ? 10 * std::log10(w) : units == 1 ? w : std::sqrt(w); };
        const CascadeResult r = cascade({tHot, tCold, p[4], p[5], p[0], p[1], p[2], p[3], LevelUnits(units),
                                         LevelPair{level(cal(tCold)), level(cal(tHot))},
                                         LevelPair{level(comb(tCold)), level(comb(tHot))}});
        QVERIFY(r.device.ok);
        QVERIFY(std::fabs(r.instrument.te / te2 - 1) < 1e-9);
        QVERIFY(std::fabs(r.device.gain / g1 - 1) < 1e-9);
        QVERIFY(std::fabs(r.device.te / te1 - 1) < 1e-9);
    }

    void level_data()
    {
        QTest::addColumn<std::vector<std::int16_t>>("samples");
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("tolerance"); // absolute
        QTest::addColumn<bool>("clipped");
        const double pi = 4 * std::atan(1.0);
        std::mt19937 rng(12345);
        std::normal_distribution<double> gauss(0.0, 1.0);
        auto spike = std::vector<std::int16_t>(4800, 0), nearMiss = spike;
        spike[2400] = std::int16_t(0.41 * 32768);
        nearMiss[2400] = std::int16_t(0.39 * 32768);
        // The tracker is the high-pass (1 - z^-1) / (1 - (1 - k) z^-1): A^2/2 times its gain at 1 kHz.
        const std::complex<double> z = std::polar(1.0, -2 * pi * 1000 / 48000);
        const double gain = std::norm((1.0 - z) / (1.0 - (1 - dcTrackerCoefficient(48000)) * z));
        // At 100 Hz the initial estimate sums M + 1 = 2 samples but divides by 0.01 R = 1: dc = 2c.
        const double k100 = 1 - std::exp(-2 * pi * 20 / 100);
        QTest::newRow("sine A=0.35 gives A^2/2") << generate(48000, [&](int i) { return 0.35 * std::sin(2 * pi * 1000 * i / 48000); })
                                                  << 48000 << true << 0.06125 * gain << 2e-6 << false;
        QTest::newRow("DC 0.3 plus noise 0.05") << generate(96001, [&](int) { return 0.3 + 0.05 * gauss(rng); }) << 48000 << true << 0.0025 << 1e-4 << false;
        QTest::newRow("pure DC settles to 0") << std::vector<std::int16_t>(48000, 8192) << 48000 << true << 0.0 << 1e-8 << false;
        QTest::newRow("initial estimate divisor") << std::vector<std::int16_t>{8192, 8192} << 100 << true
                                                  << 0.0625 * (1 + (1 - k100) * (1 - k100)) / 2 << 1e-12 << false;
        QTest::newRow("spike 0.41 limits on") << spike << 48000 << true << 0.41 * 0.41 / 4800 << 1e-6 << true;
        QTest::newRow("spike 0.41 limits off") << spike << 48000 << false << 0.41 * 0.41 / 4800 << 1e-6 << false;
        QTest::newRow("0.39 is no clip") << nearMiss << 48000 << true << 0.39 * 0.39 / 4800 << 1e-6 << false;
    }
    // Every kernel agrees bit for bit, and with the tracker run sample by sample to 1e-12 relative.
    void level()
    {
        QFETCH(std::vector<std::int16_t>, samples);
        QFETCH(int, rate);
        QFETCH(bool, limits);
        QFETCH(double, ms);
        QFETCH(double, tolerance);
        QFETCH(bool, clipped);
        const std::int64_t n = std::int64_t(samples.size());
        const LevelResult r = analyseSamples(samples.data(), n, rate, limits, LevelKernel::Portable);
        QVERIFY(r.ok && r.analysed == n && r.clipped == clipped);
        QVERIFY2(std::fabs(r.ms - ms) <= tolerance, qPrintable(QString::number(r.ms, 'g', 12)));
        if (levelKernelAvailable(LevelKernel::Avx2)) {
            const LevelResult v = analyseSamples(samples.data(), n, rate, limits, LevelKernel::Avx2);
            QVERIFY(v.ms == r.ms); // bit for bit, not within a tolerance
            QCOMPARE(v.clipped, r.clipped);
        }
        const double k = dcTrackerCoefficient(rate);
        const std::int64_t window = std::min<std::int64_t>(initialDcWindow(rate) + 1, n);
        double dc = 0, sum = 0;
        for (std::int64_t i = 0; i < window; ++i)
            dc += samples[i] / 32768.0;
        dc /= window == initialDcWindow(rate) + 1 ? 0.01 * rate : double(window);
        for (std::int16_t x : samples) {
            const double d = x / 32768.0 - dc;
            dc += k * d;
            sum += d * d;
        }
        // 1e-15 of full scale squared (-150 dB, far below 16-bit quantisation) absorbs a pure DC's rounding residue.
        QVERIFY2(std::fabs(r.ms - sum / n) <= 1e-12 * sum / n + 1e-15, qPrintable(QString::number(r.ms / (sum / n) - 1)));
    }
};

QTEST_GUILESS_MAIN(TstPhysics)
#include "tst_physics.moc"
