// Qt Multimedia against a private PulseAudio server (scripts/pulse-test-server): a tone played into
// the null sink tqx_out is recorded back from its monitor. TQX_ALLOW_SKIP_AUDIO skips without a server.
#include "acquire/Recording.h"
#include "acquire/Wave.h"
#include "platform/qt/AudioQt.h"
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

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

// A canonical 16-bit mono wave file of a sine of `amplitude` (full scale 1).
bool writeTone(const QString &path, double amplitude, double hz, double seconds)
{
    const int n = int(kRate * seconds);
    QByteArray data(2 * n, '\0');
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(std::lround(32768 * amplitude * std::sin(2 * M_PI * hz * i / kRate))),
                                data.data() + 2 * i);
    const QByteArray fmt = le32(16) + QByteArray("\x01\x00\x01\x00", 4) + le32(kRate) + le32(2 * kRate)
        + QByteArray("\x02\x00\x10\x00", 4);
    QFile f(path);
    return f.open(QIODevice::WriteOnly)
        && f.write("RIFF" + le32(36 + data.size()) + "WAVEfmt " + fmt + "data" + le32(data.size()) + data) > 0;
}

QString script()
{
    return qEnvironmentVariable("TQX_SOURCE_DIR", QStringLiteral(TQX_SOURCE_DIR_FALLBACK))
        + QStringLiteral("/scripts/pulse-test-server");
}

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
            writeTone(dir + QStringLiteral("/TQX.wav"), 0, 0, 0.001);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        if (m_child)
            return; // the child runs without any server on purpose
        QProcess p;
        p.start(QStringLiteral("bash"), {script(), QStringLiteral("start")});
        const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok) {
            p.kill();
            const QString why = QStringLiteral("PulseAudio test server did not start: ")
                + QString::fromLocal8Bit(p.readAllStandardError().right(2000));
            if (qEnvironmentVariableIsSet("TQX_ALLOW_SKIP_AUDIO"))
                QSKIP(qPrintable(why));
            QFAIL(qPrintable(why));
        }
        // Before any Qt Multimedia use: the environment the audio engine reads.
        static const QRegularExpression line(QStringLiteral("^export ([A-Z_]+)='([^']*)'$"));
        for (const QString &l : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            const auto m = line.match(l.trimmed());
            if (m.hasMatch())
                qputenv(m.captured(1).toLatin1().constData(), m.captured(2).toLocal8Bit());
        }
        m_pulseDir = qEnvironmentVariable("TQX_PULSE_DIR");
        QVERIFY(!m_pulseDir.isEmpty());
    }

    void cleanupTestCase()
    {
        if (m_pulseDir.isEmpty())
            return;
        QProcess p;
        p.start(QStringLiteral("bash"), {script(), QStringLiteral("stop"), m_pulseDir});
        p.waitForFinished(10000);
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
        QVERIFY(writeTone(tone, amplitude, 997, 15));
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
