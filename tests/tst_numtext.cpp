// Numeric text helpers in a decimal-point (C) and a decimal-comma (German)
// locale: one table of texts in, texts out.
#include "sheet/NumText.h"

#include <QLocale>
#include <QtTest>

namespace {
QString num(const QString &t)
{
    return QString::number(IsNumber(t)) + ' ' + QString::number(ParseNumber(t), 'g', QLocale::FloatingPointShortest);
}
void german(bool on) { QLocale::setDefault(on ? QLocale(QLocale::German, QLocale::Germany) : QLocale::c()); }
} // namespace

class TstNumText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void texts_data()
    {
        QTest::addColumn<QString>("got");
        QTest::addColumn<QString>("expected");
        german(false);
        QTest::newRow("number: blanks around") << num(" 12 ") << "1 12";
        QTest::newRow("number: capital exponent") << num("2.5E-3") << "1 0.0025";
        QTest::newRow("number: trailing letters") << num("12abc") << "0 0";
        QTest::newRow("number: inf") << num("inf") << "0 0";
        QTest::newRow("number: overflow") << num("1e999") << "0 0";
        QTest::newRow("fixed: negative keeps sign") << FormatFixed(-0.5, "0.00") << "-0.50";
        QTest::newRow("fixed: negative tiny has no sign") << FormatFixed(-0.0004, "0.000") << "0.000";
        QTest::newRow("fixed: half away from zero") << FormatFixed(-2.5, "0") << "-3";
        QTest::newRow("fixed: 1.005 is below the half in binary") << FormatFixed(1.005, "0.00") << "1.00";
        QTest::newRow("fixed: twenty decimals") << FormatFixed(0.1, "0.00000000000000000000") << "0.10000000000000000555";
        QTest::newRow("fixed: non-finite is empty") << FormatFixed(qInf(), "0.00") << "";
        QTest::newRow("num: fifteen digits") << NumToText(1.0 / 3) << "0.333333333333333";
        QTest::newRow("sig: n 0") << FormatSig(1, 0) << "err";
        QTest::newRow("sig: 35.1234") << FormatSig(35.1234, 3) << "35.1";
        QTest::newRow("sig: small scientific") << FormatSig(0.000001234, 3) << "1.23e-6";
        QTest::newRow("sig: negative scientific") << FormatSig(-45678, 3) << "-4.57e+4";
        QTest::newRow("sig: 999.7 fixed carries") << FormatSig(999.7, 3) << "1000";
        QTest::newRow("sig: 1350.43") << FormatSig(1350.43, 3) << "1.35e+3";
        QTest::newRow("sig: one digit scientific") << FormatSig(50000, 1) << "5.e+4";
        QTest::newRow("sig: tie in extended precision") << FormatSig(3.5e-8, 1) << "4.e-8";
        QTest::newRow("sig: exact tie keeps the lower digit") << FormatSig(25000, 1) << "2.e+4";
        QTest::newRow("sig: 1e6 not a factor ten off") << FormatSig(1e6, 3) << "1.00e+6";
        QTest::newRow("sig: carry in scientific") << FormatSig(99999.7, 3) << "1.00e+5";
        QTest::newRow("int: negative rounds down") << QString::number(IntPart(-2.3)) << "-3";
        QTest::newRow("int: clamped high") << QString::number(IntPart(1e12)) << "2147483647";
        QTest::newRow("version: 10 vs 6.0") << QString::number(VersionCompare("10", "6.0", 2)) << "1";
        QTest::newRow("version: third field ignored") << QString::number(VersionCompare("6.1.9", "6.1.2", 2)) << "0";
        QTest::newRow("version: newer revision") << QString::number(VersionCompare("1.4.13", "1.4.12", 3)) << "1";
        QTest::newRow("version: empty vs 0.0.0") << QString::number(VersionCompare("", "0.0.0", 3)) << "0";
        german(true);
        QTest::newRow("German number: comma") << num("0,15") << "1 0.15";
        QTest::newRow("German number: grouping") << num("1.234,5") << "1 1234.5";
        QTest::newRow("German number: point alone") << num("0.15") << "0 0";
        QTest::newRow("German fixed: comma, no grouping") << FormatFixed(29290.0, "0.0") << "29290,0";
        QTest::newRow("German sig: fixed uses comma") << FormatSig(35.1234, 3) << "35,1";
        QTest::newRow("German sig: scientific keeps point") << FormatSig(29000, 3) << "2.90e+4";
        german(false);
    }
    void texts()
    {
        QFETCH(QString, got);
        QFETCH(QString, expected);
        QCOMPARE(got, expected);
    }

    // Every digit count on awkward magnitudes: n significant digits that read back close to x.
    void formatSigNeverOverflows()
    {
        for (int n = 1; n <= 21; ++n) {
            for (double x : {1e6, 9.99999e9, 123456789.123, 1e-9, 0.5, 7.0, 1e300, 2e-300}) {
                const QString s = FormatSig(x, n);
                bool ok = false;
                const double back = QString(s).toDouble(&ok);
                QVERIFY2(ok && std::fabs(back - x) <= std::fabs(x) * 1.01 * std::pow(10.0, 1 - n), qPrintable(s));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TstNumText)
#include "tst_numtext.moc"
