// The instrument without a window: under QCoreApplication, with no GUI
// library linked, a spot measurement and a three-point sweep on the virtual
// bench give the bench's device back and write the report and the record;
// the source of the readings cannot change while a reading or a sweep runs;
// a failure's message comes after the sheet has been announced.
#include "acquire/Bench.h"
#include "instrument/Commands.h"
#include "instrument/SweepCommands.h"
#include "report/TextReport.h"
#include "sheet/NumText.h"
#include "support/TestPlatform.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const Control kReadings[4] = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21, Control::btnNoise22};

QString dataDir()
{
    const QString binDir = qEnvironmentVariable("TQX_BINARY_DIR") + QLatin1Char('/');
    return QFileInfo::exists(binDir + QStringLiteral("TQX.wav")) ? binDir
                                                                 : qEnvironmentVariable("TQX_SOURCE_DIR") + "/data/";
}

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    ScriptedAudio m_soundCard; // must never be recorded from while the bench is the route
    std::unique_ptr<TestBench> m_tb;
    Instrument &m() { return m_tb->meter; }
    Bench &bench() { return m().bench(); }

    void click(Control c)
    {
        m().click(c);
        QVERIFY(waitIdle(m(), 20000));
    }

private Q_SLOTS:
    void init()
    {
        m_tb = std::make_unique<TestBench>();
        m_tb->inFolder(m_dir.path(), &m_soundCard);
        m().Form_Load();
        m().session().AppDir = dataDir();
        m().session().ComEnabled = 1; // the bench's lines switch source and path
        m().session().ComPort = 3;
        QVERIFY(m().setRoute(DeviceRoute::Bench));
        Sheet &s = m().sheet();
        s.setText(Field::Interval, QStringLiteral("0.500"));
        s.setText(Field::Thot, FormatFixed(bench().truth().thotK, QStringLiteral("0.0")));
        s.setText(Field::Tcold, QStringLiteral("290.0"));
        QVERIFY(m().validate(Field::Thot));
        m_soundCard.requests.clear();
    }

    // Zero, readings 1 to 4, the results, the text report and the record line, all without a window.
    void spotMeasurementReportAndRecord()
    {
        BenchSettings set;
        set.dutResponse.clear(); // 20 dB, 1.5 dB at every frequency
        set.seed = 7;
        bench().setSettings(set);
        bench().setReceiverConnected(false);
        click(Control::btnNoise00);
        bench().setReceiverConnected(true);
        for (Control c : kReadings)
            click(c);
        QCOMPARE(m_tb->messages.texts(), QStringList());
        QCOMPARE(bench().audio().recordings(), 5);
        QVERIFY(m_soundCard.requests.isEmpty());
        const double nf = ParseNumber(m().sheet().text(Field::NF)), gain = ParseNumber(m().sheet().text(Field::Gain));
        QVERIFY2(std::abs(nf - 1.5) < 0.3 && std::abs(gain - 20) < 0.3,
                 qPrintable(QStringLiteral("NF %1 dB, gain %2 dB").arg(nf).arg(gain)));

        const QString report = m_dir.filePath(QStringLiteral("report.txt"));
        m_tb->fileDialogs.answers.push_back(report);
        click(Control::mnuSaveText);
        QCOMPARE(QString::fromUtf8(readFile(report)), TextResults(m().session()) + QStringLiteral("\r\n"));
        m().session().TsvFileName = m_dir.filePath(QStringLiteral("TQXData.tab"));
        click(Control::btnSaveTsv);
        const QList<QByteArray> lines = readFile(m().session().TsvFileName).trimmed().split('\n');
        QCOMPARE(lines.size(), 2); // the header, then this measurement
        QVERIFY2(lines[1].contains(m().sheet().text(Field::NF).toUtf8()), lines[1].constData());
        QCOMPARE(m_tb->messages.texts(), QStringList());
    }

    // A calibration and a measurement sweep at 100, 200 and 300 MHz on the bench's own tuning give the bench's
    // device at each point; the instrument keeps the calibration between the two.
    void threePointSweep()
    {
        bench().setSettings(BenchSettings()); // the default response across frequency
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = QStringLiteral("100 200 300");
        for (SweepKind kind : {SweepKind::Calibration, SweepKind::Measurement}) {
            QPointer<Sweep> sweep = startSweep(m(), kind, f, 0, false);
            QVERIFY(sweep);
            QVector<SweepPoint> points;
            connect(sweep, &Operation::ended, this, [&] { points = sweep->points(); });
            QVERIFY(waitIdle(m(), 60000));
            QCOMPARE(m_tb->messages.texts(), QStringList());
            QCOMPARE(points.size(), 3);
            for (const SweepPoint &p : points) {
                QCOMPARE(int(p.state), int(SweepPoint::State::Measured));
                QCOMPARE(p.tunedMhz, p.mhz);
                if (kind == SweepKind::Measurement) {
                    const BenchTruth t = bench().truthAt(p.mhz);
                    QVERIFY2(std::abs(p.device.nfDb - t.dutNfDb) < 0.5 && std::abs(p.device.gainDb - t.dutGainDb) < 0.5,
                             qPrintable(QStringLiteral("%1 MHz: NF %2 (%3), gain %4 (%5)")
                                            .arg(p.mhz).arg(p.device.nfDb).arg(t.dutNfDb)
                                            .arg(p.device.gainDb).arg(t.dutGainDb)));
                }
            }
            QCOMPARE(m().sweepCalibration().mhz, (QVector<double>{100, 200, 300}));
        }
        QCOMPARE(bench().audio().recordings(), 12);
        QVERIFY(m_soundCard.requests.isEmpty());
    }

    // While a reading or a sweep runs, the source of the readings and the sound card's input stay as they are:
    // the change is refused with a message and every reading comes from the bench.
    void routeChangesRefusedWhileRunning_data()
    {
        QTest::addColumn<bool>("sweep");
        QTest::addColumn<QString>("change");
        QTest::newRow("reading, back to the sound card") << false << "route";
        QTest::newRow("reading, another input") << false << "input";
        QTest::newRow("sweep, back to the sound card") << true << "route";
        QTest::newRow("sweep, another input") << true << "input";
    }
    void routeChangesRefusedWhileRunning()
    {
        QFETCH(bool, sweep);
        QFETCH(QString, change);
        SweepFrequencies f;
        f.source = SweepFrequencies::Source::List;
        f.list = QStringLiteral("100 150 200");
        bool refused = false;
        auto tryChange = [&] {
            refused = change == QLatin1String("route") ? !m().setRoute(DeviceRoute::SoundCard)
                                                       : !m().chooseInputDevice(QStringLiteral("usb"), "USB");
        };
        if (sweep) {
            Sweep *s = startSweep(m(), SweepKind::Calibration, f, 0, false);
            QVERIFY(s);
            connect(s, &Sweep::pointChanged, this, [&](int i) {
                if (i == 1 && !refused)
                    tryChange();
            });
        } else {
            m().click(Control::btnNoise11);
            QVERIFY(m().busy());
            tryChange();
        }
        QVERIFY(waitIdle(m(), 60000));
        QVERIFY(refused);
        QCOMPARE(m().route(), DeviceRoute::Bench);
        QVERIFY(m_soundCard.requests.isEmpty());
        QCOMPARE(bench().audio().recordings(), sweep ? 6 : 1);
        const QStringList texts = m_tb->messages.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].contains(QLatin1String("cannot change while a reading or sweep runs")), qPrintable(texts[0]));
        // Once it has ended the change goes through.
        QVERIFY(m().setRoute(DeviceRoute::SoundCard));
        QCOMPARE(m().sheet().checked(Control::mnuOptionsBench), false);
        QCOMPARE(m_tb->settings.values.value(QStringLiteral("Audio/Route")), QString());
    }

    // A reading that fails: the front end mirrors the sheet before the message reaches it.
    void messageAfterTheSheet()
    {
        QStringList order;
        connect(&m(), &Instrument::sheetChanged, this, [&] { order << QStringLiteral("sheet"); });
        connect(&m(), &Instrument::messageRequested, this, [&](MessageRequest *) { order << QStringLiteral("message"); });
        m().sheet().setText(Field::Att21, QStringLiteral("-3")); // the bench cannot simulate it
        m().click(Control::btnNoise21);
        QVERIFY(waitIdle(m(), 20000));
        QCOMPARE(order, (QStringList{QStringLiteral("sheet"), QStringLiteral("message")}));
    }
};

QTEST_MAIN(TestInstrument)
#include "tst_instrument.moc"
