// The main window on a 1024x768 offscreen screen: start-up states, the whole
// menu, the keyboard (Alt letters, F10, shortcuts over fields), validation of
// the edited field before any action, the first size, the virtual bench's
// place, and the working window and start-up boxes.
#include "acquire/Bench.h"
#include "calc/Results.h"
#include "gui/MainWindow.h"
#include "gui/Startup.h"
#include "gui/WindowsHost.h"
#include "gui/WorkingWindow.h"
#include "calc/Nmuc.h"
#include "calc/Results.h"
#include "instrument/Repeatability.h"
#include "sheet/NumText.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <QtWidgets>

namespace {
QDialog *s_dialog = nullptr; // the modal dialog the test's timer found
struct Shown { // a loaded, shown and active main window over the test doubles
    TestBench b;
    MainWindow w{b.meter};
    explicit Shown(double fontScale = 1.0)
    {
        b.opener.available = {QStringLiteral("pavucontrol")};
        QFont f = QApplication::font();
        f.setPointSizeF(f.pointSizeF() * fontScale);
        w.setFont(f);
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
    void startUpStates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        const QStringList disabled = {"mnuEnrUnl", "mnuCalEnrUnl", "mnuSaveText", "mnuSaveTsv", "mnuSaveWave", "mnuCopyTextClip",
                                      "mnuPlayWave", "btnSaveTsv"};
        for (int i = 0; i < int(Control::Count); ++i)
            QTest::newRow(controlName(Control(i))) << QString(controlName(Control(i))) << !disabled.contains(controlName(Control(i)));
    }

    void startUpStates()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        Shown s;
        QObject *o = name.startsWith("btn") ? static_cast<QObject *>(s.w.findChild<QPushButton *>(name)) : s.w.findChild<QAction *>(name);
        QCOMPARE(o->property("enabled").toBool(), enabled);
        QCOMPARE(o->property("checked").toBool(), name == "mnuOptionsLimits");
    }

    void wholeMenu()
    {
        Shown s;
        QCOMPARE(s.w.windowTitle(), "TQX - V" + Instrument::versionText());
        QStringList menu; // per menu: its caption, then each entry's caption and shortcut
        for (QAction *m : s.w.menuBar()->actions()) {
            menu << m->text();
            for (QAction *a : m->menu()->actions())
                menu.last() += a->isSeparator() ? QString() : '|' + a->text() + ' ' + a->shortcut().toString();
        }
        QCOMPARE(menu, (QStringList{
            "&File|Import ENR file |Unload ENR file |Import c&alibration ENR file... |Unload calibration ENR file |ENR &view |&Save text file Ctrl+S|&Record TSV Ctrl+R|TSV record &file... |Save &Wave file |&Print |E&xit ",
            "&Edit|&Copy text results to Clipboard ",
            "&Utility|Sound Card Control - &Record Ctrl+D|Sound Card Control - &Playback Ctrl+K|&Audio properties Ctrl+A"
            "|Play &Wave samples Ctrl+P|&Virtual bench |Input &monitor |Uncertainty &budget |&Frequency sweep "
            "|R&epeat... |S&tability... ",
            "&Options|&Verbose |Measurement &limits enabled |&Averaging... |Noise source &temperature... |&Hot and cold loads |&Device... |&Uncertainty calculator |&Com port setup |Audio &input |&Receiver control |Read from the virtual &bench ",
            "&Help|&Help F1|TQX &Home |TQX FA&Q |TQX &Support |Check for &updates |&About "}));
        // Every Alt letter of the window is used once: menus, labels, buttons, frames.
        QStringList letters; // titles of menus and frames, texts of labels and buttons
        for (QWidget *w : s.w.findChildren<QWidget *>()) {
            const QString t = w->property(w->property("title").isValid() ? "title" : "text").toString();
            if (!qobject_cast<QLineEdit *>(w) && !QKeySequence::mnemonic(t).isEmpty())
                letters << QKeySequence::mnemonic(t).toString();
        }
        QCOMPARE(letters.size(), 24); // menus 5, frames 3, fields 9 (not Units), buttons 7
        QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
    }

    void keyboard_data()
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
        QTest::newRow("Ctrl+A audio properties") << int(Qt::Key_A) << int(Qt::ControlModifier) << "" << "pavucontrol --tab=5";
    }

    void keyboard()
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
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    }

    void actionsValidateTheEditedFieldFirst_data()
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

    void actionsValidateTheEditedFieldFirst()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(QString, message);
        Shown s;
        s.type(field, typed);
        if (QPushButton *button = s.w.findChild<QPushButton *>(action))
            QTest::mouseClick(button, Qt::LeftButton);
        else if (QAction *entry = s.w.findChild<QAction *>(action))
            entry->trigger();
        else if (action == "close")
            s.w.close();
        else
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(action));
        QTRY_COMPARE(s.b.messages.lines().value(0), "Value error:|" + message);
        QTest::qWait(200); // a button's Alt letter clicks after a short animation
        QCOMPARE(s.b.messages.texts(), QStringList{message}); // the action did not run
        QVERIFY(s.b.windows.dialogs.isEmpty() && s.b.opener.helpShown.isEmpty() && s.b.settings.values.isEmpty());
        QTRY_VERIFY(s.w.isVisible() && s.edit(field)->hasFocus());
        QCOMPARE(s.edit(field)->selectedText(), s.edit(field)->text());
    }

    void firstWindowFitsTheScreen_data()
    {
        QTest::addColumn<double>("fontScale");
        QTest::newRow("96 dpi") << 1.0;
        QTest::newRow("144 dpi") << 1.5;
        QTest::newRow("192 dpi") << 2.0;
    }

    void firstWindowFitsTheScreen()
    {
        QFETCH(double, fontScale);
        Shown s(fontScale);
        QVERIFY(QTest::qWaitForWindowExposed(&s.w));
        const QRect avail = s.w.screen()->availableGeometry();
        QVERIFY2(avail.contains(s.w.frameGeometry()), qPrintable(QDebug::toString(s.w.frameGeometry())));
        auto *scroll = qobject_cast<QScrollArea *>(s.w.centralWidget()); // at 96 dpi all shows unscrolled
        QVERIFY(fontScale > 1 || !(scroll->verticalScrollBar()->isVisible() || scroll->horizontalScrollBar()->isVisible()));
        // The Stability window fits too, and names every control for a screen reader.
        s.w.findChild<QAction *>("mnuStability")->trigger();
        auto *stability = s.w.findChild<QDialog *>("frmStability");
        QVERIFY(QTest::qWaitForWindowExposed(stability));
        QVERIFY2(avail.contains(stability->frameGeometry()), qPrintable(QDebug::toString(stability->frameGeometry())));
        for (QWidget *c : stability->findChildren<QWidget *>())
            if (qobject_cast<QAbstractButton *>(c) || qobject_cast<QComboBox *>(c) || qobject_cast<QAbstractSpinBox *>(c))
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }

    // The window mirrors the instrument's guards: the calibration's state as an accessible value, the
    // warning line, and the marked field's colour and tooltip; the result's text stays.
    void guardsAreMirrored()
    {
        Shown s;
        auto *state = s.w.findChild<QLabel *>("calibrationState");
        QCOMPARE(state->text(), QStringLiteral("No calibration"));
        QCOMPARE(state->accessibleName(), QStringLiteral("Calibration state"));
        Session &m = s.b.meter.session();
        const std::pair<Field, const char *> texts[] = {{Field::Frequency, "144"}, {Field::Noise11, "-40.000"},
            {Field::Noise12, "-34.000"}, {Field::Noise21, "-30.000"}, {Field::Noise22, "-20.000"}};
        for (auto [f, t] : texts)
            s.b.meter.sheet().setText(f, QString::fromLatin1(t));
        m.LevelRecords[0].text = QStringLiteral("-40.000"), m.LevelRecords[0].mhz = 432; // taken at 432 MHz
        m.LevelRecords[0].interval = ParseNumber(s.b.meter.sheet().text(Field::Interval));
        m.LevelRecords[0].enrDb = ParseNumber(s.b.meter.sheet().text(Field::ENR));
        ResultsCalc(s.b.meter.sheet());
        s.w.syncFromSheet();
        QCOMPARE(state->text(), QStringLiteral("Calibration stale"));
        QLineEdit *nf = s.edit("NF");
        QVERIFY(!nf->text().isEmpty() && nf->toolTip().startsWith("The calibration (readings 1 and 2) was taken at 432 MHz"));
        QVERIFY(nf->palette().color(QPalette::Base) != s.edit("NF1")->palette().color(QPalette::Base));
        QCOMPARE(s.w.findChild<QLabel *>("guardLine")->text().count('\n'), 0); // one warning
    }

    // Options > Device: every control named; OK sets a Ku-band LNB and the IF line under Frequency follows.
    void deviceDialog()
    {
        Shown s;
        auto *ifLine = s.w.findChild<QLabel *>("lblIf");
        QVERIFY(ifLine->isHidden());
        s.b.meter.sheet().setText(Field::Frequency, "11000.000");
        QTimer::singleShot(0, &s.w, [] {
            auto *dlg = s_dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            for (QWidget *c : dlg->findChildren<QWidget *>())
                if (qobject_cast<QComboBox *>(c) || qobject_cast<QAbstractSpinBox *>(c))
                    QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            dlg->findChild<QComboBox *>("cboDeviceMode")->setCurrentIndex(1);
            dlg->findChild<QComboBox *>("cboSideband")->setCurrentIndex(1);
            dlg->findChild<QDoubleSpinBox *>("spnLo")->setValue(9750);
            QCOMPARE(dlg->findChild<QComboBox *>("cboLoPreset")->currentIndex(), 1); // the preset it matches
            dlg->accept();
        });
        s.w.findChild<QAction *>("mnuDevice")->trigger();
        QVERIFY(s_dialog);
        QCOMPARE(s.b.meter.sheet().device.mode, physics::DeviceMode::DownConverter);
        QCOMPARE(ifLine->text(), QStringLiteral("IF 1250.000 MHz"));
        QVERIFY(ifLine->isVisible());
        QCOMPARE(ifLine->accessibleName(), QStringLiteral("Receiver IF"));
    }

    void benchNeverCoversThePanel()
    {
        Shown s(1.5);
        RecordingMessages boxes;
        WindowsHost host(s.b.meter, &s.w, boxes);
        for (bool wide : {false, true}) {
            if (wide) { // now the three columns fit beside
                s.w.setFont(QApplication::font());
                s.w.setGeometry(0, 0, 120, 600);
            }
            host.showDialog(DialogId::VirtualBench); // no room beside on 1024x768 at first: the window moves aside
            auto *bench = s.w.findChild<QDialog *>("frmVirtualBench");
            QVERIFY(bench && bench->isVisible() && !bench->frameGeometry().intersects(s.w.frameGeometry()));
            QVERIFY(s.w.screen()->availableGeometry().contains(bench->frameGeometry()));
            QCOMPARE(!bench->findChild<QTabWidget *>("benchTabs"), wide);
            QLineEdit *truth = bench->findChild<QLineEdit *>("benchRxTe"); // the true values in view, unscrolled
            QVERIFY(truth->isVisible() && bench->rect().contains(QRect(truth->mapTo(bench, QPoint()), truth->size())));
            for (QLineEdit *e : bench->findChildren<QLineEdit *>(QRegularExpression("benchExpected")))
                QVERIFY(e->width() >= e->fontMetrics().horizontalAdvance("-000.00") + 8); // no digit clipped
            for (QLabel *l : bench->findChildren<QLabel *>()) // the button reads SCZ, so does the bench
                QVERIFY2(!l->text().contains("SC&"), qPrintable(l->text()));
            bench->close();
            QTRY_VERIFY(!s.w.findChild<QDialog *>("frmVirtualBench"));
        }
    }

    // The repeatability lines under NF(1) and NF(2): predicted with the results (the calculator's 2000 Hz, 1 s),
    // blank without a bandwidth; observed after a run, red with the hint when it is far above the prediction.
    void repeatabilityReadout()
    {
        Shown s;
        const char *levels[] = {"0.000", "6.193", "12.240", "25.224"}; // ENR 15 dB, NF(2) 10 dB, 20 dB / 2 dB device
        const Field fields[] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
        for (int k = 0; k < 4; ++k)
            s.b.meter.sheet().setText(fields[k], levels[k]);
        s.b.meter.sheet().setText(Field::Interval, "1");
        s.b.meter.sheet().setText(Field::Thot, "9460.6");
        ResultsCalc(s.b.meter.sheet());
        s.w.syncFromSheet();
        auto *dut = s.w.findChild<QLabel *>("lblPredictedDut");
        QVERIFY(QRegularExpression(QString::fromUtf8("^\u00b10\\.\\d\\d dB predicted \\(1\u03c3\\)$")).match(dut->text()).hasMatch());
        QVERIFY(!s.w.findChild<QLabel *>("lblPredictedInstrument")->text().isEmpty());
        auto *run = s.w.findChild<RepeatRun *>();
        run->start(RepeatRun::Mode::ByHand, 2);
        for (double nf : {2.0, 4.0})
            run->take({nf, 10.0}, predictRepeatability(s.b.meter));
        auto *observed = s.w.findChild<QLabel *>("lblObservedDut");
        QVERIFY(observed->isVisible() && observed->text().startsWith(QString::fromUtf8("NF(1): \u00b11.41 dB observed (95 %: 0.63 to ")));
        QCOMPARE(observed->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
        QCOMPARE(observed->toolTip(), repeatHint());
        s.b.meter.nmuc().setText(NmucField::Bandwidth, "0");
        s.w.syncFromSheet();
        QCOMPARE(dut->text(), QString());
    }

    // What the user sees besides the main window: the start-up boxes of the
    // usage and a bad option (caption, text, icon) and the working window.
    void startUpBoxesAndWorkingWindow_data()
    {
        QTest::addColumn<int>("kind"); // a start-up decision, or -1: the working window
        QTest::addColumn<QString>("shown"); // exit code, then caption|text|icon; or caption|label
        QTest::newRow("usage box") << int(StartupDecision::ShowUsage) << "0 TQX - Help|" + usageText();
        QTest::newRow("bad option box") << int(StartupDecision::Error) << "1 TQX|Error: \"x\" is not a valid option.|Critical";
        QTest::newRow("normal start, no box") << int(StartupDecision::Run) << "-1 ";
        QTest::newRow("working window") << -1 << "TQX: working...|Working, please wait...";
    }

    void startUpBoxesAndWorkingWindow()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        WorkingWindow working;
        RecordingMessages messages;
        const StartupDecision d{StartupDecision::Kind(kind), "Error: \"x\" is not a valid option.", {}};
        const QString first = kind < 0 ? working.windowTitle() : QString::number(showStartupBox(d, messages));
        QCOMPARE(first + (kind < 0 ? '|' + working.findChild<QLabel *>()->text() : ' ' + messages.lines().join("")), shown);
    }
};

// A 1024x768 screen at 96 dpi: the smallest the program must be usable on.
int main(int argc, char **argv)
{
    QTemporaryFile config;
    config.open();
    config.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TstMainWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_mainwindow.moc"
