// Y-factor results: worked examples in every unit, an independent model of the
// set-up that must be inverted exactly, the empty and failed cases, the resets.
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
// Noise temperature behind an attenuator, written out independently.
double through(double t, double tPhys, double lossDb)
{
    return t / std::pow(10, lossDb / 10) + tPhys * (1 - std::pow(10, -lossDb / 10));
}
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

    // Levels an ideal set-up of known Te2, G1, Te1 gives must be inverted; attenuator 2 (at Tatt2) follows the device.
    void cascadeInversion_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QList<double>>("p"); // Att11, Att12, Att21, Att22 (dB), Tatt1, Tatt2 (K), Te2, G1 (dB), Te1
        QTest::newRow("all attenuators, Tatt2 400 K") << 0 << QList<double>{1, 4, 2, 10, 350, 400, 1200, 25, 75};
        QTest::newRow("Watt, Att22 6 dB at 77 K") << 1 << QList<double>{0, 0, 0, 6, 290, 77, 600, 20, 150};
        QTest::newRow("Volt, Tatt2 320 K") << 2 << QList<double>{0, 3, 0, 5, 290, 320, 900, 15, 420};
    }
    void cascadeInversion()
    {
        QFETCH(int, units);
        QFETCH(QList<double>, p);
        const double tHot = 9000, tCold = 77, k = 1e-6, g1 = std::pow(10, p[7] / 10), te2 = p[6], te1 = p[8];
        auto cal = [&](double ts) { return k * (through(through(ts, p[4], p[0]), p[5], p[1]) + te2); };
        auto comb = [&](double ts) { return k * (through(g1 * (through(ts, p[4], p[2]) + te1), p[5], p[3]) + te2); };
        auto level = [units](double w) { return full(units == 0 ? 10 * std::log10(w) : units == 1 ? w : std::sqrt(w)); };
        setTexts({Field::Thot, Field::Tcold, Field::Att11, Field::Att12, Field::Att21, Field::Att22, Field::Tatt1,
                  Field::Tatt2},
                 {full(tHot), full(tCold), full(p[0]), full(p[1]), full(p[2]), full(p[3]), full(p[4]), full(p[5])});
        setLevels(units, {level(cal(tCold)), level(cal(tHot)), level(comb(tCold)), level(comb(tHot))});
        ResultsCalc(*m_meter);
        const double l22 = std::pow(10, p[3] / 10), te12 = te1 + ((l22 - 1) * p[5] + l22 * te2) / g1;
        QCOMPARE(sheet().text(Field::Teq1), FormatSig(te2, 3));
        QCOMPARE(sheet().text(Field::Teq2), FormatSig(te12, 3));
        QCOMPARE(sheet().text(Field::Gain), FormatFixed(p[7], "0.0"));
        QCOMPARE(sheet().text(Field::Teq), FormatSig(te1, 3));
        QCOMPARE(sheet().text(Field::NF), FormatFixed(10 * std::log10(1 + te1 / 290), "0.00"));
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
