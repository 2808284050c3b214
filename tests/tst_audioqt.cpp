// Qt Multimedia against a private PulseAudio server (scripts/pulse-test-server): a tone played into
// the null sink tqx_out is read back from its monitor by a real reading. TQX_ALLOW_SKIP_AUDIO skips
// without a server. The last test kills the server in the middle of a recording.
#include "sheet/NumText.h"
#include "qtplatform/AudioQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>

class TstAudioQt : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pulseDir;

    // A meter on the real back end, template at 48 kHz in a private AppDir.
    struct Rig {
        TestBench bench;
        AudioQt audio;
        explicit Rig(const QString &dir, const QString &interval)
        {
            bench.inFolder(dir, &audio).sheet().setText(Field::Interval, interval);
            writeToneWave(dir + QStringLiteral("/TQX.wav"), 0, 0, 0.001);
        }
        void read(Control button = Control::btnNoise11, int timeoutMs = 20000)
        {
            bench.meter.click(button);
            QVERIFY(waitIdle(bench.meter, timeoutMs));
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        TQX_START_PULSE(&m_pulseDir);
    }
    void cleanupTestCase() { stopPulseServer(m_pulseDir); }

    // Start-up must not wait for the sound server: creating the engine and choosing the default devices
    // neither asks the server for its default source nor lists the devices. A `pactl` that is `touch`
    // leaves a file named after its argument when anything runs it.
    void defaultChoiceLeavesTheServerAlone_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("engine created only") << "-" << "-";
        QTest::newRow("default input chosen") << "" << "-";
        QTest::newRow("default output chosen") << "-" << "";
        QTest::newRow("both defaults chosen") << "" << "";
    }
    void defaultChoiceLeavesTheServerAlone()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QTemporaryDir bin;
        QVERIFY(QFile::link(QStringLiteral("/usr/bin/touch"), bin.filePath(QStringLiteral("pactl"))));
        const QByteArray path = qgetenv("PATH");
        const QString cwd = QDir::currentPath();
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        QDir::setCurrent(bin.path());
        {
            AudioQt audio;
            if (input != QLatin1String("-"))
                QVERIFY(audio.setInputDevice(input));
            if (output != QLatin1String("-"))
                QVERIFY(audio.setOutputDevice(output));
            QCOMPARE(audio.inputDevice(), QString());
            QTest::qWait(200);
        }
        qputenv("PATH", path);
        QDir::setCurrent(cwd);
        QVERIFY(!QFile::exists(bin.filePath(QStringLiteral("get-default-source"))));
    }

    // A tone 10 dB above another through the real reading and results; the input streams meanwhile.
    void readingThroughServer()
    {
        const QString cold = m_dir.filePath(QStringLiteral("cold.wav")), hot = m_dir.filePath(QStringLiteral("hot.wav"));
        QVERIFY(writeToneWave(cold, 0.03, 997, 15) && writeToneWave(hot, 0.03 * std::sqrt(10.0), 997, 15));
        Rig rig(m_dir.path(), QStringLiteral("0.5"));
        QTRY_COMPARE(rig.audio.defaultInput().id(), QByteArray("tqx_in"));
        std::unique_ptr<AudioJob> stream = rig.audio.stream(48000);
        qint64 streamed = 0;
        connect(stream.get(), &AudioJob::samples, stream.get(), [&streamed](const QVector<qint16> &b) { streamed += b.size(); });
        for (const auto &[tone, button] : {std::pair{cold, Control::btnNoise11}, {hot, Control::btnNoise12}}) {
            QProcess player;
            player.start(QStringLiteral("paplay"), {QStringLiteral("--device=tqx_out"), tone});
            QVERIFY(player.waitForStarted(5000));
            QTest::qWait(500); // the stream runs before the recording starts
            rig.read(button);
            player.kill();
            player.waitForFinished(3000);
        }
        QCOMPARE(rig.bench.messages.texts(), QStringList());
        QVERIFY(streamed > 0);
        const Sheet &s = rig.bench.meter.sheet();
        // A 0.03 FS sine is 10 log10(0.03^2 / 2) = -33.47 dBFS.
        QVERIFY2(std::abs(ParseNumber(s.text(Field::Noise11)) + 33.47) < 0.2, qPrintable(s.text(Field::Noise11)));
        QVERIFY2(std::abs(ParseNumber(s.text(Field::Y2dB)) - 10.0) < 0.1, qPrintable(s.text(Field::Y2dB)));

        // The reading plays back for its own length, not the raw recording's.
        QElapsedTimer t;
        t.start();
        rig.bench.meter.click(Control::mnuPlayWave);
        QVERIFY(waitIdle(rig.bench.meter));
        QCOMPARE(rig.bench.messages.texts(), QStringList());
        QVERIFY2(t.elapsed() >= 450 && t.elapsed() < 3500, qPrintable(QString::number(t.elapsed())));
    }

    // The server dies 2 s into a 6 s reading: the reading fails with the recording's message (Qt's
    // back end deletes the device it handed out), within its timeout, and nothing crashes.
    void serverKilledMidRecording()
    {
        Rig rig(m_dir.path(), QStringLiteral("5"));
        rig.bench.meter.sheet().setText(Field::Noise11, QStringLiteral("-1.000"));
        QFile pidFile(m_pulseDir + QStringLiteral("/run/pulse/pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const pid_t pid = pid_t(pidFile.readAll().trimmed().toLong());
        QVERIFY(pid > 0);
        QTimer::singleShot(2000, [pid] { ::kill(pid, SIGKILL); });
        QElapsedTimer t;
        t.start();
        rig.read(Control::btnNoise11, 15000);
        const QStringList texts = rig.bench.messages.texts();
        QVERIFY2(texts.size() == 1 && texts[0].startsWith(QStringLiteral("Error: recording wave file: ")),
                 qPrintable(texts.join(u'|')));
        QVERIFY2(t.elapsed() < 12000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(rig.bench.meter.sheet().text(Field::Noise11), QStringLiteral("-1.000"));
    }
};

QTEST_GUILESS_MAIN(TstAudioQt)
#include "tst_audioqt.moc"
