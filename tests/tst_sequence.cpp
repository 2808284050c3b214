// The five measurement buttons through the real recording and analysis, on known sample patterns.
#include "acquire/Sequence.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "support/AudioFixtures.h"
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

// Every reading is +a, -a, +a, ... (a square wave at half the rate), or a device error.
class PatternAudio : public IAudio
{
public:
    std::deque<int> amplitudes;
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

// The pattern's power after the 20 Hz DC high-pass: its gain at half the rate is (2 / (2 - k))^2.
double expectedDb(int a)
{
    const double k = 1.0 - std::exp(-2.0 * M_PI * 20.0 / kRate);
    return 10.0 * std::log10(a * a / (32768.0 * 32768.0) * 4.0 / ((2.0 - k) * (2.0 - k)));
}

// A level text: a number in dB with three decimals.
void verifyLevel(const QString &text, double db)
{
    static const QRegularExpression shape(QStringLiteral("^-?[0-9]+\\.[0-9]{3}$"));
    QVERIFY2(shape.match(text).hasMatch() && std::abs(ParseNumber(text) - db) < 0.0015,
             qPrintable(QStringLiteral("%1 instead of %2").arg(text).arg(db, 0, 'f', 4)));
}

const Field kLevelFields[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};

} // namespace

class TestSequence : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    PatternAudio m_audio;
    RecordingSerial m_serial;
    std::unique_ptr<TestBench> m_bench;
    Meter *m_meter = nullptr;

    Sheet &sheet() { return m_meter->sheet(); }
    void click(Control button, int amplitude)
    {
        m_audio.amplitudes = {amplitude};
        m_meter->click(button);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        // The template: PCM mono 8000 Hz 16 bit, no samples.
        QVERIFY(writeToneWave(m_dir.filePath(QStringLiteral("TQX.wav")), 0, 0, 0, 8000));
        QCOMPARE(QFileInfo(m_dir.filePath(QStringLiteral("TQX.wav"))).size(), 44);
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
        QTest::addColumn<QString>("text"); // "level": expectedDb(amplitude)
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

        click(Control::btnNoise00, amplitude);

        for (Field f : {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22, Field::Y2dB})
            QCOMPARE(sheet().text(f), QString()); // readings and results cleared
        QCOMPARE(sheet().unitsIndex(), 0);
        QCOMPARE(sheet().unitsTag, QStringLiteral("2")); // the remembered unit stays
        QCOMPARE(sheet().colour(Field::Noise00), colour);
        if (text == QLatin1String("level"))
            verifyLevel(sheet().text(Field::Noise00), expectedDb(amplitude));
        else
            QCOMPARE(sheet().text(Field::Noise00), text);
        if (amplitude == kFail)
            QCOMPARE(m_meter->ZeroMeas.Ms, 0.0); // the old zero is forgotten
    }

    // Zero power comes off the reading; not above it: "******" in red, results kept; clipped: red, cleared.
    void noiseReading_data()
    {
        QTest::addColumn<Control>("button");
        QTest::addColumn<Field>("field");
        QTest::addColumn<int>("zero");
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<bool>("limits");
        QTest::addColumn<uint>("colour");
        QTest::addColumn<QString>("results"); // "computed", "kept", "cleared"
        const uint normal = Colour::WindowText, red = Colour::DarkRed;
        QTest::newRow("LO before any zero is 10 log10(W)") << Control::btnNoise11 << Field::Noise11 << kNone << 100 << true << normal << "computed";
        QTest::newRow("HI subtracts the zero power") << Control::btnNoise12 << Field::Noise12 << 100 << 300 << true << normal << "computed";
        QTest::newRow("reading equal to the zero") << Control::btnNoise21 << Field::Noise21 << 100 << 100 << true << red << "kept";
        QTest::newRow("clipped HI in red clears the results") << Control::btnNoise12 << Field::Noise12 << kNone << 20000 << true << red << "cleared";
        QTest::newRow("loud reading with limits off") << Control::btnNoise22 << Field::Noise22 << kNone << 20000 << false << normal << "computed";
        QTest::newRow("after a zero of digital silence") << Control::btnNoise11 << Field::Noise11 << 0 << 100 << true << normal << "computed";
    }
    void noiseReading()
    {
        QFETCH(Control, button);
        QFETCH(Field, field);
        QFETCH(int, zero);
        QFETCH(int, amplitude);
        QFETCH(bool, limits);
        QFETCH(uint, colour);
        QFETCH(QString, results);
        sheet().setChecked(Control::mnuOptionsLimits, limits);
        if (zero != kNone)
            click(Control::btnNoise00, zero);
        for (Field f : {Field::Noise11, Field::Noise21})
            sheet().setText(f, QStringLiteral("-150.000"));
        for (Field f : {Field::Noise12, Field::Noise22})
            sheet().setText(f, QStringLiteral("10.000"));
        sheet().setText(Field::Y2dB, QStringLiteral("sentinel"));
        sheet().setText(Field::Y12dB, QStringLiteral("sentinel"));
        sheet().setColour(field, Colour::DarkRed);
        sheet().setUnitsIndex(1);

        click(button, amplitude);

        QCOMPARE(sheet().unitsIndex(), 0);
        QCOMPARE(sheet().colour(field), colour);
        if (zero == kNone || amplitude > zero) {
            const double z = zero > 0 ? std::pow(10.0, expectedDb(zero) / 10) : 0.0;
            verifyLevel(sheet().text(field), 10.0 * std::log10(std::pow(10.0, expectedDb(amplitude) / 10) - z));
        } else {
            QCOMPARE(sheet().text(field), kNotAboveZeroText);
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

    // Readings 2 to 4 use the port when enabled; it is released whatever became of the
    // reading; a port error ends the reading before anything is recorded.
    void portUse_data()
    {
        QTest::addColumn<int>("enabled");
        QTest::addColumn<Control>("button");
        QTest::addColumn<int>("openResult");
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("message");
        const Control hi = Control::btnNoise12;
        const QString released = QStringLiteral("open 6 1 0|lines 0 0|close");
        QTest::newRow("disabled: HI touches no port") << 0 << hi << 0 << 100 << "" << "";
        QTest::newRow("enabled: LO never uses the port") << 1 << Control::btnNoise11 << 0 << 100 << "" << "";
        QTest::newRow("combined LO: RTS") << 1 << Control::btnNoise21 << 0 << 100 << "open 6 0 1|lines 0 0|close" << "";
        QTest::newRow("combined HI: both lines") << 1 << Control::btnNoise22 << 0 << 100 << "open 6 1 1|lines 0 0|close" << "";
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
        QFETCH(Control, button);
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
        click(button, amplitude);
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
