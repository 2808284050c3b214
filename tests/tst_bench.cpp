// The virtual bench: its noise follows the physics of the set-up, its
// devices behave like the real sound card and port, it routes the meter's
// readings while its window is open, and it is offered without audio input.

#include "acquire/Bench.h"
#include "sheet/Meter.h"
#include "gui/Dialogs.h"
#include "support/TestPlatform.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
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

class AnsweringMessages : public RecordingMessages
{
public:
    bool ask(const QString &, const QString &text) override
    {
        questions << text;
        return answer;
    }
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

} // namespace

class TestBenchModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two set-ups A and B per row: each generated mean square matches the
    // model, and their ratio (floor removed) is the ratio of total noise
    // temperatures worked out by hand: Thot = 290 (10^1.5 + 1) = 9460.6 K,
    // Trx = 2610 K, DUT Te = 119.6 K, DUT gain 100.
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
        auto atts = [](double a11, double a12, double a21, double a22, double t1, double t2) {
            return BenchAttenuators{a11, a12, a21, a22, t1, t2};
        };
        const BenchAttenuators none;
        BenchSettings wide = d;
        wide.bandHighHz = 5100;
        QTest::newRow("Y of the receiver alone: 12070.6 / 2900") << d << cal << calHot << none << 4.16227766;
        QTest::newRow("Att12 3 dB cooled to 77 K: cold side 183.8 K")
            << d << cal << calHot << atts(0, 3, 0, 0, 290, 77) << 2.64516708;
        QTest::newRow("DUT in path, source off: 43570 / 2900") << d << cal << comb << none << 15.0253754;
        QTest::newRow("Y of DUT plus receiver") << d << comb << combHot << none << 22.0462472;
        QTest::newRow("warm Att21 6 dB at 350 K before the DUT")
            << d << comb << combHot << atts(0, 0, 6, 0, 350, 290) << 5.79243120;
        // 300-5100 Hz against 300-2700 Hz; the filter skirts make it 1.994.
        QTest::newRow("audio band twice as wide") << wide << cal << cal << none << 1.994;
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
        double signal[2];
        // A mean square over T s of noise of statistical bandwidth B
        // scatters by 1/sqrt(B T) (relative).
        double sigma = 0;
        for (int i = 0; i < 2; ++i) {
            if (i == 1)
                bench.setSettings(settingsB);
            const BenchState st = i == 0 ? stateA : stateB;
            QVector<qint16> v;
            QCOMPARE(bench.generate(st, kRate, qint64(seconds * kRate), v), QString());
            const double expected = bench.expectedMeanSquare(st, kRate);
            sigma = 1.0 / std::sqrt(bench.statisticalBandwidthHz(kRate) * seconds);
            QVERIFY2(std::abs(acPower(v) / expected - 1) < 5 * sigma,
                     qPrintable(QStringLiteral("%1 against %2").arg(acPower(v)).arg(expected)));
            signal[i] = acPower(v) - bench.floorMeanSquare();
        }
        QVERIFY2(std::abs(signal[1] / signal[0] / ratio - 1) < 5 * std::sqrt(2.0) * sigma,
                 qPrintable(QString::number(signal[1] / signal[0])));
    }

    // Receiver disconnected: the sound card's floor (white, plus step^2/12
    // of rounding) and its DC offset alone.
    void soundCardAlone()
    {
        Bench bench;
        const qint64 n = 5 * kRate;
        QVector<qint16> v;
        QCOMPARE(bench.generate({true, true, false}, kRate, n, v), QString());
        double mean = 0;
        for (qint16 x : v)
            mean += x / 32768.0 / n;
        QVERIFY(std::abs(acPower(v) / bench.floorMeanSquare() - 1) < 6 * std::sqrt(2.0 / n));
        QVERIFY(std::abs(mean - bench.settings().dcOffset) < 1e-4);
    }

    // The stream delivers blocks of the bench's state and pauses while a recording runs.
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

    // What the bench cannot simulate is refused with a message naming it;
    // the virtual sound card passes it on with its own error numbers.
    void refusesWhatItCannotSimulate_data()
    {
        QTest::addColumn<BenchSettings>("settings");
        QTest::addColumn<double>("att21");
        QTest::addColumn<int>("rate");
        QTest::addColumn<qint64>("samples");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("needle");
        const BenchSettings d;
        auto with = [&d](auto change) { BenchSettings s = d; change(s); return s; };
        const int bad = BenchAudioError::Settings;
        QTest::newRow("ENR not a number") << with([](BenchSettings &s) { s.enrDb = std::nan(""); }) << 0.0 << kRate << qint64(10) << bad << "ENR";
        QTest::newRow("band beyond 0.45 of 5 kHz") << d << 0.0 << 5000 << qint64(10) << bad << "below 2250 Hz";
        QTest::newRow("floor lost in the rounding") << with([](BenchSettings &s) { s.floorDbfs = -120; }) << 0.0 << kRate << qint64(10) << bad << "floor";
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
        AudioStatus st;
        std::unique_ptr<AudioJob> job = bench.audio().record(rate, samples);
        connect(job.get(), &AudioJob::finished, job.get(), [&st](const AudioStatus &s) { st = s; });
        QTRY_COMPARE(st.number, error);
        QVERIFY2(st.text.contains(needle), qPrintable(st.text));
    }

    // DTR is the source and RTS the path while the port is open; closing
    // hands the bench back to its manual switches. Ports 1..99 exist.
    void portDrivesSwitches()
    {
        Bench bench;
        bench.setManualSource(true);
        BenchSerial &serial = bench.serial();
        QCOMPARE(serial.open(0, false, true), int(BenchSerial::kErrNoSuchPort));
        QCOMPARE(serial.open(100, false, true), int(BenchSerial::kErrNoSuchPort));
        QVERIFY(bench.state().sourceOn && !bench.state().combined); // a failed open drives nothing
        QCOMPARE(serial.open(99, false, true), 0);
        QVERIFY(!bench.state().sourceOn && bench.state().combined);
        QCOMPARE(serial.open(99, true, true), int(BenchSerial::kErrAlreadyOpen));
        serial.setLines(true, false);
        QVERIFY(bench.state().sourceOn && !bench.state().combined);
        serial.close();
        serial.setLines(false, true); // a closed port drives nothing
        QVERIFY(bench.state().sourceOn && !bench.state().combined);
    }

    // activate/deactivate swap exactly the audio input and the serial port,
    // counted, and leave alone what something else replaced meanwhile.
    void routingSwapsAndRestores()
    {
        TestBench tb;
        InputAudio card(true), other(true);
        Platform p = tb.loaded().platform();
        p.audio = &card;
        tb.meter.setPlatform(p);
        tb.meter.sheet().setText(Field::Att21, QStringLiteral("3.00"));
        Bench &bench = tb.meter.bench();
        bench.activate(tb.meter);
        bench.activate(tb.meter); // a second window
        bench.deactivate(tb.meter);
        QCOMPARE(tb.meter.platform().audio, static_cast<IAudio *>(&bench.audio()));
        QCOMPARE(tb.meter.platform().serial, static_cast<ISerialLines *>(&bench.serial()));
        QCOMPARE(bench.attenuators().att21, 3.0); // the sheet's fields are the truth
        QCOMPARE(bench.serial().open(1, true, true), 0);
        Platform q = tb.meter.platform();
        q.messages = nullptr;
        tb.meter.setPlatform(q);
        bench.deactivate(tb.meter);
        QVERIFY(!bench.serial().isOpen()); // lines released with the window
        QCOMPARE(tb.meter.platform().audio, static_cast<IAudio *>(&card));
        QCOMPARE(tb.meter.platform().serial, static_cast<ISerialLines *>(nullptr));
        QCOMPARE(tb.meter.platform().messages, static_cast<IMessages *>(nullptr));
        bench.deactivate(tb.meter); // unbalanced: harmless
        bench.activate(tb.meter);
        q.audio = &other; // the program replaced the audio while the bench was open
        tb.meter.setPlatform(q);
        bench.deactivate(tb.meter);
        QCOMPARE(tb.meter.platform().audio, static_cast<IAudio *>(&other));
    }

    // A measurement button with no audio input offers the bench, once.
    void offeredWithoutInput_data()
    {
        QTest::addColumn<int>("audio"); // 0 none, 1 device without input, 2 with input
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("no audio at all, yes: the bench opens") << 0 << true << true;
        QTest::newRow("no audio at all, no: the reading fails as before") << 0 << false << true;
        QTest::newRow("device without input, yes") << 1 << true << true;
        QTest::newRow("sound card with input: not asked") << 2 << true << false;
    }
    void offeredWithoutInput()
    {
        QFETCH(int, audio);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        TestBench tb;
        AnsweringMessages messages;
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
        tb.meter.click(Control::btnNoise12);
        QVERIFY(waitIdle(tb.meter));
        QCOMPARE(messages.questions.size(), asked ? 1 : 0);
        QCOMPARE(bench.isActive(), asked && answer);
        // After a yes the user starts from the bench window: nothing recorded,
        // no message. Otherwise the reading ran and failed on the device.
        QCOMPARE(messages.shown.isEmpty(), asked && answer);
        QCOMPARE(bench.audio().recordings(), 0);
        tb.meter.click(Control::btnNoise12);
        QVERIFY(waitIdle(tb.meter));
        QCOMPARE(messages.questions.size(), asked ? 1 : 0); // once per run
    }

    void windowRoutesAndEdits()
    {
        TestBench tb;
        InputAudio card(true);
        Platform p = tb.loaded().platform();
        p.audio = &card;
        tb.meter.setPlatform(p);
        Bench &bench = tb.meter.bench();
        QPointer<QDialog> dlg = createVirtualBenchDialog(tb.meter, nullptr);
        QVERIFY(dlg);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Virtual bench"));
        QVERIFY(!bench.isActive()); // not before it shows
        dlg->show();
        QCOMPARE(tb.meter.platform().audio, static_cast<IAudio *>(&bench.audio()));
        QCOMPARE(createVirtualBenchDialog(tb.meter, nullptr), static_cast<QDialog *>(nullptr)); // one at a time
        for (QWidget *w : dlg->findChildren<QWidget *>()) {
            const bool input = qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractButton *>(w)
                || (qobject_cast<QLineEdit *>(w) && !qobject_cast<QAbstractSpinBox *>(w->parent()));
            QVERIFY2(!input || !w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        auto field = [&dlg](const char *name) { return dlg->findChild<QLineEdit *>(QLatin1String(name))->text(); };
        QCOMPARE(field("benchThot"), QStringLiteral("9460.6"));
        // Reading 1: k (290 K + 2610 K) 10^10.9 2456 Hz = -51.07 dB full scale.
        QCOMPARE(field("benchExpected1"), QStringLiteral("-51.07"));
        dlg->findChild<QDoubleSpinBox *>(QStringLiteral("benchEnr"))->setValue(5.0);
        QCOMPARE(bench.settings().enrDb, 5.0);
        QCOMPARE(field("benchThot"), QStringLiteral("1207.1")); // 290 (10^0.5 + 1)
        dlg->findChild<QDoubleSpinBox *>(QStringLiteral("benchDutNf"))->setValue(3.0);
        QCOMPARE(field("benchTrueNf"), QStringLiteral("3.00"));
        dlg->findChild<QCheckBox *>(QStringLiteral("benchReceiverConnected"))->click();
        dlg->findChild<QCheckBox *>(QStringLiteral("benchSource"))->click();
        dlg->findChild<QRadioButton *>(QStringLiteral("benchPathCombined"))->click();
        QVERIFY(!bench.receiverConnected());
        QVERIFY(bench.state().sourceOn && bench.state().combined);
        dlg->close();
        QTRY_VERIFY(dlg.isNull());
        QVERIFY(!bench.isActive());
        QCOMPARE(tb.meter.platform().audio, static_cast<IAudio *>(&card));
    }
};

QTEST_MAIN(TestBenchModel)
#include "tst_bench.moc"
