// Uncertainty calculator: chi-square routines against published values and
// closed forms, the skipping sum against the plain one, the dialog's rules.
#include "support/TestPlatform.h"

#include "sheet/Meter.h"
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

namespace {
template <typename T, std::size_t N> void rows(const T (&table)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].name) << int(i);
}

// Published chi-square percentage points (upper-tail p); the bisection stops at a width of 1e-6.
struct Crit { const char *name; double p; int df; double expected, tolerance; };
const Crit kCrit[] = {
    {"df 1, lower 2.5 %", 0.975, 1, 0.000982069, 1e-6},
    {"df 10, lower 2.5 %", 0.975, 10, 3.24697, 2e-5},
    {"df 399, lower 2.5 %", 0.975, 399, 345.55, 0.005},
    {"df 10, upper 2.5 %", 0.025, 10, 20.4832, 1e-3},
    {"df 2, upper 10 % = 2 ln 10", 0.1, 2, 2.0 * std::log(10.0), 1e-6},
    {"p 0 gives the ceiling", 0.0, 10, 99999.0, 0.0},
    {"p above 1 gives 0", 1.5, 10, 0.0, 0.0},
};

// fields: Bandwidth, Interval, Confidence.
struct Calc { const char *name; QStringList fields; bool fastBefore; const char *uncertainty; bool fastAfter; };
const Calc kCalc[] = {
    {"defaults, exact", {"2000", "0.1", "95"}, false, "0.64", false},
    {"defaults, fast", {"2000", "0.1", "95"}, true, "0.62", true},
    {"above 1e6 dof, fast forced", {"1000000", "1", "95"}, false, "0.01", true}, // 0.394 dB * sqrt(1000 / 2e6)
    {"exactly 1e6 dof stays exact", {"500000", "1", "95"}, false, "0.01", false},
    {"100 dof, Fast cleared", {"500", "0.1", "95"}, true, "1.35", false},
    {"1 dof: no critical value", {"5", "0.1", "95"}, false, "0.00", false},
    {"0.5 dof: never negative", {"2.5", "0.1", "95"}, false, "0.00", false},
    {"2 dof: one degree of freedom", {"10", "0.1", "95"}, false, "33.09", false},
    {"negative bandwidth", {"-2000", "0.1", "95"}, false, "0.00", false},
    {"confidence beyond 100", {"2000", "0.1", "150"}, false, "0.00", false},
};

const QString kBw = "Value error:|Bandwidth must be > 0";
const QString kIv = "Value error:|Interval must be > 0 and < 1000";
const QString kCf = "Value error:|Confidence must be > 0 and < 100";
struct Leave { const char *name; NmucField field; const char *entry, *after; QString message, uncertainty; };
const Leave kLeave[] = {
    {"bandwidth reformatted", NmucField::Bandwidth, "2000", "2000.000", {}, {}},
    {"bandwidth 0 refused", NmucField::Bandwidth, "0", "0.000", kBw, {}},
    {"bandwidth text refused, kept", NmucField::Bandwidth, "wide", "wide", kBw, {}},
    {"bandwidth empty runs the calculation", NmucField::Bandwidth, "", "", {}, "0.00"},
    {"interval 1000.0004 rounds to 1000", NmucField::Interval, "1000.0004", "1000.000", {}, {}},
    {"interval 1000.001 refused", NmucField::Interval, "1000.001", "1000.001", kIv, {}},
    {"confidence 99.4 rounds to 99.", NmucField::Confidence, "99.4", "99.", {}, {}},
    {"confidence 99.5 rounds to 100., refused", NmucField::Confidence, "99.5", "100.", kCf, {}},
    // An empty confidence counts as 0 %: the median, 10 log10(400 / 398.33).
    {"confidence empty runs the calculation", NmucField::Confidence, "", "", {}, "0.02"},
};

} // namespace

class TstNmuc : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void critChi_data() { rows(kCrit); }
    void critChi()
    {
        QFETCH(int, row);
        const Crit &c = kCrit[row];
        const double got = CritChi(c.p, c.df);
        QVERIFY2(std::fabs(got - c.expected) <= c.tolerance, qPrintable(QString::number(got, 'g', 10)));
    }

    // Algorithm 209 against erfc (about 1e-9; beyond |z| = 6 exactly 0 or 1), and the chi-square closed forms.
    void closedForms()
    {
        for (double x : {0.01, 1.0, 7.5, 39.9, 40.1, 80.0}) {
            for (double z : {std::sqrt(x), -std::sqrt(x), x / 10.0 - 4.0})
                QVERIFY(std::fabs(poz(z) - 0.5 * std::erfc(-z / std::sqrt(2.0))) < 2e-9);
            QCOMPARE(pochisq(x, 1), 2.0 * poz(-std::sqrt(x)));
            QCOMPARE(pochisq(x, 2), x / 2.0 > 20.0 ? 0.0 : std::exp(-x / 2.0));
            QVERIFY(std::fabs(pochisq(x, 4) - std::exp(-x / 2.0) * (1.0 + x / 2.0)) <= 1e-8); // ex() cut drops < 3e-9
            QVERIFY(pochisq(-x, 5) == 1.0 && pochisq(x, 0) == 1.0); // outside the domain the tail is 1
        }
    }

    // Leaving out the terms ex() returns as 0 must not move anything that could show.
    void skippingMatchesPlain_data()
    {
        QTest::addColumn<double>("dof");
        QTest::addColumn<bool>("fast");
        QTest::newRow("400 dof") << 400.0 << false;
        QTest::newRow("401 dof, odd nu") << 401.0 << false;
        QTest::newRow("100 000 dof") << 100000.0 << false;
        QTest::newRow("fast mode") << 5000.0 << true;
    }
    void skippingMatchesPlain()
    {
        QFETCH(double, dof);
        QFETCH(bool, fast);
        for (double c : {50.0, 95.0, 99.9}) {
            const double skip = nmucUncertainty(dof / 2.0, 1.0, c, fast, Summation::Skipping);
            const double plain = nmucUncertainty(dof / 2.0, 1.0, c, fast, Summation::Plain);
            QVERIFY2(skip > 0.0 && std::fabs(skip - plain) < 1e-6, qPrintable(QString::number(skip - plain)));
        }
        // The tail itself; the plain sum's running log-factorial carries ~1e-9 rounding in the exponent.
        const int df = static_cast<int>(dof) - 1;
        for (double x : {0.9 * df, df - 2.0 * std::sqrt(2.0 * df), double(df), 1.1 * df}) {
            const double skip = pochisq(x, df), plain = pochisqPlain(x, df);
            QVERIFY2(std::fabs(skip - plain) <= 1e-8 * plain + 1e-300, qPrintable(QString::number(x)));
        }
    }

    void calcNmuc_data() { rows(kCalc); }
    void calcNmuc()
    {
        QFETCH(int, row);
        const Calc &c = kCalc[row];
        Nmuc n;
        for (int i = 0; i < 3; ++i)
            n.setText(static_cast<NmucField>(i), c.fields[i]);
        n.clickFast(c.fastBefore);
        n.CalcNmuc();
        QCOMPARE(n.uncertainty(), c.uncertainty);
        QCOMPARE(n.fast(), c.fastAfter);
    }

    void fieldLeave_data() { rows(kLeave); }
    void fieldLeave()
    {
        QFETCH(int, row);
        const Leave &l = kLeave[row];
        TestBench tb;
        Nmuc &n = tb.meter.nmuc();
        n.load();
        n.setText(l.field, l.entry);
        QCOMPARE(n.fieldLeave(tb.meter, l.field), l.message.isEmpty());
        QCOMPARE(n.text(l.field), l.after);
        QCOMPARE(n.uncertainty(), l.uncertainty);
        QCOMPARE(tb.messages.lines(), l.message.isEmpty() ? QStringList() : QStringList{l.message});
    }

    void dialogWidget();
};

void TstNmuc::dialogWidget()
{
    TestBench tb;
    tb.meter.nmuc().clickFast(true); // left over from an earlier opening
    std::unique_ptr<QDialog> dlg(createNmucDialog(tb.meter, nullptr));
    QCOMPARE(dlg->objectName() + dlg->windowTitle(), QStringLiteral("frmNmucUncertainty calculator"));
    auto *bw = dlg->findChild<QLineEdit *>(QStringLiteral("Bandwidth"));
    auto *un = dlg->findChild<QLineEdit *>(QStringLiteral("Uncertainty"));
    auto *fast = dlg->findChild<QCheckBox *>(QStringLiteral("Fast"));
    auto *calc = dlg->findChild<QPushButton *>(QStringLiteral("CalcButton"));
    auto *close = dlg->findChild<QPushButton *>(QStringLiteral("CancelButton"));
    QVERIFY(bw && un && fast && calc && close);
    QStringList buddied; // every field is named by its label
    for (QLabel *l : dlg->findChildren<QLabel *>())
        if (l->buddy())
            buddied << l->buddy()->objectName() + '=' + l->text() + '=' + dlg->findChild<QLineEdit *>(l->buddy()->objectName())->text();
    buddied.sort();
    QCOMPARE(buddied, (QStringList{"Bandwidth=&Bandwidth (Hz)=2000", "Confidence=C&onfidence Levell (%)=95",
                                   "Interval=&Interval (s)=0.1", "Uncertainty=&Measurement uncertainty (dB)="}));
    QVERIFY(!fast->isChecked()); // a fresh load clears Fast

    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    calc->click();
    QCOMPARE(un->text(), QStringLiteral("0.64"));
    fast->click();
    QVERIFY(un->text().isEmpty());
    calc->click();
    QCOMPARE(un->text(), QStringLiteral("0.62"));
    // Enter in a refused field: message, focus and selection stay; entering the field empties the result.
    auto *cf = dlg->findChild<QLineEdit *>(QStringLiteral("Confidence"));
    cf->setFocus(); // the dialog opened with the focus in Bandwidth
    QTRY_COMPARE(QApplication::focusWidget(), cf);
    calc->click();
    bw->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), bw);
    QVERIFY(un->text().isEmpty());
    bw->selectAll();
    QTest::keyClicks(bw, QStringLiteral("0"));
    QTest::keyClick(bw, Qt::Key_Return);
    QCOMPARE(tb.messages.lines(), QStringList{kBw});
    QCOMPARE(QApplication::focusWidget(), bw);
    QCOMPARE(bw->selectedText(), QStringLiteral("0.000"));
    // Tabbing away is refused the same way: the focus comes back.
    QTest::keyClick(bw, Qt::Key_Tab);
    QTRY_COMPARE(tb.messages.shown.size(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), bw);
    close->click();
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TstNmuc)
#include "tst_nmuc.moc"
