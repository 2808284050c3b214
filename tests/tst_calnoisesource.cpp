// Noise source calibration: solving for ENR, Thot or Tcold from a receiver of
// known noise figure / temperature, the entry rules, OK versus Cancel.
#include "support/TestPlatform.h"

#include "app/NumText.h"
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

// No ENR table; Y2dB, Thot, Tcold and the calibration path as given.
void prepare(Meter &m, const QString &y2db, const QString &thot, const QString &tcold,
             const QStringList &att = kNoAtt)
{
    Sheet &s = m.sheet();
    s.setEnabled(Control::mnuEnrUnl, false);
    s.setText(Field::Y2dB, y2db);
    s.setText(Field::Thot, thot);
    s.setText(Field::Tcold, tcold);
    s.setText(Field::ENR, QStringLiteral("old"));
    const Field path[] = {Field::Tatt1, Field::Tatt2, Field::Att11, Field::Att12};
    for (int i = 0; i < 4; ++i)
        s.setText(path[i], att[i]);
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
} // namespace

class TstCalNoiseSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void solve_data();
    void solve();
    void attenuatorRoundTrip_data();
    void attenuatorRoundTrip();
    void doubleClickGate_data();
    void doubleClickGate();
    void clipboardPrefill_data();
    void clipboardPrefill();
    void leaveCalLevel_data();
    void leaveCalLevel();
    void dialogWidget();
};

void TstCalNoiseSource::solve_data()
{
    QTest::addColumn<Field>("target");
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("teq");
    QTest::addColumn<QStringList>("before"); // Y2dB, Thot, Tcold
    QTest::addColumn<QStringList>("att");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("after"); // ENR, Thot, Tcold
    QTest::addColumn<QString>("message");   // critical, caption "TQX"
    const int hidden = int(Confirm::Hidden), stopped = int(Confirm::Stopped);
    // NF 3 dB: Te = 288.63 K; (290 + 288.63)*10 - 288.63 = 5497.63 K.
    QTest::newRow("Thot: worked example") << Field::Thot << "3.00" << false << QStringList{"10.000", "1000", "290.00"}
        << kNoAtt << hidden << QStringList{"12.54", "5497.6", "290.00"} << "";
    QTest::newRow("ENR: Tcold forced to 290") << Field::ENR << "3.00" << false << QStringList{"10.000", "1000", "77.0"}
        << kNoAtt << hidden << QStringList{"12.54", "5497.6", "290"} << "";
    QTest::newRow("Thot: Tcold 77.0 empties ENR") << Field::Thot << "3.00" << false << QStringList{"10.000", "1000", "77.0"}
        << kNoAtt << hidden << QStringList{"", "3367.6", "77.0"} << "";
    QTest::newRow("Tcold: back to 290.0, ENR from Thot") << Field::Tcold << "3.00" << false << QStringList{"10.000", "5497.6", "1"}
        << kNoAtt << hidden << QStringList{"12.54", "5497.6", "290.0"} << "";
    QTest::newRow("Tcold: 810 K given Te, ENR emptied") << Field::Tcold << "100" << true << QStringList{"10.000", "9000", "1"}
        << kNoAtt << hidden << QStringList{"", "9000", "810.0"} << "";
    QTest::newRow("Tcold: negative, nothing written") << Field::Tcold << "3.00" << false << QStringList{"10.000", "1000", "290"}
        << kNoAtt << stopped << QStringList{"old", "1000", "290"} << "Inconsistent arguments lead to -ve Tcold.";
    // 290 K + 578.63 K * (10^0.00001 - 1) = 290.013 K: no excess noise, no ENR.
    QTest::newRow("ENR: Thot rounds to 290.0, ENR undefined") << Field::ENR << "3.00" << false << QStringList{"0.0001", "1000", "290"}
        << kNoAtt << hidden << QStringList{"", "290.0", "290"} << "";
    QTest::newRow("Thot: 3 dB at 320 K, 1.5 dB at 250 K") << Field::Thot << "3.00" << false << QStringList{"10.000", "1000", "290"}
        << QStringList{"320", "250", "3.0", "1.5"} << hidden << QStringList{"17.03", "14939.5", "290"} << "";
    QTest::newRow("zero entry refused silently") << Field::Thot << "0" << false << QStringList{"10.000", "1000", "290"}
        << kNoAtt << int(Confirm::RefusedEntry) << QStringList{"old", "1000", "290"} << "";
    QTest::newRow("NF of 4000 dB overflows") << Field::ENR << "4000" << false << QStringList{"10.000", "1000", "77"}
        << kNoAtt << stopped << QStringList{"old", "1000", "77"} << "The calibration result is out of range.";
}

void TstCalNoiseSource::solve()
{
    QFETCH(Field, target);
    QFETCH(QString, level);
    QFETCH(bool, teq);
    QFETCH(QStringList, before);
    QFETCH(QStringList, att);
    QFETCH(int, outcome);
    QFETCH(QStringList, after);
    QFETCH(QString, message);
    TestBench tb;
    prepare(tb.meter, before[0], before[1], before[2], att);
    QCOMPARE(int(calibrate(tb, target, level, teq).value()), outcome);
    const Sheet &s = tb.meter.sheet();
    QCOMPARE((QStringList{s.text(Field::ENR), s.text(Field::Thot), s.text(Field::Tcold)}), after);
    QCOMPARE(tb.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const ShownMessage &m : tb.messages.shown)
        QVERIFY(m.caption == QStringLiteral("TQX") && m.icon == MsgIcon::Critical);
}

void TstCalNoiseSource::attenuatorRoundTrip_data()
{
    QTest::addColumn<QStringList>("att");
    QTest::newRow("no attenuators") << kNoAtt;
    QTest::newRow("cold first, warm second") << QStringList{"100", "300", "2", "4"};
    QTest::newRow("hot first, cryogenic second") << QStringList{"400", "20", "6", "1"};
}

// Thot solved from Tcold = 77.0, then Tcold solved from that Thot, must give
// 77.0 back: the path's temperature map and its inverse have to match.
void TstCalNoiseSource::attenuatorRoundTrip()
{
    QFETCH(QStringList, att);
    TestBench tb;
    prepare(tb.meter, QStringLiteral("6.500"), QStringLiteral("1000"), QStringLiteral("77.0"), att);
    QCOMPARE(calibrate(tb, Field::Thot, QStringLiteral("150"), true), Confirm::Hidden);
    const QString thot = tb.meter.sheet().text(Field::Thot);
    QVERIFY(ParseNumber(thot) > 77.0);
    tb.meter.sheet().setText(Field::Tcold, QStringLiteral("5"));
    tb.meter.sheet().setText(Field::Y2dB, QStringLiteral("6.500")); // recalculated from no levels
    QCOMPARE(calibrate(tb, Field::Tcold, QStringLiteral("150"), true), Confirm::Hidden);
    QCOMPARE(tb.meter.sheet().text(Field::Tcold), QStringLiteral("77.0"));
    QCOMPARE(tb.meter.sheet().text(Field::Thot), thot);
}

void TstCalNoiseSource::doubleClickGate_data()
{
    QTest::addColumn<Field>("target");
    QTest::addColumn<bool>("tableLoaded");
    QTest::addColumn<QString>("y2db");
    QTest::addColumn<bool>("shown");
    for (Field f : {Field::ENR, Field::Thot, Field::Tcold}) {
        QTest::addRow("%s: ENR table loaded", fieldName(f)) << f << true << "10.000" << false;
        QTest::addRow("%s: no table", fieldName(f)) << f << false << "10.000" << true;
    }
    QTest::newRow("Y2dB zero") << Field::Thot << false << "0.000" << false;
    QTest::newRow("Y2dB empty") << Field::Thot << false << "" << false;
}

void TstCalNoiseSource::doubleClickGate()
{
    QFETCH(Field, target);
    QFETCH(bool, tableLoaded);
    QFETCH(QString, y2db);
    QFETCH(bool, shown);
    TestBench tb;
    prepare(tb.meter, y2db, QStringLiteral("1000"), QStringLiteral("290"));
    tb.meter.sheet().setEnabled(Control::mnuEnrUnl, tableLoaded);
    tb.meter.doubleClick(target);
    QCOMPARE(tb.windows.dialogs.size(), shown ? 1 : 0);
    QCOMPARE(tb.meter.calNoiseSource().loaded(), shown);
    if (shown)
        QCOMPARE(tb.meter.calNoiseSource().target(), target);
}

void TstCalNoiseSource::clipboardPrefill_data()
{
    QTest::addColumn<std::optional<QString>>("clip");
    QTest::addColumn<QString>("calLevel");
    QTest::addColumn<bool>("okEnabled");
    QTest::newRow("2.5") << std::optional<QString>(QStringLiteral("2.5")) << "2.5" << true;
    QTest::newRow("not a number gives 0") << std::optional<QString>(QStringLiteral("abc")) << "0" << true;
    QTest::newRow("no text") << std::optional<QString>() << "" << false;
}

void TstCalNoiseSource::clipboardPrefill()
{
    QFETCH(std::optional<QString>, clip);
    QFETCH(QString, calLevel);
    QFETCH(bool, okEnabled);
    TestBench tb;
    tb.clipboard.content = clip;
    prepare(tb.meter, QStringLiteral("10.000"), QStringLiteral("1000"), QStringLiteral("290"));
    tb.meter.doubleClick(Field::Thot);
    const CalNoiseSource &c = tb.meter.calNoiseSource();
    QCOMPARE(c.calLevel(), calLevel);
    QCOMPARE(c.okEnabled(), okEnabled);
    QCOMPARE(c.levelCaption() + c.unitText(), QStringLiteral("Receiver Noise FiguredB"));
}

void TstCalNoiseSource::leaveCalLevel_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("teq");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString nf = QStringLiteral("Receiver Noise Figuremust be > 0");
    QTest::newRow("rounded to 0.00") << "2.346" << false << "2.35" << "";
    QTest::newRow("0.004 rounds to 0.00, refused") << "0.004" << false << "0.00" << nf;
    QTest::newRow("negative, K caption") << "-3" << true << "-3.00" << "Receiver Noise Temperaturemust be > 0";
    QTest::newRow("text kept, refused") << "abc" << false << "abc" << nf;
    QTest::newRow("empty refused") << "" << false << "" << nf;
}

void TstCalNoiseSource::leaveCalLevel()
{
    QFETCH(QString, entry);
    QFETCH(bool, teq);
    QFETCH(QString, after);
    QFETCH(QString, message);
    TestBench tb;
    CalNoiseSource &c = tb.meter.calNoiseSource();
    c.setCalLevel(entry);
    if (teq)
        c.chooseTeq();
    QCOMPARE(c.leaveCalLevel(tb.meter), message.isEmpty());
    QCOMPARE(c.calLevel(), after);
    QCOMPARE(tb.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const ShownMessage &m : tb.messages.shown)
        QVERIFY(m.caption == QStringLiteral("Value error:") && m.icon == MsgIcon::None);
}

void TstCalNoiseSource::dialogWidget()
{
    TestBench tb;
    prepare(tb.meter, QStringLiteral("10.000"), QStringLiteral("1000"), QStringLiteral("290.00"));
    tb.meter.calNoiseSource().open(tb.meter, Field::Thot);
    std::unique_ptr<QDialog> dlg(createCalNoiseSourceDialog(tb.meter, nullptr));
    QCOMPARE(dlg->objectName() + dlg->windowTitle(), QStringLiteral("frmCalNoiseSourceCalibrate Noise Source"));
    QVERIFY(dlg->findChild<QWidget *>(QStringLiteral("frCalSource")));
    auto *optTeq = dlg->findChild<QRadioButton *>(QStringLiteral("optTeq"));
    auto *lbl = dlg->findChild<QLabel *>(QStringLiteral("LblCalLevel"));
    auto *unit = dlg->findChild<QLabel *>(QStringLiteral("lblUnit"));
    auto *level = dlg->findChild<QLineEdit *>(QStringLiteral("CalLevel"));
    auto *ok = dlg->findChild<QPushButton *>(QStringLiteral("OKButton"));
    QVERIFY(dlg->findChild<QRadioButton *>(QStringLiteral("optNF"))->isChecked());
    QVERIFY(optTeq && lbl && unit && level && ok && dlg->findChild<QPushButton *>(QStringLiteral("CancelButton")));
    QCOMPARE(lbl->buddy(), level);
    QVERIFY(!ok->isEnabled()); // empty entry

    dlg->show();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    QTRY_COMPARE(QApplication::focusWidget(), level);
    QTest::keyClicks(level, QStringLiteral("0"));
    QVERIFY(ok->isEnabled());
    optTeq->click();
    QCOMPARE(lbl->text() + unit->text(), QStringLiteral("Receiver Noise TemperatureK"));
    dlg->findChild<QRadioButton *>(QStringLiteral("optNF"))->click();
    QCOMPARE(lbl->text() + unit->text(), QStringLiteral("Receiver Noise FiguredB"));

    // Enter with 0: refused silently, the dialog and the focus stay.
    QTest::keyClick(level, Qt::Key_Return);
    QVERIFY(dlg->isVisible());
    QCOMPARE(QApplication::focusWidget(), level);
    QVERIFY(tb.messages.shown.isEmpty());
    // Tabbing away runs the leave rule: reformatted, refused, focus back.
    QTest::keyClick(level, Qt::Key_Tab);
    QTRY_COMPARE(tb.messages.texts(), QStringList{QStringLiteral("Receiver Noise Figuremust be > 0")});
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
    QCOMPARE(tb.meter.calNoiseSource().target(), Field::Tcold);
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

QTEST_MAIN(TstCalNoiseSource)
#include "tst_calnoisesource.moc"
