// The main window under the offscreen platform: every field and control of
// the sheet exists under its name with an accessible name, the restored
// values show, and a refused entry keeps the focus.
#include "gui/FieldWidgets.h"
#include "gui/MainWindow.h"
#include "support/TestPlatform.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

class TstMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void everyFieldAndControlIsThere();
    void restoredValuesShow();
    void refusedEntryKeepsFocus_data();
    void refusedEntryKeepsFocus();
    void enterValidatesOnceAndSelectsAgain();
    void lockedFieldsAreReadOnly();
    void verboseChangesNothing();
    void captionCarriesVersion();
};

void TstMainWindow::everyFieldAndControlIsThere()
{
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    for (int i = 0; i < int(Field::Count); ++i) {
        const QString name = fieldName(Field(i));
        QWidget *widget = w.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(name));
    }
    for (int i = 0; i < int(Control::Count); ++i) {
        const QString name = controlName(Control(i));
        QObject *o = name.startsWith("btn") ? static_cast<QObject *>(w.findChild<QPushButton *>(name))
                                            : static_cast<QObject *>(w.findChild<QAction *>(name));
        QVERIFY2(o, qPrintable(name));
    }
    QVERIFY(w.findChild<QWidget *>("Units"));
    QCOMPARE(w.findChild<QPushButton *>("btnNoise00")->text(), QStringLiteral("SC&Z"));
    QCOMPARE(w.findChild<QAction *>("mnuSaveText")->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(w.findChild<QAction *>("mnuOptionsLimits")->text(), QStringLiteral("Measurement &limits enabled"));
}

void TstMainWindow::restoredValuesShow()
{
    TestBench b;
    b.settings.values.insert("default/Att22", "3");
    b.settings.values.insert("default/Title", "LNA test");
    b.settings.values.insert("default/Units", "1");
    MainWindow w(b.meter);
    w.loadAndShow();
    QCOMPARE(w.findChild<QLineEdit *>("Att22")->text(), QStringLiteral("3.00"));
    QCOMPARE(w.findChild<QLineEdit *>("Title")->text(), QStringLiteral("LNA test"));
    QCOMPARE(w.findChild<QLineEdit *>("Interval")->text(), QStringLiteral("0.150"));
    QCOMPARE(w.findChild<QComboBox *>("Units")->currentText(), QStringLiteral("Watt"));
    QVERIFY(!w.findChild<QAction *>("mnuSaveText")->isEnabled());
    QVERIFY(!w.findChild<QPushButton *>("btnSaveTsv")->isEnabled());
    QVERIFY(w.findChild<QAction *>("mnuOptionsLimits")->isChecked());
}

void TstMainWindow::refusedEntryKeepsFocus_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("interval too long") << "Interval" << "101" << "Interval must be >= 0.05 and  <= 100";
    QTest::newRow("interval text") << "Interval" << "abc" << "Interval must be >= 0.05 and  <= 100";
    QTest::newRow("attenuator") << "Att11" << "-200.01" << "Att11 must be > -200 and < 200";
    QTest::newRow("Tcold above Thot") << "Tcold" << "40000" << "Tcold must be > 0 and < Thot";
}

void TstMainWindow::refusedEntryKeepsFocus()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    QApplication::setActiveWindow(&w);
    auto *e = w.findChild<QLineEdit *>(field);
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());
    e->selectAll();
    QTest::keyClicks(e, typed);
    QTest::keyClick(e, Qt::Key_Tab); // leave the field
    QTRY_COMPARE(b.messages.shown.size(), 1);
    QCOMPARE(b.messages.shown[0].caption, QStringLiteral("Value error:"));
    QCOMPARE(b.messages.shown[0].text, message);
    QCOMPARE(b.messages.shown[0].icon, MsgIcon::None);
    QTRY_VERIFY(e->hasFocus());
    QCOMPARE(e->selectedText(), e->text());
}

void TstMainWindow::enterValidatesOnceAndSelectsAgain()
{
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    QApplication::setActiveWindow(&w);
    auto *e = w.findChild<QLineEdit *>("Interval");
    e->setFocus();
    QTRY_VERIFY(e->hasFocus());
    e->selectAll();
    QTest::keyClicks(e, "2");
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->text(), QStringLiteral("2.000"));
    QCOMPARE(e->selectedText(), QStringLiteral("2.000"));
    QVERIFY(b.messages.shown.isEmpty());
    e->selectAll();
    QTest::keyClicks(e, "0.01");
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(b.messages.shown.size(), 1); // one box, not a second one on the focus change
    QVERIFY(e->hasFocus());
    QCOMPARE(e->selectedText(), QStringLiteral("0.010"));
}

void TstMainWindow::lockedFieldsAreReadOnly()
{
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    for (const char *name : {"Noise00", "Y2dB", "Teq1", "NF1", "Y12dB", "Teq2", "NF2", "Gain", "Teq", "NF"})
        QVERIFY2(w.findChild<QLineEdit *>(name)->isReadOnly(), name);
    for (const char *name : {"Interval", "ENR", "Noise11", "Noise22", "Tatt2"})
        QVERIFY2(!w.findChild<QLineEdit *>(name)->isReadOnly(), name);
    b.meter.sheet().setLocked(Field::ENR, true);
    w.syncFromSheet();
    QVERIFY(w.findChild<QLineEdit *>("ENR")->isReadOnly());
}

void TstMainWindow::verboseChangesNothing()
{
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    QAction *v = w.findChild<QAction *>("mnuOptionsVerbose");
    v->trigger();
    QVERIFY(!v->isChecked());
    QVERIFY(b.messages.shown.isEmpty());
}

void TstMainWindow::captionCarriesVersion()
{
    TestBench b;
    MainWindow w(b.meter);
    w.loadAndShow();
    QCOMPARE(w.windowTitle(), QStringLiteral("TQX - V") + Meter::versionText());
    QVERIFY(QRegularExpression("^TQX - V\\d+\\.\\d+\\.\\d+$").match(w.windowTitle()).hasMatch());
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
