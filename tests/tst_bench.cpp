// The virtual bench: its noise follows the physics of the set-up, its sound card streams and
// records like the real one, and it is offered without audio input.
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
    double mean = 0, ms = 0;
    for (qint16 x : v)
        mean += x / 32768.0 / v.size();
    for (qint16 x : v)
        ms += std::pow(x / 32768.0 - mean, 2) / v.size();
    return ms;
}

class Answering : public RecordingMessages
{
public:
    bool ask(const QString &, const QString &text) override { return questions << text, answer; }
    bool answer = false;
    QStringList questions;
};

class InputAudio : public ScriptedAudio
{
public:
    explicit InputAudio(bool input) : m_input(input) { status = {5, QStringLiteral("unused")}; }
    bool hasInput() override { return m_input; }

private:
    bool m_input;
};

AudioStatus recordOnce(Bench &bench, int rate, qint64 samples)
{
    AudioStatus st{-1, {}};
    std::unique_ptr<AudioJob> job = bench.audio().record(rate, samples);
    QObject::connect(job.get(), &AudioJob::finished, job.get(), [&st](const AudioStatus &s) { st = s; });
    return QTest::qWaitFor([&st] { return st.number != -1; }, 5000) ? st : AudioStatus{-1, QStringLiteral("timeout")};
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

    // The stream delivers blocks and pauses while a recording runs; a recording delivers exactly.
    void streamPausesForRecording()
    {
        Bench bench;
        std::unique_ptr<AudioJob> stream = bench.audio().stream(kRate);
        qint64 streamed = 0, recorded = 0;
        connect(stream.get(), &AudioJob::samples, stream.get(), [&](const QVector<qint16> &b) {
            QVERIFY(bench.audio().activeRecordings() == 0);
            streamed += b.size();
        });
        QTRY_VERIFY(streamed >= kRate / 5);
        std::unique_ptr<AudioJob> rec = bench.audio().record(kRate, 5 * kRate);
        bool done = false;
        connect(rec.get(), &AudioJob::samples, rec.get(), [&](const QVector<qint16> &b) { recorded += b.size(); });
        connect(rec.get(), &AudioJob::finished, rec.get(), [&](const AudioStatus &st) { done = st.ok(); });
        QTRY_VERIFY(done);
        QCOMPARE(recorded, qint64(5 * kRate));
        const qint64 before = streamed;
        QTRY_VERIFY(streamed > before); // resumed
    }

    // What the bench cannot simulate is refused with a message naming it, with the card's numbers.
    void refusesWhatItCannotSimulate_data()
    {
        QTest::addColumn<BenchSettings>("settings");
        QTest::addColumn<double>("att21");
        QTest::addColumn<int>("rate");
        QTest::addColumn<qint64>("samples");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("needle");
        BenchSettings d, noEnr;
        noEnr.enrDb = std::nan("");
        const int bad = BenchAudioError::Settings;
        QTest::newRow("ENR not a number") << noEnr << 0.0 << kRate << qint64(10) << bad << "ENR";
        QTest::newRow("band beyond 0.45 of 5 kHz") << d << 0.0 << 5000 << qint64(10) << bad << "below 2250 Hz";
        QTest::newRow("an amplifier as Att21") << d << -3.0 << kRate << qint64(10) << bad << "Att21";
        QTest::newRow("too long") << d << 0.0 << kRate << (qint64(1) << 40) << int(BenchAudioError::TooLong) << "too long";
    }
    void refusesWhatItCannotSimulate()
    {
        QFETCH(BenchSettings, settings);
        QFETCH(double, att21);
        QFETCH(int, rate);
        QFETCH(qint64, samples);
        QFETCH(int, error);
        QFETCH(QString, needle);
        Bench bench;
        bench.setSettings(settings);
        BenchAttenuators a;
        a.att21 = att21;
        bench.setAttenuators(a);
        const AudioStatus st = recordOnce(bench, rate, samples);
        QCOMPARE(st.number, error);
        QVERIFY2(st.text.contains(needle), qPrintable(st.text));
    }

    // A measurement button with no audio input offers the bench, once.
    void offeredWithoutInput_data()
    {
        QTest::addColumn<int>("audio"); // 0 none, 1 device without input, 2 with input
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("no audio at all, yes: the bench opens") << 0 << true << true;
        QTest::newRow("no audio at all, no: the reading fails as before") << 0 << false << true;
        QTest::newRow("sound card with input: not asked") << 2 << true << false;
    }
    void offeredWithoutInput()
    {
        QFETCH(int, audio);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        TestBench tb;
        Answering messages;
        messages.answer = answer;
        InputAudio card(audio == 2);
        Platform p = tb.platform();
        p.messages = &messages;
        p.audio = audio == 0 ? nullptr : &card;
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
