// The input monitor and the device choice against a private PulseAudio server
// (scripts/pulse-test-server): a tone played into the null sink is heard by the monitor and by a
// reading alike; a remembered device comes back at start-up (found by its description when a file of an
// older version holds the list's label) or gives way to the default with one message; an input that
// disappears stops the monitor and the next reading with its name. TQX_ALLOW_SKIP_AUDIO skips without a
// server.
#include "acquire/Monitor.h"
#include "instrument/Commands.h"
#include "qtplatform/AudioQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {
QString pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    return p.waitForFinished(5000) && p.exitCode() == 0
               ? QString::fromUtf8(p.readAllStandardOutput()).trimmed()
               : QStringLiteral("(failed)");
}
} // namespace

class TstMonitor : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pulseDir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        TQX_START_PULSE(&m_pulseDir);
        QVERIFY(writeToneWave(m_dir.filePath(QStringLiteral("TQX.wav")), 0, 0, 0.001));
    }
    void cleanupTestCase() { stopPulseServer(m_pulseDir); }

    // A 0.05 FS tone at 1500 Hz: the monitor's level of the last second agrees with a reading's
    // within 0.1 dB, and its spectrum peaks within one bin of the tone.
    void toneAgreesWithReading()
    {
        const QString tone = m_dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeToneWave(tone, 0.05, 1500, 20));
        TestBench b;
        AudioQt audio;
        b.inFolder(m_dir.path(), &audio).sheet().setText(Field::Interval, QStringLiteral("1"));
        QProcess player;
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=tqx_out"), tone});
        QVERIFY(player.waitForStarted(5000));
        Monitor mon(b.meter.audio(), b.meter.session().templateWave());
        QObject::connect(&b.meter, &Instrument::busyChanged, &mon, &Monitor::setPaused);
        mon.start();
        QTRY_VERIFY_WITH_TIMEOUT(mon.history().size() >= 25 && !mon.spectrum().empty(), 10000);
        const double monitorDb = mon.levelDb();
        const double binHz = mon.binHz();
        const int peakBin = mon.passband().peakBin;
        b.meter.click(Control::btnNoise11);
        QTRY_COMPARE_WITH_TIMEOUT(mon.state(), Monitor::State::Paused, 2000);
        QVERIFY(waitIdle(b.meter, 20000));
        player.kill();
        player.waitForFinished(3000);
        QCOMPARE(b.messages.texts(), QStringList());
        const double readingDb = 10 * std::log10(b.meter.session().WorkMeas.Ms);
        QVERIFY2(std::abs(monitorDb - readingDb) < 0.1,
                 qPrintable(QStringLiteral("%1 %2").arg(monitorDb).arg(readingDb)));
        QVERIFY2(std::abs(readingDb + 29.03) < 0.2,
                 qPrintable(QString::number(readingDb))); // 10 log10(0.05^2 / 2)
        QVERIFY2(std::abs(peakBin * binHz - 1500) <= binHz, qPrintable(QString::number(peakBin * binHz)));
        QTRY_COMPARE_WITH_TIMEOUT(mon.state(), Monitor::State::Running, 2000); // resumes after the reading
    }

    // The choice is remembered by id with the device's description (not the list's label) and restored at
    // start-up. A name stored by an older version (the label, " (default)" and all) still finds its device
    // when the id is gone; a device that is gone gives way to the default with one message naming it, and
    // readings still work.
    void choicePersistsAndFallsBack_data()
    {
        QTest::addColumn<QString>("id");     // stored as Input
        QTest::addColumn<QString>("name");   // stored as InputName
        QTest::addColumn<QString>("chosen"); // the input after start-up
        QTest::addColumn<QString>("message");
        QTest::newRow("remembered") << "tqx_in" << "TQX-test-input" << "tqx_in" << "";
        QTest::newRow("older file: the label, id gone") << "alsa_old" << "TQX-test-input (default)" << "tqx_in"
                                                        << "";
        QTest::newRow("gone") << "usb_unplugged" << "USB Audio (default)" << ""
                              << "The audio input \"USB Audio (usb_unplugged)\" is not available; TQX records "
                                 "from the default input.";
    }
    void choicePersistsAndFallsBack()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        TestBench b;
        AudioQt audio;
        b.inFolder(m_dir.path(), &audio).sheet().setText(Field::Interval, QStringLiteral("0.2"));
        QVERIFY(
            b.meter.chooseInputDevice(QStringLiteral("tqx_in"), QStringLiteral("TQX-test-input (default)")));
        QCOMPARE(b.settings.flushed.value(QStringLiteral("Audio/Input")), QStringLiteral("tqx_in"));
        QCOMPARE(b.settings.flushed.value(QStringLiteral("Audio/InputName")),
                 QStringLiteral("TQX-test-input"));
        b.settings.values.insert(QStringLiteral("Audio/Input"), id); // as the next start finds the file
        b.settings.values.insert(QStringLiteral("Audio/InputName"), name);
        b.meter.startUp();
        QCOMPARE(audio.inputDevice(), chosen);
        QCOMPARE(b.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!chosen.isEmpty()) // found by its description: remembered by its id from now on
            QCOMPARE(b.settings.values.value(QStringLiteral("Audio/Input")), chosen);
        b.meter.click(Control::btnNoise11);
        QVERIFY(waitIdle(b.meter, 20000));
        QCOMPARE(b.messages.texts().size(), message.isEmpty() ? 0 : 1); // the reading ran
    }

    // A rate the input cannot record: the refusal names the device and the nearest format it accepts.
    void refusedFormat()
    {
        AudioQt audio;
        QVERIFY(audio.setInputDevice(QStringLiteral("tqx_in")));
        std::unique_ptr<AudioJob> job = audio.stream(10000000);
        QSignalSpy done(job.get(), &AudioJob::finished);
        QVERIFY(done.wait(5000));
        const AudioStatus st = done.at(0).at(0).value<AudioStatus>();
        QCOMPARE(st.number, AudioQtError::Format);
        QVERIFY2(st.text.startsWith(
                     QStringLiteral("The audio input \"TQX-test-input\" does not support 16-bit mono at "
                                    "10000000 Hz; the nearest format it accepts is 16-bit mono at ")),
                 qPrintable(st.text));
    }

    // A template a reading refuses is refused by the monitor too, at once and before it asks the
    // device for a stream or sizes a buffer after the rate; a template it accepts (or none at all)
    // fixes the rate it streams at.
    void hostileTemplate_data()
    {
        QTest::addColumn<qint32>("rate"); // written into a valid PCM header; 0 with "missing": no file
        QTest::addColumn<bool>("refused");
        QTest::newRow("0 Hz") << qint32(0) << true;
        QTest::newRow("1 Hz") << qint32(1) << true;
        QTest::newRow("2^31-1 Hz") << std::numeric_limits<qint32>::max() << true;
        QTest::newRow("negative rate") << qint32(-48000) << true;
        QTest::newRow("44100 Hz") << qint32(44100) << false;
        QTest::newRow("missing: 48000 Hz") << qint32(0) << false;
    }
    void hostileTemplate()
    {
        QFETCH(qint32, rate);
        QFETCH(bool, refused);
        const QString path = m_dir.filePath(QStringLiteral("hostile.wav"));
        QFile::remove(path);
        if (!QByteArray(QTest::currentDataTag()).startsWith("missing")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QDataStream s(&f);
            s.setByteOrder(QDataStream::LittleEndian);
            s.writeRawData("RIFF", 4);
            s << quint32(36);
            s.writeRawData("WAVEfmt ", 8);
            s << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(2u * quint32(rate));
            s << quint16(2) << quint16(16);
            s.writeRawData("data", 4);
            s << quint32(0);
        }
        ScriptedAudio audio;
        audio.hold = true; // the stream runs until the monitor stops it
        Monitor mon(&audio, path);
        QSignalSpy failed(&mon, &Monitor::failed);
        mon.start();
        QCOMPARE(mon.state(), refused ? Monitor::State::Failed : Monitor::State::Running);
        const int expectedRate = refused ? 48000 : rate > 0 ? rate : 48000;
        QCOMPARE(audio.streams, refused ? QList<int>() : QList<int>{expectedRate});
        QCOMPARE(mon.rate(), expectedRate);
        QVERIFY2(mon.binHz() > 1 && mon.binHz() < 100, qPrintable(QString::number(mon.binHz())));
        if (refused) {
            QVERIFY(failed.wait(1000));
            QCOMPARE(failed.at(0).at(0).toString(), mon.message());
            QCOMPARE(mon.message(),
                     QStringLiteral("The input monitor has stopped: Unsupported WAVE file format (hostile.wav: %1 "
                                    "Hz; 16-bit mono PCM at 8000 to 384000 Hz is required).")
                         .arg(rate));
        } else {
            QVERIFY(mon.message().isEmpty());
        }
    }

    // A chosen input disappears (a USB card unplugged) while monitoring: the monitor stops with a
    // message naming it, and the next reading refuses with the recording-failure message.
    void unpluggedInput()
    {
        const QString module =
            pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                   QStringLiteral("source_name=tqx_usb"), QStringLiteral("master=tqx_out.monitor"),
                   QStringLiteral("source_properties=device.description=TQX-USB")});
        QVERIFY2(module.toInt() > 0, qPrintable(module));
        TestBench b;
        AudioQt audio;
        b.inFolder(m_dir.path(), &audio).sheet().setText(Field::Interval, QStringLiteral("0.2"));
        QTRY_VERIFY_WITH_TIMEOUT(
            b.meter.chooseInputDevice(QStringLiteral("tqx_usb"), QStringLiteral("TQX-USB")), 5000);
        Monitor mon(b.meter.audio(), b.meter.session().templateWave());
        QObject::connect(&b.meter, &Instrument::busyChanged, &mon, &Monitor::setPaused);
        QSignalSpy failed(&mon, &Monitor::failed);
        mon.start();
        QTRY_VERIFY_WITH_TIMEOUT(!mon.history().empty(), 5000);
        QCOMPARE(pactl({QStringLiteral("unload-module"), module}), QString());
        QTRY_COMPARE_WITH_TIMEOUT(mon.state(), Monitor::State::Failed, 5000);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(mon.message().contains(QStringLiteral("\"TQX-USB\"")), qPrintable(mon.message()));
        b.meter.click(Control::btnNoise11);
        QVERIFY(waitIdle(b.meter, 10000));
        QCOMPARE(b.messages.texts(),
                 QStringList{QStringLiteral(
                     "Error: recording wave file: The audio input \"TQX-USB\" is not available.(27).")});
    }
};

QTEST_GUILESS_MAIN(TstMonitor)
#include "tst_monitor.moc"
