// Uncertainty calculator: the dialog's rules and widget (the statistics are
// tested in tst_physics).
#include "support/TestPlatform.h"

#include "instrument/Instrument.h"
#include "calc/Nmuc.h"
#include "gui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {
const QString kBw = "Value error:|Bandwidth must be > 0";
} // namespace

class TstNmuc : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Calculate with three texts and the Fast box, or leave one field after typing into it.
    void rules_data()
    {
        QTest::addColumn<int>("leave");          // -1: Calculate; else the field left
        QTest::addColumn<QStringList>("fields"); // Bandwidth, Interval, Confidence typed
        QTest::addColumn<bool>("fast");          // before; after it is the result's last entry
        QTest::addColumn<QStringList>("result"); // field left, message, uncertainty, Fast after
        auto row = [](const char *name, int leave, const QStringList &fields, bool fast, const QStringList &result) {
            QTest::newRow(name) << leave << fields << fast << result;
        };
        const QStringList defaults{"2000", "0.1", "95"};
        row("defaults, exact", -1, defaults, false, {"", "", "0.64", "0"});
        row("defaults, fast", -1, defaults, true, {"", "", "0.62", "1"});
        row("100 dof, Fast cleared", -1, {"500", "0.1", "95"}, true, {"", "", "1.35", "0"});
        row("1 dof: no critical value", -1, {"5", "0.1", "95"}, false, {"", "", "0.00", "0"});
        row("2 dof: one degree of freedom", -1, {"10", "0.1", "95"}, false, {"", "", "33.09", "0"});
        row("bandwidth 0 refused", 0, {"0", "0.1", "95"}, false, {"0.000", kBw, "", "0"});
        row("bandwidth empty runs the calculation", 0, {"", "0.1", "95"}, false, {"", "", "0.00", "0"});
        row("interval 1000.001 refused", 1, {"2000", "1000.001", "95"}, false, {"1000.001", "Value error:|Interval must be > 0 and < 1000", "", "0"});
        row("confidence 99.5 rounds to 100., refused", 2, {"2000", "0.1", "99.5"}, false, {"100.", "Value error:|Confidence must be > 0 and < 100", "", "0"});
        // An empty confidence counts as 0 %: the median, 10 log10(400 / 398.33).
        row("confidence empty runs the calculation", 2, {"2000", "0.1", ""}, false, {"", "", "0.02", "0"});
    }
    void rules()
    {
        QFETCH(int, leave);
        QFETCH(QStringList, fields);
        QFETCH(bool, fast);
        QFETCH(QStringList, result);
        TestBench tb;
        Nmuc &n = tb.meter.nmuc();
        for (int i = 0; i < 3; ++i)
            n.setText(NmucField(i), fields[i]);
        n.clickFast(fast);
        if (leave < 0)
            n.CalcNmuc();
        else
            QCOMPARE(n.fieldLeave(tb.meter.messages(), NmucField(leave)), result[1].isEmpty());
        QCOMPARE((QStringList{leave < 0 ? "" : n.text(NmucField(leave)), tb.messages.lines().join(""), n.uncertainty(), QString::number(n.fast())}), result);
    }

    void dialogWidget();
};

// The dialog: labelled fields with their default texts, Calculate, Fast, and a
// refused entry that keeps the focus whether left by Enter or by Tab.
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
    QStringList buddied; // every field is named by its label, with its Alt letter
    for (QLabel *l : dlg->findChildren<QLabel *>())
        if (auto *e = qobject_cast<QLineEdit *>(l->buddy()))
            buddied << e->objectName() + '=' + l->text() + '=' + e->text();
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
    bw->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), bw);
    bw->selectAll();
    QTest::keyClicks(bw, QStringLiteral("0"));
    QTest::keyClick(bw, Qt::Key_Return);
    QVERIFY(tb.messages.lines() == QStringList{kBw} && QApplication::focusWidget() == bw);
    QCOMPARE(bw->selectedText(), QStringLiteral("0.000"));
    QTest::keyClick(bw, Qt::Key_Tab);
    QTRY_COMPARE(tb.messages.shown.size(), 2);
    QTRY_COMPARE(QApplication::focusWidget(), bw);
}

QTEST_MAIN(TstNmuc)
#include "tst_nmuc.moc"
