// RecordWave, MeasureLevel and the audio utilities on real files, with fakes at the platform boundary.
#include "acquire/AudioUtil.h"
#include "acquire/Recording.h"
#include "acquire/Wave.h"
#include "support/TestPlatform.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

// The sound card: delivers sample i = signal(i), or an error; remembers requests.
class FakeAudio : public IAudio
{
public:
    AudioStatus record(int rate, qint64 samples, QVector<qint16> &out) override
    {
        requests.append({rate, samples});
        busyDuringCall = meter->busy();
        out.resize(samples - shortBy);
        for (qint64 i = 0; i < out.size(); ++i)
            out[i] = signal(i);
        return status;
    }
    AudioStatus play(const QString &wavFile) override
    {
        played.append(wavFile);
        busyDuringCall = meter->busy();
        return status;
    }
    void beep(int hz, int ms) override { beeps.append({hz, ms}); }
    bool hasInput() override { return true; }

    std::function<qint16(qint64)> signal = [](qint64 i) { return qint16(i % 20000 - 10000); };
    AudioStatus status;
    qint64 shortBy = 0;
    Meter *meter = nullptr;
    bool busyDuringCall = false;
    QList<QPair<int, qint64>> requests;
    QList<QPair<int, int>> beeps;
    QStringList played;
};

// Notes whether the working window was still up when a message was shown.
class OrderedMessages : public RecordingMessages
{
public:
    void show(const QString &caption, const QString &text, MsgIcon icon) override
    {
        workingUpAtMessage = !windows->workingLog.isEmpty() && windows->workingLog.last();
        RecordingMessages::show(caption, text, icon);
    }
    FakeWindows *windows = nullptr;
    bool workingUpAtMessage = false;
};

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray templateWave(int rate, int fmtSize = 16, const QByteArray &between = {})
{
    const QByteArray body = "WAVEfmt " + le32(fmtSize) + QByteArray("\x01\x00\x01\x00", 4) + le32(rate) + le32(2 * rate)
        + QByteArray("\x02\x00\x10\x00", 4) + QByteArray(fmtSize - 16, '\0') + between + "data" + le32(4)
        + QByteArray(4, '\0');
    return "RIFF" + le32(body.size()) + body;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Failure {
    QByteArray tpl; // empty: no template file
    QString interval;
    int deviceError = 0;
    int shortBy = 0;
    QString folder;  // "wav"/"tmp": that output is a folder
    QString message; // regular expression
    bool obsTimeCleared = true;
};

} // namespace
Q_DECLARE_METATYPE(Failure)

class TstRecording : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TestBench> m_bench;
    OrderedMessages m_messages;
    FakeAudio m_audio;

    Meter &meter() { return m_bench->meter; }
    QString wav() { return meter().TempWave + QStringLiteral(".wav"); }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/app")));
        m_bench = std::make_unique<TestBench>();
        m_messages = OrderedMessages();
        m_messages.windows = &m_bench->windows;
        m_audio = FakeAudio();
        m_audio.meter = &m_bench->meter;
        Platform p = m_bench->platform();
        p.messages = &m_messages;
        p.audio = &m_audio;
        meter().setPlatform(p);
        meter().AppDir = m_dir.path() + QStringLiteral("/app/");
        meter().TempWave = m_dir.path() + QStringLiteral("/~0000ABCD");
        meter().sheet().setEnabled(Control::mnuPlayWave, false);
        meter().sheet().setEnabled(Control::mnuSaveWave, false);
        meter().sheet().setChecked(Control::mnuOptionsLimits, true);
    }

    void recordWave_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("fmtSize");
        QTest::addColumn<double>("dur");
        QTest::addColumn<qint64>("requested");
        QTest::addColumn<qint64>("kept");
        QTest::newRow("48000 Hz, 18-byte fmt, 0.15 s") << 48000 << 18 << 0.15 << qint64(60000) << qint64(7200);
        QTest::newRow("22050 Hz, 0.05 s (tie to even)") << 22050 << 16 << 0.05 << qint64(25357) << qint64(1102);
        QTest::newRow("no interval keeps nothing") << 48000 << 16 << 0.0 << qint64(52800) << qint64(0);
    }
    void recordWave()
    {
        QFETCH(int, rate);
        QFETCH(int, fmtSize);
        QFETCH(double, dur);
        QFETCH(qint64, requested);
        QFETCH(qint64, kept);
        const QByteArray tpl = templateWave(rate, fmtSize);
        QVERIFY(writeFile(meter().AppDir + QStringLiteral("TQX.wav"), tpl));
        const auto now = [] { return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss")); };
        const QString before = now();
        QCOMPARE(RecordWave(meter(), meter().TempWave, dur), 0);
        const QString after = now();

        QCOMPARE(m_audio.requests, (QList<QPair<int, qint64>>{{rate, requested}}));
        QVERIFY(m_audio.busyDuringCall && !meter().busy());
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(m_bench->windows.workingLog, (QList<bool>{true, false}));
        QVERIFY(meter().ObsTime.size() == 14 && meter().ObsTime >= before && meter().ObsTime <= after);
        QVERIFY(meter().sheet().enabled(Control::mnuPlayWave) && meter().sheet().enabled(Control::mnuSaveWave));

        const int h = 28 + fmtSize;
        const QByteArray raw = readAll(meter().TempWave + QStringLiteral(".tmp"));
        QCOMPARE(raw.size(), h + 2 * requested);
        QCOMPARE(raw.left(h - 4).mid(8), tpl.left(h - 4).mid(8));
        QCOMPARE(qFromLittleEndian<quint32>(raw.constData() + 4), quint32(h - 8 + 2 * requested));

        // Trimmed: RIFF size 36 + 2N, the template's header, samples S.. S+N-1.
        const QByteArray out = readAll(wav());
        QCOMPARE(out.size(), h + 2 * kept);
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 4), quint32(36 + 2 * kept));
        QCOMPARE(out.mid(8, h - 12), tpl.mid(8, h - 12));
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + h - 4), quint32(2 * kept));
        for (qint64 i : {qint64(0), kept / 2, kept - 1})
            if (i >= 0 && i < kept)
                QCOMPARE(qFromLittleEndian<qint16>(out.constData() + h + 2 * i), m_audio.signal(rate + i));
    }

    void recordFailures_data()
    {
        QTest::addColumn<Failure>("f");
        const QByteArray good = templateWave(8000);
        const auto row = [](const char *name, const Failure &f) { QTest::newRow(name) << f; };
        const QString unsupported = "^Unsupported WAVE file format\\.$";
        row("template missing", {{}, "1", 0, 0, "", "^Unable to open TQX\\.wav\\.$", false});
        row("template not a wave", {"hello", "1", 0, 0, "", unsupported, false});
        row("template with LIST chunk", {templateWave(8000, 16, "LIST" + le32(0)), "1", 0, 0, "", unsupported, false});
        row("template with negative rate", {templateWave(-8000), "1", 0, 0, "", unsupported, false});
        row("device error", {good, "1", 263, 0, "", "^Error: recording wave file: Device is busy\\.\\(263\\)\\.$"});
        row("device delivers too few", {good, "1", 0, 1, "",
            "^Error: recording wave file: The device delivered 16799 of 16800 samples\\.\\(102\\)\\.$"});
        row("negative interval", {good, "-1", 0, 0, "", "^Error: recording wave file: .*out of range\\.\\(101\\)\\.$"});
        row("raw file not writable", {good, "1", 0, 0, "tmp", "^Error: recording wave file: Cannot write .*~0000ABCD\\.tmp.*\\(103\\)\\.$"});
        row("output file not writable", {good, "1", 0, 0, "wav", "^Error: recording wave file: Cannot write .*~0000ABCD\\.wav.*\\(104\\)\\.$"});
    }
    void recordFailures()
    {
        QFETCH(Failure, f);
        if (!f.tpl.isEmpty())
            QVERIFY(writeFile(meter().AppDir + QStringLiteral("TQX.wav"), f.tpl));
        if (!f.folder.isEmpty())
            QVERIFY(QDir().mkpath(meter().TempWave + QLatin1Char('.') + f.folder));
        if (f.deviceError)
            m_audio.status = {f.deviceError, QStringLiteral("Device is busy.")};
        m_audio.shortBy = f.shortBy;
        meter().ObsTime = QStringLiteral("20000101000000");
        meter().WorkMeas.Ms = 0.123;
        meter().sheet().setText(Field::Interval, f.interval);

        QCOMPARE(MeasureLevel(meter(), wav(), meter().WorkMeas), 1);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_messages.shown[0].icon, MsgIcon::Critical);
        QVERIFY2(QRegularExpression(f.message).match(m_messages.shown[0].text).hasMatch(), qPrintable(m_messages.shown[0].text));
        QVERIFY(!m_messages.workingUpAtMessage);
        QCOMPARE(m_bench->windows.workingLog.last(), false);
        QCOMPARE(meter().ObsTime.isEmpty(), f.obsTimeCleared);
        QCOMPARE(meter().WorkMeas.err, -1);
        QCOMPARE(meter().WorkMeas.Ms, 0.123);
        QVERIFY(!meter().sheet().enabled(Control::mnuPlayWave) && !meter().sheet().enabled(Control::mnuSaveWave));
        QVERIFY(m_audio.beeps.isEmpty() && !meter().busy());
    }

    void measureLevel_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("result");
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("clip");
        QTest::newRow("sine 0.45 clips") << "0.5" << 0 << 0.10125 << -1.0;
        QTest::newRow("empty interval: no samples") << "" << 1 << 0.123 << 0.5;
    }
    void measureLevel()
    {
        QFETCH(QString, interval);
        QFETCH(int, result);
        QFETCH(double, ms);
        QFETCH(double, clip);
        QVERIFY(writeFile(meter().AppDir + QStringLiteral("TQX.wav"), templateWave(48000)));
        m_audio.signal = [](qint64 i) { return qint16(std::lround(32767 * 0.45 * std::sin(2 * M_PI * 1000 * i / 48000))); };
        meter().sheet().setText(Field::Interval, interval);
        Measurement &meas = meter().WorkMeas;
        meas.Ms = 0.123;
        meas.ClipFlag = 0.5;
        QCOMPARE(MeasureLevel(meter(), wav(), meas), result);
        QVERIFY(m_messages.shown.isEmpty());
        QVERIFY2(std::fabs(meas.Ms - ms) < ms * 5e-3, qPrintable(QString::number(meas.Ms)));
        QCOMPARE(meas.ClipFlag, clip);
        QCOMPARE(meas.err, result ? -1 : 0);
        QCOMPARE(m_audio.beeps, (result ? QList<QPair<int, int>>() : QList<QPair<int, int>>{{2000, 100}}));
        if (result == 0)
            QCOMPARE(meas.Rms, std::sqrt(meas.Ms));
    }

    void playWave_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("plays the reading") << 0 << "";
        QTest::newRow("device error") << 24 << "Error: playing wave file: Device is busy.(24).";
    }
    void playWave()
    {
        QFETCH(int, error);
        QFETCH(QString, message);
        m_audio.status = {error, error ? QStringLiteral("Device is busy.") : QString()};
        meter().click(Control::mnuPlayWave);
        QCOMPARE(m_audio.played, QStringList{wav()});
        QVERIFY(m_audio.busyDuringCall && !meter().busy());
        QCOMPARE(m_bench->windows.workingLog, (QList<bool>{true, false}));
        QCOMPARE(m_messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(!m_messages.workingUpAtMessage);
    }

    void saveWave_data()
    {
        QTest::addColumn<QString>("target"); // relative to the temp folder; empty: cancel
        QTest::addColumn<bool>("copied");
        QTest::newRow("replaces an existing file") << "out/20240102030405" << true;
        QTest::newRow("cancelled") << "" << false;
        QTest::newRow("target is a folder") << "out" << false;
    }
    void saveWave()
    {
        QFETCH(QString, target);
        QFETCH(bool, copied);
        const QByteArray reading = templateWave(48000);
        QVERIFY(writeFile(wav(), reading));
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/out")));
        const QString path = target.isEmpty() ? QString() : m_dir.path() + QLatin1Char('/') + target;
        if (copied) // replaces an existing file
            QVERIFY(writeFile(path, "older and longer content"));
        meter().ObsTime = QStringLiteral("20240102030405");
        meter().sheet().setEnabled(Control::mnuSaveWave, true);
        if (!target.isEmpty())
            m_bench->fileDialogs.answers.push_back(path);

        meter().click(Control::mnuSaveWave);
        QCOMPARE(m_bench->fileDialogs.requests.size(), 1);
        const FileDialogRequest &req = m_bench->fileDialogs.requests[0];
        QCOMPARE(req.initialDir, QString());
        QCOMPARE(req.filter, QStringLiteral("All Files (*.*)|*.*|Wave files (*.wav)|*.wav"));
        QCOMPARE(req.filterIndex, 2);
        QCOMPARE(req.fileName, QStringLiteral("20240102030405"));
        QCOMPARE(meter().sheet().enabled(Control::mnuSaveWave), !copied);
        if (copied)
            QCOMPARE(readAll(path), reading);
        const QString failure = QStringLiteral("Error copying ") + wav() + QStringLiteral(" to ") + path + QStringLiteral(".");
        QCOMPARE(m_messages.texts(), copied || target.isEmpty() ? QStringList() : QStringList{failure});
    }

    void mixerEntries_data()
    {
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QString>("program"); // empty: entries disabled
        QTest::newRow("pavucontrol") << QStringList{"pavucontrol", "pavucontrol-qt"} << "pavucontrol";
        QTest::newRow("only the Qt variant") << QStringList{"pavucontrol-qt"} << "pavucontrol-qt";
        QTest::newRow("no mixer: entries disabled") << QStringList{} << "";
    }
    void mixerEntries()
    {
        QFETCH(QStringList, available);
        QFETCH(QString, program);
        m_bench->opener.available = available;
        m_bench->opener.startOk = false; // a failure to start is never reported
        const std::pair<Control, const char *> entries[]{{Control::mnuSCCR, "--tab=4"}, {Control::mnuSCCP, "--tab=3"},
                                                         {Control::mnuMMSYS, "--tab=5"}};
        for (auto [c, tab] : entries)
            meter().sheet().setEnabled(c, true);
        MixerEntriesInit(meter());
        QList<QStringList> expected;
        for (auto [c, tab] : entries) {
            QCOMPARE(meter().sheet().enabled(c), !program.isEmpty());
            MixerEntry(meter(), c);
            if (!program.isEmpty())
                expected.append({program, QString::fromLatin1(tab)});
        }
        QCOMPARE(m_bench->opener.started, expected);
        QVERIFY(m_messages.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstRecording)
#include "tst_recording.moc"
