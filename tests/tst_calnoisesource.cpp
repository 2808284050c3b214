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

namespace {
using Confirm = CalNoiseSource::Confirm;
const QStringList kNoAtt{"290", "290", "0", "0"}; // Tatt1, Tatt2, Att11, Att12

template <typename T, std::size_t N> void rows(const T (&table)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].name) << int(i);
}

// ENR "old"; Y2dB, Thot, Tcold and the calibration path as given; a fourth entry: an ENR table is loaded.
void prepare(Instrument &m, const QStringList &y2dbThotTcold, const QStringList &att = kNoAtt)
{
    m.sheet().setEnabled(Control::mnuEnrUnl, y2dbThotTcold.size() > 3);
    m.sheet().setText(Field::ENR, QStringLiteral("old"));
    const Field f[] = {Field::Y2dB, Field::Thot, Field::Tcold, Field::Tatt1, Field::Tatt2, Field::Att11, Field::Att12};
    for (int i = 0; i < 7; ++i)
        m.sheet().setText(f[i], (y2dbThotTcold.mid(0, 3) + att)[i]);
}

// Double-click `target`, type `level` (K when teq, else dB) and press OK.
std::optional<Confirm> calibrate(TestBench &tb, Field target, const QString &level, bool teq)
{
    std::optional<Confirm> outcome;
    tb.windows.onDialog = [&](DialogId) {
        CalNoiseSource &c = tb.meter.calNoiseSource();
        c.setCalLevel(level);
        teq ? c.chooseTeq() : c.chooseNF();
        outcome = c.confirm(tb.meter.sheet(), tb.meter.messages());
    };
    tb.meter.doubleClick(target);
    return outcome;
}

// before: Y2dB, Thot, Tcold; att: Tatt1, Tatt2, Att11, Att12; after: ENR, Thot, Tcold.
struct Solve { const char *name; Field target; const char *level; QStringList before, att; std::optional<Confirm> outcome; QStringList after; QString message; };
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
    {"Y2dB empty: not opened", Field::Thot, "3.00", {"", "1000", "290"}, kNoAtt, {}, {"old", "1000", "290"}, {}},
    {"ENR table loaded: not opened", Field::Tcold, "3.00", kStart + QStringList{"table"}, kNoAtt, {}, {"old", "1000", "290"}, {}},
    {"NF of 4000 dB overflows", Field::ENR, "4000", {"10.000", "1000", "77"}, kNoAtt, Confirm::Stopped, {"old", "1000", "77"},
     "TQX|The calibration result is out of range.|Critical"},
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
        QCOMPARE(calibrate(tb, c.target, c.level, false), c.outcome); // none: the dialog did not open
        const Sheet &s = tb.meter.sheet();
        QCOMPARE((QStringList{s.text(Field::ENR), s.text(Field::Thot), s.text(Field::Tcold)}), c.after);
        QCOMPARE(tb.messages.lines(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }

    // Thot solved from Tcold 77.0 (K entry), then Tcold from that Thot, must give 77.0 back.
    void attenuatorRoundTrip()
    {
        TestBench tb;
        prepare(tb.meter, {"6.500", "1000", "77.0"}, {"100", "300", "2", "4"});
        QCOMPARE(calibrate(tb, Field::Thot, QStringLiteral("150"), true), Confirm::Hidden);
        const QString thot = tb.meter.sheet().text(Field::Thot);
        prepare(tb.meter, {"6.500", thot, "5"}, {"100", "300", "2", "4"}); // Y2dB as before: no levels to recalculate from
        QCOMPARE(calibrate(tb, Field::Tcold, QStringLiteral("150"), true), Confirm::Hidden);
        QCOMPARE(tb.meter.sheet().text(Field::Tcold) + ' ' + tb.meter.sheet().text(Field::Thot), "77.0 " + thot);
    }

    // The dialog: captions follow the choice, Enter with 0 is refused silently, Tab refuses
    // with a message, Enter with 3 dB writes the sheet; Cancel unloads, OK keeps the entry.
    void dialogWidget()
    {
        TestBench tb;
        prepare(tb.meter, {"10.000", "1000", "290.00"});
        tb.meter.calNoiseSource().open(tb.meter.services().clipboard, Field::Thot);
        std::unique_ptr<QDialog> dlg(createCalNoiseSourceDialog(tb.meter, nullptr));
        QCOMPARE(dlg->objectName() + dlg->windowTitle(), QStringLiteral("frmCalNoiseSourceCalibrate Noise Source"));
        auto *optTeq = dlg->findChild<QRadioButton *>(QStringLiteral("optTeq"));
        auto *lbl = dlg->findChild<QLabel *>(QStringLiteral("LblCalLevel"));
        auto *level = dlg->findChild<QLineEdit *>(QStringLiteral("CalLevel"));
        auto *ok = dlg->findChild<QPushButton *>(QStringLiteral("OKButton"));
        QVERIFY(optTeq && lbl && level && ok && lbl->buddy() == level && !ok->isEnabled()); // empty entry
        dlg->show();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QTRY_COMPARE(QApplication::focusWidget(), level);
        QTest::keyClicks(level, QStringLiteral("0"));
        QVERIFY(ok->isEnabled());
        optTeq->click();
        QCOMPARE(lbl->text() + dlg->findChild<QLabel *>(QStringLiteral("lblUnit"))->text(), QStringLiteral("&Receiver Noise TemperatureK"));
        dlg->findChild<QRadioButton *>(QStringLiteral("optNF"))->click();
        QTest::keyClick(level, Qt::Key_Return);
        QVERIFY(dlg->isVisible() && QApplication::focusWidget() == level && tb.messages.shown.isEmpty());
        QTest::keyClick(level, Qt::Key_Tab);
        QTRY_COMPARE(tb.messages.lines(), QStringList{"Value error:|Receiver Noise Figuremust be > 0"});
        QTRY_COMPARE(QApplication::focusWidget(), level);
        level->selectAll();
        QTest::keyClicks(level, QStringLiteral("3"));
        QTest::keyClick(level, Qt::Key_Enter);
        QVERIFY(dlg->result() == QDialog::Accepted && tb.meter.sheet().text(Field::Thot) == QStringLiteral("5497.6"));
        tb.clipboard.content = QStringLiteral("9");
        tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("10.000")); // recalculated from no levels
        tb.meter.doubleClick(Field::Tcold);
        std::unique_ptr<QDialog> again(createCalNoiseSourceDialog(tb.meter, nullptr));
        QCOMPARE(again->findChild<QLineEdit *>(QStringLiteral("CalLevel"))->text(), QStringLiteral("3"));
        again->findChild<QPushButton *>(QStringLiteral("CancelButton"))->click();
        QCOMPARE(tb.meter.sheet().text(Field::Tcold), QStringLiteral("290.00"));
        tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("10.000"));
        tb.meter.doubleClick(Field::Thot);
        QCOMPARE(tb.meter.calNoiseSource().calLevel(), QStringLiteral("9"));
    }
};

QTEST_MAIN(TstCalNoiseSource)
#include "tst_calnoisesource.moc"
