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
};

QTEST_GUILESS_MAIN(TstResults)
#include "tst_results.moc"
