// The five measurement buttons through the real reading machine, recording and analysis, on known
// sample patterns; cancelling at every stage; the window answering while a reading runs; the port
// setup dialog frmComSetup.
#include "acquire/Reading.h"
#include "instrument/Sequence.h"
#include "sheet/NumText.h"
#include "gui/Dialogs.h"
#include "gui/MainWindow.h"
#include "gui/WindowsHost.h"
#include "gui/WorkingWindow.h"
#include "support/AudioFixtures.h"
#include "support/TestPlatform.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kRate = 8000; // template rate (Hz); one-second interval
constexpr int kFail = -1;   // "amplitude" of a reading whose recording fails
constexpr int kNone = -2;   // no zero reading taken
constexpr int kInRecording = 4;

// Records the calls: "open <port> <dtr> <rts>", "lines <dtr> <rts>", "close"; `faultAt` > 0 makes
// the port fail at that call of fault(); breakDown() makes it fail on its own, as a device unplugged.
class RecordingSerial : public ISerialLines
{
public:
    int openResult = 0, faultAt = 0, faults = 0;
    QStringList calls;
    bool opened = false, broken = false;
    std::function<void()> onFault;
    void breakDown()
    {
        broken = true;
        if (const std::function<void()> f = onFault) // the reading drops the watch as it ends
            f();
    }
    void watchFault(std::function<void()> f) override { onFault = std::move(f); }
    QString faultDetail() const override { return broken ? QStringLiteral("Input/output error") : QString(); }
    int open(int port, bool dtr, bool rts) override
    {
        calls << QStringLiteral("open %1 %2 %3").arg(port).arg(dtr).arg(rts);
        opened = openResult == 0;
        return openResult;
    }
    bool setLines(bool dtr, bool rts) override
    {
        calls << QStringLiteral("lines %1 %2").arg(int(dtr)).arg(int(rts));
        return true;
    }
    void close() override { calls << QStringLiteral("close"), opened = false, onFault = nullptr; }
    bool isOpen() const override { return opened; }
    int fault() override { return ++faults == faultAt || broken ? 8020 : 0; }
    QString deviceName(int port) const override { return QStringLiteral("/dev/ttyT%1").arg(port); }
    bool deviceExists(int) const override { return false; }
};

// The pattern +a, -a, ... after the 20 Hz DC high-pass: its gain at half the rate is (2 / (2 - k))^2.
double expectedDb(int a)
{
    const double k = 1.0 - std::exp(-2.0 * M_PI * 20.0 / kRate);
    return 10.0 * std::log10(a * a / (32768.0 * 32768.0) * 4.0 / ((2.0 - k) * (2.0 - k)));
}

// One reading and what it leaves: `text` "level" is the expected dB value; `results` "computed",
// "kept" or "cleared".
struct LevelCase {
    int reading; // 0 SC&Z, 1 to 4 the noise readings
    int zero, amplitude;
    bool limits;
    QString text;
    uint colour;
    QString results;
};

// A reading with the port: `faultAt` makes fault() fail at that check (1 after settling, 2 after
// recording, 3 before writing; kInRecording: the port breaks down while a recording that never ends
// runs); `calls` the port's log joined by '|'.
struct PortCase {
    bool enabled;
    Control button;
    int openResult, faultAt, amplitude;
    QString calls, message;
};

const Field kLevelFields[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
const Control kButtons[] = {Control::btnNoise00, Control::btnNoise11, Control::btnNoise12, Control::btnNoise21,
                            Control::btnNoise22};

} // namespace

Q_DECLARE_METATYPE(LevelCase)
Q_DECLARE_METATYPE(PortCase)

class TestSequence : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedAudio m_audio;
    RecordingSerial m_serial;
    std::unique_ptr<TestBench> m_bench;
    Instrument *m_instrument = nullptr;

    Sheet &sheet() { return m_instrument->sheet(); }
    void click(Control button, int amplitude, const std::function<void()> &meanwhile = {})
    {
        m_audio.status = amplitude == kFail ? AudioStatus{5, QStringLiteral("device not ready")} : AudioStatus{};
        m_audio.signal = [amplitude](qint64 i) { return qint16(i % 2 == 0 ? amplitude : -amplitude); };
        m_instrument->click(button);
        if (meanwhile)
            meanwhile();
        QVERIFY(waitIdle(*m_instrument));
    }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files, QDir::Name); }

private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(writeToneWave(m_dir->filePath(QStringLiteral("TQX.wav")), 0, 0, 0, kRate));
        m_audio = ScriptedAudio();
        m_serial = RecordingSerial();
        m_bench = std::make_unique<TestBench>();
        m_instrument = &m_bench->inFolder(m_dir->path(), &m_audio, &m_serial);
        sheet().setText(Field::Interval, QStringLiteral("1"));
    }

    // SC&Z: the old zero, levels and results go; blue, red when clipped. A noise reading: the zero
    // power comes off; not above it: "******" in red, results kept; clipped: red, results cleared.
    void levels_data()
    {
        QTest::addColumn<LevelCase>("c");
        const uint normal = Colour::WindowText, red = Colour::DarkRed, blue = Colour::DarkBlue;
        using C = LevelCase;
        const int z = 0, lo = 1, hi = 2, lo2 = 3, hi2 = 4;
        QTest::newRow("quiet zero in blue") << C{z, kNone, 30, true, "level", blue, "cleared"};
        QTest::newRow("digital silence shows a marker") << C{z, kNone, 0, true, kSilenceText, blue, "cleared"};
        QTest::newRow("clipped zero in red") << C{z, kNone, 20000, true, "level", red, "cleared"};
        QTest::newRow("failed zero leaves the fields empty") << C{z, kNone, kFail, true, "", blue, "cleared"};
        QTest::newRow("LO before any zero is 10 log10(W)") << C{lo, kNone, 100, true, "level", normal, "computed"};
        QTest::newRow("HI subtracts the zero power") << C{hi, 100, 300, true, "level", normal, "computed"};
        QTest::newRow("reading equal to the zero") << C{lo2, 100, 100, true, kNotAboveZeroText, red, "kept"};
        QTest::newRow("clipped HI in red clears the results") << C{hi, kNone, 20000, true, "level", red, "cleared"};
        QTest::newRow("loud reading with limits off") << C{hi2, kNone, 20000, false, "level", normal, "computed"};
        QTest::newRow("after a zero of digital silence") << C{lo, 0, 100, true, "level", normal, "computed"};
    }
    void levels()
    {
        QFETCH(LevelCase, c);
        const auto [reading, zero, amplitude, limits, text, colour, results] = c;
        const Control button = kButtons[reading];
        const Field field = kLevelFields[reading];
        sheet().setChecked(Control::mnuOptionsLimits, limits);
        m_instrument->session().ZeroMeas.Ms = button == Control::btnNoise00 ? 0.5 : 0.0; // forgotten by SC&Z
        if (zero != kNone)
            click(Control::btnNoise00, zero);
        const auto old = [](Field f) { return f == Field::Noise11 || f == Field::Noise21 ? "-150.000" : "10.000"; };
        for (Field f : kLevelFields)
            if (f != Field::Noise00)
                sheet().setText(f, QLatin1String(old(f)));
        for (Field r : {Field::Y2dB, Field::Y12dB})
            sheet().setText(r, QStringLiteral("sentinel"));
        sheet().setColour(field, Colour::DarkRed);

        click(button, amplitude);

        QCOMPARE(sheet().colour(field), colour);
        if (text == QLatin1String("level")) {
            const double z = zero > 0 ? std::pow(10.0, expectedDb(zero) / 10) : 0.0;
            const double db = 10.0 * std::log10(std::pow(10.0, expectedDb(amplitude) / 10) - z);
            const QString t = sheet().text(field); // three decimals
            QVERIFY2(QRegularExpression(QStringLiteral("^-?[0-9]+\\.[0-9]{3}$")).match(t).hasMatch()
                         && std::abs(ParseNumber(t) - db) < 0.0015,
                     qPrintable(t + QStringLiteral(" instead of %1").arg(db, 0, 'f', 4)));
        } else {
            QCOMPARE(sheet().text(field), text);
        }
        for (Field f : kLevelFields) // SC&Z empties the noise levels, whatever became of it
            QCOMPARE(sheet().text(f) == QLatin1String(old(f)), button != Control::btnNoise00 && f != field && f != Field::Noise00);
        for (Field r : {Field::Y2dB, Field::Y12dB}) {
            const QString t = sheet().text(r);
            if (results == QLatin1String("kept"))
                QCOMPARE(t, QStringLiteral("sentinel"));
            else
                QVERIFY2(results == QLatin1String("cleared") ? t.isEmpty() : IsNumber(t), qPrintable(t));
        }
        QCOMPARE(m_bench->messages.shown.isEmpty(), amplitude != kFail);
        QCOMPARE(m_audio.beeps.size(), (zero != kNone) + (amplitude != kFail));
        QCOMPARE(files().size(), amplitude == kFail ? 1 : 3); // the template, and the reading's two files
    }

    // Readings 2 to 4 switch the port when enabled; it is released whatever became of the reading; a
    // port error, at the open or later, ends the reading with the port's message and writes no level.
    // Units turn to dB only with a written level; levels typed in Watt go then, as a Units change.
    void portAndUnits_data()
    {
        QTest::addColumn<PortCase>("c");
        using C = PortCase;
        const Control lo = Control::btnNoise11, hi = Control::btnNoise12, hi2 = Control::btnNoise22;
        const QString failed = QStringLiteral("Error: recording wave file: device not ready(5).");
        const QString released = QStringLiteral("open 6 1 0|lines 0 0|close");
        QTest::newRow("disabled: HI touches no port") << C{0, hi, 0, 0, 100, "", ""};
        QTest::newRow("enabled: LO never uses the port") << C{1, lo, 0, 0, 100, "", ""};
        QTest::newRow("combined HI: both lines") << C{1, hi2, 0, 0, 100, "open 6 1 1|lines 0 0|close", ""};
        QTest::newRow("released after a reading not above zero") << C{1, hi, 0, 0, 0, released, ""};
        QTest::newRow("released after a failed recording") << C{1, hi, 0, 0, kFail, released, failed};
        QTest::newRow("missing port") << C{1, hi, 8002, 0, 100, "open 6 1 0", "Error: Invalid port number"};
        QTest::newRow("port held elsewhere") << C{1, hi, 8005, 0, 100, "open 6 1 0", "Error: Port In Use"};
        const QString portFailed =
            QStringLiteral("Error: Port ERROR\n\nComm Port 6 (/dev/ttyT6) failed during the reading");
        for (int at : {1, 2, 3})
            QTest::addRow("port fails, check %d", at) << C{1, hi, 0, at, 100, released, portFailed + "."};
        QTest::newRow("port unplugged during an endless recording")
            << C{1, hi, 0, kInRecording, 100, released, portFailed + ": Input/output error."};
    }
    void portAndUnits()
    {
        QFETCH(PortCase, c);
        const auto [enabled, button, openResult, faultAt, amplitude, calls, message] = c;
        m_instrument->session().ComEnabled = enabled;
        m_instrument->session().ComPort = 6;
        m_serial.openResult = openResult;
        m_serial.faultAt = faultAt;
        for (Field f : kLevelFields)
            sheet().setText(f, QStringLiteral("0.042"));
        sheet().setUnitsIndex(1); // Watt
        m_audio.hold = faultAt == kInRecording; // only the port's breakdown can end this reading
        click(button, amplitude, [&] {
            if (m_audio.hold && QTest::qWaitFor([this] { return m_audio.live > 0; }))
                m_serial.breakDown();
        });
        QCOMPARE(m_serial.calls.join(u'|'), calls);
        QVERIFY(!m_serial.isOpen());
        QCOMPARE(m_audio.live, 0); // no recording left running
        QCOMPARE(m_bench->messages.lines().join(u'|'), message.isEmpty() ? "" : "TQX|" + message + "|Critical");
        const bool written = message.isEmpty();
        QCOMPARE(m_audio.requests.size(), openResult || faultAt == 1 ? 0 : 1);
        QCOMPARE(sheet().unitsIndex(), written ? 0 : 1);
        for (Field f : kLevelFields) // written: its own level, the others gone
            QCOMPARE(sheet().text(f) == QLatin1String("0.042"), !written);
        QCOMPARE(sheet().text(Field::Noise00).isEmpty(), written);
    }

    // OK in the port setup takes a whole number 1..99 (blanks, leading zeros); else it is refused,
    // the dialog stays and nothing changes.
    void portSetupChecksThePortText_data()
    {
        QTest::addColumn<QString>("portText");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("chosen item") << "12" << 12;
        QTest::newRow("typed with blanks and a zero") << " 07 " << 7;
        QTest::newRow("above 99") << "100" << 0;
        QTest::newRow("huge") << "99999999999999999999" << 0;
    }
    void portSetupChecksThePortText()
    {
        QFETCH(QString, portText);
        QFETCH(int, port);
        m_instrument->session().ComPort = 4; // the port stays disabled until an accepted OK
        std::unique_ptr<QDialog> dlg(createComSetupDialog(*m_instrument, nullptr));
        dlg->show();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        dlg->findChild<QCheckBox *>(QStringLiteral("ComEn"))->setChecked(true);
        auto *combo = dlg->findChild<QComboBox *>(QStringLiteral("port"));
        combo->setEditText(portText);
        dlg->findChild<QPushButton *>(QStringLiteral("OKButton"))->click();
        QCOMPARE(dlg->result() == QDialog::Accepted, port != 0);
        QCOMPARE(QPair(m_instrument->session().ComPort, m_instrument->session().ComEnabled), port ? QPair(port, 1) : QPair(4, 0));
        QCOMPARE(m_bench->messages.shown.size(), port ? 0 : 1);
        QVERIFY(port || (dlg->isVisible() && combo->currentText() == portText));
    }

    // A cancel at any stage: no level, no result, no message, the lines released, no partial file,
    // the previous reading's files untouched, no device held.
    void cancelAtEachStage_data()
    {
        QTest::addColumn<Control>("button");
        QTest::addColumn<int>("stage"); // Reading::Stage to cancel in; -1: a playback
        for (Control c : {Control::btnNoise00, Control::btnNoise22})
            for (Reading::Stage st : {Reading::Stage::Settling, Reading::Stage::Recording, Reading::Stage::Analysing})
                QTest::addRow("%s, %s", controlName(c), QMetaEnum::fromType<Reading::Stage>().valueToKey(int(st)))
                    << c << int(st);
        QTest::newRow("playback") << Control::mnuPlayWave << -1;
    }
    void cancelAtEachStage()
    {
        QFETCH(Control, button);
        QFETCH(int, stage);
        m_instrument->session().ComEnabled = 1;
        m_instrument->session().ComPort = 6;
        m_instrument->session().ObsTime = QStringLiteral("20240102030405");
        for (Field f : kLevelFields)
            sheet().setText(f, QStringLiteral("-7.000"));
        sheet().setText(Field::Y2dB, QStringLiteral("sentinel"));
        sheet().setUnitsIndex(2);
        for (const char *ext : {".wav", ".tmp"})
            QVERIFY(writeToneWave(m_instrument->session().TempWave + QLatin1String(ext), 0.1, 100, 0.01, kRate));
        const QStringList before = files();
        m_audio.hold = stage == int(Reading::Stage::Recording) || stage == -1;
        m_instrument->click(button);
        QVERIFY(m_instrument->busy());
        if (auto *r = qobject_cast<Reading *>(m_instrument->operation())) {
            connect(r, &Reading::stageChanged, r, [this, stage](Reading::Stage st) {
                if (int(st) == stage)
                    m_instrument->cancel();
            });
            if (int(r->stage()) == stage)
                m_instrument->cancel();
        } else {
            QTimer::singleShot(100, [this] { m_instrument->cancel(); });
        }
        QVERIFY(waitIdle(*m_instrument));
        for (Field f : kLevelFields)
            QCOMPARE(sheet().text(f), QStringLiteral("-7.000"));
        QCOMPARE(sheet().text(Field::Y2dB), QStringLiteral("sentinel"));
        QCOMPARE(sheet().unitsIndex(), 2);
        QCOMPARE(m_instrument->session().ObsTime, QStringLiteral("20240102030405"));
        QVERIFY(m_bench->messages.shown.isEmpty() && m_audio.beeps.isEmpty());
        QCOMPARE(m_serial.calls.join(u'|'), button == Control::btnNoise22 ? "open 6 1 1|lines 0 0|close" : "");
        QCOMPARE(files(), before);
        QCOMPARE(m_audio.live, 0);
        QCOMPARE(m_bench->windows.workingLog.last(), false);
    }

    // Through the real window: a timer fires and a click on Cancel (or Esc, or closing the main
    // window) is delivered while a 100 s reading records; the reading is gone within 0.2 s.
    void windowAnswersDuringReading_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "click";
        QTest::newRow("Esc in the working window") << "esc";
        QTest::newRow("closing the main window") << "close";
    }
    void windowAnswersDuringReading()
    {
        QFETCH(QString, how);
        sheet().setText(Field::Interval, QStringLiteral("100"));
        m_audio.hold = true;
        MainWindow w(*m_instrument);
        RecordingMessages boxes;
        WindowsHost host(*m_instrument, &w, boxes);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.button(Control::btnNoise11), Qt::LeftButton);
        QTRY_COMPARE(m_audio.requests.value(0).second, qint64(kRate * 101.1));
        auto *working = w.findChild<WorkingWindow *>(QStringLiteral("frmWorking"));
        QVERIFY(working && working->isVisible());
        // No modal window: the desktop's close request reaches the main window, whose controls are off.
        QVERIFY(!QGuiApplication::modalWindow());
        QVERIFY(!w.menuBar()->isEnabled() && !w.centralWidget()->isEnabled());
        bool fired = false;
        QTimer::singleShot(50, working, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
        QElapsedTimer t;
        t.start();
        if (how == QLatin1String("click"))
            QTest::mouseClick(working->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
        else if (how == QLatin1String("esc"))
            QTest::keyClick(working, Qt::Key_Escape);
        else
            w.close();
        QVERIFY(waitIdle(*m_instrument, 200));
        QVERIFY(t.elapsed() < 200);
        QVERIFY(!working->isVisible());
        QVERIFY(w.menuBar()->isEnabled() && w.centralWidget()->isEnabled());
        QCOMPARE(sheet().text(Field::Noise11), QString());
        QVERIFY(m_bench->messages.shown.isEmpty());
        QCOMPARE(m_audio.live, 0);
    }
};

QTEST_MAIN(TestSequence)
#include "tst_sequence.moc"
