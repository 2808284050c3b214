// The five measurement buttons, run through the real recording and analysis
// with a sound card that delivers known sample patterns.

#include "acquire/Sequence.h"
#include "app/Meter.h"
#include "app/NumText.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <deque>
#include <memory>

namespace {

constexpr int kRate = 8000; // template rate (Hz); one-second interval
constexpr int kFail = -1;   // "amplitude" of a reading whose recording fails
constexpr int kNone = -2;   // no zero reading taken

// A sound card whose every reading is a square wave at half the sample rate,
// +a, -a, +a, ... (its mean is 0, so the DC tracker barely moves), or a
// device error.
class PatternAudio : public IAudio
{
public:
    std::deque<int> amplitudes; // one per reading, kFail for a device error
    int recordings = 0;
    AudioStatus record(int, qint64 samples, QVector<qint16> &out) override
    {
        ++recordings;
        const int a = amplitudes.empty() ? 0 : amplitudes.front();
        if (!amplitudes.empty())
            amplitudes.pop_front();
        if (a == kFail)
            return {5, QStringLiteral("device not ready")};
        out.resize(samples);
        for (qint64 i = 0; i < samples; ++i)
            out[i] = qint16(i % 2 == 0 ? a : -a);
        return {};
    }
    AudioStatus play(const QString &) override { return {}; }
    void beep(int, int) override {}
    bool hasInput() override { return true; }
};

// Records the calls: "open <port> <dtr> <rts>", "lines <dtr> <rts>", "close".
class RecordingSerial : public ISerialLines
{
public:
    int openResult = 0;
    QStringList calls;
    bool opened = false;
    int open(int port, bool dtr, bool rts) override
    {
        calls << QStringLiteral("open %1 %2 %3").arg(port).arg(int(dtr)).arg(int(rts));
        opened = openResult == 0;
        return openResult;
    }
    void setLines(bool dtr, bool rts) override { calls << QStringLiteral("lines %1 %2").arg(int(dtr)).arg(int(rts)); }
    void close() override { calls << QStringLiteral("close"); opened = false; }
    bool isOpen() const override { return opened; }
    QString deviceName(int) const override { return QString(); }
    bool deviceExists(int) const override { return false; }
};

// Mean square of one second of the pattern as the level analysis reduces
// it: 20 Hz DC tracker started from the mean of the first 0.01 s.
double expectedMs(int a)
{
    const double k = 1.0 - std::exp(-2.0 * (4.0 * std::atan(1.0)) * 20.0 / kRate);
    auto x = [a](int i) { return (i % 2 == 0 ? a : -a) / 32768.0; };
    const int m = int(std::lround(0.01 * kRate));
    double dc = 0;
    for (int i = 0; i <= m; ++i)
        dc += x(i);
    dc /= 0.01 * kRate;
    double p = 0;
    for (int i = 0; i < kRate; ++i) {
        const double d = x(i) - dc;
        p += d * d;
        dc += k * d;
    }
    return p / kRate;
}

// Canonical 44-byte header: PCM, mono, 8000 Hz, 16 bits, no samples.
void writeTemplate(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)
        || f.write(QByteArray::fromHex("524946462400000057415645666d74201000000001000100"
                                       "401f0000803e0000020010006461746100000000")) != 44)
        qFatal("cannot write the template");
}

// A level text: a number in dB with three decimals.
void verifyLevel(const QString &text, double expectedDb)
{
    static const QRegularExpression shape(QStringLiteral("^-?[0-9]+\\.[0-9]{3}$"));
    QVERIFY2(shape.match(text).hasMatch(), qPrintable(text));
    QVERIFY2(std::abs(ParseNumber(text) - expectedDb) < 0.0015,
             qPrintable(QStringLiteral("%1 instead of %2").arg(text).arg(expectedDb, 0, 'f', 4)));
}

const Field kLevelFields[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};

} // namespace

class TestSequence : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    PatternAudio m_audio;
    RecordingSerial m_serial;
    std::unique_ptr<TestBench> m_bench;
    Meter *m_meter = nullptr;

    Sheet &sheet() { return m_meter->sheet(); }
    void zero(int amplitude)
    {
        m_audio.amplitudes = {amplitude};
        m_meter->click(Control::btnNoise00);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(m_dir.isValid());
        writeTemplate(m_dir.filePath(QStringLiteral("TQX.wav")));
    }

    void init()
    {
        m_audio = PatternAudio();
        m_serial = RecordingSerial();
        m_bench = std::make_unique<TestBench>();
        Platform p = m_bench->platform();
        p.audio = &m_audio;
        p.serial = &m_serial;
        m_meter = &m_bench->meter;
        m_meter->setPlatform(p);
        m_meter->AppDir = m_dir.path() + QLatin1Char('/');
        m_meter->TempWave = m_dir.filePath(QStringLiteral("~0000TEST"));
        sheet().setText(Field::Interval, QStringLiteral("1"));
        sheet().setChecked(Control::mnuOptionsLimits, true);
        m_meter->LimitsEnabled = true;
        m_meter->ComEnabled = 0;
    }

    void zeroReading_data()
    {
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<QString>("text"); // "level": 10 log10(Ms) expected
        QTest::addColumn<uint>("colour");
        QTest::newRow("quiet zero in blue") << 30 << true << "level" << uint(Colour::DarkBlue);
        QTest::newRow("digital silence shows a marker") << 0 << true << kSilenceText << uint(Colour::DarkBlue);
        QTest::newRow("clipped zero in red") << 20000 << true << "level" << uint(Colour::DarkRed);
        QTest::newRow("loud zero without limits stays blue") << 20000 << false << "level" << uint(Colour::DarkBlue);
        QTest::newRow("failed recording leaves the fields empty") << kFail << true << "" << uint(Colour::DarkBlue);
    }
    void zeroReading()
    {
        QFETCH(int, amplitude);
        QFETCH(bool, limits);
        QFETCH(QString, text);
        QFETCH(uint, colour);
        sheet().setChecked(Control::mnuOptionsLimits, limits);
        for (Field f : kLevelFields)
            sheet().setText(f, QStringLiteral("-1.000"));
        sheet().setText(Field::Y2dB, QStringLiteral("5.000"));
        sheet().setUnitsIndex(2);
        sheet().unitsTag = QStringLiteral("2");
        m_meter->ZeroMeas.Ms = 0.5;

        zero(amplitude);

        for (Field f : {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
            QCOMPARE(sheet().text(f), QString());
        QCOMPARE(sheet().text(Field::Y2dB), QString()); // results cleared
        QCOMPARE(sheet().unitsIndex(), 0);
        QCOMPARE(sheet().unitsTag, QStringLiteral("2")); // the remembered unit stays
        QCOMPARE(sheet().colour(Field::Noise00), colour);
        if (text == QLatin1String("level"))
            verifyLevel(sheet().text(Field::Noise00), 10.0 * std::log10(expectedMs(amplitude)));
        else
            QCOMPARE(sheet().text(Field::Noise00), text);
        if (amplitude == kFail)
            QCOMPARE(m_meter->ZeroMeas.Ms, 0.0); // the old zero is forgotten
    }

    // The zero power comes off the reading; a reading not above it shows
    // "******" in red and leaves the results; a clipped one is red and clears
    // them; any other computes them (both pairs are kept usable here).
    void noiseReading_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("zeroAmplitude");
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<uint>("colour");
        QTest::addColumn<QString>("results"); // "computed", "kept", "cleared"
        const uint normal = Colour::WindowText, red = Colour::DarkRed;
        const int lo = int(Control::btnNoise11), hi = int(Control::btnNoise12);
        const int lo12 = int(Control::btnNoise21), hi12 = int(Control::btnNoise22);
        const int f11 = int(Field::Noise11), f12 = int(Field::Noise12);
        const int f21 = int(Field::Noise21), f22 = int(Field::Noise22);
        QTest::newRow("LO before any zero is 10 log10(W)") << lo << f11 << kNone << 100 << true << normal << "computed";
        QTest::newRow("HI subtracts the zero power") << hi << f12 << 100 << 300 << true << normal << "computed";
        QTest::newRow("reading equal to the zero") << lo12 << f21 << 100 << 100 << true << red << "kept";
        QTest::newRow("reading below the zero") << hi12 << f22 << 300 << 100 << true << red << "kept";
        QTest::newRow("clipped HI in red clears the results") << hi << f12 << kNone << 20000 << true << red << "cleared";
        QTest::newRow("loud reading with limits off") << hi12 << f22 << kNone << 20000 << false << normal << "computed";
        QTest::newRow("after a zero of digital silence") << lo << f11 << 0 << 100 << true << normal << "computed";
    }
    void noiseReading()
    {
        QFETCH(int, button);
        QFETCH(int, field);
        QFETCH(int, zeroAmplitude);
        QFETCH(int, amplitude);
        QFETCH(bool, limits);
        QFETCH(uint, colour);
        QFETCH(QString, results);
        sheet().setChecked(Control::mnuOptionsLimits, limits);
        if (zeroAmplitude != kNone)
            zero(zeroAmplitude);
        const auto f = Field(field);
        for (Field lo : {Field::Noise11, Field::Noise21})
            sheet().setText(lo, QStringLiteral("-150.000"));
        for (Field hi : {Field::Noise12, Field::Noise22})
            sheet().setText(hi, QStringLiteral("10.000"));
        sheet().setText(Field::Y2dB, QStringLiteral("sentinel"));
        sheet().setText(Field::Y12dB, QStringLiteral("sentinel"));
        sheet().setColour(f, Colour::DarkRed);
        sheet().setUnitsIndex(1);

        m_audio.amplitudes = {amplitude};
        m_meter->click(Control(button));

        QCOMPARE(sheet().unitsIndex(), 0);
        QCOMPARE(sheet().colour(f), colour);
        if (zeroAmplitude == kNone || amplitude > zeroAmplitude) {
            const double z = zeroAmplitude == kNone ? 0.0 : expectedMs(zeroAmplitude);
            verifyLevel(sheet().text(f), 10.0 * std::log10(expectedMs(amplitude) - z));
        } else {
            QCOMPARE(sheet().text(f), kNotAboveZeroText);
        }
        for (Field r : {Field::Y2dB, Field::Y12dB}) {
            const QString t = sheet().text(r);
            if (results == QLatin1String("kept"))
                QCOMPARE(t, QStringLiteral("sentinel"));
            else
                QVERIFY2(results == QLatin1String("cleared") ? t.isEmpty() : IsNumber(t), qPrintable(t));
        }
        QVERIFY(m_bench->messages.shown.isEmpty());
    }

    // The port around readings 2 to 4: unused when disabled and for reading
    // 1; released after every reading whatever became of it; a port error
    // ends the reading before anything is recorded.
    void portUse_data()
    {
        QTest::addColumn<int>("enabled");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("openResult");
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("message");
        const int hi = int(Control::btnNoise12), both = int(Control::btnNoise22);
        const QString released = QStringLiteral("open 6 1 0|lines 0 0|close");
        QTest::newRow("disabled: HI touches no port") << 0 << hi << 0 << 100 << "" << "";
        QTest::newRow("disabled: combined LO touches no port") << 0 << int(Control::btnNoise21) << 0 << 100 << "" << "";
        QTest::newRow("enabled: LO never uses the port") << 1 << int(Control::btnNoise11) << 0 << 100 << "" << "";
        QTest::newRow("combined HI: both lines") << 1 << both << 0 << 100 << "open 6 1 1|lines 0 0|close" << "";
        QTest::newRow("released after a reading not above zero") << 1 << hi << 0 << 0 << released << "";
        QTest::newRow("released after a clipped reading") << 1 << hi << 0 << 20000 << released << "";
        QTest::newRow("released after a failed recording")
            << 1 << hi << 0 << kFail << released << "Error: recording wave file: device not ready(5).";
        QTest::newRow("missing port") << 1 << hi << 8002 << 100 << "open 6 1 0" << "Error: Invalid port number";
        QTest::newRow("port held elsewhere") << 1 << hi << 8005 << 100 << "open 6 1 0" << "Error: Port In Use";
        QTest::newRow("back-end failure") << 1 << hi << 9011 << 100 << "open 6 1 0" << "Error: Other error...";
    }
    void portUse()
    {
        QFETCH(int, enabled);
        QFETCH(int, button);
        QFETCH(int, openResult);
        QFETCH(int, amplitude);
        QFETCH(QString, calls);
        QFETCH(QString, message);
        m_meter->ComEnabled = enabled;
        m_meter->ComPort = 6;
        m_serial.openResult = openResult;
        for (Field f : kLevelFields)
            sheet().setText(f, QStringLiteral("-42.000"));
        sheet().setUnitsIndex(2);
        m_audio.amplitudes = {amplitude};
        m_meter->click(Control(button));
        QCOMPARE(m_serial.calls.join(u'|'), calls);
        QVERIFY(!m_serial.isOpen());
        QCOMPARE(m_bench->messages.texts().join(u'|'), message);
        if (openResult) {
            QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
            QCOMPARE(m_bench->messages.shown[0].icon, MsgIcon::Critical);
            QCOMPARE(m_audio.recordings, 0);
            QCOMPARE(sheet().unitsIndex(), 2);
        }
        if (openResult || amplitude == kFail) // no level written
            QCOMPARE(sheet().text(Field::Noise12), QStringLiteral("-42.000"));
    }
};

QTEST_MAIN(TestSequence)
#include "tst_sequence.moc"
