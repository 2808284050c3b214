// A complete Y-factor measurement on the virtual bench, through the real
// buttons, recording, level analysis and results: the DUT's gain and noise
// figure must come back within the uncertainty that the chi-square
// statistics of the readings allow.

#include "acquire/Bench.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "calc/Nmuc.h"
#include "calc/Results.h"
#include "support/TestPlatform.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(BenchSettings)
Q_DECLARE_METATYPE(BenchAttenuators)

namespace {

constexpr int kRate = 48000;      // rate of the shipped template TQX.wav (Hz)
constexpr double kInterval = 1.0; // s per reading

struct DutResult {
    double nfDb = 0, gainDb = 0; // as the main window shows them
    bool ok = false;
};

// Readings 1 to 4: bench state, level field, button.
const BenchState kStates[4] = {{false, false, true}, {true, false, true}, {false, true, true}, {true, true, true}};
const Field kFields[4] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
const Control kButtons[4] = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21, Control::btnNoise22};

// The main window's parameters set to the bench's truth.
void fillParameters(Sheet &s, const Bench &bench, const BenchAttenuators &a)
{
    s.setUnitsIndex(0);
    const std::pair<Field, double> values[] = {
        {Field::Interval, kInterval}, {Field::Thot, bench.truth().thotK}, {Field::Tcold, bench.truth().tcoldK},
        {Field::Att11, a.att11}, {Field::Att12, a.att12}, {Field::Att21, a.att21}, {Field::Att22, a.att22},
        {Field::Tatt1, a.tatt1}, {Field::Tatt2, a.tatt2}};
    for (auto [f, v] : values)
        s.setText(f, FormatFixed(v, QStringLiteral("0.0000")));
}

DutResult dutFromSheet(const Sheet &s)
{
    return {ParseNumber(s.text(Field::NF)), ParseNumber(s.text(Field::Gain)),
            IsNumber(s.text(Field::NF)) && IsNumber(s.text(Field::Gain))};
}

// How far the shown NF and gain move when each reading alone is off by
// `perReadingDb` from the bench's expected level (root-sum-square over the
// four readings), through the real results calculation.
DutResult propagated(const Bench &bench, const BenchAttenuators &a, double perReadingDb)
{
    TestBench scratch;
    Sheet &s = scratch.meter.sheet();
    fillParameters(s, bench, a);
    auto resultsWith = [&](int moved) {
        for (int i = 0; i < 4; ++i) {
            const double ms = bench.expectedMeanSquare(kStates[i], kRate, a) - bench.floorMeanSquare();
            s.setText(kFields[i], FormatFixed(10 * std::log10(ms) + (i == moved ? perReadingDb : 0), QStringLiteral("0.000000")));
        }
        ResultsCalc(scratch.meter);
        return dutFromSheet(s);
    };
    const DutResult base = resultsWith(-1);
    DutResult spread;
    for (int i = 0; i < 4; ++i) {
        const DutResult r = resultsWith(i);
        spread.nfDb = std::hypot(spread.nfDb, r.nfDb - base.nfDb);
        spread.gainDb = std::hypot(spread.gainDb, r.gainDb - base.gainDb);
    }
    return spread;
}

// Per-reading uncertainty (dB) the calculator gives for the bench's
// statistical bandwidth and the interval, at confidence C (%).
double readingUncertaintyDb(const Bench &bench, double confidence)
{
    return nmucUncertainty(bench.statisticalBandwidthHz(kRate), kInterval, confidence, false);
}

} // namespace

class TestBenchMeasurement : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestBench> m_tb;
    Meter *m_meter = nullptr;

    Bench &bench() { return m_meter->bench(); }
    Sheet &sheet() { return m_meter->sheet(); }

    void setUpBench(const BenchSettings &s, const BenchAttenuators &a)
    {
        bench().setSettings(s);
        bench().reseed();
        fillParameters(sheet(), bench(), a);
    }

    // SC&Z with the receiver disconnected, then readings 1 to 4, switched
    // by the virtual port (serial) or by the bench's manual switches.
    DutResult measure(bool serial)
    {
        Bench &b = bench();
        m_meter->ComEnabled = serial ? 1 : 0;
        b.setManualSource(false);
        b.setManualCombined(false);
        b.setReceiverConnected(false);
        m_meter->click(Control::btnNoise00);
        waitIdle(*m_meter);
        b.setReceiverConnected(true);
        for (int i = 0; i < 4; ++i) {
            if (!serial) {
                b.setManualSource(kStates[i].sourceOn);
                b.setManualCombined(kStates[i].combined);
            }
            m_meter->click(kButtons[i]);
            waitIdle(*m_meter);
        }
        b.setManualSource(false);
        b.setManualCombined(false);
        return dutFromSheet(sheet());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_tb = std::make_unique<TestBench>();
        m_meter = &m_tb->loaded();
        // The shipped template: beside the build's binaries, or in data/.
        const QString binDir = qEnvironmentVariable("TQX_BINARY_DIR");
        const QString srcDir = qEnvironmentVariable("TQX_SOURCE_DIR");
        m_meter->AppDir = QFileInfo::exists(binDir + QStringLiteral("/TQX.wav"))
            ? binDir + QLatin1Char('/')
            : srcDir + QStringLiteral("/data/");
        QVERIFY2(QFileInfo::exists(m_meter->AppDir + QStringLiteral("TQX.wav")), qPrintable(m_meter->AppDir));
        m_meter->TempWave = m_dir.filePath(QStringLiteral("~0000BENCH"));
        sheet().setChecked(Control::mnuOptionsLimits, true);
        m_meter->LimitsEnabled = true;
        m_meter->ComPort = 5;
        bench().activate(*m_meter);
    }

    void cleanup()
    {
        bench().deactivate(*m_meter);
        m_tb.reset();
    }

    // The real sequence with serial switching: the virtual port switches
    // the source and the path for readings 2 to 4 (0.5 s settling each).
    void endToEndThroughVirtualPort_data()
    {
        QTest::addColumn<BenchSettings>("settings");
        QTest::addColumn<BenchAttenuators>("atts");
        BenchSettings d, poorDut;
        d.seed = 11;
        poorDut.seed = 12;
        poorDut.dutGainDb = 12;
        poorDut.dutNfDb = 4;
        QTest::newRow("defaults") << d << BenchAttenuators();
        QTest::newRow("12 dB gain, 4 dB NF DUT after 3 dB Att21") << poorDut << BenchAttenuators{0, 0, 3, 0, 290, 290};
    }
    void endToEndThroughVirtualPort()
    {
        QFETCH(BenchSettings, settings);
        QFETCH(BenchAttenuators, atts);
        setUpBench(settings, atts);
        const DutResult r = measure(true);
        QCOMPARE(m_tb->messages.texts(), QStringList());
        QVERIFY(r.ok);
        QCOMPARE(bench().audio().recordings(), 5);
        QVERIFY(!bench().serial().isOpen() && !bench().state().sourceOn); // released after every reading
        QCOMPARE(bench().attenuators().att21, atts.att21); // the sheet's fields were the truth
        // Within what the readings' statistics allow at 99.9 % each, plus
        // the display rounding of NF (0.01 dB) and gain (0.1 dB).
        const DutResult tol = propagated(bench(), atts, readingUncertaintyDb(bench(), 99.9));
        QVERIFY2(std::abs(r.nfDb - settings.dutNfDb) < tol.nfDb + 0.005,
                 qPrintable(QStringLiteral("NF %1, tolerance %2").arg(r.nfDb).arg(tol.nfDb)));
        QVERIFY2(std::abs(r.gainDb - settings.dutGainDb) < tol.gainDb + 0.05,
                 qPrintable(QStringLiteral("gain %1, tolerance %2").arg(r.gainDb).arg(tol.gainDb)));
    }

    // Too much receiver gain drives the sound card past 0.4 of full scale:
    // flagged only with the limits option, and only on loud readings.
    void clippingFlaggedWithLimits_data()
    {
        QTest::addColumn<double>("extraGainDb");
        QTest::addColumn<bool>("loudest"); // DUT in path, source on; else receiver alone, source off
        QTest::addColumn<bool>("limits");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("20 dB more, loudest reading") << 20.0 << true << true << true;
        QTest::newRow("20 dB more, limits off") << 20.0 << true << false << false;
        QTest::newRow("20 dB more, quietest reading") << 20.0 << false << true << false;
    }
    void clippingFlaggedWithLimits()
    {
        QFETCH(double, extraGainDb);
        QFETCH(bool, loudest);
        QFETCH(bool, limits);
        QFETCH(bool, clipped);
        BenchSettings s;
        s.rxGainDb += extraGainDb;
        setUpBench(s, BenchAttenuators());
        sheet().setChecked(Control::mnuOptionsLimits, limits);
        bench().setManualSource(loudest);
        bench().setManualCombined(loudest);
        m_meter->click(Control::btnNoise11);
        QVERIFY(waitIdle(*m_meter));
        QCOMPARE(m_meter->WorkMeas.ClipFlag, clipped ? -1.0 : 0.0);
        QVERIFY(m_meter->WorkMeas.Ms > 0);
    }

    // A truth the bench cannot simulate is reported through the recording's
    // message; the reading's field keeps its text.
    void impossibleTruthIsReported()
    {
        setUpBench(BenchSettings(), BenchAttenuators());
        sheet().setText(Field::Att21, QStringLiteral("-3"));
        sheet().setText(Field::Noise21, QStringLiteral("-40.000"));
        bench().setManualCombined(true);
        m_meter->click(Control::btnNoise21);
        QVERIFY(waitIdle(*m_meter));
        QCOMPARE(m_tb->messages.texts(),
                 QStringList(QStringLiteral("Error: recording wave file: Virtual bench: Att21 is -3 dB; the "
                                            "virtual bench has attenuators of 0 to 200 dB only.(32).")));
        QCOMPARE(sheet().text(Field::Noise21), QStringLiteral("-40.000"));
    }
};

QTEST_MAIN(TestBenchMeasurement)
#include "tst_benchmeasurement.moc"
