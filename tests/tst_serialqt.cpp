// QSerialPort on a pseudo-terminal mapped to port 7; the preloaded modem-line shim (tests/modemshim)
// logs DTR/RTS changes with CLOCK_MONOTONIC stamps.
#include "acquire/NoiseSwitch.h"
#include "qtplatform/SerialQt.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kPort = 7;
constexpr qint64 kSettleNs = 500'000'000;

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// One line of the shim's log: "<ns> <fd> <attach|set|close> DTR=<0|1> RTS=<0|1>".
struct LineEvent {
    qint64 ns;
    QByteArray what;
    QString lines;
};

// Notes when each recording starts.
class TimedAudio : public ScriptedAudio
{
public:
    QList<qint64> starts;
    std::unique_ptr<AudioJob> record(int rate, qint64 n) override
    {
        starts.append(monotonicNs());
        return ScriptedAudio::record(rate, n);
    }
};

} // namespace

class TestSerialQt : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString log() const { return m_dir.filePath(QStringLiteral("lines.log")); }
    QList<LineEvent> events() const
    {
        QList<LineEvent> ev;
        QFile f(log());
        const QByteArray text = f.open(QIODevice::ReadOnly) ? f.read(1 << 20) : QByteArray();
        for (const QByteArray &line : text.split('\n'))
            if (const QList<QByteArray> p = line.split(' '); p.size() == 5)
                ev.append({p[0].toLongLong(), p[2], QString::fromLatin1(p[3] + ' ' + p[4])});
        return ev;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The template: PCM mono 8000 Hz 16 bit, no samples.
        QVERIFY(writeToneWave(m_dir.filePath(QStringLiteral("TQX.wav")), 0, 0, 0, 8000));
        qputenv("TQX_MODEMSHIM_LOG", QFile::encodeName(log()));
    }

    // Lines set 500 ms before the recording, both down and the port closed after it, also on failure;
    // a port that hangs up during the recording ends the reading with the port's message, no level.
    void readingSwitchesTheLines_data()
    {
        QTest::addColumn<Control>("button");
        QTest::addColumn<QString>("during");
        QTest::addColumn<int>("problem"); // 1 recording fails, 2 the port hangs up meanwhile
        QTest::newRow("3 Noise LO") << Control::btnNoise21 << "DTR=0 RTS=1" << 0;
        QTest::newRow("4 Noise HI, recording fails") << Control::btnNoise22 << "DTR=1 RTS=1" << 1;
        QTest::newRow("2 Noise HI, port hangs up") << Control::btnNoise12 << "DTR=1 RTS=0" << 2;
    }
    void readingSwitchesTheLines()
    {
        QFETCH(Control, button);
        QFETCH(QString, during);
        QFETCH(int, problem);
        int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC); // open for the whole reading
        const auto closeMaster = qScopeGuard([&master] {
            if (master >= 0)
                ::close(master);
        });
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString device = QString::fromLocal8Bit(ptsname(master));
        qputenv(SerialQt::overrideVariable(kPort).toLatin1(), device.toLocal8Bit());
        QFile::remove(log());
        SerialQt serial;
        TimedAudio audio;
        audio.status = problem == 1 ? AudioStatus{5, QStringLiteral("device not ready")} : AudioStatus{};
        audio.delayMs = 300;
        audio.hold = problem == 2; // a recording that ends only when the port's failure is heard
        TestBench bench;
        Instrument &m = bench.inFolder(m_dir.path(), &audio, &serial);
        m.sheet().setText(Field::Interval, QStringLiteral("0.5"));
        m.sheet().setText(Field::Noise12, QStringLiteral("-1.000"));
        m.session().ComEnabled = 1;
        m.session().ComPort = kPort;
        m.click(button);
        if (problem == 2) {
            QTRY_COMPARE(audio.starts.size(), 1);
            ::close(master); // the far end goes away
            master = -1;
        }
        QVERIFY(waitIdle(m));
        const QString expected =
            problem == 1   ? "Error: recording wave file: device not ready(5)."
            : problem == 2 ? "Error: Port ERROR\n\nComm Port 7 (" + device + ") failed during the reading: "
                           : "";
        QCOMPARE(bench.messages.texts().size(), problem ? 1 : 0);
        QVERIFY(!problem || bench.messages.texts()[0].startsWith(expected));
        QCOMPARE(audio.live, 0);
        QCOMPARE(m.sheet().text(Field::Noise12), QStringLiteral("-1.000"));
        QVERIFY(!serial.isOpen() && audio.starts.size() == 1);
        QList<LineEvent> before, after;
        for (const LineEvent &e : events())
            (e.ns <= audio.starts[0] ? before : after).append(e);
        QVERIFY(!before.isEmpty() && !after.isEmpty());
        QCOMPARE(before.last().lines, during);
        QVERIFY(audio.starts[0] - before.last().ns >= kSettleNs);
        QCOMPARE(after.last().what, QByteArray("close"));
        QCOMPARE(after.last().lines, QStringLiteral("DTR=0 RTS=0"));
    }
};

namespace {

void ensureModemShim(char **argv)
{
    if (dlsym(RTLD_DEFAULT, "tqx_modemshim_present"))
        return;
    if (qEnvironmentVariableIsSet("TQX_MODEMSHIM_REEXEC"))
        qFatal("the modem-line shim %s did not load", TQX_MODEMSHIM_PATH);
    QByteArray preload(TQX_MODEMSHIM_PATH);
    if (const QByteArray old = qgetenv("LD_PRELOAD"); !old.isEmpty())
        preload += ' ' + old;
    qputenv("LD_PRELOAD", preload);
    qputenv("TQX_MODEMSHIM_REEXEC", "1");
    // Sanitizer builds: the shim is preloaded ahead of the sanitizer runtime.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
    execv("/proc/self/exe", argv);
    qFatal("cannot re-execute with the modem-line shim");
}

} // namespace

int main(int argc, char **argv)
{
    ensureModemShim(argv);
    QCoreApplication app(argc, argv);
    TestSerialQt test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serialqt.moc"
