// The physics without a sheet: conversions, the Y-factor cascade (worked
// examples and an independent forward model it must invert), the ENR curves,
// the chi-square statistics, the statistics of a measurement series and the
// level analysis with its kernels.
#include "bench/ChiSquarePlain.h"
#include "physics/Conversions.h"
#include "physics/Level.h"
#include "physics/Series.h"
#include "physics/Spline.h"
#include "physics/YFactor.h"

#include <QtTest>

#include <complex>

using namespace physics;
using Samples = std::vector<std::int16_t>;
Q_DECLARE_METATYPE(Samples)
Q_DECLARE_METATYPE(std::vector<double>)

namespace {
const double kNan = std::nan("");
// Noise temperature behind an attenuator, written out independently.
double through(double t, double tPhys, double lossDb) { return t / std::pow(10, lossDb / 10) + tPhys * (1 - std::pow(10, -lossDb / 10)); }
Samples generate(int n, const std::function<double(int)> &f)
{
    Samples s(n);
    for (int i = 0; i < n; ++i)
        s[i] = std::int16_t(std::lround(std::clamp(f(i), -1.0, 32767.0 / 32768) * 32768));
    return s;
}
double orNan(bool ok, double v) { return ok ? v : kNan; }
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
        const std::vector<double> x{100, 1000, 2000, 5000}, y{15, 15.9, 16.9, 19.9}; // a line: 1 dB/GHz
        const std::vector<double> y2 = naturalSplineSecondDerivatives(x, y);
        // Worked example: Thot 9000 K, Tcold 290 K, levels 10/20 and 30/38 dB, attenuators 0 dB at 290 K.
        CascadeInput in{9000, 290, 290, 290, 0, 0, 0, 0, LevelUnits::Db, LevelPair{10, 20}, LevelPair{30, 38}};
        const CascadeResult dB = cascade(in);
        in.att22 = 10 * std::log10(2);
        const CascadeResult att22 = cascade(in);
        in.units = LevelUnits::Watt, in.instrument = {1, 10}, in.combined = {100, std::pow(10, 2.8)}, in.att22 = 0;
        const CascadeResult watt = cascade(in);
        in.units = LevelUnits::Volt, in.instrument = {1, std::sqrt(10)}, in.combined = {10, std::pow(10, 1.4)};
        const CascadeResult volt = cascade(in);
        in.units = LevelUnits::Db, in.instrument = {-1e-17, 0}, in.combined = {30, 38}; // 10^(1e-18) is exactly 1
        const CascadeResult yOf1 = cascade(in);
        in.instrument = {10, 30};
        const CascadeResult coldRx = cascade(in);
        QTest::newRow("ENR of Thot 9452.7 K") << EnrFromThot(9452.7) << 15.0 << 5e-3;
        QTest::newRow("no ENR at 290 K") << EnrFromThot(290) << kNan << 0.0;
        QTest::newRow("3 dB at 290 K halves the excess") << AttenuatorTemp(590, 290, 10 * std::log10(2)) << 440.0 << 1e-9;
        QTest::newRow("example: Te2") << orNan(dB.instrument.ok, dB.instrument.te) << 6100 / 9.0 << 1e-9;
        QTest::newRow("example: NF2") << dB.instrument.nfDb << 5.2338 << 1e-4;
        QTest::newRow("example: gain") << orNan(dB.device.ok, dB.device.gainDb) << 17.708 << 1e-3;
        QTest::newRow("example: Te1") << dB.device.te << 1338.94 << 5e-3;
        QTest::newRow("example Att22 3 dB: gain") << att22.device.gainDb << 20.718 << 1e-3;
        QTest::newRow("example Att22 3 dB: Te1") << att22.device.te << 1336.49 << 5e-3;
        QTest::newRow("example in Watt: Te1") << orNan(watt.device.ok, watt.device.te) << 1338.94 << 5e-3;
        QTest::newRow("example in Volt: Te1") << orNan(volt.device.ok, volt.device.te) << 1338.94 << 5e-3;
        QTest::newRow("Y of 1: no Te2") << orNan(yOf1.instrument.ok, 0) << kNan << 0.0;
        QTest::newRow("Y of 1: Te12 still") << orNan(yOf1.combined.ok, yOf1.combined.te) << 1350.43 << 5e-3;
        QTest::newRow("Te2 below 0: shown") << orNan(coldRx.instrument.ok, coldRx.instrument.te) << -20000 / 99.0 << 1e-9;
        QTest::newRow("Te2 below 0: no NF") << coldRx.instrument.nfDb << kNan << 0.0;
        QTest::newRow("Te2 below 0: no device") << orNan(coldRx.device.ok, 0) << kNan << 0.0;
        QTest::newRow("spline on a line") << splineAt(x, y, y2, 3000) << 17.9 << 1e-6;
        QTest::newRow("spline of one knot") << splineAt({x.data(), 1}, y, y2, 100) << kNan << 0.0;
        // The uneven vendor table (10 MHz, 100 MHz, 1 GHz, 20 GHz) at 1.5 GHz, from an independent script.
        const std::vector<double> ux{10, 100, 1000, 20000}, uy{15.5, 14.84, 14.91, 14.5};
        QTest::newRow("uneven table at 1.5 GHz: monotone") << hermiteAt(ux, uy, monotoneSlopes(ux, uy), 1500) << 14.909993 << 1e-6;
        QTest::newRow("linear extends the end segment") << linearAt(ux, uy, 39000) << 14.09 << 1e-9;
        QTest::newRow("linear of one knot") << linearAt({ux.data(), 1}, uy, 100) << kNan << 0.0;
        // Published chi-square percentage points; the bisection stops at a width of 1e-6.
        QTest::newRow("chi df 10 lower 2.5 %") << CritChi(0.975, 10) << 3.24697 << 2e-5;
        QTest::newRow("chi df 399 lower 2.5 %") << CritChi(0.975, 399) << 345.55 << 5e-3;
        QTest::newRow("normal tail against erfc") << poz(-1.3) << 0.5 * std::erfc(1.3 / std::sqrt(2.0)) << 2e-9;
        QTest::newRow("chi tail df 4 closed form") << pochisq(7.5, 4) << std::exp(-3.75) * 4.75 << 1e-12;
        // 95 % interval of a standard deviation from the same tables: s sqrt(dof / chi) at 97.5 % and 2.5 %.
        QTest::newRow("sigma 9 dof: low sqrt(9 / 19.0228)") << sigmaInterval(1, 9, 95).low << 0.687837 << 1e-5;
        QTest::newRow("sigma 9 dof: high sqrt(9 / 2.70039)") << sigmaInterval(1, 9, 95).high << 1.825610 << 1e-5;
        QTest::newRow("sigma scales with s") << sigmaInterval(0.13, 9, 95).high << 0.237329 << 1e-5;
        QTest::newRow("sigma 1 dof: high sqrt(1 / 0.000982)") << sigmaInterval(1, 1, 95).high << 31.910 << 0.02;
        QTest::newRow("sigma 200 dof: low sqrt(200 / 241.058)") << sigmaInterval(1, 200, 95).low << 0.910869 << 1e-5;
        QTest::newRow("sigma 200 dof: high sqrt(200 / 162.728)") << sigmaInterval(1, 200, 95).high << 1.108621 << 1e-5;
        QTest::newRow("sigma without dof: none") << orNan(sigmaInterval(1, 0, 95).ok, 1) << kNan << 0.0;
        QTest::newRow("sigma of NaN: none") << orNan(sigmaInterval(kNan, 5, 95).ok, 1) << kNan << 0.0;
        // Series statistics. Times as seconds since the epoch (1.8e9): the sums must not cancel.
        using V = std::vector<double>;
        auto stats = [](const V &t, const V &v) { return seriesStats(t, v); };
        const V epoch{1.8e9, 1.8e9 + 60, 1.8e9 + 120, 1.8e9 + 180, 1.8e9 + 240};
        const SeriesStats flat = stats(epoch, {2.5, 2.5, 2.5, 2.5, 2.5});
        const SeriesStats ramp = stats(epoch, {1.0, 1.1, 1.2, 1.3, 1.4}); // 0.1 dB a minute
        const SeriesStats one = stats({10}, {3.25}), none = stats({}, {});
        const SeriesStats two = stats({0, 1800}, {1, 2}), sameTime = stats({5, 5}, {1, 2});
        const SeriesStats gaps = stats({0, 1, 2, kNan, 4}, {1, kNan, 3, 7, HUGE_VAL});
        QTest::newRow("series constant: mean") << flat.mean << 2.5 << 1e-12;
        QTest::newRow("series constant: no scatter") << orNan(flat.hasSigma, flat.sigma) << 0.0 << 1e-12;
        QTest::newRow("series constant: no drift") << orNan(flat.hasSlope, flat.slopePerHour) << 0.0 << 1e-9;
        QTest::newRow("series ramp: 6 dB per hour") << orNan(ramp.hasSlope, ramp.slopePerHour) << 6.0 << 1e-9;
        QTest::newRow("series ramp: sample sigma") << ramp.sigma << std::sqrt(0.025) << 1e-12;
        QTest::newRow("series of one: its value") << one.mean << 3.25 << 0.0;
        QTest::newRow("series of one: no sigma") << orNan(one.hasSigma, 0) << kNan << 0.0;
        QTest::newRow("series of one: no slope") << orNan(one.hasSlope, 0) << kNan << 0.0;
        QTest::newRow("series empty: nothing") << orNan(none.count > 0, none.mean) << kNan << 0.0;
        QTest::newRow("series of two: slope per hour") << orNan(two.hasSlope, two.slopePerHour) << 2.0 << 1e-12;
        QTest::newRow("series of two: sigma") << two.sigma << std::sqrt(0.5) << 1e-12;
        QTest::newRow("series at one time: no slope") << orNan(sameTime.hasSlope, 0) << kNan << 0.0;
        QTest::newRow("series skips NaN and inf: count") << double(gaps.count) << 2.0 << 0.0;
        QTest::newRow("series skips NaN and inf: slope") << gaps.slopePerHour << 3600.0 << 1e-9;
    }
    void values()
    {
        QFETCH(double, got);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        QVERIFY2(std::isnan(expected) ? std::isnan(got) : std::fabs(got - expected) <= tolerance, qPrintable(QString::number(got, 'g', 12)));
    }

    // Every curve through the knots; the straight line halves at midpoints; the monotone cubic never leaves the range
    // of two neighbouring knots (nor does the line); the natural spline's excursions beyond 0.05 dB, as
    // "from-to:size" (an independent script, 256 samples per interval).
    void interpolation_data()
    {
        QTest::addColumn<std::vector<double>>("x");
        QTest::addColumn<std::vector<double>>("y");
        QTest::addColumn<QString>("splineExcursions");
        QTest::newRow("uneven vendor table") << std::vector<double>{10, 100, 1000, 20000} << std::vector<double>{15.5, 14.84, 14.91, 14.5}
                                             << "100-1000:1.13;1000-20000:12.06";
        std::vector<double> x20{10, 100}, y20{15.20, 15.05, 14.90, 15.02, 15.12, 15.20, 15.26, 15.31, 15.33, 15.36,
                                             15.38, 15.37, 15.35, 15.30, 15.24, 15.17, 15.08, 14.98, 14.87, 14.75};
        for (int g = 1; g <= 18; ++g)
            x20.push_back(1000.0 * g);
        QTest::newRow("20 rows, 1 GHz steps: dip to 14.77 dB") << x20 << y20 << "100-1000:0.13";
        QTest::newRow("the three-point example: within 0.05 dB") << std::vector<double>{1000, 2000, 3000} << std::vector<double>{15, 15.5, 14.8} << "";
        QTest::newRow("plateaus around a step") << std::vector<double>{1, 2, 3, 4, 5} << std::vector<double>{10, 10, 10, 12, 12}
                                                << "1-2:0.07;2-3:0.21;4-5:0.26";
        QTest::newRow("two knots") << std::vector<double>{1000, 2000} << std::vector<double>{15, 16} << "";
    }
    void interpolation()
    {
        QFETCH(std::vector<double>, x);
        QFETCH(std::vector<double>, y);
        QFETCH(QString, splineExcursions);
        const std::vector<double> d = monotoneSlopes(x, y), y2 = naturalSplineSecondDerivatives(x, y);
        for (std::size_t k = 0; k < x.size(); ++k) {
            QCOMPARE(hermiteAt(x, y, d, x[k]), y[k]);
            QCOMPARE(linearAt(x, y, x[k]), y[k]);
            if (k + 1 < x.size())
                QVERIFY(std::fabs(linearAt(x, y, (x[k] + x[k + 1]) / 2) - (y[k] + y[k + 1]) / 2) < 1e-12);
        }
        QVERIFY(rangeExcursions(x, y, [&](double at) { return hermiteAt(x, y, d, at); }, 1e-12).empty());
        QVERIFY(rangeExcursions(x, y, [&](double at) { return linearAt(x, y, at); }, 1e-12).empty());
        QStringList got;
        for (const Excursion &e : rangeExcursions(x, y, [&](double at) { return splineAt(x, y, y2, at); }, 0.05))
            got << QString("%1-%2:%3").arg(e.fromX).arg(e.toX).arg(e.size, 0, 'f', 2);
        QCOMPARE(got.join(';'), splineExcursions);
    }

    // The skipping series must match the published term-by-term one where it could show.
    void skippingMatchesPlain()
    {
        for (int df : {399, 400, 99999}) {
            for (double x : {0.9 * df, df - 2.0 * std::sqrt(2.0 * df), double(df), 1.1 * df})
                QVERIFY(std::fabs(pochisq(x, df) - pochisqPlain(x, df)) <= 1e-8 * pochisqPlain(x, df) + 1e-300);
            const double skip = nmucUncertainty(df / 2.0, 1, 95, false), plain = nmucUncertainty(df / 2.0, 1, 95, false, pochisqPlain);
            QVERIFY(skip > 0 && std::fabs(skip - plain) < 1e-6);
        }
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
                                         LevelPair{level(cal(tCold)), level(cal(tHot))}, LevelPair{level(comb(tCold)), level(comb(tHot))}});
        QVERIFY(r.device.ok && std::fabs(r.instrument.te / te2 - 1) < 1e-9);
        QVERIFY(std::fabs(r.device.gain / g1 - 1) < 1e-9 && std::fabs(r.device.te / te1 - 1) < 1e-9);
    }

    void level_data()
    {
        QTest::addColumn<Samples>("samples"); // 96001: several blocks and an odd tail
        QTest::addColumn<int>("rate");
        QTest::addColumn<double>("ms"); // to 2e-6 of full scale squared
        QTest::addColumn<bool>("clipped"); // with the limits on; never with them off
        const double pi = 4 * std::atan(1.0);
        Samples spike(4800, 0), nearMiss(4800, 0);
        spike[2400] = std::int16_t(0.41 * 32768);
        nearMiss[2400] = std::int16_t(0.39 * 32768);
        // The tracker is the high-pass (1 - z^-1) / (1 - (1 - k) z^-1): A^2/2 times its gain at 1 kHz.
        const std::complex<double> z = std::polar(1.0, -2 * pi * 1000 / 48000);
        const double gain = std::norm((1.0 - z) / (1.0 - (1 - dcTrackerCoefficient(48000)) * z));
        // At 100 Hz the initial estimate sums M + 1 = 2 samples but divides by 0.01 R = 1: dc = 2c.
        const double k100 = 1 - std::exp(-2 * pi * 20 / 100);
        QTest::newRow("sine A=0.35 gives A^2/2") << generate(96001, [&](int i) { return 0.35 * std::sin(2 * pi * 1000 * i / 48000); })
                                                  << 48000 << 0.06125 * gain << false;
        QTest::newRow("pure DC settles to 0") << Samples(48000, 8192) << 48000 << 0.0 << false;
        QTest::newRow("initial estimate divisor") << Samples{8192, 8192} << 100 << 0.0625 * (1 + (1 - k100) * (1 - k100)) / 2 << false;
        QTest::newRow("spike 0.41 clips") << spike << 48000 << 0.41 * 0.41 / 4800 << true;
        QTest::newRow("0.39 is no clip") << nearMiss << 48000 << 0.39 * 0.39 / 4800 << false;
    }
    // Every kernel agrees bit for bit, and with the tracker run sample by sample to 1e-12 relative.
    void level()
    {
        QFETCH(Samples, samples);
        QFETCH(int, rate);
        QFETCH(double, ms);
        QFETCH(bool, clipped);
        const std::int64_t n = std::int64_t(samples.size());
        const LevelResult r = analyseSamples(samples.data(), n, rate, true, LevelKernel::Portable);
        QVERIFY(r.ok && r.analysed == n && r.clipped == clipped && !analyseSamples(samples.data(), n, rate, false).clipped);
        QVERIFY2(std::fabs(r.ms - ms) <= 2e-6, qPrintable(QString::number(r.ms, 'g', 12)));
        if (levelKernelAvailable(LevelKernel::Avx2))
            QVERIFY(analyseSamples(samples.data(), n, rate, true, LevelKernel::Avx2).ms == r.ms); // bit for bit
        const double k = dcTrackerCoefficient(rate), window = double(std::min<std::int64_t>(initialDcWindow(rate) + 1, n));
        double dc = 0, sum = 0;
        for (int i = 0; i < window; ++i)
            dc += samples[i] / 32768.0;
        dc /= window == initialDcWindow(rate) + 1 ? 0.01 * rate : window;
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
