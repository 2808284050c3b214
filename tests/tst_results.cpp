// Y-factor results on the sheet: the worked example in every unit and locale,
// the empty and failed cases, the resets (the physics is tested in tst_physics).
#include "instrument/Instrument.h"
#include "calc/Results.h"

#include <QtTest>
#include <cmath>

namespace {
const Field kResults[] = {Field::Y2dB, Field::Teq1, Field::NF1, Field::Y12dB, Field::Teq2, Field::NF2, Field::Gain, Field::Teq, Field::NF};
const Field kLevels[] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
const Control kOutlets[] = {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv, Control::btnSaveTsv};
QString full(double v) { return QString::number(v, 'g', 17); }
enum Action { Calculate, Reset, DoubleClickNoise00, ToggleLimits };
} // namespace

class TstResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void calculate_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("units");          // 3: a Units text the sheet does not know
        QTest::addColumn<QStringList>("levels"); // Noise11, Noise12, Noise21, Noise22, then Thot (default 9000)
        QTest::addColumn<QStringList>("expected"); // results, then Teq1, Teq2, Teq colours (Blue/Red), outlets
        const QStringList dB = {"10", "20", "30", "38"};
        const QStringList all = {"10.000", "678", "5.23", "8.000", "1.35e+3", "7.53", "17.7", "1.34e+3", "7.50", "BBB1111"};
        const QStringList none = {"", "", "", "", "", "", "", "", "", "RRR0000"};
        QTest::newRow("dB") << 0 << 0 << dB << all;
        QTest::newRow("Watt") << 0 << 1 << QStringList{"1", "10", "100", full(std::pow(10, 2.8))} << all;
        QTest::newRow("Volt") << 0 << 2 << QStringList{"1", full(std::sqrt(10)), "10", full(std::pow(10, 1.4))} << all;
        // Decimal comma; the scientific "1.35e+3" keeps its '.' and still counts as positive.
        QTest::newRow("dB, German") << 0 << 0 << QStringList{"10,000", "20,000", "30,000", "38,000"}
                                    << QStringList{"10,000", "678", "5,23", "8,000", "1.35e+3", "7,53", "17,7", "1.34e+3", "7,50", "BBB1111"};
        QTest::newRow("calibration pair empty") << 0 << 0 << QStringList{"", "", "30", "38"}
                                                << QStringList{"", "", "", "8.000", "1.35e+3", "7.53", "", "", "", "RBR0000"};
        QTest::newRow("equal pair") << 0 << 0 << QStringList{"10", "10", "", ""} << none;
        QTest::newRow("unknown units") << 0 << 3 << dB << none;
        // 10^(1e-18) is exactly 1, so Te = x / 0: stop before writing.
        QTest::newRow("calibration Y of 1") << 0 << 0 << QStringList{"-1e-17", "0", "30", "38"} << none;
        QTest::newRow("combined Y of 1") << 0 << 0 << QStringList{"10", "20", "-1e-17", "0"}
                                         << QStringList{"10.000", "678", "5.23", "", "", "", "", "", "", "BRR1111"};
        QTest::newRow("negative Te2") << 0 << 0 << QStringList{"10", "20", "30", "32", "1000"}
                                      << QStringList{"10.000", "-211", "", "2.000", "924", "6.22", "", "", "", "RBR1111"};
        QTest::newRow("btnReset") << int(Reset) << 0 << dB << none;
        QTest::newRow("double click on Noise00") << int(DoubleClickNoise00) << 0 << dB << none;
        QTest::newRow("limits toggle") << int(ToggleLimits) << 0 << dB << none;
    }
    void calculate()
    {
        QFETCH(int, action);
        QFETCH(int, units);
        QFETCH(QStringList, levels);
        QFETCH(QStringList, expected);
        if (QString(QTest::currentDataTag()).contains("German"))
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Instrument m{Services{}};
        m.Form_Load(); // 290 K everywhere, 0 dB attenuators
        Sheet &s = m.sheet();
        for (int i = 0; i < 4; ++i)
            s.setText(kLevels[i], QStringList{"10", "20", "30", "38"}[i]);
        ResultsCalc(m.sheet()); // stale results must disappear
        s.setText(Field::Thot, levels.value(4, "9000"));
        s.setUnitsIndex(units);
        for (int i = 0; i < 4; ++i)
            s.setText(kLevels[i], levels[i]);
        s.setText(Field::Noise00, "-90.000");
        m.session().ZeroMeas.Ms = 1e-9;
        ResultsCalc(m.sheet());
        const bool limits = m.session().LimitsEnabled;
        if (action == DoubleClickNoise00)
            m.doubleClick(Field::Noise00);
        else if (action != Calculate)
            m.click(action == Reset ? Control::btnReset : Control::mnuOptionsLimits);
        QStringList state;
        for (Field f : kResults)
            state << s.text(f);
        QString flags;
        for (Field f : {Field::Teq1, Field::Teq2, Field::Teq})
            flags += s.colour(f) == Colour::DarkBlue ? 'B' : s.colour(f) == Colour::DarkRed ? 'R' : '?';
        for (Control o : kOutlets)
            flags += s.enabled(o) ? '1' : '0';
        QCOMPARE(state << flags, expected);
        QCOMPARE(m.session().LimitsEnabled, action == ToggleLimits ? !limits : limits);
        QCOMPARE(s.checked(Control::mnuOptionsLimits), m.session().LimitsEnabled);
        if (action != Calculate) { // every level is discarded, the zero reading too
            QCOMPARE(s.text(Field::Noise00) + s.text(Field::Noise11) + s.text(Field::Noise22), QString());
            QCOMPARE(m.session().ZeroMeas.Ms, 0.0);
        }
    }

    // A converter's DUT results against the amplifier reading of the same
    // levels (dB row above: NF 7.50 dB, gain 17.7 dB), and the IF line.
    void converter_data()
    {
        using physics::DeviceMode, physics::Sideband;
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("sideband");
        QTest::addColumn<double>("irDb");
        QTest::addColumn<QString>("rf");
        QTest::addColumn<double>("nfStep");   // NF(1) minus the amplifier's, dB; NaN: no DUT result
        QTest::addColumn<double>("gainStep"); // Gain(1) minus the amplifier's, dB
        QTest::addColumn<QString>("ifLine");
        const double none = std::nan("");
        QTest::newRow("amplifier") << int(DeviceMode::Amplifier) << int(Sideband::Dsb) << 0.0 << "11000" << 0.0 << 0.0 << "";
        QTest::newRow("LNB DSB: +3.01 dB, gain -3.01 dB") << int(DeviceMode::DownConverter) << int(Sideband::Dsb)
                                                          << 30.0 << "11000" << 3.0103 << -3.0103 << "IF 1250.000 MHz";
        QTest::newRow("LNB USB, IR 0 dB as DSB") << int(DeviceMode::DownConverter) << int(Sideband::Usb) << 0.0
                                                 << "11000" << 3.0103 << -3.0103 << "IF 1250.000 MHz";
        QTest::newRow("LNB USB, IR 999 dB as amplifier") << int(DeviceMode::DownConverter) << int(Sideband::Usb)
                                                         << 999.0 << "11000" << 0.0 << 0.0 << "IF 1250.000 MHz";
        QTest::newRow("LNB LSB with the RF above the LO: refused")
            << int(DeviceMode::DownConverter) << int(Sideband::Lsb) << 999.0 << "11000" << none << none
            << "No IF: this sideband puts it at or below 0 MHz";
        QTest::newRow("up-converter DSB: refused") << int(DeviceMode::UpConverter) << int(Sideband::Dsb) << 0.0
                                                   << "144" << none << none
                                                   << "An up-converter has no DSB plan: choose LSB or USB";
    }
    void converter()
    {
        QFETCH(int, mode);
        QFETCH(int, sideband);
        QFETCH(double, irDb);
        QFETCH(QString, rf);
        QFETCH(double, nfStep);
        QFETCH(double, gainStep);
        QFETCH(QString, ifLine);
        Instrument m{Services{}};
        m.Form_Load();
        Sheet &s = m.sheet();
        s.setText(Field::Thot, "9000");
        s.setText(Field::Frequency, rf);
        for (int i = 0; i < 4; ++i)
            s.setText(kLevels[i], QStringList{"10", "20", "30", "38"}[i]);
        ResultsCalc(s);
        QStringList amplifier;
        for (Field f : kResults)
            amplifier << s.text(f);
        s.device = {static_cast<physics::DeviceMode>(mode), 9750, static_cast<physics::Sideband>(sideband), irDb};
        ResultsCalc(s);
        QCOMPARE(ifText(s), ifLine);
        for (int i = 0; i < 6; ++i) // the calibration and the combined path stay as they are
            QCOMPARE(s.text(kResults[i]), amplifier[i]);
        if (std::isnan(nfStep)) {
            QCOMPARE(s.text(Field::Gain) + s.text(Field::Teq) + s.text(Field::NF), QString());
            return;
        }
        // Each shown value is rounded to its last digit: 0.005 dB (NF), 0.05 dB (gain).
        QVERIFY(std::fabs(s.text(Field::NF).toDouble() - amplifier[8].toDouble() - nfStep) <= 0.0101);
        QVERIFY(std::fabs(s.text(Field::Gain).toDouble() - amplifier[6].toDouble() - gainStep) <= 0.101);
        if (nfStep == 0)
            QCOMPARE(s.text(Field::Teq) + s.text(Field::NF), amplifier[7] + amplifier[8]);
    }
};

QTEST_GUILESS_MAIN(TstResults)
#include "tst_results.moc"
