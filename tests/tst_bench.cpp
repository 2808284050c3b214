// The virtual bench: its noise follows the physics of the set-up, and it is offered without audio
// input. What it cannot simulate is refused through a reading in tst_benchmeasurement.
#include "acquire/Bench.h"
#include "support/TestPlatform.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(BenchSettings)
Q_DECLARE_METATYPE(BenchAttenuators)
Q_DECLARE_METATYPE(BenchState)

namespace {

constexpr int kRate = 48000; // Hz

// Mean square about the mean (full scale = 1).
double acPower(const QVector<qint16> &v)
{
    double sum = 0, squares = 0;
    for (qint16 x : v)
        sum += x, squares += double(x) * x;
    return (squares / v.size() - std::pow(sum / v.size(), 2)) / (32768.0 * 32768.0);
}

} // namespace

class TestBenchModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const BenchSettings d;
        const BenchState cal{false, false, true}, calHot{true, false, true};
        const BenchState comb{false, true, true}, combHot{true, true, true};
        BenchSettings wide = d;
        wide.bandHighHz = 5100;
        QTest::newRow("Y of the receiver alone: 12070.6 / 2900") << d << cal << calHot << BenchAttenuators() << 4.16227766;
        QTest::newRow("Att12 3 dB cooled to 77 K: cold side 183.8 K")
            << d << cal << calHot << BenchAttenuators{0, 3, 0, 0, 290, 77} << 2.64516708;
        QTest::newRow("warm Att21 6 dB at 350 K before the DUT")
            << d << comb << combHot << BenchAttenuators{0, 0, 6, 0, 350, 290} << 5.79243120;
        // 300-5100 Hz against 300-2700 Hz; the filter skirts make it 1.994.
        QTest::newRow("audio band twice as wide") << wide << cal << cal << BenchAttenuators() << 1.994;
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

    // A measurement button with no audio input offers the bench, once.
    void offeredWithoutInput_data()
    {
        QTest::addColumn<bool>("card"); // a sound card with input; else no audio at all
        QTest::addColumn<bool>("answer");
        QTest::newRow("no audio at all, yes: the bench opens") << false << true;
        QTest::newRow("no audio at all, no: the reading fails as before") << false << false;
        QTest::newRow("sound card with input: not asked") << true << true;
    }
    void offeredWithoutInput()
    {
        QFETCH(bool, card);
        QFETCH(bool, answer);
        const bool asked = !card;
        TestBench tb;
        RecordingMessages &messages = tb.messages;
        messages.answer = answer;
        ScriptedAudio audio;
        audio.status = {5, QStringLiteral("unused")};
        Platform p = tb.platform();
        p.audio = card ? &audio : nullptr;
        tb.meter.setPlatform(p);
        Bench &bench = tb.meter.bench();
        tb.windows.onDialog = [&tb, &bench](DialogId id) {
            if (id == DialogId::VirtualBench)
                bench.activate(tb.meter); // what the bench window does on show
        };
        for (int i = 0; i < 2; ++i) {
            tb.meter.click(Control::btnNoise12);
            QVERIFY(waitIdle(tb.meter));
            QCOMPARE(messages.questions.size(), asked ? 1 : 0); // once per run
            QCOMPARE(bench.isActive(), asked && answer);
            // After a yes the user starts from the bench window: nothing recorded, no message.
            QVERIFY(i == 1 || messages.shown.isEmpty() == (asked && answer));
        }
    }
};

QTEST_MAIN(TestBenchModel)
#include "tst_bench.moc"
