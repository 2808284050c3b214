// Uncertainty calculator: the dialog's rules and widget (the statistics are
// tested in tst_physics).
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
    QCOMPARE(buddied, (QStringList{"Bandwidth=Bandwidth (Hz)=2000", "Confidence=Confidence Levell (%)=95",
                                   "Interval=Interval (s)=0.1", "Uncertainty=Measurement uncertainty (dB)="}));
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
