// Uncertainty calculator: the chi-square routines against published table
// values and closed forms, the skipping sum against the plain one, and the
// dialog's field and Fast rules.
#include "support/TestPlatform.h"

#include "app/Meter.h"
#include "calc/Nmuc.h"
#include "gui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(NmucField)

class TstNmuc : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void critChi_data();
    void critChi();
    void closedForms_data();
    void closedForms();
    void skippingMatchesPlain_data();
    void skippingMatchesPlain();
    void calcNmuc_data();
    void calcNmuc();
    void fieldLeave_data();
    void fieldLeave();
    void dialogWidget();
};

void TstNmuc::critChi_data()
{
    QTest::addColumn<double>("p");
    QTest::addColumn<int>("df");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");
    // Published chi-square percentage points (upper-tail probability p).
    // The bisection stops at a width of 1e-6, which bounds the error.
    QTest::newRow("df 1, lower 2.5 %") << 0.975 << 1 << 0.000982069 << 1e-6;
    QTest::newRow("df 10, lower 2.5 %") << 0.975 << 10 << 3.24697 << 2e-5;
    QTest::newRow("df 100, lower 2.5 %") << 0.975 << 100 << 74.2219 << 2e-4;
    QTest::newRow("df 399, lower 2.5 %") << 0.975 << 399 << 345.55 << 0.005;
    QTest::newRow("df 399, median") << 0.5 << 399 << 398.33 << 0.005;
    QTest::newRow("df 999, lower 2.5 %") << 0.975 << 999 << 913.30 << 0.005;
    QTest::newRow("df 10, upper 2.5 %") << 0.025 << 10 << 20.4832 << 1e-3;
    QTest::newRow("df 2, upper 10 % = 2 ln 10") << 0.1 << 2 << 2.0 * std::log(10.0) << 1e-6;
    QTest::newRow("p 0 gives the ceiling") << 0.0 << 10 << 99999.0 << 0.0;
    QTest::newRow("p above 1 gives 0") << 1.5 << 10 << 0.0 << 0.0;
}

void TstNmuc::critChi()
{
    QFETCH(double, p);
    QFETCH(int, df);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    const double got = CritChi(p, df);
    QVERIFY2(std::fabs(got - expected) <= tolerance, qPrintable(QString::number(got, 'g', 10)));
}

void TstNmuc::closedForms_data()
{
    QTest::addColumn<double>("x");
    for (double x : {0.01, 1.0, 7.5, 39.9, 40.1, 80.0})
        QTest::addRow("x %g", x) << x;
}

// Algorithm 209 against erfc (good to about 1e-9; beyond |z| = 6 it gives
// exactly 0 or 1), and the chi-square tail where it has a closed form.
void TstNmuc::closedForms()
{
    QFETCH(double, x);
    for (double z : {std::sqrt(x), -std::sqrt(x), x / 10.0 - 4.0})
        QVERIFY(std::fabs(poz(z) - 0.5 * std::erfc(-z / std::sqrt(2.0))) < 2e-9);
    QCOMPARE(pochisq(x, 1), 2.0 * poz(-std::sqrt(x)));
    QCOMPARE(pochisq(x, 2), x / 2.0 > 20.0 ? 0.0 : std::exp(-x / 2.0));
    // df 4: e^-a (1 + a), one series term; the cut of ex() drops < 3e-9.
    QVERIFY(std::fabs(pochisq(x, 4) - std::exp(-x / 2.0) * (1.0 + x / 2.0)) <= 1e-8);
    QCOMPARE(pochisq(-x, 5), 1.0); // outside the domain the tail is 1
    QCOMPARE(pochisq(x, 0), 1.0);
}

void TstNmuc::skippingMatchesPlain_data()
{
    QTest::addColumn<double>("dof");
    QTest::addColumn<bool>("fast");
    QTest::newRow("400 dof") << 400.0 << false;
    QTest::newRow("401 dof, odd nu") << 401.0 << false;
    QTest::newRow("10 000 dof") << 10000.0 << false;
    QTest::newRow("100 000 dof") << 100000.0 << false;
    QTest::newRow("fast mode") << 5000.0 << true;
}

// Leaving out the terms that ex() returns as 0 must not move the result by
// anything that could show in the 0.00 dB field.
void TstNmuc::skippingMatchesPlain()
{
    QFETCH(double, dof);
    QFETCH(bool, fast);
    for (double c : {50.0, 95.0, 99.9}) {
        const double skip = nmucUncertainty(dof / 2.0, 1.0, c, fast, Summation::Skipping);
        const double plain = nmucUncertainty(dof / 2.0, 1.0, c, fast, Summation::Plain);
        QVERIFY(skip > 0.0);
        QVERIFY2(std::fabs(skip - plain) < 1e-6, qPrintable(QStringLiteral("%1 vs %2").arg(skip, 0, 'g', 12).arg(plain, 0, 'g', 12)));
    }
    // The tail probability itself, around the critical region.
    const int df = static_cast<int>(dof) - 1;
    for (double x : {0.9 * df, df - 2.0 * std::sqrt(2.0 * df), double(df), 1.1 * df}) {
        const double skip = pochisq(x, df), plain = pochisqPlain(x, df);
        // The plain sum's running log-factorial carries rounding of some
        // 1e-9 in the exponent over 50 000 terms; lgamma does not.
        QVERIFY2(std::fabs(skip - plain) <= 1e-8 * plain + 1e-300,
                 qPrintable(QStringLiteral("x %1: %2 vs %3").arg(x).arg(skip, 0, 'g', 17).arg(plain, 0, 'g', 17)));
    }
}

void TstNmuc::calcNmuc_data()
{
    QTest::addColumn<QStringList>("fields"); // Bandwidth, Interval, Confidence
    QTest::addColumn<bool>("fastBefore");
    QTest::addColumn<QString>("uncertainty");
    QTest::addColumn<bool>("fastAfter");
    QTest::newRow("defaults, exact") << QStringList{"2000", "0.1", "95"} << false << "0.64" << false;
    QTest::newRow("defaults, fast") << QStringList{"2000", "0.1", "95"} << true << "0.62" << true;
    // 2 000 000 dof: fast regardless; 0.394 dB * sqrt(1000 / 2e6).
    QTest::newRow("above 1e6 dof, fast forced") << QStringList{"1000000", "1", "95"} << false << "0.01" << true;
    QTest::newRow("exactly 1e6 dof stays exact") << QStringList{"500000", "1", "95"} << false << "0.01" << false;
    QTest::newRow("100 dof, Fast cleared") << QStringList{"500", "0.1", "95"} << true << "1.35" << false;
    QTest::newRow("empty interval, 0 dof") << QStringList{"2000", "", "95"} << false << "0.00" << false;
    QTest::newRow("1 dof: no critical value") << QStringList{"5", "0.1", "95"} << false << "0.00" << false;
    QTest::newRow("0.5 dof: no critical value") << QStringList{"2.5", "0.1", "95"} << false << "0.00" << false;
    QTest::newRow("2 dof: one degree of freedom") << QStringList{"10", "0.1", "95"} << false << "33.09" << false;
    QTest::newRow("negative bandwidth") << QStringList{"-2000", "0.1", "95"} << false << "0.00" << false;
    QTest::newRow("confidence beyond 100") << QStringList{"2000", "0.1", "150"} << false << "0.00" << false;
}

void TstNmuc::calcNmuc()
{
    QFETCH(QStringList, fields);
    QFETCH(bool, fastBefore);
    QFETCH(QString, uncertainty);
    QFETCH(bool, fastAfter);
    Nmuc n;
    for (int i = 0; i < 3; ++i)
        n.setText(static_cast<NmucField>(i), fields[i]);
    n.clickFast(fastBefore);
    n.CalcNmuc();
    QCOMPARE(n.uncertainty(), uncertainty);
    QCOMPARE(n.fast(), fastAfter);
}

void TstNmuc::fieldLeave_data()
{
    QTest::addColumn<NmucField>("field");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("uncertainty");
    const QString bw = QStringLiteral("Bandwidth must be > 0");
    const QString iv = QStringLiteral("Interval must be > 0 and < 1000");
    const QString cf = QStringLiteral("Confidence must be > 0 and < 100");
    const NmucField B = NmucField::Bandwidth, I = NmucField::Interval, C = NmucField::Confidence;
    QTest::newRow("bandwidth reformatted") << B << "2000" << "2000.000" << QString() << "";
    QTest::newRow("bandwidth 0 refused") << B << "0" << "0.000" << bw << "";
    QTest::newRow("bandwidth text refused, kept") << B << "wide" << "wide" << bw << "";
    QTest::newRow("bandwidth empty runs the calculation") << B << "" << "" << QString() << "0.00";
    QTest::newRow("interval 1000 accepted") << I << "1000" << "1000.000" << QString() << "";
    QTest::newRow("interval 1000.0004 rounds to 1000") << I << "1000.0004" << "1000.000" << QString() << "";
    QTest::newRow("interval 1000.001 refused") << I << "1000.001" << "1000.001" << iv << "";
    QTest::newRow("confidence whole with point") << C << "95" << "95." << QString() << "";
    QTest::newRow("confidence 99.4 rounds to 99.") << C << "99.4" << "99." << QString() << "";
    QTest::newRow("confidence 99.5 rounds to 100., refused") << C << "99.5" << "100." << cf << "";
    QTest::newRow("confidence 150 refused") << C << "150" << "150." << cf << "";
    // An empty confidence counts as 0 %: the median, 10 log10(400 / 398.33).
    QTest::newRow("confidence empty runs the calculation") << C << "" << "" << QString() << "0.02";
}

void TstNmuc::fieldLeave()
{
    QFETCH(NmucField, field);
    QFETCH(QString, entry);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QFETCH(QString, uncertainty);
    TestBench tb;
    Nmuc &n = tb.meter.nmuc();
    n.load();
    n.setText(field, entry);
    QCOMPARE(n.fieldLeave(tb.meter, field), message.isEmpty());
    QCOMPARE(n.text(field), after);
    QCOMPARE(n.uncertainty(), uncertainty);
    QCOMPARE(tb.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const ShownMessage &m : tb.messages.shown)
        QVERIFY(m.caption == QStringLiteral("Value error:") && m.icon == MsgIcon::None);
}

void TstNmuc::dialogWidget()
{
    TestBench tb;
    tb.meter.nmuc().clickFast(true); // left over from an earlier opening
    std::unique_ptr<QDialog> dlg(createNmucDialog(tb.meter, nullptr));
    QCOMPARE(dlg->objectName() + dlg->windowTitle(), QStringLiteral("frmNmucUncertainty calculator"));
    auto *bw = dlg->findChild<QLineEdit *>(QStringLiteral("Bandwidth"));
    auto *iv = dlg->findChild<QLineEdit *>(QStringLiteral("Interval"));
    auto *cf = dlg->findChild<QLineEdit *>(QStringLiteral("Confidence"));
    auto *un = dlg->findChild<QLineEdit *>(QStringLiteral("Uncertainty"));
    auto *fast = dlg->findChild<QCheckBox *>(QStringLiteral("Fast"));
    auto *calc = dlg->findChild<QPushButton *>(QStringLiteral("CalcButton"));
    auto *close = dlg->findChild<QPushButton *>(QStringLiteral("CancelButton"));
    QVERIFY(bw && iv && cf && un && fast && calc && close);
    // Every field is named by its label.
    QStringList buddied;
    for (QLabel *l : dlg->findChildren<QLabel *>())
        if (l->buddy())
            buddied << l->buddy()->objectName() + QLatin1Char('=') + l->text();
    buddied.sort();
    QCOMPARE(buddied, (QStringList{"Bandwidth=Bandwidth (Hz)", "Confidence=Confidence Levell (%)",
                                   "Interval=Interval (s)", "Uncertainty=Measurement uncertainty (dB)"}));
    // A fresh load: initial texts, Fast clear.
    QCOMPARE(bw->text() + iv->text() + cf->text(), QStringLiteral("20000.195"));
    QVERIFY(!fast->isChecked());

    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    calc->click();
    QCOMPARE(un->text(), QStringLiteral("0.64"));
    fast->click();
    QVERIFY(un->text().isEmpty());
    calc->click();
    QCOMPARE(un->text(), QStringLiteral("0.62"));

    // Enter in a refused field: message, focus and selection stay.
    cf->setFocus(); // the dialog opened with the focus in Bandwidth
    QTRY_COMPARE(QApplication::focusWidget(), cf);
    calc->click();
    bw->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), bw);
    QVERIFY(un->text().isEmpty()); // entering the field emptied the result
    bw->selectAll();
    QTest::keyClicks(bw, QStringLiteral("0"));
    QTest::keyClick(bw, Qt::Key_Return);
    QCOMPARE(tb.messages.texts(), QStringList{QStringLiteral("Bandwidth must be > 0")});
    QCOMPARE(QApplication::focusWidget(), bw);
    QCOMPARE(bw->selectedText(), QStringLiteral("0.000"));
    // Tabbing away is refused the same way: the focus comes back.
    QTest::keyClick(bw, Qt::Key_Tab);
    QTRY_COMPARE(tb.messages.shown.size(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), bw);

    // An emptied field left by tabbing runs the calculation: 0 dof, 0.00.
    bw->selectAll();
    QTest::keyClicks(bw, QStringLiteral("2000"));
    QTest::keyClick(bw, Qt::Key_Return);
    QCOMPARE(bw->text(), QStringLiteral("2000.000"));
    iv->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), iv);
    iv->selectAll();
    QTest::keyClick(iv, Qt::Key_Delete);
    QCOMPARE(tb.meter.nmuc().text(NmucField::Interval), QString());
    cf->setFocus();
    QTRY_COMPARE(un->text(), QStringLiteral("0.00"));
    QVERIFY(!fast->isChecked()); // 0 dof: exact mode, the box cleared
    QCOMPARE(tb.messages.shown.size(), 2);

    close->click();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TstNmuc)
#include "tst_nmuc.moc"
