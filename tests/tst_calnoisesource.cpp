// Noise source calibration: solving for ENR, Thot or Tcold, the entry rules, OK versus Cancel.
#include "support/TestPlatform.h"

#include "sheet/NumText.h"
#include "calc/CalNoiseSource.h"
#include "gui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(Field)

namespace {
using Confirm = CalNoiseSource::Confirm;
const QStringList kNoAtt{"290", "290", "0", "0"}; // Tatt1, Tatt2, Att11, Att12

template <typename T, std::size_t N> void rows(const T (&table)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].name) << int(i);
}

// No ENR table, ENR "old"; Y2dB, Thot, Tcold and the calibration path as given.
void prepare(Meter &m, const QStringList &y2dbThotTcold, const QStringList &att = kNoAtt)
{
    m.sheet().setEnabled(Control::mnuEnrUnl, false);
    m.sheet().setText(Field::ENR, QStringLiteral("old"));
    const Field f[] = {Field::Y2dB, Field::Thot, Field::Tcold, Field::Tatt1, Field::Tatt2, Field::Att11, Field::Att12};
    for (int i = 0; i < 7; ++i)
        m.sheet().setText(f[i], (y2dbThotTcold + att)[i]);
}

// Double-click `target`, type `level` (K when teq, else dB) and press OK.
std::optional<Confirm> calibrate(TestBench &tb, Field target, const QString &level, bool teq)
{
    std::optional<Confirm> outcome;
    tb.windows.onDialog = [&](DialogId) {
        CalNoiseSource &c = tb.meter.calNoiseSource();
        c.setCalLevel(level);
        teq ? c.chooseTeq() : c.chooseNF();
        outcome = c.confirm(tb.meter);
    };
    tb.meter.doubleClick(target);
    return outcome;
}

// before: Y2dB, Thot, Tcold; att: Tatt1, Tatt2, Att11, Att12; after: ENR, Thot, Tcold.
struct Solve { const char *name; Field target; const char *level; QStringList before, att; Confirm outcome; QStringList after; QString message; };
const QStringList kStart{"10.000", "1000", "290"};
// NF 3 dB: Te = 288.63 K; (290 + 288.63)*10 - 288.63 = 5497.63 K.
const Solve kSolve[] = {
    {"Thot: worked example", Field::Thot, "3.00", {"10.000", "1000", "290.00"}, kNoAtt, Confirm::Hidden, {"12.54", "5497.6", "290.00"}, {}},
    {"ENR: Tcold forced to 290", Field::ENR, "3.00", {"10.000", "1000", "77.0"}, kNoAtt, Confirm::Hidden, {"12.54", "5497.6", "290"}, {}},
    {"Thot: Tcold 77.0 empties ENR", Field::Thot, "3.00", {"10.000", "1000", "77.0"}, kNoAtt, Confirm::Hidden, {"", "3367.6", "77.0"}, {}},
    {"Tcold: back to 290.0", Field::Tcold, "3.00", {"10.000", "5497.6", "1"}, kNoAtt, Confirm::Hidden, {"12.54", "5497.6", "290.0"}, {}},
    {"Tcold: negative, nothing written", Field::Tcold, "3.00", kStart, kNoAtt, Confirm::Stopped, {"old", "1000", "290"},
     "TQX|Inconsistent arguments lead to -ve Tcold.|Critical"},
    // 290 K + 578.63 K * (10^0.00001 - 1) = 290.013 K: no excess noise, no ENR.
    {"ENR: Thot rounds to 290.0, ENR undefined", Field::ENR, "3.00", {"0.0001", "1000", "290"}, kNoAtt, Confirm::Hidden, {"", "290.0", "290"}, {}},
    {"Thot: 3 dB at 320 K, 1.5 dB at 250 K", Field::Thot, "3.00", kStart, {"320", "250", "3.0", "1.5"}, Confirm::Hidden, {"17.03", "14939.5", "290"}, {}},
    {"zero entry refused silently", Field::Thot, "0", kStart, kNoAtt, Confirm::RefusedEntry, {"old", "1000", "290"}, {}},
    {"NF of 4000 dB overflows", Field::ENR, "4000", {"10.000", "1000", "77"}, kNoAtt, Confirm::Stopped, {"old", "1000", "77"},
     "TQX|The calibration result is out of range.|Critical"},
};

struct Leave { const char *name, *entry; bool teq; const char *after; QString message; }; // message empty: accepted
const Leave kLeave[] = {
    {"rounded to 0.00", "2.346", false, "2.35", {}},
    {"0.004 rounds to 0.00, refused", "0.004", false, "0.00", "Value error:|Receiver Noise Figuremust be > 0"},
    {"negative, K caption", "-3", true, "-3.00", "Value error:|Receiver Noise Temperaturemust be > 0"},
    {"text kept, refused", "abc", false, "abc", "Value error:|Receiver Noise Figuremust be > 0"},
};
} // namespace

class TstCalNoiseSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void solve_data() { rows(kSolve); }
    void solve()
    {
        QFETCH(int, row);
        const Solve &c = kSolve[row];
        TestBench tb;
        prepare(tb.meter, c.before, c.att);
        QCOMPARE(calibrate(tb, c.target, c.level, false).value(), c.outcome);
        const Sheet &s = tb.meter.sheet();
        QCOMPARE((QStringList{s.text(Field::ENR), s.text(Field::Thot), s.text(Field::Tcold)}), c.after);
        QCOMPARE(tb.messages.lines(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }

    // Thot solved from Tcold 77.0 (K entry), then Tcold from that Thot, must give 77.0 back.
    void attenuatorRoundTrip()
    {
        for (const QStringList &att : {QStringList{"100", "300", "2", "4"}, QStringList{"400", "20", "6", "1"}}) {
            TestBench tb;
            prepare(tb.meter, {"6.500", "1000", "77.0"}, att);
            QCOMPARE(calibrate(tb, Field::Thot, QStringLiteral("150"), true), Confirm::Hidden);
            const QString thot = tb.meter.sheet().text(Field::Thot);
            QVERIFY(ParseNumber(thot) > 77.0);
            tb.meter.sheet().setText(Field::Tcold, QStringLiteral("5"));
            tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("6.500")); // recalculated from no levels
            QCOMPARE(calibrate(tb, Field::Tcold, QStringLiteral("150"), true), Confirm::Hidden);
            QCOMPARE(tb.meter.sheet().text(Field::Tcold) + ' ' + tb.meter.sheet().text(Field::Thot), "77.0 " + thot);
        }
    }

    // Whether a double-click opens the dialog, and the entry it starts with.
    void doubleClick_data()
    {
        QTest::addColumn<Field>("target");
        QTest::addColumn<bool>("tableLoaded");
        QTest::addColumn<QString>("y2db");
        QTest::addColumn<std::optional<QString>>("clip");
        QTest::addColumn<QString>("calLevel"); // null: not opened
        using C = std::optional<QString>;
        QTest::newRow("ENR, clipboard 2.5") << Field::ENR << false << "10.000" << C("2.5") << "2.5";
        QTest::newRow("Thot, clipboard not a number gives 0") << Field::Thot << false << "10.000" << C("abc") << "0";
        QTest::newRow("Tcold, no clipboard text") << Field::Tcold << false << "10.000" << C() << "";
        QTest::newRow("ENR table loaded") << Field::Tcold << true << "10.000" << C("1") << QString();
        QTest::newRow("Y2dB zero") << Field::Thot << false << "0.000" << C("1") << QString();
        QTest::newRow("Y2dB empty") << Field::Thot << false << "" << C("1") << QString();
    }
    void doubleClick()
    {
        QFETCH(Field, target);
        QFETCH(bool, tableLoaded);
        QFETCH(QString, y2db);
        QFETCH(std::optional<QString>, clip);
        QFETCH(QString, calLevel);
        TestBench tb;
        tb.clipboard.content = clip;
        prepare(tb.meter, {y2db, "1000", "290"});
        tb.meter.sheet().setEnabled(Control::mnuEnrUnl, tableLoaded);
        tb.meter.doubleClick(target);
        const CalNoiseSource &c = tb.meter.calNoiseSource();
        const bool opened = !calLevel.isNull();
        QCOMPARE(tb.windows.dialogs.size(), opened ? 1 : 0);
        QCOMPARE(c.loaded() && c.target() == target, opened);
        if (opened)
            QCOMPARE(c.calLevel() + '|' + c.levelCaption() + c.unitText() + (c.okEnabled() ? "|OK" : "|no OK"),
                     calLevel + "|Receiver Noise FiguredB" + (clip ? "|OK" : "|no OK"));
    }

    void leaveCalLevel_data() { rows(kLeave); }
    void leaveCalLevel()
    {
        QFETCH(int, row);
        const Leave &l = kLeave[row];
        TestBench tb;
        CalNoiseSource &c = tb.meter.calNoiseSource();
        c.setCalLevel(l.entry);
        if (l.teq)
            c.chooseTeq();
        QCOMPARE(c.leaveCalLevel(tb.meter), l.message.isEmpty());
        QCOMPARE(c.calLevel(), l.after);
        QCOMPARE(tb.messages.lines(), l.message.isEmpty() ? QStringList() : QStringList{l.message});
    }

    void dialogWidget()
    {
        TestBench tb;
        prepare(tb.meter, {"10.000", "1000", "290.00"});
        tb.meter.calNoiseSource().open(tb.meter, Field::Thot);
        std::unique_ptr<QDialog> dlg(createCalNoiseSourceDialog(tb.meter, nullptr));
        QCOMPARE(dlg->objectName() + dlg->windowTitle(), QStringLiteral("frmCalNoiseSourceCalibrate Noise Source"));
        auto *optNF = dlg->findChild<QRadioButton *>(QStringLiteral("optNF"));
        auto *optTeq = dlg->findChild<QRadioButton *>(QStringLiteral("optTeq"));
        auto *lbl = dlg->findChild<QLabel *>(QStringLiteral("LblCalLevel"));
        auto *unit = dlg->findChild<QLabel *>(QStringLiteral("lblUnit"));
        auto *level = dlg->findChild<QLineEdit *>(QStringLiteral("CalLevel"));
        auto *ok = dlg->findChild<QPushButton *>(QStringLiteral("OKButton"));
        QVERIFY(optNF && optTeq && lbl && unit && level && ok && dlg->findChild<QWidget *>(QStringLiteral("frCalSource")));
        QVERIFY(optNF->isChecked() && lbl->buddy() == level && !ok->isEnabled()); // empty entry

        dlg->show();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QTRY_COMPARE(QApplication::focusWidget(), level);
        QTest::keyClicks(level, QStringLiteral("0"));
        QVERIFY(ok->isEnabled());
        optTeq->click();
        QCOMPARE(lbl->text() + unit->text(), QStringLiteral("&Receiver Noise TemperatureK"));
        optNF->click();
        QCOMPARE(lbl->text() + unit->text(), QStringLiteral("&Receiver Noise FiguredB"));
        // Enter with 0: refused silently, the dialog and the focus stay.
        QTest::keyClick(level, Qt::Key_Return);
        QVERIFY(dlg->isVisible() && QApplication::focusWidget() == level && tb.messages.shown.isEmpty());
        // Tabbing away runs the leave rule: reformatted, refused, focus back.
        QTest::keyClick(level, Qt::Key_Tab);
        QTRY_COMPARE(tb.messages.lines(), QStringList{"Value error:|Receiver Noise Figuremust be > 0"});
        QTRY_COMPARE(QApplication::focusWidget(), level);
        QCOMPARE(level->text(), QStringLiteral("0.00"));
        // Enter with 3 dB: the sheet is written and the dialog accepted.
        level->selectAll();
        QTest::keyClicks(level, QStringLiteral("3"));
        QTest::keyClick(level, Qt::Key_Enter);
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(tb.meter.sheet().text(Field::Thot), QStringLiteral("5497.6"));

        // OK only hid it: the next opening keeps the entry, ignoring the clipboard.
        tb.clipboard.content = QStringLiteral("9");
        tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("10.000")); // recalculated from no levels
        tb.meter.doubleClick(Field::Tcold);
        std::unique_ptr<QDialog> again(createCalNoiseSourceDialog(tb.meter, nullptr));
        QCOMPARE(again->findChild<QLineEdit *>(QStringLiteral("CalLevel"))->text(), QStringLiteral("3"));
        // Cancel unloads: the next opening starts afresh from the clipboard.
        again->findChild<QPushButton *>(QStringLiteral("CancelButton"))->click();
        QCOMPARE(again->result(), int(QDialog::Rejected));
        QCOMPARE(tb.meter.sheet().text(Field::Tcold), QStringLiteral("290.00"));
        tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("10.000"));
        tb.meter.doubleClick(Field::Thot);
        QCOMPARE(tb.meter.calNoiseSource().calLevel(), QStringLiteral("9"));
    }
};

QTEST_MAIN(TstCalNoiseSource)
#include "tst_calnoisesource.moc"
