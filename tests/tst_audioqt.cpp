// Qt Multimedia against a private PulseAudio server (scripts/pulse-test-server): a tone played into
// the null sink tqx_out is recorded back from its monitor. TQX_ALLOW_SKIP_AUDIO skips without a server.
#include "acquire/Recording.h"
#include "acquire/Wave.h"
#include "platform/qt/AudioQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

const char *const kChildVar = "TQX_AUDIOQT_CHILD";
constexpr int kRate = 48000;

} // namespace

class TstAudioQt : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_pulseDir;
    bool m_child = qEnvironmentVariableIsSet(kChildVar);

    // A meter on the real back end, template at 48 kHz in a private AppDir.
    struct Rig {
        TestBench bench;
        AudioQt audio;
        explicit Rig(const QString &dir)
        {
            Platform p = bench.platform();
            p.audio = &audio;
            bench.meter.setPlatform(p);
            bench.meter.AppDir = dir + QLatin1Char('/');
            bench.meter.TempWave = dir + QStringLiteral("/~00000001");
            bench.meter.sheet().setChecked(Control::mnuOptionsLimits, true);
            QFile::remove(dir + QStringLiteral("/TQX.wav"));
            writeToneWave(dir + QStringLiteral("/TQX.wav"), 0, 0, 0.001);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        if (m_child)
            return; // the child runs without any server on purpose
        const QString why = startPulseServer(&m_pulseDir);
        if (!why.isEmpty()) {
            if (qEnvironmentVariableIsSet("TQX_ALLOW_SKIP_AUDIO"))
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
    }

    void cleanupTestCase()
    {
        stopPulseServer(m_pulseDir);
    }

    void init()
    {
        if (m_child != (QByteArray(QTest::currentTestFunction()) == "childRecordWithoutServer"))
            QSKIP("runs only in the other process");
    }

    void defaultInputIsServerDefault() { QCOMPARE(AudioQt::defaultInput().id(), QByteArray("tqx_in")); }

    // Exact count, trimmed file and level of a tone played into the sink.
    void levelThroughServer()
    {
        const double amplitude = 0.25;
        const QString interval = QStringLiteral("0.500");
        const QString tone = m_dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeToneWave(tone, amplitude, 997, 15));
        QProcess player;
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=tqx_out"), tone});
        QVERIFY(player.waitForStarted(5000));
        QTest::qWait(500); // the stream is running before the recording starts

        Rig rig(m_dir.path());
        Meter &m = rig.bench.meter;
        m.sheet().setText(Field::Interval, interval);
        const int rc = MeasureLevel(m, m.TempWave + QStringLiteral(".wav"), m.WorkMeas);
        player.kill();
        player.waitForFinished(3000);
        QCOMPARE(rig.bench.messages.texts(), QStringList());
        QCOMPARE(rc, 0);

        const qint64 keep = roundHalfEven(kRate * interval.toDouble());
        QCOMPARE(QFileInfo(m.TempWave + QStringLiteral(".tmp")).size(), 44 + 2 * (52800 + keep));
        QFile out(m.TempWave + QStringLiteral(".wav"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        const WaveInfo info = ReadWaveHeader(out);
        QCOMPARE(info.Rate, kRate);
        QCOMPARE(qint64(info.Samples), keep);
        QCOMPARE(out.size(), 44 + 2 * keep);

        const double expectedDb = 10 * std::log10(amplitude * amplitude / 2);
        const double db = 10 * std::log10(m.WorkMeas.Ms);
        QVERIFY2(std::fabs(db - expectedDb) < 0.1, qPrintable(QStringLiteral("%1 dB, expected %2 dB").arg(db).arg(expectedDb)));
        QCOMPARE(m.WorkMeas.ClipFlag, 0.0);

        // The reading plays back for its own length, not the raw recording's.
        QElapsedTimer t;
        t.start();
        const AudioStatus st = rig.audio.play(out.fileName());
        QVERIFY2(st.ok(), qPrintable(st.text));
        QVERIFY2(t.elapsed() >= 900 * keep / kRate && t.elapsed() < 1000 * keep / kRate + 3000,
                 qPrintable(QString::number(t.elapsed())));
    }

    void shortBeepAndMissingFile()
    {
        AudioQt audio;
        QElapsedTimer t;
        t.start();
        audio.beep(2000, 100);
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(audio.play(m_dir.filePath(QStringLiteral("none.wav"))).number, AudioQtError::FileOpen);
    }

    // No server at all: the reading fails quickly with the message and the process exits cleanly.
    void noServer()
    {
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVar), QStringLiteral("1"));
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + runtime.filePath(QStringLiteral("dead")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), runtime.path());
        QProcess child;
        child.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childRecordWithoutServer")});
        QVERIFY(child.waitForFinished(20000));
        const QByteArray log = child.readAllStandardOutput() + child.readAllStandardError();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, log.constData());
        QVERIFY2(log.contains("PASS   : TstAudioQt::childRecordWithoutServer"), log.constData());
        QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
    }

    void childRecordWithoutServer()
    {
        Rig rig(m_dir.path());
        Meter &m = rig.bench.meter;
        m.sheet().setText(Field::Interval, QStringLiteral("1"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(MeasureLevel(m, m.TempWave + QStringLiteral(".wav"), m.WorkMeas), 1);
        QVERIFY2(t.elapsed() < 8000, qPrintable(QString::number(t.elapsed())));
        const QStringList texts = rig.bench.messages.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(QStringLiteral("Error: recording wave file: ")), qPrintable(texts[0]));
        QVERIFY(m.ObsTime.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstAudioQt)
#include "tst_audioqt.moc"
