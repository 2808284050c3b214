// Numeric text helpers in a decimal-point (C) and a decimal-comma (German)
// locale.
#include "sheet/NumText.h"

#include <QLocale>
#include <QtTest>

class TstNumText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void isNumber_data();
    void isNumber();
    void formatFixed_data();
    void formatFixed();
    void numToText_data();
    void numToText();
    void formatSig_data();
    void formatSig();
    void formatSigNeverOverflows();
    void intPart_data();
    void intPart();
    void attenuatorTemp_data();
    void attenuatorTemp();
    void versionCompare_data();
    void versionCompare();
};

void TstNumText::isNumber_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "C" << "" << false << 0.0;
    QTest::newRow("blanks around") << "C" << " 12 " << true << 12.0;
    QTest::newRow("exponent") << "C" << "1e3" << true << 1000.0;
    QTest::newRow("capital exponent") << "C" << "2.5E-3" << true << 0.0025;
    QTest::newRow("trailing letters") << "C" << "12abc" << false << 0.0;
    QTest::newRow("word") << "C" << "abc" << false << 0.0;
    QTest::newRow("negative") << "C" << "-0.5" << true << -0.5;
    QTest::newRow("lone sign") << "C" << "-" << false << 0.0;
    QTest::newRow("lone separator") << "C" << "." << false << 0.0;
    QTest::newRow("inf is not a number") << "C" << "inf" << false << 0.0;
    QTest::newRow("nan is not a number") << "C" << "nan" << false << 0.0;
    QTest::newRow("overflow") << "C" << "1e999" << false << 0.0;
    QTest::newRow("comma in German") << "de" << "0,15" << true << 0.15;
    QTest::newRow("grouping in German") << "de" << "1.234,5" << true << 1234.5;
    QTest::newRow("point alone in German") << "de" << "0.15" << false << 0.0;
}

void TstNumText::isNumber()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);
    QLocale::setDefault(locale == "de" ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
    QCOMPARE(IsNumber(text), numeric);
    QCOMPARE(ParseNumber(text), value);
}

void TstNumText::formatFixed_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::newRow("interval default") << "C" << 0.15 << "0.000" << "0.150";
    QTest::newRow("whole to three decimals") << "C" << 2.0 << "0.000" << "2.000";
    QTest::newRow("one decimal") << "C" << 290.0 << "0.0" << "290.0";
    QTest::newRow("no decimals rounds") << "C" << 1234.5678 << "0" << "1235";
    QTest::newRow("negative keeps sign") << "C" << -0.5 << "0.00" << "-0.50";
    QTest::newRow("tiny rounds to zero") << "C" << 0.0004 << "0.000" << "0.000";
    QTest::newRow("negative tiny has no sign") << "C" << -0.0004 << "0.000" << "0.000";
    QTest::newRow("half away from zero") << "C" << 2.5 << "0" << "3";
    QTest::newRow("negative half away from zero") << "C" << -2.5 << "0" << "-3";
    QTest::newRow("exact binary half") << "C" << 0.125 << "0.00" << "0.13";
    QTest::newRow("1.005 is below the half in binary") << "C" << 1.005 << "0.00" << "1.00";
    QTest::newRow("whole with point pattern") << "C" << 95.0 << "0." << "95.";
    QTest::newRow("twenty decimals") << "C" << 0.1 << "0.00000000000000000000" << "0.10000000000000000555";
    QTest::newRow("German comma") << "de" << 0.15 << "0.000" << "0,150";
    QTest::newRow("German no grouping") << "de" << 29290.0 << "0.0" << "29290,0";
    QTest::newRow("non-finite is empty") << "C" << qInf() << "0.00" << "";
}

void TstNumText::formatFixed()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QLocale::setDefault(locale == "de" ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
    QCOMPARE(FormatFixed(value, pattern), text);
    if (qIsFinite(value))
        QCOMPARE(ParseNumber(FormatFixed(value, pattern)), ParseNumber(text)); // reads back in the same locale
}

void TstNumText::numToText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << "C" << 5.0 << "5";
    QTest::newRow("negative whole") << "C" << -7.0 << "-7";
    QTest::newRow("fraction") << "C" << 0.15 << "0.15";
    QTest::newRow("fifteen digits") << "C" << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("German fraction") << "de" << 0.15 << "0,15";
}

void TstNumText::numToText()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(QString, text);
    QLocale::setDefault(locale == "de" ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
    QCOMPARE(NumToText(value), text);
}

void TstNumText::formatSig_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("text");
    QTest::newRow("n 0") << "C" << 1.0 << 0 << "err";
    QTest::newRow("n 22") << "C" << 1.0 << 22 << "err";
    QTest::newRow("zero") << "C" << 0.0 << 3 << "0";
    QTest::newRow("290") << "C" << 290.0 << 3 << "290";
    QTest::newRow("35.1234") << "C" << 35.1234 << 3 << "35.1";
    QTest::newRow("29000 scientific") << "C" << 29000.0 << 3 << "2.90e+4";
    QTest::newRow("123456") << "C" << 123456.0 << 3 << "1.23e+5";
    QTest::newRow("small fixed") << "C" << 0.00001234 << 3 << "0.0000123";
    QTest::newRow("small scientific") << "C" << 0.000001234 << 3 << "1.23e-6";
    QTest::newRow("0.000000123456") << "C" << 0.000000123456 << 3 << "1.23e-7";
    QTest::newRow("negative scientific") << "C" << -45678.0 << 3 << "-4.57e+4";
    QTest::newRow("123.456") << "C" << 123.456 << 3 << "123";
    QTest::newRow("0.0123456") << "C" << 0.0123456 << 3 << "0.0123";
    QTest::newRow("999.7 fixed carries") << "C" << 999.7 << 3 << "1000";
    QTest::newRow("678 (Te example)") << "C" << 677.78 << 3 << "678";
    QTest::newRow("1350.43") << "C" << 1350.43 << 3 << "1.35e+3";
    QTest::newRow("one digit") << "C" << 5.0 << 1 << "5";
    QTest::newRow("one digit scientific") << "C" << 50000.0 << 1 << "5.e+4";
    // The logarithm of an exact power of ten can come out one too low.
    QTest::newRow("1e6 not a factor ten off") << "C" << 1e6 << 3 << "1.00e+6";
    QTest::newRow("1e3") << "C" << 1000.0 << 3 << "1.00e+3";
    QTest::newRow("rounding carries in scientific") << "C" << 99999.7 << 3 << "1.00e+5";
    QTest::newRow("carry to 1e6") << "C" << 999999.0 << 3 << "1.00e+6";
    QTest::newRow("German fixed uses comma") << "de" << 35.1234 << 3 << "35,1";
    QTest::newRow("German scientific keeps point") << "de" << 29000.0 << 3 << "2.90e+4";
}

void TstNumText::formatSig()
{
    QFETCH(QString, locale);
    QFETCH(double, x);
    QFETCH(int, n);
    QFETCH(QString, text);
    QLocale::setDefault(locale == "de" ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c());
    QCOMPARE(FormatSig(x, n), text);
}

void TstNumText::formatSigNeverOverflows()
{
    // Every digit count on awkward magnitudes: the result must carry n
    // significant digits and read back close to x.
    const double xs[] = {1e6, 9.99999e9, 123456789.123, 1e-9, 0.5, 7.0, 1e300, 2e-300};
    for (int n = 1; n <= 21; ++n) {
        for (double x : xs) {
            const QString s = FormatSig(x, n);
            QVERIFY2(!s.isEmpty() && s != "err", qPrintable(s));
            bool ok = false;
            const double back = QString(s).toDouble(&ok);
            QVERIFY2(ok, qPrintable(s));
            QVERIFY2(std::fabs(back - x) <= std::fabs(x) * 1.01 * std::pow(10.0, 1 - n), qPrintable(s + " for n=" + QString::number(n)));
        }
    }
}

void TstNumText::intPart_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("whole");
    QTest::newRow("positive") << 2.7 << 2;
    QTest::newRow("negative rounds down") << -2.3 << -3;
    QTest::newRow("whole") << 4.0 << 4;
    QTest::newRow("clamped high") << 1e12 << std::numeric_limits<int>::max();
    QTest::newRow("clamped low") << -1e12 << std::numeric_limits<int>::min();
}

void TstNumText::intPart()
{
    QFETCH(double, value);
    QFETCH(int, whole);
    QCOMPARE(IntPart(value), whole);
}

void TstNumText::attenuatorTemp_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("tPhys");
    QTest::addColumn<double>("lossDb");
    QTest::addColumn<double>("expected");
    QTest::newRow("at reference stays") << 290.0 << 290.0 << 10.0 << 290.0;
    QTest::newRow("3 dB halves the excess") << 1000.0 << 290.0 << 3.0103 << 645.0;
    QTest::newRow("0 dB passes") << 1234.0 << 77.0 << 0.0 << 1234.0;
    QTest::newRow("large loss approaches Tphys") << 10000.0 << 77.0 << 100.0 << 77.0;
    QTest::newRow("cold attenuator") << 290.0 << 77.0 << 10.0 << 290.0 / 10 + 77.0 * 0.9;
}

void TstNumText::attenuatorTemp()
{
    QFETCH(double, t);
    QFETCH(double, tPhys);
    QFETCH(double, lossDb);
    QFETCH(double, expected);
    QVERIFY(std::fabs(AttenuatorTemp(t, tPhys, lossDb) - expected) < 0.01);
}

void TstNumText::versionCompare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("result");
    QTest::newRow("10 vs 6.0") << "10" << "6.0" << 2 << 1;
    QTest::newRow("equal") << "6.0" << "6.0" << 2 << 0;
    QTest::newRow("older") << "5.1" << "6.0" << 2 << -1;
    QTest::newRow("third field ignored") << "6.1.9" << "6.1.2" << 2 << 0;
    QTest::newRow("missing field is 0") << "6" << "6.0" << 2 << 0;
    QTest::newRow("newer revision") << "1.4.13" << "1.4.12" << 3 << 1;
    QTest::newRow("update newer") << "9.0.0" << "1.0.0" << 3 << 1;
    QTest::newRow("empty vs 0.0.0") << "" << "0.0.0" << 3 << 0;
    QTest::newRow("installed updater") << "2.1.0" << "0.0.0" << 3 << 1;
}

void TstNumText::versionCompare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, fields);
    QFETCH(int, result);
    QCOMPARE(VersionCompare(a, b, fields), result);
}

QTEST_GUILESS_MAIN(TstNumText)
#include "tst_numtext.moc"
