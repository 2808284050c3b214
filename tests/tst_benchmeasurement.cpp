// The virtual bench: its noise follows the physics of the set-up, and a complete Y-factor
// measurement on it through the real buttons, recording, level analysis and results gives back the
// DUT's gain and noise figure within what the chi-square statistics of the four readings allow.
#include "acquire/Bench.h"
#include "calc/Nmuc.h"
#include "calc/Results.h"
#include "instrument/Commands.h"
#include "instrument/MeasurementSeries.h"
#include "instrument/DeviceMode.h"
#include "instrument/Guards.h"
#include "sheet/NumText.h"
#include "support/TestPlatform.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(BenchSettings)
Q_DECLARE_METATYPE(BenchAttenuators)
Q_DECLARE_METATYPE(BenchState)
Q_DECLARE_METATYPE(QList<GuardKind>)
Q_DECLARE_METATYPE(CalibrationState)
Q_DECLARE_METATYPE(BenchConverter)
Q_DECLARE_METATYPE(DeviceSetup)

namespace {

constexpr int kRate = 48000; // rate of the shipped template TQX.wav (Hz)
const BenchState kStates[4] = {
    {false, false, true}, {true, false, true}, {false, true, true}, {true, true, true}};
const Field kFields[4] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
const Control kButtons[4] = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21,
                             Control::btnNoise22};
const BenchAttenuators kAtts{0, 0, 3, 0, 290, 290}; // 3 dB before the DUT

// The main window's parameters set to the bench's truth, 1 s per reading.
void fillParameters(Sheet &s, const Bench &bench, const BenchAttenuators &atts = kAtts)
{
    const std::pair<Field, double> values[] = {
        {Field::Interval, 1},       {Field::Thot, bench.truth().thotK}, {Field::Tcold, bench.truth().tcoldK},
        {Field::Att11, atts.att11}, {Field::Att12, atts.att12},        {Field::Att21, atts.att21},
        {Field::Att22, atts.att22}, {Field::Tatt1, atts.tatt1},        {Field::Tatt2, atts.tatt2}};
    for (auto [f, v] : values)
        s.setText(f, FormatFixed(v, QStringLiteral("0.0000")));
}

// Mean square about the mean (full scale = 1).
double acPower(const QVector<qint16> &v)
{
    double sum = 0, squares = 0;
    for (qint16 x : v)
        sum += x, squares += double(x) * x;
    return (squares / v.size() - std::pow(sum / v.size(), 2)) / (32768.0 * 32768.0);
}

} // namespace

class TestBenchMeasurement : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    TestBench m_tb;
    Instrument &m_instrument = m_tb.loaded();
    Bench &bench() { return m_instrument.bench(); }
    void click(Control c)
    {
        m_instrument.click(c);
        QVERIFY(waitIdle(m_instrument));
    }

    // The zero with the receiver's audio unplugged, then the four readings
    // with the bench's own serial lines switching source and path.
    void measureWithSwitching()
    {
        m_instrument.session().ComEnabled = 1;
        bench().setReceiverConnected(false);
        click(Control::btnNoise00);
        bench().setReceiverConnected(true);
        for (Control c : kButtons)
            click(c);
    }

private Q_SLOTS:
    void init()
    {
        const QString binDir = qEnvironmentVariable("TQX_BINARY_DIR") + QLatin1Char('/');
        m_instrument.session().AppDir =
            QFileInfo::exists(binDir + QStringLiteral("TQX.wav"))
                ? binDir
                : qEnvironmentVariable("TQX_SOURCE_DIR") + QStringLiteral("/data/");
        m_instrument.session().TempWave = m_dir.filePath(QStringLiteral("~0000BENCH"));
        m_instrument.session().ComPort = 5;
        m_instrument.setRoute(DeviceRoute::Bench);
    }
    void cleanup()
    {
        setDeviceSetup(m_instrument, DeviceSetup{});
        m_instrument.setRoute(DeviceRoute::SoundCard);
    }

    // Two set-ups A and B per row: each mean square matches the model, and their ratio (floor
    // removed) is the ratio of total noise temperatures worked out by hand: Thot = 290 (10^1.5 + 1)
    // = 9460.6 K, Trx = 2610 K, DUT Te = 119.6 K, DUT gain 100. One seeded run each.
    void powerFollowsPhysics_data()
    {
        QTest::addColumn<BenchSettings>("settingsB");
        QTest::addColumn<BenchState>("stateA");
        QTest::addColumn<BenchState>("stateB");
        QTest::addColumn<BenchAttenuators>("atts");
        QTest::addColumn<double>("ratio");
        BenchSettings d;
        d.dutResponse.clear(); // the constant DUT above
        const BenchState cal{false, false, true}, calHot{true, false, true};
        const BenchState comb{false, true, true}, combHot{true, true, true};
        BenchSettings wide = d;
        wide.bandHighHz = 5100;
        QTest::newRow("Y of the receiver alone: 12070.6 / 2900")
            << d << cal << calHot << BenchAttenuators() << 4.16227766;
        QTest::newRow("Att12 3 dB cooled to 77 K: cold side 183.8 K")
            << d << cal << calHot << BenchAttenuators{0, 3, 0, 0, 290, 77} << 2.64516708;
        QTest::newRow("warm Att21 6 dB at 350 K before the DUT")
            << d << comb << combHot << BenchAttenuators{0, 0, 6, 0, 350, 290} << 5.79243120;
        // 300-5100 Hz against 300-2700 Hz; the filter skirts make it 1.994.
        QTest::newRow("audio band twice as wide") << wide << cal << cal << BenchAttenuators() << 1.994;
        BenchSettings stuck = d;
        stuck.sourceSwitches = false;
        QTest::newRow("a source that never switches stays cold")
            << stuck << cal << calHot << BenchAttenuators() << 1.0;
    }
    void powerFollowsPhysics()
    {
        QFETCH(BenchSettings, settingsB);
        QFETCH(BenchState, stateA);
        QFETCH(BenchState, stateB);
        QFETCH(BenchAttenuators, atts);
        QFETCH(double, ratio);
        constexpr double seconds = 20;
        Bench bench;
        BenchSettings a;
        a.dutResponse.clear();
        bench.setSettings(a);
        bench.setAttenuators(atts);
        double signal[2], sigma = 0;
        for (int i = 0; i < 2; ++i) {
            if (i == 1)
                bench.setSettings(settingsB);
            const BenchState st = i == 0 ? stateA : stateB;
            QVector<qint16> v;
            QCOMPARE(bench.generate(st, kRate, qint64(seconds * kRate), v), QString());
            // A mean square over T s of noise of statistical bandwidth B scatters by 1/sqrt(B T).
            sigma = 1.0 / std::sqrt(bench.statisticalBandwidthHz(kRate) * seconds);
            QVERIFY(std::abs(acPower(v) / bench.expectedMeanSquare(st, kRate) - 1) < 5 * sigma);
            signal[i] = acPower(v) - bench.floorMeanSquare();
        }
        QVERIFY2(std::abs(signal[1] / signal[0] / ratio - 1) < 5 * std::sqrt(2.0) * sigma,
                 qPrintable(QString::number(signal[1] / signal[0])));
    }

    // A source at 296.5 K read through its ENR table (a flat 15 dB): with the source's temperature when
    // off left at the 290 K reference the DUT's NF(1) reads about 0.07 dB high; set to 296.5 K the mean
    // of 500 seeded runs lies on the truth, within three standard errors. The bench's audio and the
    // results' cascade directly, without the readings' settling timers.
    void sourceTemperatureRemovesNfBias_data()
    {
        QTest::addColumn<double>("kelvin");
        QTest::addColumn<double>("biasDb");
        QTest::newRow("left at 290 K: NF(1) 0.068 dB high") << 290.0 << 0.0677;
        QTest::newRow("set to the source's 296.5 K: no bias") << 296.5 << 0.0;
    }
    void sourceTemperatureRemovesNfBias()
    {
        QFETCH(double, kelvin);
        QFETCH(double, biasDb);
        constexpr int runs = 500;
        constexpr qint64 samples = kRate / 5; // 0.2 s readings
        BenchSettings bs;
        bs.tcoldK = 296.5, bs.seed = 24;
        bs.dutResponse.clear(); // DUT 20 dB, NF 1.5 dB; receiver NF 10 dB
        // A wide audio band scatters less per sample: 0.2 s through 0.3-21 kHz.
        bs.bandHighHz = 21000, bs.rxGainDb = 99;
        Bench bench;
        bench.setSettings(bs);
        TestBench scratch;
        Instrument &m = scratch.loaded();
        m.session().SourceOffK = kelvin;
        m.session().EnrFileName = m_dir.filePath(QStringLiteral("flat.tab"));
        QVERIFY(writeFile(m.session().EnrFileName, "100\t15\n1000\t15\n10000\t15\n"));
        QCOMPARE(loadEnrTable(m), 0);
        physics::CascadeInput in = cascadeInputsFrom(m.sheet()).cascade; // Thot and Tcold of the table
        in.units = physics::LevelUnits::Watt;
        double sum = 0, squares = 0;
        for (int run = 0; run < runs; ++run) {
            double p[4];
            for (int i = 0; i < 4; ++i) {
                QVector<qint16> v;
                QCOMPARE(bench.generate(kStates[i], kRate, samples, v), QString());
                p[i] = acPower(v) - bench.floorMeanSquare(); // the sound card's zero
            }
            in.instrument = physics::LevelPair{p[0], p[1]}, in.combined = physics::LevelPair{p[2], p[3]};
            const double nf = physics::cascade(in).device.nfDb;
            sum += nf, squares += nf * nf;
        }
        const double mean = sum / runs, se = std::sqrt((squares / runs - mean * mean) / (runs - 1));
        const QString got = QStringLiteral("NF(1) %1 dB, standard error %2 dB").arg(mean, 0, 'f', 4).arg(se, 0, 'f', 4);
        qInfo("%s", qPrintable(got));
        QVERIFY2(std::abs(mean - bs.dutNfDb - biasDb) < 3 * se, qPrintable(got));
        QVERIFY2(biasDb == 0 || biasDb > 10 * se, qPrintable(got)); // the bias stands far out of the scatter
    }

    // SC&Z with the receiver disconnected, then readings 1 to 4 switched by the virtual port.
    void endToEndThroughVirtualPort()
    {
        BenchSettings s;
        s.seed = 12, s.dutGainDb = 12, s.dutNfDb = 4;
        s.dutResponse.clear();
        bench().setSettings(s);
        fillParameters(m_instrument.sheet(), bench());
        measureWithSwitching();
        QCOMPARE(m_tb.messages.texts(), QStringList());
        QCOMPARE(bench().audio().recordings(), 5);
        QVERIFY(!bench().serial().isOpen() && !bench().state().sourceOn); // released after every reading
        const double nf = ParseNumber(m_instrument.sheet().text(Field::NF)),
                     gain = ParseNumber(m_instrument.sheet().text(Field::Gain));

        // Tolerance: each reading alone off by its 99.9 % uncertainty, through the real results
        // calculation, root-sum-square over the four, plus the display rounding.
        const double perReadingDb = nmucUncertainty(bench().statisticalBandwidthHz(kRate), 1.0, 99.9, false);
        TestBench scratch;
        Sheet &t = scratch.meter.sheet();
        fillParameters(t, bench());
        double tolNf = 0, tolGain = 0, base[2] = {};
        for (int moved = -1; moved < 4; ++moved) {
            for (int i = 0; i < 4; ++i) {
                const double ms =
                    bench().expectedMeanSquare(kStates[i], kRate, kAtts) - bench().floorMeanSquare();
                t.setText(kFields[i], FormatFixed(10 * std::log10(ms) + (i == moved ? perReadingDb : 0),
                                                  QStringLiteral("0.000000")));
            }
            ResultsCalc(scratch.meter.sheet());
            const double r[2] = {ParseNumber(t.text(Field::NF)), ParseNumber(t.text(Field::Gain))};
            if (moved < 0)
                base[0] = r[0], base[1] = r[1];
            tolNf = std::hypot(tolNf, r[0] - base[0]);
            tolGain = std::hypot(tolGain, r[1] - base[1]);
        }
        QVERIFY2(std::abs(nf - s.dutNfDb) < tolNf + 0.005,
                 qPrintable(QStringLiteral("NF %1 +- %2").arg(nf).arg(tolNf)));
        QVERIFY2(std::abs(gain - s.dutGainDb) < tolGain + 0.05,
                 qPrintable(QStringLiteral("gain %1 +- %2").arg(gain).arg(tolGain)));
    }

    // Averaging in power: N readings write the level of the mean of their mean squares, which is
    // not the mean of their levels in dB (short readings scatter enough to tell the two apart);
    // a Cancel in the second reading leaves the field as it was.
    void averagesInPower_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("cancelSecond");
        QTest::newRow("one reading as before") << 1 << false;
        QTest::newRow("four readings: level of the mean power") << 4 << false;
        QTest::newRow("cancel in the second reading keeps the field") << 3 << true;
    }
    void averagesInPower()
    {
        QFETCH(int, count);
        QFETCH(bool, cancelSecond);
        BenchSettings s;
        s.seed = 7;
        bench().setSettings(s);
        Sheet &sheet = m_instrument.sheet();
        m_instrument.session().ComEnabled = 0;
        m_instrument.session().ZeroMeas.Reset();
        sheet.setText(Field::Interval, QStringLiteral("0.05"));
        double sumMs = 0, sumDb = 0;
        bench().reseed();
        for (int i = 0; i < count && !cancelSecond; ++i) { // the same noise, one reading at a time
            click(Control::btnNoise11);
            const double db = ParseNumber(sheet.text(Field::Noise11));
            sumMs += std::pow(10.0, db / 10), sumDb += db;
        }
        bench().reseed();
        m_instrument.session().Averages = count;
        sheet.setText(Field::Noise11, QStringLiteral("-40.000"));
        QSignalSpy texts(&m_instrument, &Instrument::workingText);
        m_instrument.click(Control::btnNoise11);
        if (cancelSecond) {
            QVERIFY(QTest::qWaitFor(
                [&texts] {
                    return !texts.isEmpty() &&
                           texts.last().at(0).toString() == QLatin1String("Reading 2 of 3");
                },
                20000));
            m_instrument.cancel();
        }
        QVERIFY(waitIdle(m_instrument, 30000));
        m_instrument.session().Averages = 1;
        QCOMPARE(m_tb.messages.texts(), QStringList());
        const double level = ParseNumber(sheet.text(Field::Noise11));
        if (cancelSecond) {
            QCOMPARE(sheet.text(Field::Noise11), QStringLiteral("-40.000"));
            return;
        }
        QCOMPARE(texts.size(), count > 1 ? count : 0);
        // Each level is rounded to 0.001 dB: the mean power agrees to that.
        QVERIFY2(std::abs(level - 10 * std::log10(sumMs / count)) < 0.002,
                 qPrintable(QString::number(level)));
        if (count > 1)
            QVERIFY2(std::abs(level - sumDb / count) > 0.005, // the mean of the dB values: 0.008 dB low here
                     qPrintable(QString::number(level - sumDb / count)));
    }

    // Each guard fires on the fault it is made for, and on nothing else; the default bench fires none.
    // A whole spot measurement per row with the source switched by hand (no settling wait).
    void guardsOnTheBench_data()
    {
        QTest::addColumn<BenchSettings>("settings");
        QTest::addColumn<QString>("typed");       // "Field=text ..." typed over the bench's truth
        QTest::addColumn<QString>("newMhz");      // typed after the readings; empty: none
        QTest::addColumn<QList<GuardKind>>("fired");
        QTest::addColumn<CalibrationState>("calibration");
        BenchSettings d;
        d.seed = 3;
        BenchSettings hot = d, lowGain = d, warmSource = d, cold = d, stuck = d;
        stuck.sourceSwitches = false;
        hot.rxGainDb = 117.9; // the 4 Noise HI reading's peak 0.45 dB below the clipping level
        lowGain.dutResponse.clear(), lowGain.dutGainDb = 1;
        warmSource.tcoldK = 300;
        cold.tcoldK = 77;
        const auto valid = CalibrationState::Valid;
        QTest::newRow("default bench: no guard fires") << d << "" << "" << QList<GuardKind>{} << valid;
        QTest::newRow("hot reading 0.5 dB below clipping: compression")
            << hot << "" << "" << QList<GuardKind>{GuardKind::NearClipping} << valid;
        QTest::newRow("source never switches: Y(2) and Y(12) within the scatter") << stuck << "" << ""
            << QList<GuardKind>{GuardKind::SourceNotSwitched, GuardKind::SourceNotSwitched} << valid;
        // A cold load at 77 K taken for a source at 290 K: every Teq about 220 K low; with no attenuator
        // before the DUT to soften it, Teq(12) and Teq(1) fall far below 0 K.
        QTest::newRow("source at 77 K, 290 K typed: Teq(12) and Teq(1) far below 0 K") << cold << "Tcold=290 Att21=0" << ""
            << QList<GuardKind>{GuardKind::ImpossibleTemperature, GuardKind::ImpossibleTemperature} << valid;
        // Tcold typed 10 K low makes every Teq 10 K high, not low: nothing impossible.
        QTest::newRow("source at 300 K, 290 K typed: quiet") << warmSource << "Tcold=290" << "" << QList<GuardKind>{} << valid;
        QTest::newRow("DUT of 1 dB gain: second stage dominates")
            << lowGain << "" << "" << QList<GuardKind>{GuardKind::LowGain} << valid;
        QTest::newRow("frequency changed after the calibration: stale")
            << d << "" << "432" << QList<GuardKind>{GuardKind::StaleCalibration} << CalibrationState::Stale;
    }
    void guardsOnTheBench()
    {
        QFETCH(BenchSettings, settings);
        QFETCH(QString, typed);
        QFETCH(QString, newMhz);
        QFETCH(QList<GuardKind>, fired);
        QFETCH(CalibrationState, calibration);
        Sheet &sheet = m_instrument.sheet();
        sheet.setText(Field::Frequency, QStringLiteral("144"));
        QVERIFY(m_instrument.validate(Field::Frequency));
        bench().setSettings(settings);
        bench().reseed();
        fillParameters(sheet, bench());
        for (const QString &t : typed.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            sheet.setText(*fieldByName(t.section(QLatin1Char('='), 0, 0)), t.section(QLatin1Char('='), 1));
        m_instrument.session().ComEnabled = 0;
        click(Control::btnReset);
        QCOMPARE(evaluateGuards(m_instrument).calibration, CalibrationState::None);
        bench().setReceiverConnected(false);
        click(Control::btnNoise00);
        bench().setReceiverConnected(true);
        for (int i = 0; i < 4; ++i) {
            bench().setManualSource(kStates[i].sourceOn);
            bench().setManualCombined(kStates[i].combined);
            click(kButtons[i]);
        }
        bench().setManualSource(false), bench().setManualCombined(false);
        if (!newMhz.isEmpty()) {
            sheet.setText(Field::Frequency, newMhz);
            QVERIFY(m_instrument.validate(Field::Frequency));
        }
        QCOMPARE(m_tb.messages.texts(), QStringList());
        const GuardReport g = evaluateGuards(m_instrument);
        QVERIFY2(g.fired == fired, qPrintable(g.warnings.join(QLatin1Char('\n'))));
        QCOMPARE(g.calibration, calibration);
        for (const QString &w : g.warnings) // each marks a field of the window
            QVERIFY(std::any_of(g.marks.begin(), g.marks.end(), [&w](const QString &m) { return m.contains(w); }));
    }

    // A receiver gain drifting 10 dB/min: four
    // readings source off, then four on, put the hot mean about 6 s of bench time later and Y some 1.1 dB
    // high; the interleaved pair (off on on off off on on off) cancels the
    // linear drift, so Y lands within 4 sigma of its scatter (two means of
    // 4 x 0.5 s each) of the drift-free ratio.
    void interleavingCancelsDrift_data()
    {
        QTest::addColumn<bool>("interleave");
        QTest::addColumn<double>("minError");  // dB, Y's error at least
        QTest::addColumn<double>("maxSigmas"); // and at most this many sigma of Y's scatter
        QTest::newRow("in sequence: the drift shifts Y") << false << 0.7 << 100.0;
        QTest::newRow("interleaved: Y as without drift") << true << 0.0 << 4.0;
    }
    void interleavingCancelsDrift()
    {
        QFETCH(bool, interleave);
        QFETCH(double, minError);
        QFETCH(double, maxSigmas);
        BenchSettings s;
        s.seed = 11;
        s.gainDriftDbPerMin = 10;
        bench().setSettings(s);
        bench().reseed();
        Session &session = m_instrument.session();
        session.ComEnabled = 1;
        session.ZeroMeas.Reset();
        session.Averages = 4;
        session.Interleave = interleave;
        m_instrument.sheet().setText(Field::Interval, QStringLiteral("0.5"));
        const int before = bench().audio().recordings();
        click(Control::btnNoise12); // interleaved: the whole pair
        if (!interleave)
            click(Control::btnNoise11), click(Control::btnNoise12);
        session.Averages = 1;
        session.Interleave = false;
        QVERIFY2(m_tb.messages.texts().isEmpty(), qPrintable(m_tb.messages.texts().join('|')));
        QCOMPARE(bench().audio().recordings() - before, interleave ? 8 : 12);
        const Sheet &sheet = m_instrument.sheet();
        const double yDb = ParseNumber(sheet.text(Field::Noise12)) - ParseNumber(sheet.text(Field::Noise11));
        const double trueDb = 10 * std::log10(bench().expectedMeanSquare(kStates[1], kRate) /
                                              bench().expectedMeanSquare(kStates[0], kRate));
        const double error = std::abs(yDb - trueDb);
        const double sigmaDb =
            10 / std::log(10.0) * std::sqrt(2 / (bench().statisticalBandwidthHz(kRate) * 4 * 0.5));
        qInfo("Y %.3f dB, without drift %.3f dB, sigma %.3f dB", yDb, trueDb, sigmaDb);
        QVERIFY2(error >= minError && error <= maxSigmas * sigmaDb,
                 qPrintable(QStringLiteral("Y %1 dB, without drift %2 dB").arg(yDb).arg(trueDb)));
    }

    // The DUT response and source ENR typed as text: values between points linear in dB, the end values
    // outside, and texts the bench refuses with the reason. Default response: 1 MHz 15 dB 3 dB ... 200 MHz 20
    // dB 1.5 dB, 300 MHz 19.5 dB 1.7 dB ... 600 MHz 11 dB 4.5 dB.
    void responseAtFrequency_data()
    {
        QTest::addColumn<QString>("response"); // "default": the bench's own
        QTest::addColumn<QString>("enr");
        QTest::addColumn<double>("mhz");
        QTest::addColumn<QString>("error"); // part of the message; empty: valid
        QTest::addColumn<QList<double>>("gainNfEnr");
        QTest::newRow("between points, linear in dB") << "default"
                                                      << "" << 250.0 << "" << QList<double>{19.75, 1.6, 15};
        QTest::newRow("below the first point") << "default"
                                               << "" << 0.5 << "" << QList<double>{15, 3, 15};
        QTest::newRow("above the last point") << "default"
                                              << "" << 700.0 << "" << QList<double>{11, 4.5, 15};
        QTest::newRow("blank response: the constants") << ""
                                                       << "" << 250.0 << "" << QList<double>{20, 1.5, 15};
        QTest::newRow("source ENR between points")
            << ""
            << "100 15; 300 13;" << 150.0 << "" << QList<double>{20, 1.5, 14.5};
        QTest::newRow("falling frequencies") << "200 20 1; 100 18 2"
                                             << "" << 0.0 << "must rise" << QList<double>{};
        QTest::newRow("a point without NF") << "100 20; 200 20 1"
                                            << "" << 0.0 << "needs three numbers" << QList<double>{};
        QTest::newRow("NF out of range") << "100 20 45"
                                         << "" << 0.0 << "from 0 to 40 dB" << QList<double>{};
        QTest::newRow("zero frequency") << "0 20 1"
                                        << "" << 0.0 << "above 0" << QList<double>{};
        QTest::newRow("empty point") << "100 20 1;; 200 20 1"
                                     << "" << 0.0 << "empty point" << QList<double>{};
        QTest::newRow("ENR out of range")
            << ""
            << "100 50" << 0.0 << "ENR must be from -10 to 45 dB" << QList<double>{};
    }
    void responseAtFrequency()
    {
        QFETCH(QString, response);
        QFETCH(QString, enr);
        QFETCH(double, mhz);
        QFETCH(QString, error);
        QFETCH(QList<double>, gainNfEnr);
        BenchSettings s;
        QString err;
        if (response != QLatin1String("default"))
            err = BenchResponse::parse(response, s.dutResponse);
        if (err.isEmpty())
            err = BenchResponse::parse(enr, s.sourceEnr);
        if (err.isEmpty())
            err = Bench::validate(s);
        QVERIFY2(error.isEmpty() ? err.isEmpty() : err.contains(error), qPrintable(err));
        if (!error.isEmpty())
            return;
        Bench b;
        b.setSettings(s);
        const BenchTruth t = b.truthAt(mhz);
        QCOMPARE(QList<double>({t.dutGainDb, t.dutNfDb, t.enrDb}), gainNfEnr);
        QCOMPARE(t.thotK, ThotFromEnr(gainNfEnr[2]));
    }

    // Before any tuning the bench works at the main window's Frequency; a tune overrides it until cleared.
    void frequencyFollowsTheMainWindowUntilTuned()
    {
        bench().setSettings(BenchSettings());
        m_instrument.sheet().setText(Field::Frequency, QStringLiteral("250"));
        QVERIFY(m_instrument.validate(Field::Frequency));
        QCOMPARE(bench().truth().dutNfDb, 1.6);
        bench().tuneTo(400);
        QCOMPARE(bench().truth().dutNfDb, 2.2);
        bench().clearTuning();
        QCOMPARE(bench().tunedMhz(), 250.0);
    }

    // The receiver's gain drifts on the bench's clock of recorded time,
    // exponentially in amplitude: consecutive 10 s blocks at 3 dB/min differ
    // by 0.5 dB in power; a restart of the noise restarts the clock.
    void gainDriftsOnTheBenchClock()
    {
        Bench bench;
        BenchSettings s;
        s.gainDriftDbPerMin = 3;
        bench.setSettings(s);
        constexpr double seconds = 10;
        const BenchState cal{false, false, true};
        double signal[2];
        for (double &p : signal) {
            QVector<qint16> v;
            QCOMPARE(bench.generate(cal, kRate, qint64(seconds * kRate), v), QString());
            p = acPower(v) - bench.floorMeanSquare();
        }
        QCOMPARE(bench.clockS(), 2 * seconds);
        QCOMPARE(bench.currentRxGainDb(), s.rxGainDb + 1.0);
        const double sigma = 1.0 / std::sqrt(bench.statisticalBandwidthHz(kRate) * seconds);
        QVERIFY2(std::abs(signal[1] / signal[0] / std::pow(10.0, 0.05) - 1) < 5 * std::sqrt(2.0) * sigma,
                 qPrintable(QString::number(signal[1] / signal[0])));
        bench.reseed();
        QCOMPARE(bench.clockS(), 0.0);
        s.gainDriftDbPerMin = 11;
        QVERIFY(Bench::validate(s).contains(QStringLiteral("gain drift")));
    }

    // A measurement series through the instrument: the bench's own lines switch even with serial
    // switching off; each run reports both noise figures and leaves them on the sheet; a Cancel
    // drops the run in progress (the sheet goes back to the last complete run) and keeps the others.
    void series_data()
    {
        QTest::addColumn<bool>("onBench");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("totalS");
        QTest::addColumn<int>("cancelInRun"); // -1: none
        QTest::addColumn<int>("runs");
        QTest::addColumn<QString>("refused"); // part of the reason; empty: starts
        QTest::newRow("zero first, three runs, stamps rising") << true << 3 << 0.0 << -1 << 3 << "";
        QTest::newRow("cancel in the second run keeps the first") << true << 3 << 0.0 << 1 << 1 << "";
        QTest::newRow("total time over before the next period") << true << 0 << 0.5 << -1 << 1 << "";
        QTest::newRow("refused without serial switching") << false << 3 << 0.0 << -1 << 0 << "serial switching";
    }
    void series()
    {
        QFETCH(bool, onBench);
        QFETCH(int, count);
        QFETCH(double, totalS);
        QFETCH(int, cancelInRun);
        QFETCH(int, runs);
        QFETCH(QString, refused);
        BenchSettings s;
        s.seed = 5, s.dutGainDb = 12, s.dutNfDb = 4;
        s.dutResponse.clear();
        bench().setSettings(s);
        Sheet &sheet = m_instrument.sheet();
        fillParameters(sheet, bench());
        sheet.setText(Field::Interval, QStringLiteral("0.05"));
        ResetAction(m_instrument.session()); // no zero
        m_instrument.session().ComEnabled = 0;
        m_instrument.setRoute(onBench ? DeviceRoute::Bench : DeviceRoute::SoundCard);
        m_tb.messages.shown.clear();
        sheet.setText(Field::NF, QStringLiteral("before"));
        QList<SeriesRun> done;
        SeriesPlan plan;
        plan.count = count, plan.totalS = totalS, plan.periodS = totalS > 0 ? 1 : 0;
        plan.takeZero = cancelInRun < 0;
        QString error;
        MeasurementSeries *series = MeasurementSeries::start(m_instrument, plan, &error);
        QCOMPARE(series == nullptr, !refused.isEmpty());
        QVERIFY2(error.contains(refused), qPrintable(error));
        if (!series) {
            QCOMPARE(m_instrument.busy(), false);
            return;
        }
        connect(series, &MeasurementSeries::runDone, this, [&done](const SeriesRun &r) { done << r; });
        connect(series, &MeasurementSeries::readingStarted, this, [&, this](int run, int step) {
            if (run == cancelInRun && step == 2)
                m_instrument.cancel();
        });
        QVERIFY(waitIdle(m_instrument, 20000));
        QCOMPARE(m_tb.messages.texts(), QStringList());
        QCOMPARE(done.size(), runs);
        QVERIFY(bench().receiverConnected() && !bench().serial().isOpen());
        QVERIFY(plan.takeZero == !sheet.text(Field::Noise00).isEmpty());
        for (int i = 0; i < done.size(); ++i) {
            const SeriesRun &r = done[i];
            QVERIFY2(r.ok && r.nf1Db && r.nf2Db && r.gainDb && r.cold2Db && r.cold12Db, qPrintable(r.failure));
            QCOMPARE(r.index, i);
            QCOMPARE(r.time.timeSpec(), Qt::UTC);
            if (i > 0)
                QVERIFY(done[i - 1].time < r.time);
        }
        // The sheet shows the last complete run (a cancelled one is undone), rounded as always.
        QCOMPARE(sheet.text(Field::NF), FormatFixed(*done.last().nf1Db, QStringLiteral("0.00")));
    }

    // The DUT as a converter: the frequency plan, the amplifier formula's reading against the
    // single-sideband truth (correctForImage takes one back to the other), and the bench's own noise
    // powers giving that reading: the combined path's step per kelvin of RF step is Ga, its cold
    // level Ga (Ta + Tc) behind Att22. Refused plans name the reason.
    void converterTruth_data()
    {
        QTest::addColumn<BenchConverter>("conv");
        QTest::addColumn<double>("rf");
        QTest::addColumn<QString>("enr"); // source ENR points
        QTest::addColumn<QList<double>>("ifImage");
        QTest::addColumn<QString>("error"); // part of the reason; empty: valid
        using M = physics::DeviceMode;
        using S = physics::Sideband;
        const BenchConverter lnb{M::DownConverter, 9750, S::Usb, 20}, dsb{M::DownConverter, 9750, S::Usb, 0};
        QTest::newRow("Ku LNB, USB, IR 20 dB") << lnb << 11000.0 << "" << QList<double>{1250, 8500} << "";
        QTest::newRow("DSB, ENR 1 dB higher at the image")
            << dsb << 11000.0 << "1250 15; 8500 16; 11000 15" << QList<double>{1250, 8500} << "";
        QTest::newRow("LSB down-converter, IR 10 dB") << BenchConverter{M::DownConverter, 1500, S::Lsb, 10}
                                                      << 1000.0 << "" << QList<double>{500, 2000} << "";
        QTest::newRow("USB up-converter 28 -> 144 MHz")
            << BenchConverter{M::UpConverter, 116, S::Usb, 0} << 28.0 << "" << QList<double>{144, 260} << "";
        QTest::newRow("LNB below its LO: no IF") << lnb << 9000.0 << "" << QList<double>{} << "No IF";
        QTest::newRow("DSB as a sideband refused") << BenchConverter{M::DownConverter, 9750, S::Dsb, 0}
                                                   << 11000.0 << "" << QList<double>{} << "LSB or USB";
        QTest::newRow("LO out of range") << BenchConverter{M::DownConverter, 0, S::Usb, 0} << 11000.0 << ""
                                         << QList<double>{} << "LO must";
    }
    void converterTruth()
    {
        QFETCH(BenchConverter, conv);
        QFETCH(double, rf);
        QFETCH(QString, enr);
        QFETCH(QList<double>, ifImage);
        QFETCH(QString, error);
        BenchSettings s;
        s.dutResponse.clear(), s.dutGainDb = 30, s.dutNfDb = 1;
        s.converter = conv;
        QCOMPARE(BenchResponse::parse(enr, s.sourceEnr), QString());
        Bench b;
        b.setSettings(s);
        const BenchAttenuators atts{0, 0, 3, 10, 350, 290}; // a warm Att21: Tcold about 320 K behind it
        b.setAttenuators(atts);
        b.setSheetMhz(rf);
        QVERIFY2(b.frequencyError().contains(error), qPrintable(b.frequencyError()));
        if (!error.isEmpty()) {
            QVector<qint16> v;
            QVERIFY(b.generate(kStates[0], kRate, 100, v).contains(error));
            return;
        }
        const BenchTruth t = b.truth();
        QCOMPARE(QList<double>({b.tunedMhz(), t.imageMhz}), ifImage);
        b.tuneTo(ifImage[0]); // the receiver tuned to the IF: the same RF
        QCOMPARE(b.rfMhz(), rf);
        const double l21 = std::pow(10.0, 0.3), tc = s.tcoldK / l21 + 350 * (1 - 1 / l21);
        auto excess = [&](double enrDb) { return ThotFromEnr(enrDb, s.tcoldK) / l21 + 350 * (1 - 1 / l21); };
        physics::ImageCorrectionInput in;
        in.te = t.readTeK, in.gain = std::pow(10.0, t.readGainDb / 10);
        in.tHot = excess(t.enrDb), in.tCold = tc, in.tHotImage = excess(t.enrImageDb), in.tColdImage = tc;
        in.imageRejectionDb = conv.imageRejectionDb;
        const physics::ImageCorrection c = physics::correctForImage(in);
        QVERIFY(c.ok());
        QVERIFY(std::abs(c.device.gainDb - t.dutGainDb) < 1e-9 && std::abs(c.device.te - t.dutTeK) < 1e-7);
        const double l22 = 10, hot = b.receiverInputTempK(kStates[3]),
                     cold = b.receiverInputTempK(kStates[2]);
        QVERIFY(std::abs((hot - cold) * l22 / (in.tHot - tc) / in.gain - 1) < 1e-12);
        QVERIFY(std::abs((cold - 290 * (1 - 1 / l22)) * l22 / (in.gain * (t.readTeK + tc)) - 1) < 1e-12);
        // The calibration path sees the source at the IF.
        QCOMPARE(b.receiverInputTempK(kStates[1]), t.thotIfK);
    }

    // A Ku-band LNB (LO 9750 MHz, RF 11000 MHz, IF 1250 MHz; Gs 55 dB, own noise 0.7 dB) measured on the
    // bench with Options > Device set: in its own mode the single-sideband truth comes back; a DSB
    // device read as single-sideband with no image response (or as an amplifier) reads the amplifier
    // formula's figures, NF 3.01 dB low and gain 3.01 dB high. Att22 40 dB keeps the 55 dB within
    // the sound card's range.
    void converterSpotMeasurement_data()
    {
        QTest::addColumn<double>("benchIrDb");
        QTest::addColumn<DeviceSetup>("device");
        QTest::addColumn<bool>("ssbTruth"); // false: the amplifier formula's reading, 3.01 dB off
        using M = physics::DeviceMode;
        using S = physics::Sideband;
        QTest::newRow("DSB LNB, measured as DSB")
            << 0.0 << DeviceSetup{M::DownConverter, 9750, S::Dsb, 0} << true;
        QTest::newRow("LNB of IR 20 dB, measured as USB IR 20 dB")
            << 20.0 << DeviceSetup{M::DownConverter, 9750, S::Usb, 20} << true;
        QTest::newRow("DSB LNB read as USB IR 999 dB: NF low, gain high")
            << 0.0 << DeviceSetup{M::DownConverter, 9750, S::Usb, 999} << false;
        QTest::newRow("DSB LNB read as an amplifier") << 0.0 << DeviceSetup{} << false;
    }
    void converterSpotMeasurement()
    {
        QFETCH(double, benchIrDb);
        QFETCH(DeviceSetup, device);
        QFETCH(bool, ssbTruth);
        BenchSettings s;
        s.seed = 21, s.dutGainDb = 55, s.dutNfDb = 0.7;
        s.dutResponse.clear();
        s.converter = {physics::DeviceMode::DownConverter, 9750, physics::Sideband::Usb, benchIrDb};
        bench().setSettings(s);
        const BenchAttenuators atts{0, 0, 0, 40, 290, 290};
        Sheet &sheet = m_instrument.sheet();
        QVERIFY(setDeviceSetup(m_instrument, device));
        sheet.setText(Field::Frequency, QStringLiteral("11000"));
        QVERIFY(m_instrument.validate(Field::Frequency));
        QCOMPARE(bench().tunedMhz(), 1250.0); // the receiver at the IF
        fillParameters(sheet, bench(), atts);
        measureWithSwitching();
        QCOMPARE(m_tb.messages.texts(), QStringList());
        const double nf = ParseNumber(sheet.text(Field::NF)), gain = ParseNumber(sheet.text(Field::Gain));
        const BenchTruth t = bench().truth();
        if (!ssbTruth && benchIrDb == 0) // F_ssb = 2 F_a, Gs = Ga / 2: the image fills the other sideband
            QVERIFY(std::abs(t.dutNfDb - t.readNfDb - 3.0103) < 1e-4 &&
                    std::abs(t.readGainDb - t.dutGainDb - 3.0103) < 1e-4);
        const double trueNf = ssbTruth ? t.dutNfDb : t.readNfDb,
                     trueGain = ssbTruth ? t.dutGainDb : t.readGainDb;
        // Each reading off by its 99.9 % uncertainty in turn, through the results calculation,
        // root-sum-square.
        const double perReadingDb = nmucUncertainty(bench().statisticalBandwidthHz(kRate), 1.0, 99.9, false);
        TestBench scratch;
        Sheet &u = scratch.meter.sheet();
        fillParameters(u, bench(), atts);
        u.device = device, u.setText(Field::Frequency, QStringLiteral("11000"));
        double tolNf = 0, tolGain = 0, base[2] = {};
        for (int moved = -1; moved < 4; ++moved) {
            for (int i = 0; i < 4; ++i) {
                const double ms =
                    bench().expectedMeanSquare(kStates[i], kRate, atts) - bench().floorMeanSquare();
                u.setText(kFields[i], FormatFixed(10 * std::log10(ms) + (i == moved ? perReadingDb : 0),
                                                  QStringLiteral("0.000000")));
            }
            ResultsCalc(u);
            const double r[2] = {ParseNumber(u.text(Field::NF)), ParseNumber(u.text(Field::Gain))};
            if (moved < 0) {
                base[0] = r[0], base[1] = r[1];
                QVERIFY2(std::abs(r[0] - trueNf) < 0.01 && std::abs(r[1] - trueGain) < 0.1, // exact levels
                         qPrintable(QStringLiteral("NF %1, gain %2").arg(r[0]).arg(r[1])));
            }
            tolNf = std::hypot(tolNf, r[0] - base[0]);
            tolGain = std::hypot(tolGain, r[1] - base[1]);
        }
        qInfo("NF %.2f dB, true %.3f +- %.3f; gain %.1f dB, true %.2f +- %.2f", nf, trueNf, tolNf, gain, trueGain,
              tolGain);
        QVERIFY2(std::abs(nf - trueNf) < tolNf + 0.005,
                 qPrintable(QStringLiteral("NF %1, true %2 +- %3").arg(nf).arg(trueNf).arg(tolNf)));
        QVERIFY2(std::abs(gain - trueGain) < tolGain + 0.05,
                 qPrintable(QStringLiteral("gain %1, true %2 +- %3").arg(gain).arg(trueGain).arg(tolGain)));
    }

    // A truth the bench cannot simulate is reported through the recording's message; the field stays.
    void impossibleTruthIsReported()
    {
        m_instrument.session().ComEnabled = 0;
        m_instrument.sheet().setText(Field::Att21, QStringLiteral("-3"));
        m_instrument.sheet().setText(Field::Noise21, QStringLiteral("-40.000"));
        click(Control::btnNoise21);
        QCOMPARE(m_tb.messages.texts(),
                 QStringList(QStringLiteral("Error: recording wave file: Virtual bench: Att21 is -3 dB; "
                                            "the virtual bench has attenuators of 0 to 200 dB only.(32).")));
        QCOMPARE(m_instrument.sheet().text(Field::Noise21), QStringLiteral("-40.000"));
    }
};

QTEST_MAIN(TestBenchMeasurement)
#include "tst_benchmeasurement.moc"
