// Frequency sweeps on the virtual bench, tuned through a real rigctld (Hamlib's dummy rig behind the network
// model): the plan's refusals, the device's gain and noise figure recovered at every frequency, the manual
// switching order, and a sweep that ends early keeping its points (read back from its CSV). The receiver is
// held to the plan: its receive range before the first tuning, the frequency it reports after each tuning.
// Also the time left shown while it runs and the plot's axis ticks.
#include "acquire/Bench.h"
#include "acquire/Sweep.h"
#include "acquire/TimeLeft.h"
#include "calc/EnrTable.h"
#include "instrument/Commands.h"
#include "instrument/SourceTemperature.h"
#include "calc/Nmuc.h"
#include "gui/SweepChart.h"
#include "qtplatform/RigModule.h"
#include "report/SweepCsv.h"
#include "sheet/NumText.h"
#include "support/Rigctld.h"
#include "support/TestPlatform.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

constexpr int kRate = 48000;      // rate of the shipped template TQX.wav (Hz)
constexpr double kInterval = 0.5; // s per reading: a few seconds for a whole test

// A receiver that stays at `stuckHz` whatever it is asked, or else lands `offsetHz` from every frequency, and
// tunes in steps of `stepHz` (0: does not say). No real rig misbehaves like this on demand.
class OffTuneRig : public IRig
{
public:
    double stuckHz = 0, offsetHz = 0, stepHz = 0;

    QList<RigModelInfo> models() override { return {}; }
    void open(const RigConfig &, int, Done done) override { answer(std::move(done), 145e6); }
    void tune(double hz, int, Done done) override
    {
        answer(std::move(done), stuckHz > 0 ? stuckHz : hz + offsetHz);
    }
    void readFrequency(int, Done done) override { answer(std::move(done), stuckHz); }
    void cancel() override { m_call.reset(); }
    void close() override { m_call.reset(); }

private:
    void answer(Done done, double hz)
    {
        m_call = std::make_unique<QObject>();
        RigResult r;
        r.ok = true;
        r.hz = hz;
        r.tuningStepHz = stepHz;
        QTimer::singleShot(0, m_call.get(), [done = std::move(done), r] { done(r); });
    }
    std::unique_ptr<QObject> m_call; // context of the pending answer
};

} // namespace

class TestSweep : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Rigctld m_rigctld;
    RigModule m_rig{rigModuleFolders()};
    TestBench m_tb;
    Instrument &m_instrument = m_tb.loaded();
    Bench &bench() { return m_instrument.bench(); }

    // A sweep tuning rigctld through Hamlib while the readings come from the
    // bench, whose receiver follows the tuned frequency.
    std::unique_ptr<Sweep> makeSweep(const SweepPlan &plan, const SweepCalibration &cal = {},
                                     IRig *rig = nullptr, const RigConfig &config = {})
    {
        auto s = std::make_unique<Sweep>(
            rig ? rig : &m_rig, [this](const ReadingPlan &rp) { return makeReading(m_instrument, rp); }, plan,
            config.model > 0 ? config : RigConfig{2, m_rigctld.address(), 0}, cal);
        connect(s.get(), &Sweep::tuned, this, [this](double mhz) { bench().tuneTo(mhz); });
        return s;
    }

    // A sweep of `kind` over the typed list, run to its end (or to `stop` returning true after a point changed).
    std::unique_ptr<Sweep> run(SweepKind kind, const QString &list, const SweepCalibration &cal = {},
                               std::function<bool(const Sweep &)> stop = {}, bool stopOnFailure = false)
    {
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = list;
        const PlanResult p = makeSweepPlan(m_instrument.session(), m_instrument.enrTable(), kind, f, 0, stopOnFailure);
        if (!p.error.isEmpty())
            qWarning() << p.error;
        auto s = makeSweep(p.plan, cal);
        Sweep *raw = s.get();
        if (stop)
            connect(raw, &Sweep::pointChanged, raw, [raw, stop] { stop(*raw) ? raw->cancel() : void(); });
        s->start();
        if (!QTest::qWaitFor([raw] { return raw->stage() == Sweep::Stage::Done; }, 60000))
            qWarning() << "sweep did not end";
        return s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString err = m_rigctld.start();
        QVERIFY2(err.isEmpty(), qPrintable(err));
        const QString binDir = qEnvironmentVariable("TQX_BINARY_DIR") + QLatin1Char('/');
        m_instrument.session().AppDir = QFileInfo::exists(binDir + QStringLiteral("TQX.wav"))
                             ? binDir
                             : qEnvironmentVariable("TQX_SOURCE_DIR") + QStringLiteral("/data/");
        m_instrument.session().TempWave = m_dir.filePath(QStringLiteral("~0000SWEEP"));
        m_instrument.session().ComPort = 5;
        Sheet &s = m_instrument.sheet();
        s.setText(Field::Interval, FormatFixed(kInterval, QStringLiteral("0.000")));
        s.setText(Field::Thot, FormatFixed(bench().truth().thotK, QStringLiteral("0.0000")));
        s.setText(Field::Tcold, FormatFixed(bench().truth().tcoldK, QStringLiteral("0.0000")));
        m_instrument.setRoute(DeviceRoute::Bench);
    }
    void cleanupTestCase() { m_instrument.setRoute(DeviceRoute::SoundCard); }

    // The text after "about" from a first guess (s), reports (seconds of work, fraction done), read at `at` s.
    void timeLeft_data()
    {
        QTest::addColumn<double>("guess");
        QTest::addColumn<QList<double>>("reports");
        QTest::addColumn<double>("at");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the guess before any reading") << 26.0 << QList<double>{} << 0.0 << "26 s";
        QTest::newRow("a reading of no time moves the guess part way") << 26.0 << QList<double>{0.05, 0.05} << 0.05 << "16 s";
        QTest::newRow("... and the next further") << 26.0 << QList<double>{0.05, 0.05, 0.1, 0.1} << 0.1 << "10 s";
        QTest::newRow("one slow step of ten after steady ones")
            << 10.0 << QList<double>{1, .1, 2, .2, 3, .3, 4, .4, 5, .5, 11, .6} << 11.0 << "12 s";
        QTest::newRow("counts down between reports") << 60.0 << QList<double>{} << 20.0 << "40 s";
        QTest::newRow("overdue: never 0 while work remains") << 10.0 << QList<double>{1, 0.5} << 100.0 << "1 s";
        QTest::newRow("no guess: the first report is only the origin") << 0.0 << QList<double>{0.5, 0.1} << 0.5 << "";
        QTest::newRow("no guess: the rate after the origin") << 0.0 << QList<double>{0.5, 0.1, 2.5, 0.3} << 2.5 << "7 s";
        QTest::newRow("a report back in time is ignored") << 10.0 << QList<double>{5, .5, 4, .8} << 5.0 << "5 s";
        QTest::newRow("a NaN report is ignored") << 10.0 << QList<double>{qQNaN(), .5} << 0.0 << "10 s";
        QTest::newRow("done: nothing shown") << 10.0 << QList<double>{3, 1} << 3.0 << "";
        QTest::newRow("minutes") << 125.0 << QList<double>{} << 0.0 << "2 min 5 s";
        QTest::newRow("hours") << 7384.0 << QList<double>{} << 0.0 << "2 h 3 min";
    }
    void timeLeft()
    {
        QFETCH(double, guess);
        QFETCH(QList<double>, reports);
        QFETCH(double, at);
        TimeLeft t;
        t.start(guess);
        for (int i = 0; i + 1 < reports.size(); i += 2)
            t.update(reports[i], reports[i + 1]);
        QTEST(durationText(t.secondsLeft(at)), "shown");
    }

    // The plot's ticks: 1, 2 or 5 times a power of ten, at most `most` of them within lo..hi.
    void axisTicks_data()
    {
        QTest::addColumn<QList<double>>("range"); // lo, hi, most
        QTest::addColumn<QList<double>>("ticks"); // first, step, decimals
        QTest::newRow("92 to 300 MHz") << QList<double>{92, 300, 6} << QList<double>{100, 50, 0};
        QTest::newRow("reversed") << QList<double>{300, 92, 6} << QList<double>{100, 50, 0};
        QTest::newRow("just around 0 to 1") << QList<double>{-0.02, 1.02, 6} << QList<double>{0, 0.2, 1};
        QTest::newRow("narrow band") << QList<double>{144.1, 144.3, 5} << QList<double>{144.1, 0.05, 2};
        QTest::newRow("negative dB") << QList<double>{-37, -3, 8} << QList<double>{-35, 5, 0};
        QTest::newRow("gigahertz") << QList<double>{1000, 10000, 6} << QList<double>{2000, 2000, 0};
        QTest::newRow("one frequency") << QList<double>{144, 144, 6} << QList<double>{130, 5, 0};
        QTest::newRow("a bound not finite") << QList<double>{qQNaN(), 5, 6} << QList<double>{0, 0.2, 1};
    }
    void axisTicks()
    {
        QFETCH(QList<double>, range);
        QFETCH(QList<double>, ticks);
        const AxisTicks t = niceTicks(range[0], range[1], int(range[2]));
        QVERIFY2(qFuzzyCompare(1 + t.first, 1 + ticks[0]) && qFuzzyCompare(t.step, ticks[1]),
                 qPrintable(QStringLiteral("%1 %2").arg(t.first).arg(t.step)));
        QCOMPARE(t.decimals, int(ticks[2]));
    }
    void init()
    {
        m_tb.messages.shown.clear();
        if (!m_rigctld.running())
            QCOMPARE(m_rigctld.start(), QString()); // a test before killed it
    }
    SweepPlan listPlan(const QString &list, bool stopOnFailure = false)
    {
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = list;
        const PlanResult p = makeSweepPlan(m_instrument.session(), m_instrument.enrTable(),
                                           SweepKind::Calibration, f, 0, stopOnFailure);
        if (!p.error.isEmpty())
            qWarning() << p.error;
        return p.plan;
    }

    void planRefusals_data()
    {
        QTest::addColumn<int>("source"); // SweepFrequencies::Source
        QTest::addColumn<QList<double>>("range");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("error"); // part of the refusal; empty: accepted
        QTest::addColumn<int>("count");
        const int range = int(SweepFrequencies::Source::Range), list = int(SweepFrequencies::Source::List),
                  table = int(SweepFrequencies::Source::EnrTable);
        QTest::newRow("range lands on its stop") << range << QList<double>{100, 500, 50} << "" << "" << 9;
        QTest::newRow("10000 points of 0.1 MHz, no rounding loss")
            << range << QList<double>{0.1, 1000, 0.1} << "" << "" << 10000;
        QTest::newRow("start above stop") << range << QList<double>{500, 100, 50} << "" << "lies above the stop" << 0;
        QTest::newRow("step 0") << range << QList<double>{100, 500, 0} << "" << "greater than 0 MHz" << 0;
        QTest::newRow("10001 points") << range << QList<double>{1, 10001, 1} << "" << "would have 10001" << 0;
        QTest::newRow("a tiny step is counted, not allocated")
            << range << QList<double>{1, 100000, 1e-12} << "" << "at most 10000 points" << 0;
        QTest::newRow("list with decimal comma and ';'") << list << QList<double>{} << "144;145,5  432" << "" << 3;
        QTest::newRow("list falling") << list << QList<double>{} << "432 144" << "must rise" << 0;
        QTest::newRow("list with a word") << list << QList<double>{} << "144 abc" << "\"abc\" in the frequency list" << 0;
        QTest::newRow("list empty") << list << QList<double>{} << " ; " << "list is empty" << 0;
        QTest::newRow("ENR table's knots") << table << QList<double>{} << "enr" << "" << 3;
        QTest::newRow("below the ENR table: not extrapolated")
            << list << QList<double>{} << "enr 50 100" << "50 MHz lies outside the ENR table (100 MHz to 500 MHz)" << 0;
        QTest::newRow("no ENR table loaded") << table << QList<double>{} << "" << "No ENR table is loaded" << 0;
    }
    void planRefusals()
    {
        QFETCH(int, source);
        QFETCH(QList<double>, range);
        QFETCH(QString, list);
        QFETCH(QString, error);
        QFETCH(int, count);
        TestBench tb;
        Instrument &m = tb.loaded();
        if (list.startsWith(QLatin1String("enr"))) {
            m.session().EnrFileName = m_dir.filePath(QStringLiteral("source.tab"));
            QVERIFY(writeFile(m.session().EnrFileName, "100\t15.0\n300\t15.5\n500\t14.8\n"));
            m.sheet().setText(Field::Frequency, QStringLiteral("300"));
            QCOMPARE(loadEnrTable(m), 0);
            list = list.mid(3);
        }
        SweepFrequencies f;
        f.source = SweepFrequencies::Source(source);
        if (range.size() == 3)
            f.startMhz = range[0], f.stopMhz = range[1], f.stepMhz = range[2];
        f.list = list;
        const PlanResult r = makeSweepPlan(m.session(), m.enrTable(), SweepKind::Calibration, f, 0.5, false);
        QVERIFY2(error.isEmpty() ? r.error.isEmpty() : r.error.contains(error), qPrintable(r.error));
        QCOMPARE(int(r.plan.mhz.size()), count);
        QCOMPARE(int(r.plan.source.size()), count);
        if (count > 0)
            QCOMPARE(r.plan.mhz.last(), range.size() == 3 ? range[1] : r.plan.mhz.last());
    }

    // A converter's plan: the receiver's IF for every RF, the source's ENR at the RF for a measurement and at
    // the IF for a calibration (one table serving both), and the refusals before anything is tuned.
    void converterPlan_data()
    {
        QTest::addColumn<int>("sideband"); // physics::Sideband of a down-converter, LO 9750 MHz unless "lo"
        QTest::addColumn<double>("lo");
        QTest::addColumn<bool>("calibration");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("error");          // part of the refusal; empty: accepted
        QTest::addColumn<QList<double>>("ifAndEnr"); // IF and ENR of each point
        const int usb = int(physics::Sideband::Usb), lsb = int(physics::Sideband::Lsb),
                  dsb = int(physics::Sideband::Dsb);
        QTest::newRow("Ku LNB, measurement at the RF") << usb << 9750.0 << false << "10700 11700"
                                                       << "" << QList<double>{950, 13.4, 1950, 13.0};
        QTest::newRow("Ku LNB, calibration at the IF") << usb << 9750.0 << true << "10700 11700"
                                                       << "" << QList<double>{950, 15.05, 1950, 14.55};
        QTest::newRow("DSB, the RF below the LO") << dsb << 11000.0 << false << "10700"
                                                  << "" << QList<double>{300, 13.4};
        QTest::newRow("LO above the RF with USB: no IF")
            << usb << 12000.0 << false << "11000"
            << "11000 MHz cannot be measured with the LO at 12000 MHz. No IF: this sideband puts it at or "
               "below 0 MHz."
            << QList<double>{};
        QTest::newRow("LSB with the LO below: no IF") << lsb << 9750.0 << false << "10700"
                                                      << "No IF" << QList<double>{};
        QTest::newRow("RF outside the measurement table")
            << usb << 9750.0 << false << "10700 12500"
            << "12500 MHz lies outside the ENR table (700 MHz to 12000 MHz)" << QList<double>{};
        QTest::newRow("IF outside the calibration table")
            << usb << 10000.0 << true << "10500"
            << "The calibration at the IF: 500 MHz lies outside the ENR table" << QList<double>{};
    }
    void converterPlan()
    {
        QFETCH(int, sideband);
        QFETCH(double, lo);
        QFETCH(bool, calibration);
        QFETCH(QString, list);
        QFETCH(QString, error);
        QFETCH(QList<double>, ifAndEnr);
        TestBench tb;
        Instrument &m = tb.loaded();
        m.session().EnrFileName = m_dir.filePath(QStringLiteral("lnb.tab"));
        m.session().EnrInterpolation = QStringLiteral("linear");
        QVERIFY(writeFile(m.session().EnrFileName, "700\t15.2\n950\t15.05\n1950\t14.55\n10700\t13.4\n"
                                                   "11700\t13.0\n12000\t12.9\n"));
        QCOMPARE(loadEnrTable(m), 0);
        m.sheet().device.mode = physics::DeviceMode::DownConverter;
        m.sheet().device.loMhz = lo;
        m.sheet().device.sideband = physics::Sideband(sideband);
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = list;
        const PlanResult r =
            makeSweepPlan(m.session(), m.enrTable(),
                          calibration ? SweepKind::Calibration : SweepKind::Measurement, f, 0.5, false);
        QVERIFY2(error.isEmpty() ? r.error.isEmpty() : r.error.contains(error), qPrintable(r.error));
        QList<double> got;
        for (int i = 0; i < r.plan.mhz.size(); ++i)
            got << r.plan.ifMhz[i] << r.plan.source[i].enrDb;
        QCOMPARE(got, ifAndEnr);
    }

    // Each point's source temperatures: a table's ENR on top of the source's temperature when off (as the
    // main window rounds them), or typed hot and cold loads without ENR, read by hand.
    void planSourceTemperatures_data()
    {
        QTest::addColumn<double>("kelvin"); // the source's temperature when off; 0: hot and cold loads
        QTest::addColumn<QList<double>>("point"); // ENR (-1: none), Thot, Tcold at 300 MHz
        QTest::newRow("table, 290 K: as always") << 290.0 << QList<double>{15.5, 10579.6, 290};
        QTest::newRow("table, source at 296.5 K") << 296.5 << QList<double>{15.5, 10586.1, 296.5};
        QTest::newRow("hot and cold loads") << 0.0 << QList<double>{-1, 296.5, 77};
    }
    void planSourceTemperatures()
    {
        QFETCH(double, kelvin);
        QFETCH(QList<double>, point);
        TestBench tb;
        Instrument &m = tb.loaded();
        m.session().ComEnabled = 1;
        m.session().EnrFileName = m_dir.filePath(QStringLiteral("source.tab"));
        QVERIFY(writeFile(m.session().EnrFileName, "100\t15.0\n300\t15.5\n500\t14.8\n"));
        m.session().SourceOffK = kelvin > 0 ? kelvin : 290;
        QCOMPARE(loadEnrTable(m), 0);
        if (kelvin == 0) {
            QVERIFY(setHotColdLoads(m, true));
            m.sheet().setText(Field::Tcold, QStringLiteral("77"));
            m.sheet().setText(Field::Thot, QStringLiteral("296.5"));
        }
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = QStringLiteral("100 300");
        const PlanResult r = makeSweepPlan(m.session(), m.enrTable(), SweepKind::Calibration, f, 0.5, false);
        QCOMPARE(r.error, QString());
        const SourceTemps &t = r.plan.source[1];
        QCOMPARE(QList<double>({std::isnan(t.enrDb) ? -1 : t.enrDb, t.tHot, t.tCold}), point);
        QCOMPARE(r.plan.serialSwitching, kelvin > 0);
    }

    // Serial switching through the bench's port: a calibration and a measurement sweep over five frequencies
    // give the bench DUT's gain and noise figure at each within what the chi-square statistics of the four
    // readings allow; rigctld is left at the last frequency.
    void recoversTheDeviceAcrossTheBand()
    {
        m_instrument.session().ComEnabled = 1;
        const QString freqs = QStringLiteral("100 200 300 400 500");
        const std::unique_ptr<Sweep> cal = run(SweepKind::Calibration, freqs);
        QCOMPARE(cal->message(), QString());
        QCOMPARE(int(cal->outcome()), int(Sweep::Outcome::Finished));
        const std::unique_ptr<Sweep> meas = run(SweepKind::Measurement, freqs, cal->calibration());
        QCOMPARE(int(meas->outcome()), int(Sweep::Outcome::Finished));
        QCOMPARE(m_rigctld.frequencyHz(), 500e6);
        QVERIFY(!bench().serial().isOpen());

        const double perReadingDb = nmucUncertainty(bench().statisticalBandwidthHz(kRate), kInterval, 99.9, false);
        const BenchState states[4] = {{false, false, true}, {true, false, true}, {false, true, true}, {true, true, true}};
        for (const SweepPoint &p : meas->points()) {
            QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
            QCOMPARE(p.tunedMhz, p.mhz);
            bench().tuneTo(p.mhz);
            const BenchTruth truth = bench().truthAt(p.mhz);
            // Tolerance: each reading alone off by its 99.9 % uncertainty, root-sum-square over the four.
            physics::CascadeInput in = meas->plan().params;
            in.tHot = p.source.tHot, in.tCold = p.source.tCold;
            double tolNf = 0, tolGain = 0, base[2] = {};
            for (int moved = -1; moved < 4; ++moved) {
                double db[4];
                for (int i = 0; i < 4; ++i)
                    db[i] = 10 * std::log10(bench().expectedMeanSquare(states[i], kRate)) + (i == moved ? perReadingDb : 0);
                in.instrument = physics::LevelPair{db[0], db[1]}, in.combined = physics::LevelPair{db[2], db[3]};
                const physics::DeviceResult d = physics::cascade(in).device;
                if (moved < 0)
                    base[0] = d.nfDb, base[1] = d.gainDb;
                tolNf = std::hypot(tolNf, d.nfDb - base[0]), tolGain = std::hypot(tolGain, d.gainDb - base[1]);
            }
            const QString at = QStringLiteral("%1 MHz: NF %2 (true %3 +- %4), gain %5 (true %6 +- %7)")
                                   .arg(p.mhz).arg(p.device.nfDb).arg(truth.dutNfDb).arg(tolNf)
                                   .arg(p.device.gainDb).arg(truth.dutGainDb).arg(tolGain);
            qInfo("%s", qPrintable(at));
            QVERIFY2(std::abs(p.device.nfDb - truth.dutNfDb) < tolNf + 0.01, qPrintable(at));
            QVERIFY2(std::abs(p.device.gainDb - truth.dutGainDb) < tolGain + 0.01, qPrintable(at));
        }
    }

    // A Ku-band LNB on the bench (LO 9750 MHz, gain 55 dB, its own noise 0.7 dB) swept over RF 10.70 to
    // 11.20 GHz, IF 950 to 1450 MHz (the dummy rig receives up to 1500 MHz), with one ENR table for both
    // paths: 15.05 to 14.55 dB at the IFs, 13.2 dB at the RF and the image. The calibration at the IFs
    // and the measurement at the RFs give the single-sideband gain and noise figure at every point within
    // what the four readings allow; the calibration then serves another LO with the same IFs.
    void lnbAcrossTheBand_data()
    {
        QTest::addColumn<double>("benchIrDb");
        QTest::addColumn<int>("sideband"); // as set under Options, Device
        QTest::newRow("double sideband") << 0.0 << int(physics::Sideband::Dsb);
        QTest::newRow("USB, image rejection 20 dB") << 20.0 << int(physics::Sideband::Usb);
    }
    void lnbAcrossTheBand()
    {
        QFETCH(double, benchIrDb);
        QFETCH(int, sideband);
        Session &session = m_instrument.session();
        Sheet &sheet = m_instrument.sheet();
        const BenchSettings before = bench().settings();
        const QStringList texts = {sheet.text(Field::Att22), sheet.text(Field::Thot), sheet.text(Field::Tcold)};
        const auto restore = qScopeGuard([&] {
            bench().setSettings(before);
            sheet.device = DeviceSetup();
            EnrUnload(session, m_instrument.enrTable());
            sheet.setText(Field::Att22, texts[0]), sheet.setText(Field::Thot, texts[1]);
            sheet.setText(Field::Tcold, texts[2]);
        });
        BenchSettings b = before;
        b.dutResponse.clear(), b.dutGainDb = 55, b.dutNfDb = 0.7;
        b.sourceEnr = {{950, 15.05}, {1950, 14.55}, {8000, 13.2}, {12750, 13.2}};
        b.converter = {physics::DeviceMode::DownConverter, 9750, physics::Sideband::Usb, benchIrDb};
        bench().setSettings(b);
        const BenchAttenuators atts{0, 0, 0, 40, 290, 290}; // 55 dB of gain inside the sound card's range
        sheet.setText(Field::Att22, QStringLiteral("40"));
        sheet.device.mode = physics::DeviceMode::DownConverter;
        sheet.device.loMhz = 9750;
        sheet.device.sideband = physics::Sideband(sideband);
        sheet.device.imageRejectionDb = benchIrDb;
        session.EnrFileName = m_dir.filePath(QStringLiteral("lnb.tab"));
        session.EnrInterpolation = QStringLiteral("linear"); // the bench's own interpolation
        QVERIFY(writeFile(session.EnrFileName, "950\t15.05\n1950\t14.55\n8000\t13.2\n12750\t13.2\n"));
        QCOMPARE(loadEnrTable(m_instrument), 0);
        session.ComEnabled = 1;

        const QString freqs = QStringLiteral("10700 10825 10950 11075 11200");
        const std::unique_ptr<Sweep> cal = run(SweepKind::Calibration, freqs);
        QCOMPARE(cal->message(), QString());
        const SweepCalibration calibration = cal->calibration();
        QCOMPARE(calibration.mhz, QVector<double>({950, 1075, 1200, 1325, 1450}));
        const std::unique_ptr<Sweep> meas = run(SweepKind::Measurement, freqs, calibration);
        QCOMPARE(meas->message(), QString());
        QCOMPARE(m_rigctld.frequencyHz(), 1450e6);

        const double perReadingDb = nmucUncertainty(bench().statisticalBandwidthHz(kRate), kInterval, 99.9, false);
        const BenchState states[4] = {{false, false, true}, {true, false, true}, {false, true, true}, {true, true, true}};
        for (const SweepPoint &p : meas->points()) {
            QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
            QCOMPARE(p.tunedMhz, p.ifMhz);
            QCOMPARE(p.axisMhz(), p.mhz);
            QVERIFY(p.calSource && p.calSource->enrDb > 14.5 && p.source.enrDb == 13.2);
            bench().tuneTo(p.ifMhz);
            const BenchTruth truth = bench().truthAt(p.mhz);
            // The results from the bench's expected levels, each reading off by its 99.9 % uncertainty in
            // turn: the tolerance, root-sum-square.
            physics::CascadeInput in = meas->plan().params;
            in.tHot = p.source.tHot, in.tCold = p.source.tCold;
            in.calTHot = p.calSource->tHot, in.calTCold = p.calSource->tCold;
            double tolNf = 0, tolGain = 0, base[2] = {};
            for (int moved = -1; moved < 4; ++moved) {
                double db[4];
                for (int i = 0; i < 4; ++i)
                    db[i] = 10 * std::log10(bench().expectedMeanSquare(states[i], kRate, atts)) +
                            (i == moved ? perReadingDb : 0);
                in.instrument = physics::LevelPair{db[0], db[1]}, in.combined = physics::LevelPair{db[2], db[3]};
                const physics::DeviceResult d = deviceFigures(sheet.device, physics::cascade(in)).device;
                if (moved < 0)
                    base[0] = d.nfDb, base[1] = d.gainDb;
                tolNf = std::hypot(tolNf, d.nfDb - base[0]), tolGain = std::hypot(tolGain, d.gainDb - base[1]);
            }
            const QString at = QStringLiteral("RF %1 MHz, IF %2 MHz: NF %3 (true %4 +- %5), gain %6 (true %7 +- %8)")
                                   .arg(p.mhz).arg(p.ifMhz).arg(p.device.nfDb).arg(truth.dutNfDb).arg(tolNf)
                                   .arg(p.device.gainDb).arg(truth.dutGainDb).arg(tolGain);
            qInfo("%s", qPrintable(at));
            QVERIFY2(std::abs(base[0] - truth.dutNfDb) < 0.01 && std::abs(base[1] - truth.dutGainDb) < 0.01,
                     qPrintable(at)); // the expected levels give the truth
            QVERIFY2(std::abs(p.device.nfDb - truth.dutNfDb) < tolNf + 0.01, qPrintable(at));
            QVERIFY2(std::abs(p.device.gainDb - truth.dutGainDb) < tolGain + 0.01, qPrintable(at));
        }

        // The calibration is kept by the IF: the high band's LO (10600 MHz) over RFs with the same IFs needs
        // no new one; another LO does.
        for (double lo : {10600.0, 10000.0}) {
            sheet.device.loMhz = lo;
            SweepFrequencies f;
            f.source = SweepFrequencies::Source::List;
            f.list = lo == 10600 ? QStringLiteral("11550 12050") : QStringLiteral("10900");
            const PlanResult plan = makeSweepPlan(session, m_instrument.enrTable(), SweepKind::Measurement, f, 0, false);
            QCOMPARE(plan.error, QString());
            QCOMPARE(makeSweep(plan.plan, calibration)->check(),
                     lo == 10600 ? QString()
                                 : QStringLiteral("There is no calibration at the IF 900 MHz (RF 10900 MHz): run a "
                                                  "calibration sweep that covers the same IFs first."));
        }
    }

    // Averages apply per level of every point: N readings each, the plan
    // taking the count from the session.
    void averagesEveryLevel()
    {
        m_instrument.session().ComEnabled = 1;
        m_instrument.session().Averages = 3;
        const int before = bench().audio().recordings();
        const std::unique_ptr<Sweep> cal = run(SweepKind::Calibration, QStringLiteral("100 200"));
        m_instrument.session().Averages = 1;
        QCOMPARE(cal->plan().averages, 3);
        QCOMPARE(int(cal->outcome()), int(Sweep::Outcome::Finished));
        QCOMPARE(bench().audio().recordings() - before, 2 * 2 * 3);
        for (const SweepPoint &p : cal->points())
            QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
    }

    // By hand: every source-off reading, one prompt, then every source-on reading; a source left off after the
    // prompt gives no Y factor, so every point measured shows that the order held.
    void manualSwitchingPromptsOnce()
    {
        m_instrument.session().ComEnabled = 0;
        bench().setManualCombined(false);
        bench().setManualSource(false);
        const int before = bench().audio().recordings();
        QList<int> promptedAfter;
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = QStringLiteral("150 250 350 450");
        const std::unique_ptr<Sweep> owned =
            makeSweep(makeSweepPlan(m_instrument.session(), m_instrument.enrTable(), SweepKind::Calibration, f, 0, false).plan);
        Sweep &sweep = *owned;
        connect(&sweep, &Sweep::sourcePrompt, this, [&] {
            promptedAfter << bench().audio().recordings() - before;
            for (const SweepPoint &p : sweep.points())
                QVERIFY(p.loDb && !p.hiDb);
            bench().setManualSource(true);
            QTimer::singleShot(0, &sweep, &Sweep::resume);
        });
        sweep.start();
        QVERIFY(QTest::qWaitFor([&] { return sweep.stage() == Sweep::Stage::Done; }, 60000));
        bench().setManualSource(false);
        QCOMPARE(promptedAfter, QList<int>{4});
        QCOMPARE(bench().audio().recordings() - before, 8);
        for (const SweepPoint &p : sweep.points())
            QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
    }

    // Stop, or a frequency the rig refuses: the sweep ends at once with the points measured so far, which
    // export to CSV ('.' as decimal mark in a German locale too) and read back as a reference trace.
    void endsEarlyKeepingPoints_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("message"); // part of it; empty: stopped by the user
        QTest::newRow("Stop after the second point") << "120 140 160 180" << "";
        QTest::newRow("rigctld killed after the second point")
            << "120 140 160 180"
            << "was lost at 160 MHz; the sweep stopped after 2 of 4 points.";
    }
    void endsEarlyKeepingPoints()
    {
        QFETCH(QString, list);
        QFETCH(QString, message);
        m_instrument.session().ComEnabled = 1;
        const QString rigctld =
            QStringLiteral("The connection to the receiver (rigctld at %1) ").arg(m_rigctld.address());
        const std::unique_ptr<Sweep> s = run(SweepKind::Calibration, list, {}, [&](const Sweep &sw) {
            if (sw.points()[1].state != SweepPoint::State::Measured)
                return false;
            if (message.isEmpty())
                return true;
            m_rigctld.stop(); // the daemon ends while the sweep goes on to the next frequency
            return false;
        });
        if (!message.isEmpty())
            message = rigctld + message;
        QCOMPARE(int(s->outcome()), int(message.isEmpty() ? Sweep::Outcome::Stopped : Sweep::Outcome::Failed));
        QVERIFY2(s->message().contains(message), qPrintable(s->message()));
        QVERIFY(!bench().serial().isOpen());
        QCOMPARE(int(s->points()[2].state), int(SweepPoint::State::Pending));

        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray csv = sweepCsv(SweepKind::Calibration, s->points());
        QLocale::setDefault(QLocale::c());
        QVERIFY(csv.startsWith("Sweep,Frequency (MHz),Tuned (MHz),ENR (dB),Y (dB),Te (K),NF (dB),Gain (dB),"));
        QVERIFY2(csv.contains("\ncalibration,140.000000,140.000000,"), csv.constData());
        const SweepTrace t = parseSweepCsv(csv);
        QCOMPARE(t.error, QString());
        QCOMPARE(t.mhz, (QVector<double>{120, 140}));
        for (int i = 0; i < 2; ++i)
            QVERIFY(std::abs(t.nfDb[i] - s->points()[i].path.nfDb) < 0.0005);
        QVERIFY(parseSweepCsv("Frequency,NF\n1,2\n").error.contains("not a saved sweep"));
    }

    // The frequency the receiver reports after each tuning: a point further from the plan than the rig's
    // finest tuning step (1 kHz when it does not say) fails naming both; one within is measured, plotted and
    // given its ENR at the reported frequency.
    void tuningIsChecked_data()
    {
        QTest::addColumn<double>(
            "stuckMhz"); // the test-double rig's; 0 with offsetHz: the dummy rig in process
        QTest::addColumn<double>("offsetHz");
        QTest::addColumn<double>("stepHz");
        QTest::addColumn<bool>("stopOnFailure");
        QTest::addColumn<QString>("failure"); // of the first point; empty: every point measured
        QTest::addColumn<QString>("message"); // the sweep's
        const QString stuck = QStringLiteral("the receiver reports 145 MHz after tuning to 100.5 MHz");
        QTest::newRow("rig stuck at 145 MHz: every point fails")
            << 145.0 << 0.0 << 0.0 << false << stuck << "";
        QTest::newRow("rig stuck at 145 MHz, stop on failure")
            << 145.0 << 0.0 << 0.0 << true << stuck
            << "The receiver reports 145 MHz after tuning to 100.5 MHz.";
        QTest::newRow("500 Hz off, step unknown: within 1 kHz") << 0.0 << 500.0 << 0.0 << false << ""
                                                                << "";
        QTest::newRow("2 kHz off, step unknown")
            << 0.0 << 2000.0 << 0.0 << false << "the receiver reports 100.502 MHz after tuning to 100.5 MHz"
            << "";
        QTest::newRow("500 Hz off with 10 Hz steps")
            << 0.0 << 500.0 << 10.0 << false << "the receiver reports 100.5005 MHz after tuning to 100.5 MHz"
            << "";
        QTest::newRow("20 kHz off with 25 kHz steps") << 0.0 << 20000.0 << 25000.0 << false << ""
                                                      << "";
        QTest::newRow("dummy rig in process tunes exactly") << 0.0 << 0.0 << 0.0 << false << ""
                                                            << "";
    }
    void tuningIsChecked()
    {
        QFETCH(double, stuckMhz);
        QFETCH(double, offsetHz);
        QFETCH(double, stepHz);
        QFETCH(bool, stopOnFailure);
        QFETCH(QString, failure);
        QFETCH(QString, message);
        m_instrument.session().ComEnabled = 1;
        OffTuneRig offTune;
        offTune.stuckHz = stuckMhz * 1e6, offTune.offsetHz = offsetHz, offTune.stepHz = stepHz;
        const bool dummy = stuckMhz == 0 && offsetHz == 0;
        SweepPlan plan = listPlan(QStringLiteral("100.5 101"), stopOnFailure);
        // A steep ENR table through the bench source's own ENR at 100.5 MHz (10 dB per MHz): 20 kHz moves the
        // ENR by 0.2 dB.
        const double enr = physics::EnrFromThot(bench().truthAt(100.5).thotK);
        EnrTable steep;
        steep.freq = {99, 100, 101, 102}, steep.enr = {enr - 15, enr - 5, enr + 5, enr + 15};
        fitSpline(steep);
        plan.enr = std::make_shared<const EnrTable>(steep);
        plan.source = sourceTemps(plan.mhz, &steep, {}).temps;
        const std::unique_ptr<Sweep> s = makeSweep(plan, {}, dummy ? static_cast<IRig *>(&m_rig) : &offTune,
                                                   RigConfig{dummy ? 1 : 2, {}, 0});
        s->start();
        QVERIFY(QTest::qWaitFor([&] { return s->stage() == Sweep::Stage::Done; }, 60000));
        QCOMPARE(s->message(), message);
        QCOMPARE(int(s->outcome()),
                 int(message.isEmpty() ? Sweep::Outcome::Finished : Sweep::Outcome::Failed));
        const SweepPoint &p = s->points()[0];
        QCOMPARE(p.failure, failure);
        QCOMPARE(int(p.state),
                 int(failure.isEmpty() ? SweepPoint::State::Measured : SweepPoint::State::Failed));
        QCOMPARE(p.tunedMhz, stuckMhz > 0 ? stuckMhz : 100.5 + offsetHz / 1e6);
        if (!failure.isEmpty())
            return;
        QCOMPARE(p.axisMhz(), p.tunedMhz);
        QCOMPARE(p.source.enrDb, std::round(csinterpolate(steep, p.tunedMhz) * 100) / 100);
    }

    // The whole plan against the receiver's receive range once it is open: a sweep reaching past it measures
    // nothing and is refused naming the first frequency outside and the range; the rig is never tuned.
    void receiveRangeBeforeTheFirstTuning_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("message");
        const QString dummy =
            QStringLiteral("cannot tune to 2000 MHz: it receives 0.15 MHz to 1500 MHz only. "
                           "Nothing was measured.");
        QTest::newRow("dummy rig in process, 1000 to 2000 MHz")
            << 1 << "1000 1500 2000" << QStringLiteral("The receiver (Hamlib Dummy) ") + dummy;
        QTest::newRow("rigctld, 120 MHz to 3 GHz") << 2 << "120 140 2000 3000" << dummy;
        // A Ku-band LNB (LO 9750 MHz, USB) over 10.7 to 11.7 GHz needs IFs up to 1950 MHz.
        QTest::newRow("an LNB's IF above the receiver's range")
            << 2 << "lnb 10700 11200 11700"
            << QStringLiteral("cannot tune to the IF 1950 MHz: it receives 0.15 MHz to 1500 MHz only. "
                              "Nothing was measured.");
    }
    void receiveRangeBeforeTheFirstTuning()
    {
        QFETCH(int, model);
        QFETCH(QString, list);
        QFETCH(QString, message);
        if (model == 2)
            message = QStringLiteral("The receiver (rigctld at %1) ").arg(m_rigctld.address()) + message;
        const double before = m_rigctld.frequencyHz();
        const int recordings = bench().audio().recordings();
        const DeviceSetup amplifier = m_instrument.sheet().device;
        if (list.startsWith(QLatin1String("lnb"))) {
            m_instrument.sheet().device.mode = physics::DeviceMode::DownConverter;
            m_instrument.sheet().device.loMhz = 9750;
            m_instrument.sheet().device.sideband = physics::Sideband::Usb;
            list = list.mid(4);
        }
        const auto restore = qScopeGuard([&] { m_instrument.sheet().device = amplifier; });
        const std::unique_ptr<Sweep> s = makeSweep(
            listPlan(list), {}, nullptr, RigConfig{model, model == 2 ? m_rigctld.address() : QString(), 0});
        QList<double> tuned;
        connect(s.get(), &Sweep::tuned, this, [&tuned](double mhz) { tuned << mhz; });
        s->start();
        QVERIFY(QTest::qWaitFor([&] { return s->stage() == Sweep::Stage::Done; }, 60000));
        QCOMPARE(s->message(), message);
        QCOMPARE(int(s->outcome()), int(Sweep::Outcome::Failed));
        QCOMPARE(tuned, QList<double>());
        QCOMPARE(bench().audio().recordings(), recordings);
        for (const SweepPoint &p : s->points())
            QCOMPARE(int(p.state), int(SweepPoint::State::Pending));
        QCOMPARE(m_rigctld.frequencyHz(), before);
    }

    // A receiver turned up until every reading clips: each point is marked failed, with no number in the
    // table's source or the CSV, and the sweep goes on or stops as chosen.
    void clippedPointsFail_data()
    {
        QTest::addColumn<bool>("stopOnFailure");
        QTest::newRow("goes on") << false;
        QTest::newRow("stops at the first") << true;
    }
    void clippedPointsFail()
    {
        QFETCH(bool, stopOnFailure);
        m_instrument.session().ComEnabled = 1;
        const BenchSettings normal = bench().settings();
        BenchSettings loud = normal;
        loud.rxGainDb = 140;
        bench().setSettings(loud);
        const std::unique_ptr<Sweep> s = run(SweepKind::Calibration, QStringLiteral("200 300"), {}, {}, stopOnFailure);
        bench().setSettings(normal);
        QCOMPARE(int(s->outcome()), int(stopOnFailure ? Sweep::Outcome::Failed : Sweep::Outcome::Finished));
        QCOMPARE(s->message(), stopOnFailure ? QStringLiteral("The reading at 200 MHz failed: the reading clipped") : QString());
        QCOMPARE(int(s->points()[1].state), int(stopOnFailure ? SweepPoint::State::Pending : SweepPoint::State::Failed));
        QCOMPARE(s->points()[0].failure, QStringLiteral("the reading clipped"));
        const QByteArray csv = sweepCsv(SweepKind::Calibration, s->points());
        QVERIFY2(csv.contains("\ncalibration,200.000000,200.000000,15.00,,,,,,,,failed: the reading clipped\n"), csv.constData());
        QCOMPARE(parseSweepCsv(csv).error, QStringLiteral("The file holds no measured point."));
    }
};

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
