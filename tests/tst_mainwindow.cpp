// The main window on a 1024x768 offscreen screen: start-up states, the whole
// menu, the keyboard (Alt letters, F10, shortcuts over fields), validation of
// the edited field before any action, the first size, the virtual bench's
// place, and the working window and start-up boxes.
#include "acquire/Bench.h"
#include "gui/MainWindow.h"
#include "gui/Startup.h"
#include "gui/WindowsHost.h"
#include "gui/WorkingWindow.h"
#include "support/TestPlatform.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTemporaryFile>
#include <QtTest>

namespace {
struct Shown { // a loaded, shown and active main window over the test doubles
    TestBench b;
    MainWindow w{b.meter};
    explicit Shown(double fontScale = 1.0)
    {
        b.opener.available = {QStringLiteral("pavucontrol")};
        if (fontScale != 1.0) {
            QFont f = QApplication::font();
            f.setPointSizeF(f.pointSizeF() * fontScale);
            w.setFont(f);
        }
        w.loadAndShow();
        QApplication::setActiveWindow(&w);
    }
    QLineEdit *edit(const QString &name) { return w.findChild<QLineEdit *>(name); }
    void type(const QString &field, const QString &text)
    {
        QLineEdit *e = edit(field);
        e->setFocus();
        QTRY_VERIFY(e->hasFocus());
        e->selectAll();
        QTest::keyClicks(e, text);
    }
};
} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup()
    {
        if (QWidget *p = QApplication::activePopupWidget())
            p->close();
    }
    void startUpStates_data();
    void startUpStates();
    void wholeMenu();
    void keyboard_data();
    void keyboard();
    void actionsValidateTheEditedFieldFirst_data();
    void actionsValidateTheEditedFieldFirst();
    void firstWindowFitsTheScreen_data();
    void firstWindowFitsTheScreen();
    void benchNeverCoversThePanel();
    void windowCaptions_data();
    void windowCaptions();
    void startUpBoxes_data();
    void startUpBoxes();
};

void TstMainWindow::startUpStates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    const QStringList disabled = {"mnuEnrUnl", "mnuSaveText", "mnuSaveTsv", "mnuSaveWave", "mnuCopyTextClip",
                                  "mnuPlayWave", "btnSaveTsv"};
    for (int i = 0; i < int(Control::Count); ++i)
        QTest::newRow(controlName(Control(i))) << QString(controlName(Control(i))) << !disabled.contains(controlName(Control(i)));
}

void TstMainWindow::startUpStates()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    Shown s;
    QObject *o = s.w.findChild<QPushButton *>(name);
    if (!o)
        o = s.w.findChild<QAction *>(name);
    QVERIFY(o);
    QCOMPARE(o->property("enabled").toBool(), enabled);
    QVERIFY(o->property("visible").toBool() || name.startsWith("mnu")); // an action's visible is its own
    QCOMPARE(o->property("checked").toBool(), name == "mnuOptionsLimits");
}

void TstMainWindow::wholeMenu()
{
    Shown s;
    QStringList menu;
    for (QAction *m : s.w.menuBar()->actions())
        for (QAction *a : m->menu()->actions())
            if (!a->isSeparator())
                menu << m->text() + ' ' + a->objectName() + ' ' + a->text() + ' ' + a->shortcut().toString();
    QCOMPARE(menu, (QStringList{
        "&File mnuEnrImp Import ENR file ", "&File mnuEnrUnl Unload ENR file ",
        "&File mnuSaveText &Save text file Ctrl+S", "&File mnuSaveTsv &Record TSV Ctrl+R",
        "&File mnuSaveWave Save &Wave file ", "&File mnuPrint &Print ", "&File mnuExit E&xit ",
        "&Edit mnuCopyTextClip &Copy text results to Clipboard ",
        "&Utility mnuSCCR Sound Card Control - &Record Ctrl+D", "&Utility mnuSCCP Sound Card Control - &Playback Ctrl+K",
        "&Utility mnuMMSYS &Audio properties Ctrl+A", "&Utility mnuPlayWave Play &Wave samples Ctrl+P",
        "&Utility mnuVirtualBench &Virtual bench ",
        "&Options mnuOptionsVerbose &Verbose ", "&Options mnuOptionsLimits Measurement &limits enabled ",
        "&Options mnuNmuc &Uncertainty calculator ", "&Options mnuComSetup &Com port setup ",
        "&Help mnuHelpHelp &Help F1", "&Help mnuHome TQX &Home ", "&Help mnuFaq TQX FA&Q ",
        "&Help mnuSupport TQX &Support ", "&Help mnuUpdate Check for &updates ", "&Help mnuAbout &About "}));
    // Every Alt letter of the window is used once: menus, labels, buttons, frames.
    QStringList letters;
    for (QAction *m : s.w.menuBar()->actions())
        letters << QKeySequence::mnemonic(m->text()).toString();
    for (QWidget *w : s.w.findChildren<QWidget *>()) {
        const QVariant t = w->property(qobject_cast<QGroupBox *>(w) ? "title" : "text");
        if ((qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QGroupBox *>(w)) &&
            !QKeySequence::mnemonic(t.toString()).isEmpty())
            letters << QKeySequence::mnemonic(t.toString()).toString();
    }
    QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
}

void TstMainWindow::keyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("menu");    // the popup that opens, if any
    QTest::addColumn<QString>("started"); // the mixer program started, if any
    for (auto [letter, menu] : {std::pair{'F', "File"}, {'E', "Edit"}, {'U', "Utility"}, {'O', "Options"}, {'H', "Help"}})
        QTest::newRow(qPrintable(QStringLiteral("Alt+%1 opens %2").arg(letter).arg(menu)))
            << int(letter) << int(Qt::AltModifier) << QStringLiteral("mnu") + menu << "";
    QTest::newRow("F10 opens the first menu") << int(Qt::Key_F10) << 0 << "mnuFile" << "";
    QTest::newRow("Alt+V, TSV disabled") << int(Qt::Key_V) << int(Qt::AltModifier) << "" << "";
    QTest::newRow("Alt+K, no target") << int(Qt::Key_K) << int(Qt::AltModifier) << "" << "";
    QTest::newRow("Ctrl+A audio properties") << int(Qt::Key_A) << int(Qt::ControlModifier) << "" << "pavucontrol --tab=5";
    QTest::newRow("Ctrl+K playback mixer") << int(Qt::Key_K) << int(Qt::ControlModifier) << "" << "pavucontrol --tab=3";
}

void TstMainWindow::keyboard()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, menu);
    QFETCH(QString, started);
    Shown s;
    s.type("Title", "LNA 2.3 GHz");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_COMPARE(QApplication::activePopupWidget() ? QApplication::activePopupWidget()->objectName() : QString(), menu);
    QCOMPARE(s.edit("Title")->text(), QStringLiteral("LNA 2.3 GHz")); // no letter typed, nothing deleted
    QCOMPARE(s.b.opener.started.value(0).join(' '), started);
}

void TstMainWindow::actionsValidateTheEditedFieldFirst_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action"); // a button, a menu entry, a key, or "close"
    QTest::addColumn<QString>("message");
    const QString interval = "Interval must be >= 0.05 and  <= 100";
    QTest::newRow("Tab") << "Att11" << "-200.01" << "Tab" << "Att11 must be > -200 and < 200";
    QTest::newRow("Enter, one box only") << "Interval" << "0.01" << "Return" << interval;
    QTest::newRow("Alt+1") << "Interval" << "500" << "Alt+1" << interval;
    QTest::newRow("SCZ clicked") << "Interval" << "500" << "btnNoise00" << interval;
    QTest::newRow("menu entry") << "Att11" << "999" << "mnuNmuc" << "Att11 must be > -200 and < 200";
    QTest::newRow("F1 shortcut") << "Tcold" << "40000" << "F1" << "Tcold must be > 0 and < Thot";
    QTest::newRow("closing the window") << "Interval" << "xyz" << "close" << interval;
}

void TstMainWindow::actionsValidateTheEditedFieldFirst()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(QString, message);
    Shown s;
    s.type(field, typed);
    if (action == "close")
        QVERIFY(!s.w.close());
    else if (action.startsWith("btn"))
        QTest::mouseClick(s.w.findChild<QPushButton *>(action), Qt::LeftButton);
    else if (action.startsWith("mnu"))
        s.w.findChild<QAction *>(action)->trigger();
    else
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(action));
    QTRY_COMPARE(s.b.messages.lines().value(0), "Value error:|" + message);
    QTest::qWait(200); // a button's Alt letter clicks after a short animation
    QCOMPARE(s.b.messages.texts(), QStringList{message}); // the action did not run
    QVERIFY(s.b.windows.dialogs.isEmpty() && s.b.opener.helpShown.isEmpty() && s.b.settings.values.isEmpty());
    QTRY_VERIFY(s.w.isVisible() && s.edit(field)->hasFocus());
    QCOMPARE(s.edit(field)->selectedText(), s.edit(field)->text());
}

void TstMainWindow::firstWindowFitsTheScreen_data()
{
    QTest::addColumn<double>("fontScale");
    QTest::newRow("96 dpi") << 1.0;
    QTest::newRow("144 dpi") << 1.5;
    QTest::newRow("192 dpi") << 2.0;
}

void TstMainWindow::firstWindowFitsTheScreen()
{
    QFETCH(double, fontScale);
    Shown s(fontScale);
    QVERIFY(QTest::qWaitForWindowExposed(&s.w));
    const QRect avail = s.w.screen()->availableGeometry();
    QVERIFY2(avail.contains(s.w.frameGeometry()), qPrintable(QDebug::toString(s.w.frameGeometry())));
    auto *scroll = qobject_cast<QScrollArea *>(s.w.centralWidget()); // at 96 dpi all shows unscrolled
    QVERIFY(fontScale > 1 || !(scroll->verticalScrollBar()->isVisible() || scroll->horizontalScrollBar()->isVisible()));
}

void TstMainWindow::benchNeverCoversThePanel()
{
    Shown s(1.5);
    WindowsHost host(s.b.meter, &s.w);
    host.showDialog(DialogId::VirtualBench); // no room beside the window on 1024x768: docked
    auto *dock = s.w.findChild<QDockWidget *>();
    QVERIFY(dock && dock->isVisible() && !dock->isFloating() && s.b.meter.bench().isActive());
    for (QLineEdit *e : dock->findChildren<QLineEdit *>(QRegularExpression("benchExpected")))
        QVERIFY(e->width() >= e->fontMetrics().horizontalAdvance("-000.00") + 8); // no digit clipped
    dock->close();
    QTRY_VERIFY(!s.w.findChild<QDockWidget *>() && !s.b.meter.bench().isActive());
    s.w.setGeometry(0, 0, 450, 600); // now a compact window fits beside
    host.showDialog(DialogId::VirtualBench);
    auto *bench = s.w.findChild<QDialog *>("frmVirtualBench");
    QVERIFY(bench && bench->isVisible() && !bench->frameGeometry().intersects(s.w.frameGeometry()));
    bench->close();
}

void TstMainWindow::windowCaptions_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption"); // caption|label
    QTest::newRow("main window") << "frmMain" << "TQX - V" + Meter::versionText() + '|';
    QTest::newRow("working window") << "frmWorking" << "TQX: working...|Working, please wait...";
}

void TstMainWindow::windowCaptions()
{
    QFETCH(QString, window);
    QFETCH(QString, caption);
    Shown s;
    WorkingWindow working;
    QWidget *w = window == "frmMain" ? static_cast<QWidget *>(&s.w) : &working;
    const QLabel *label = window == "frmMain" ? nullptr : working.findChild<QLabel *>();
    QCOMPARE(w->objectName() + '|' + w->windowTitle() + '|' + (label ? label->text() : ""), window + '|' + caption);
}

void TstMainWindow::startUpBoxes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("box");
    QTest::newRow("usage") << int(StartupDecision::ShowUsage) << 0 << "TQX - Help|" + usageText();
    QTest::newRow("bad option") << int(StartupDecision::Error) << 1 << "TQX|Error: \"x\" is not a valid option.|Critical";
    QTest::newRow("normal start") << int(StartupDecision::Run) << -1 << "";
}

void TstMainWindow::startUpBoxes()
{
    QFETCH(int, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, box);
    RecordingMessages messages;
    StartupDecision d{StartupDecision::Kind(kind), "Error: \"x\" is not a valid option.", {}};
    QCOMPARE(showStartupBox(d, messages), exitCode);
    QCOMPARE(messages.lines().join(""), box);
}

// A 1024x768 screen at 96 dpi: the smallest the program must be usable on.
int main(int argc, char **argv)
{
    QTemporaryFile config;
    if (!config.open())
        return 2;
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TstMainWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_mainwindow.moc"
