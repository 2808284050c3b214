// Y-factor results on the sheet: worked examples in every unit and locale,
// the empty and failed cases, the resets (the physics is tested in tst_physics).
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "calc/Results.h"

#include <QtTest>
#include <cmath>

namespace {
const Field kResults[] = {Field::Y2dB, Field::Teq1,  Field::NF1, Field::Y12dB, Field::Teq2,
                          Field::NF2,  Field::Gain, Field::Teq, Field::NF};
const Control kOutlets[] = {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv, Control::btnSaveTsv};
QString full(double v) { return QString::number(v, 'g', 17); }
} // namespace

class TstResults : public QObject
{
    Q_OBJECT
    std::unique_ptr<Meter> m_meter;
    Sheet &sheet() { return m_meter->sheet(); }
    void newMeter()
    {
        m_meter = std::make_unique<Meter>(Platform{});
        m_meter->Form_Load(); // 290 K everywhere, 0 dB attenuators
    }
    void setTexts(std::initializer_list<Field> fields, const QStringList &texts)
    {
        int i = 0;
        for (Field f : fields)
            sheet().setText(f, texts.value(i++));
    }
    void setLevels(int units, const QStringList &l)
    {
        sheet().setUnitsIndex(units);
        setTexts({Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22}, l);
    }
    // Results, then colours (B blue / R red) of Teq1, Teq2, Teq and outlets (1/0).
    QStringList state()
    {
        QStringList r;
        for (Field f : kResults)
            r << sheet().text(f);
        QString c;
        for (Field f : {Field::Teq1, Field::Teq2, Field::Teq})
            c += sheet().colour(f) == Colour::DarkBlue ? 'B' : sheet().colour(f) == Colour::DarkRed ? 'R' : '?';
        for (Control o : kOutlets)
            c += sheet().enabled(o) ? '1' : '0';
        return r << c;
    }

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); newMeter(); sheet().setText(Field::Thot, "9000"); }
    void cleanup() { m_meter.reset(); QLocale::setDefault(QLocale::c()); }

    void calculate_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<int>("units");
        QTest::addColumn<QStringList>("levels"); // Noise11, Noise12, Noise21, Noise22
        QTest::addColumn<QStringList>("params"); // Thot, Att22
        QTest::addColumn<QStringList>("expected");
        const QStringList dB = {"10", "20", "30", "38"}, base = {"9000", "0"};
        const QStringList all = {"10.000", "678", "5.23", "8.000", "1.35e+3", "7.53", "17.7", "1.34e+3", "7.50", "BBB1111"};
        const QStringList cal = {"10.000", "678", "5.23", "", "", "", "", "", "", "BRR1111"};
        const QStringList none = {"", "", "", "", "", "", "", "", "", "RRR0000"};
        QTest::newRow("dB") << false << 0 << dB << base << all;
        QTest::newRow("Watt") << false << 1 << QStringList{"1", "10", "100", full(std::pow(10, 2.8))} << base << all;
        QTest::newRow("Volt") << false << 2 << QStringList{"1", full(std::sqrt(10)), "10", full(std::pow(10, 1.4))} << base << all;
        // Decimal comma; the scientific "1.35e+3" keeps its '.' and still counts as positive.
        QTest::newRow("dB, German") << true << 0 << QStringList{"10,000", "20,000", "30,000", "38,000"} << base
            << QStringList{"10,000", "678", "5,23", "8,000", "1.35e+3", "7,53", "17,7", "1.34e+3", "7,50", "BBB1111"};
        QTest::newRow("calibration pair empty") << false << 0 << QStringList{"", "", "30", "38"} << base
            << QStringList{"", "", "", "8.000", "1.35e+3", "7.53", "", "", "", "RBR0000"};
        QTest::newRow("equal pair") << false << 0 << QStringList{"10", "10", "", ""} << base << none;
        QTest::newRow("non-numeric LO") << false << 0 << QStringList{"abc", "20", "", ""} << base << none;
        QTest::newRow("Watt, LO of 0: no logarithm") << false << 1 << QStringList{"0", "10", "100", "600"} << base << none;
        QTest::newRow("unknown units") << false << 3 << dB << base << none;
        // 10^(1e-18) is exactly 1, so Te = x / 0: stop before writing.
        QTest::newRow("calibration Y of 1") << false << 0 << QStringList{"-1e-17", "0", "30", "38"} << base << none;
        QTest::newRow("combined Y of 1") << false << 0 << QStringList{"10", "20", "-1e-17", "0"} << base << cal;
        QTest::newRow("negative Te2") << false << 0 << QStringList{"10", "20", "30", "32"} << QStringList{"1000", "0"}
            << QStringList{"10.000", "-211", "", "2.000", "924", "6.22", "", "", "", "RBR1111"};
    }
    void calculate()
    {
        QFETCH(bool, german);
        QFETCH(int, units);
        QFETCH(QStringList, levels);
        QFETCH(QStringList, params);
        QFETCH(QStringList, expected);
        if (german) {
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            newMeter();
        }
        setLevels(0, {"10", "20", "30", "38"});
        ResultsCalc(*m_meter); // stale results must disappear
        setTexts({Field::Thot, Field::Att22}, params);
        setLevels(units, levels);
        ResultsCalc(*m_meter);
        QCOMPARE(state(), expected);
    }

    void resetActions_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("btnReset") << 0;
        QTest::newRow("double click on Noise00") << 1;
        QTest::newRow("limits toggle") << 2;
    }
    void resetActions()
    {
        QFETCH(int, action);
        setLevels(0, {"10", "20", "30", "38"});
        sheet().setText(Field::Noise00, "-90.000");
        m_meter->ZeroMeas.Ms = 1e-9;
        ResultsCalc(*m_meter);
        const bool limits = m_meter->LimitsEnabled;
        if (action == 1)
            m_meter->doubleClick(Field::Noise00);
        else
            m_meter->click(action == 0 ? Control::btnReset : Control::mnuOptionsLimits);
        for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
            QVERIFY(sheet().text(f).isEmpty());
        QCOMPARE(state(), (QStringList{"", "", "", "", "", "", "", "", "", "RRR0000"}));
        QCOMPARE(m_meter->ZeroMeas.Ms, 0.0);
        QCOMPARE(m_meter->LimitsEnabled, action == 2 ? !limits : limits);
        QCOMPARE(sheet().checked(Control::mnuOptionsLimits), m_meter->LimitsEnabled);
    }
};

QTEST_GUILESS_MAIN(TstResults)
#include "tst_results.moc"
