// RecordWave, MeasureLevel and the audio utilities end to end, with the
// sound card, dialogs and opener replaced at the platform boundary and real
// files in a temporary folder.
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

// The sound card: delivers sample i = f(i), or an error; remembers requests.
class FakeAudio : public IAudio
{
public:
    AudioStatus record(int rate, qint64 samples, QVector<qint16> &out) override
    {
        requests.append({rate, samples});
        busyDuringCall = meter && meter->busy();
        out.resize(samples - shortBy);
        for (qint64 i = 0; i < out.size(); ++i)
            out[i] = signal(i);
        return status;
    }
    AudioStatus play(const QString &wavFile) override
    {
        played.append(wavFile);
        busyDuringCall = meter && meter->busy();
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

// Messages that note whether the working window was still up when shown.
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

QByteArray templateWave(int rate, int fmtSize, const QByteArray &between = {})
{
    QByteArray fmt = QByteArray("\x01\x00\x01\x00", 4) + le32(rate) + le32(2 * rate)
        + QByteArray("\x02\x00\x10\x00", 4) + QByteArray(fmtSize - 16, '\0');
    const QByteArray body = "WAVEfmt " + le32(fmtSize) + fmt + between + "data" + le32(4) + QByteArray(4, '\0');
    return "RIFF" + le32(body.size()) + body;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstRecording : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TestBench> m_bench;
    OrderedMessages m_messages;
    FakeAudio m_audio;

    Meter &meter() { return m_bench->meter; }
    void writeTemplate(const QByteArray &bytes)
    {
        QFile f(meter().AppDir + QStringLiteral("TQX.wav"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

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
        QTest::newRow("44100 Hz, 2 s") << 44100 << 16 << 2.0 << qint64(136710) << qint64(88200);
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
        writeTemplate(tpl);
        const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        QCOMPARE(RecordWave(meter(), meter().TempWave, dur), 0);
        const QString after = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));

        QCOMPARE(m_audio.requests, (QList<QPair<int, qint64>>{{rate, requested}}));
        QVERIFY(m_audio.busyDuringCall);
        QVERIFY(!meter().busy());
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(m_bench->windows.workingLog, (QList<bool>{true, false}));
        QVERIFY(meter().ObsTime >= before && meter().ObsTime <= after);
        QCOMPARE(meter().ObsTime.size(), 14);
        QVERIFY(meter().sheet().enabled(Control::mnuPlayWave));
        QVERIFY(meter().sheet().enabled(Control::mnuSaveWave));

        const int h = 28 + fmtSize;
        const QByteArray raw = readAll(meter().TempWave + QStringLiteral(".tmp"));
        QCOMPARE(raw.size(), h + 2 * requested);
        QCOMPARE(raw.left(h - 4).mid(8), tpl.left(h - 4).mid(8));
        QCOMPARE(qFromLittleEndian<quint32>(raw.constData() + 4), quint32(h - 8 + 2 * requested));

        // Trimmed: RIFF size 36 + 2N, the template's header, samples S.. S+N-1.
        const QByteArray out = readAll(meter().TempWave + QStringLiteral(".wav"));
        QCOMPARE(out.size(), h + 2 * kept);
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 4), quint32(36 + 2 * kept));
        QCOMPARE(out.mid(8, h - 12), tpl.mid(8, h - 12));
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + h - 4), quint32(2 * kept));
        for (qint64 i : {qint64(0), kept / 2, kept - 1}) {
            if (i >= 0 && i < kept)
                QCOMPARE(qFromLittleEndian<qint16>(out.constData() + h + 2 * i), m_audio.signal(rate + i));
        }
    }

    void recordFailures_data()
    {
        QTest::addColumn<QByteArray>("tpl");        // empty: no template file
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("deviceError");       // 0: the device succeeds
        QTest::addColumn<int>("shortBy");
        QTest::addColumn<QString>("wavIsFolder");   // "wav"/"tmp": make that output a folder
        QTest::addColumn<QString>("message");       // regular expression
        QTest::addColumn<bool>("obsTimeCleared");
        const QByteArray good = templateWave(8000, 16);
        QTest::newRow("template missing") << QByteArray() << "1" << 0 << 0 << "" << "^Unable to open TQX\\.wav\\.$" << false;
        QTest::newRow("template not a wave") << QByteArray("hello") << "1" << 0 << 0 << "" << "^Unsupported WAVE file format\\.$" << false;
        QTest::newRow("template with LIST chunk") << templateWave(8000, 16, "LIST" + le32(0)) << "1" << 0 << 0 << "" << "^Unsupported WAVE file format\\.$" << false;
        QTest::newRow("template with negative rate") << templateWave(-8000, 16) << "1" << 0 << 0 << "" << "^Unsupported WAVE file format\\.$" << false;
        QTest::newRow("device error") << good << "1" << 263 << 0 << "" << "^Error: recording wave file: Device is busy\\.\\(263\\)\\.$" << true;
        QTest::newRow("device delivers too few") << good << "1" << 0 << 1 << "" << "^Error: recording wave file: The device delivered 16799 of 16800 samples\\.\\(102\\)\\.$" << true;
        QTest::newRow("negative interval") << good << "-1" << 0 << 0 << "" << "^Error: recording wave file: .*out of range\\.\\(101\\)\\.$" << true;
        QTest::newRow("raw file not writable") << good << "1" << 0 << 0 << "tmp" << "^Error: recording wave file: Cannot write .*~0000ABCD\\.tmp.*\\(103\\)\\.$" << true;
        QTest::newRow("output file not writable") << good << "1" << 0 << 0 << "wav" << "^Error: recording wave file: Cannot write .*~0000ABCD\\.wav.*\\(104\\)\\.$" << true;
    }
    void recordFailures()
    {
        QFETCH(QByteArray, tpl);
        QFETCH(QString, interval);
        QFETCH(int, deviceError);
        QFETCH(int, shortBy);
        QFETCH(QString, wavIsFolder);
        QFETCH(QString, message);
        QFETCH(bool, obsTimeCleared);
        if (!tpl.isEmpty())
            writeTemplate(tpl);
        if (!wavIsFolder.isEmpty())
            QVERIFY(QDir().mkpath(meter().TempWave + QLatin1Char('.') + wavIsFolder));
        if (deviceError)
            m_audio.status = {deviceError, QStringLiteral("Device is busy.")};
        m_audio.shortBy = shortBy;
        meter().ObsTime = QStringLiteral("20000101000000");
        meter().WorkMeas.Ms = 0.123;
        meter().sheet().setText(Field::Interval, interval);

        QCOMPARE(MeasureLevel(meter(), meter().TempWave + QStringLiteral(".wav"), meter().WorkMeas), 1);
        QCOMPARE(m_messages.shown.size(), 1);
        QCOMPARE(m_messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_messages.shown[0].icon, MsgIcon::Critical);
        QVERIFY2(QRegularExpression(message).match(m_messages.shown[0].text).hasMatch(),
                 qPrintable(m_messages.shown[0].text));
        QVERIFY(!m_messages.workingUpAtMessage);
        QCOMPARE(m_bench->windows.workingLog.last(), false);
        QCOMPARE(meter().ObsTime.isEmpty(), obsTimeCleared);
        QCOMPARE(meter().WorkMeas.err, -1);
        QCOMPARE(meter().WorkMeas.Ms, 0.123);
        QVERIFY(!meter().sheet().enabled(Control::mnuPlayWave));
        QVERIFY(!meter().sheet().enabled(Control::mnuSaveWave));
        QVERIFY(m_audio.beeps.isEmpty());
        QVERIFY(!meter().busy());
    }

    void measureLevel_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<double>("amplitude"); // of a 1 kHz sine at 48 kHz
        QTest::addColumn<bool>("limits");
        QTest::addColumn<int>("result");
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("clip");
        QTest::newRow("sine 0.3") << "1.000" << 0.3 << true << 0 << 0.045 << 0.0;
        QTest::newRow("sine 0.45 clips") << "0.5" << 0.45 << true << 0 << 0.10125 << -1.0;
        QTest::newRow("sine 0.45, limits off") << "0.5" << 0.45 << false << 0 << 0.10125 << 0.0;
        QTest::newRow("empty interval: no samples") << "" << 0.3 << true << 1 << 0.123 << 0.5;
    }
    void measureLevel()
    {
        QFETCH(QString, interval);
        QFETCH(double, amplitude);
        QFETCH(bool, limits);
        QFETCH(int, result);
        QFETCH(double, ms);
        QFETCH(double, clip);
        writeTemplate(templateWave(48000, 16));
        m_audio.signal = [amplitude](qint64 i) {
            return qint16(std::lround(32767 * amplitude * std::sin(2 * 3.14159265358979 * 1000 * i / 48000)));
        };
        meter().sheet().setText(Field::Interval, interval);
        meter().sheet().setChecked(Control::mnuOptionsLimits, limits);
        Measurement &meas = meter().WorkMeas;
        meas.Ms = 0.123;
        meas.ClipFlag = 0.5;
        QCOMPARE(MeasureLevel(meter(), meter().TempWave + QStringLiteral(".wav"), meas), result);
        QVERIFY(m_messages.shown.isEmpty());
        QVERIFY2(std::fabs(meas.Ms - ms) < ms * 5e-3, qPrintable(QString::number(meas.Ms)));
        QCOMPARE(meas.ClipFlag, clip);
        QCOMPARE(meas.err, result ? -1 : 0);
        if (result == 0) {
            QCOMPARE(meas.Rms, std::sqrt(meas.Ms));
            QCOMPARE(m_audio.beeps, (QList<QPair<int, int>>{{2000, 100}}));
        } else {
            QVERIFY(m_audio.beeps.isEmpty());
        }
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
        QCOMPARE(m_audio.played, QStringList{meter().TempWave + QStringLiteral(".wav")});
        QVERIFY(m_audio.busyDuringCall);
        QVERIFY(!meter().busy());
        QCOMPARE(m_bench->windows.workingLog, (QList<bool>{true, false}));
        QCOMPARE(m_messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(!m_messages.workingUpAtMessage);
    }

    void saveWave_data()
    {
        QTest::addColumn<QString>("target");  // relative to the temp folder; empty: cancel
        QTest::addColumn<bool>("existing");   // the target exists beforehand
        QTest::addColumn<bool>("copied");
        QTest::newRow("proposed name") << "out/20240102030405" << false << true;
        QTest::newRow("replaces an existing file") << "out/20240102030405" << true << true;
        QTest::newRow("cancelled") << "" << false << false;
        QTest::newRow("folder missing") << "nowhere/x.wav" << false << false;
        QTest::newRow("target is a folder") << "out" << false << false;
    }
    void saveWave()
    {
        QFETCH(QString, target);
        QFETCH(bool, existing);
        QFETCH(bool, copied);
        const QByteArray reading = templateWave(48000, 16);
        QFile src(meter().TempWave + QStringLiteral(".wav"));
        QVERIFY(src.open(QIODevice::WriteOnly) && src.write(reading) == reading.size());
        src.close();
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/out")));
        const QString path = target.isEmpty() ? QString() : m_dir.path() + QLatin1Char('/') + target;
        if (existing) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older and longer content") > 0);
        }
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
        const QString failure = QStringLiteral("Error copying ") + meter().TempWave
            + QStringLiteral(".wav to ") + path + QStringLiteral(".");
        QCOMPARE(m_messages.texts(), copied || target.isEmpty() ? QStringList() : QStringList{failure});
    }

    void mixerEntries_data()
    {
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QStringList>("started"); // program and argument after each click
        QTest::newRow("pavucontrol") << QStringList{"pavucontrol", "pavucontrol-qt"}
                                     << QStringList{"pavucontrol --tab=4", "pavucontrol --tab=3", "pavucontrol --tab=5"};
        QTest::newRow("only the Qt variant") << QStringList{"pavucontrol-qt"}
                                             << QStringList{"pavucontrol-qt --tab=4", "pavucontrol-qt --tab=3", "pavucontrol-qt --tab=5"};
        QTest::newRow("no mixer: entries disabled") << QStringList{} << QStringList{};
    }
    void mixerEntries()
    {
        QFETCH(QStringList, available);
        QFETCH(QStringList, started);
        m_bench->opener.available = available;
        m_bench->opener.startOk = false; // a failure to start is never reported
        const QList<Control> entries{Control::mnuSCCR, Control::mnuSCCP, Control::mnuMMSYS};
        for (Control c : entries)
            meter().sheet().setEnabled(c, true);
        MixerEntriesInit(meter());
        QStringList got;
        for (Control c : entries) {
            QCOMPARE(meter().sheet().enabled(c), !available.isEmpty());
            MixerEntry(meter(), c);
        }
        for (const QStringList &s : m_bench->opener.started)
            got << s.join(QLatin1Char(' '));
        QCOMPARE(got, started);
        QVERIFY(m_messages.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstRecording)
#include "tst_recording.moc"
