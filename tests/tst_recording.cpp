// A reading's recording and files and its failures, through the buttons and
// menu entries with fakes at the platform boundary; the header layout itself is tst_wave's.
#include "acquire/Reading.h"
#include "support/TestPlatform.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray templateWave(int rate, int fmtSize = 16, const QByteArray &between = {})
{
    const QByteArray body = "WAVEfmt " + le32(fmtSize) + QByteArray("\x01\x00\x01\x00", 4) + le32(rate) + le32(2 * rate)
        + QByteArray("\x02\x00\x10\x00", 4) + QByteArray(fmtSize - 16, '\0') + between + "data" + le32(0);
    return "RIFF" + le32(body.size()) + body;
}

} // namespace

class TstRecording : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestBench> m_bench;
    ScriptedAudio m_audio;

    Instrument &meter() { return m_bench->meter; }
    QString wav() { return meter().session().TempWave + QStringLiteral(".wav"); }
    void read(const QString &interval)
    {
        meter().sheet().setText(Field::Interval, interval);
        meter().click(Control::btnNoise11);
        QVERIFY(waitIdle(meter()));
    }

private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_dir = std::make_unique<QTemporaryDir>();
        m_bench = std::make_unique<TestBench>();
        m_audio = ScriptedAudio();
        m_audio.signal = [](qint64 i) { return qint16(i % 20000 - 10000); };
        m_bench->inFolder(m_dir->path(), &m_audio);
        meter().sheet().setEnabled(Control::mnuPlayWave, false);
    }

    // 1.1 s + N recorded; the reading keeps samples S .. S+N-1; the stamp is the recording's middle.
    void recordsAndTrims_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("fmtSize");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<qint64>("requested");
        QTest::addColumn<qint64>("kept");
        QTest::newRow("48000 Hz, 18-byte fmt, 0.15 s") << 48000 << 18 << "0.15" << qint64(60000) << qint64(7200);
        QTest::newRow("22050 Hz, 0.05 s (tie to even)") << 22050 << 16 << "0.05" << qint64(25357) << qint64(1102);
    }
    void recordsAndTrims()
    {
        QFETCH(int, rate);
        QFETCH(int, fmtSize);
        QFETCH(QString, interval);
        QFETCH(qint64, requested);
        QFETCH(qint64, kept);
        QVERIFY(writeFile(meter().session().AppDir + QStringLiteral("TQX.wav"), templateWave(rate, fmtSize)));
        const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        read(interval);
        QVERIFY(meter().session().ObsTime.size() == 14 && meter().session().ObsTime >= before);
        QCOMPARE(m_audio.requests, (QList<QPair<int, qint64>>{{rate, requested}}));
        QCOMPARE(m_bench->windows.workingLog, (QList<bool>{true, false}));
        QVERIFY(meter().sheet().enabled(Control::mnuPlayWave) && meter().sheet().enabled(Control::mnuSaveWave));
        const int h = 28 + fmtSize;
        QCOMPARE(QFileInfo(meter().session().TempWave + QStringLiteral(".tmp")).size(), h + 2 * requested);
        QFile file(wav());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray out = file.readAll();
        QCOMPARE(out.size(), h + 2 * kept);
        for (qint64 i : {qint64(0), kept - 1})
            QCOMPARE(qFromLittleEndian<qint16>(out.constData() + h + 2 * i), m_audio.signal(rate + i));
    }

    // Each failure: its message (critical, "TQX"), the working window gone first, no level, the
    // previous reading's files kept, the time stamp emptied once the device was reached.
    void failures_data()
    {
        QTest::addColumn<QByteArray>("tpl"); // empty: no template file
        QTest::addColumn<QString>("interval");
        // 1 device error, 2 one sample short, 3 no folder, 4 .wav a folder, 5 .tmp a folder (the .wav
        // already moved aside goes back: both files stay the previous reading's)
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("message");
        const QByteArray good = templateWave(8000);
        const QString unsupported = "Unsupported WAVE file format.";
        QTest::newRow("template missing") << QByteArray() << "1" << 0 << "Unable to open TQX.wav.";
        QTest::newRow("template not a wave") << QByteArray("hello") << "1" << 0 << unsupported;
        QTest::newRow("template with LIST chunk") << templateWave(8000, 16, "LIST" + le32(0)) << "1" << 0 << unsupported;
        QTest::newRow("template with negative rate") << templateWave(-8000) << "1" << 0 << unsupported;
        QTest::newRow("template at 1 Hz") << templateWave(1) << "1" << 0 << unsupported;
        QTest::newRow("template at 2^31-1 Hz") << templateWave(std::numeric_limits<qint32>::max()) << "1" << 0 << unsupported;
        QTest::newRow("device error") << good << "1" << 1 << "Error: recording wave file: Device is busy.(263).";
        QTest::newRow("device delivers too few") << good << "1" << 2
            << "Error: recording wave file: The device delivered 16799 of 16800 samples.(102).";
        QTest::newRow("negative interval") << good << "-1" << 0
            << "Error: recording wave file: The recording length of -1 s is out of range.(101).";
        QTest::newRow("no folder for the raw file") << good << "1" << 3 << "Error: recording wave file: Cannot write";
        QTest::newRow("reading cannot replace a folder") << good << "1" << 4 << "Error: recording wave file: Cannot replace";
        QTest::newRow("raw file cannot replace a folder: both old")
            << good << "1" << 5 << "Error: recording wave file: Cannot replace";
    }
    void failures()
    {
        QFETCH(QByteArray, tpl);
        QFETCH(QString, interval);
        QFETCH(int, problem);
        QFETCH(QString, message);
        if (!tpl.isEmpty())
            QVERIFY(writeFile(meter().session().AppDir + QStringLiteral("TQX.wav"), tpl));
        if (problem == 1)
            m_audio.status = {263, QStringLiteral("Device is busy.")};
        m_audio.shortBy = problem == 2;
        if (problem == 3)
            meter().session().TempWave = m_dir->path() + QStringLiteral("/none/~0000TEST");
        QVERIFY(problem == 3 || (problem == 4 ? QDir().mkpath(wav()) : writeFile(wav(), "previous")));
        const QString raw = meter().session().TempWave + QStringLiteral(".tmp");
        if (problem == 5)
            QVERIFY(QDir().mkpath(raw + QStringLiteral("/kept")));
        meter().session().ObsTime = QStringLiteral("20000101000000");
        meter().sheet().setText(Field::Noise11, QStringLiteral("-9.000"));
        read(interval);
        const QStringList lines = m_bench->messages.lines();
        QVERIFY2(lines.size() == 1 && lines[0].startsWith("TQX|" + message) && lines[0].endsWith("|Critical"),
                 qPrintable(lines.join(u'\n')));
        QCOMPARE(m_bench->windows.workingLog.value(m_bench->windows.workingLog.size() - 1, false), false);
        QCOMPARE(meter().session().ObsTime.isEmpty(), problem > 0 || message.contains(u'('));
        QCOMPARE(meter().sheet().text(Field::Noise11), QStringLiteral("-9.000"));
        QVERIFY(!meter().sheet().enabled(Control::mnuPlayWave) && m_audio.beeps.isEmpty());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), (problem != 4 && problem != 3) + !tpl.isEmpty());
        if (problem != 3 && problem != 4)
            QCOMPARE(readFile(wav()), QByteArray("previous"));
        QCOMPARE(QFileInfo(raw).isDir(), problem == 5);
    }
};

QTEST_GUILESS_MAIN(TstRecording)
#include "tst_recording.moc"
