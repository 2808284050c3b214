// The main window's menu bar: the sheet's menu controls, and the entries of
// the front end alone (averaging, the source's temperature, repeat,
// stability). GUI thread.
#include "gui/MainWindow.h"

#include "gui/Dialogs.h"
#include "gui/StabilityWindow.h"
#include "instrument/Instrument.h"
#include "instrument/SourceTemperature.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>

#include <memory>

QAction *MainWindow::makeAction(QMenu *menu, Control c, const QString &caption, const QKeySequence &key,
                                bool checkable)
{
    auto *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(controlName(c)));
    if (!key.isEmpty())
        a->setShortcut(key);
    a->setCheckable(checkable);
    m_actions[static_cast<int>(c)] = a;
    if (c == Control::mnuExit)
        connect(a, &QAction::triggered, this, &QWidget::close);
    else
        connect(a, &QAction::triggered, this, [this, c] { onClick(c); });
    return a;
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    makeAction(file, Control::mnuEnrImp, QStringLiteral("Import ENR file"));
    makeAction(file, Control::mnuEnrUnl, QStringLiteral("Unload ENR file"));
    // The source's ENR where the receiver alone is calibrated (a converter's IF).
    makeAction(file, Control::mnuCalEnrImp, QStringLiteral("Import c&alibration ENR file..."));
    makeAction(file, Control::mnuCalEnrUnl, QStringLiteral("Unload calibration ENR file"));
    makeAction(file, Control::mnuEnrView, QStringLiteral("ENR &view"));
    file->addSeparator();
    makeAction(file, Control::mnuSaveText, QStringLiteral("&Save text file"),
               QKeySequence(QStringLiteral("Ctrl+S")));
    makeAction(file, Control::mnuSaveTsv, QStringLiteral("&Record TSV"),
               QKeySequence(QStringLiteral("Ctrl+R")));
    makeAction(file, Control::mnuTsvFile, QStringLiteral("TSV record &file..."));
    makeAction(file, Control::mnuSaveWave, QStringLiteral("Save &Wave file"));
    file->addSeparator();
    makeAction(file, Control::mnuPrint, QStringLiteral("&Print"));
    file->addSeparator();
    makeAction(file, Control::mnuExit, QStringLiteral("E&xit"));

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    makeAction(edit, Control::mnuCopyTextClip, QStringLiteral("&Copy text results to Clipboard"));

    QMenu *util = menuBar()->addMenu(QStringLiteral("&Utility"));
    util->setObjectName(QStringLiteral("mnuUtility"));
    makeAction(util, Control::mnuSCCR, QStringLiteral("Sound Card Control - &Record"),
               QKeySequence(QStringLiteral("Ctrl+D")));
    makeAction(util, Control::mnuSCCP, QStringLiteral("Sound Card Control - &Playback"),
               QKeySequence(QStringLiteral("Ctrl+K")));
    makeAction(util, Control::mnuMMSYS, QStringLiteral("&Audio properties"),
               QKeySequence(QStringLiteral("Ctrl+A")));
    makeAction(util, Control::mnuPlayWave, QStringLiteral("Play &Wave samples"),
               QKeySequence(QStringLiteral("Ctrl+P")));
    util->addSeparator();
    makeAction(util, Control::mnuVirtualBench, QStringLiteral("&Virtual bench"));
    makeAction(util, Control::mnuInputMonitor, QStringLiteral("Input &monitor"));
    makeAction(util, Control::mnuBudget, QStringLiteral("Uncertainty &budget"));
    makeAction(util, Control::mnuSweep, QStringLiteral("&Frequency sweep"));

    // Repeated measurements, beside the sweep: windows of the front end
    // alone, with no rule in the instrument, so no control of the sheet. (In
    // this menu rather than one of their own: every letter of "Measure" is
    // already an Alt letter of the main window.)
    QAction *repeat = util->addAction(QStringLiteral("R&epeat..."));
    repeat->setObjectName(QStringLiteral("mnuRepeat"));
    connect(repeat, &QAction::triggered, this, &MainWindow::showRepeatDialog);
    QAction *stability = util->addAction(QStringLiteral("S&tability..."));
    stability->setObjectName(QStringLiteral("mnuStability"));
    connect(stability, &QAction::triggered, this, [this] { showStabilityWindow(m_instrument, this); });

    QMenu *opt = menuBar()->addMenu(QStringLiteral("&Options"));
    opt->setObjectName(QStringLiteral("mnuOptions"));
    QAction *verbose = makeAction(opt, Control::mnuOptionsVerbose, QStringLiteral("&Verbose"));
    verbose->setCheckable(false); // choosing it changes nothing, not even a check mark
    makeAction(opt, Control::mnuOptionsLimits, QStringLiteral("Measurement &limits enabled"), {}, true);
    // A setting of the session alone, with no rule in the instrument: no control of the sheet.
    QAction *averaging = opt->addAction(QStringLiteral("&Averaging..."));
    averaging->setObjectName(QStringLiteral("mnuAveraging"));
    connect(averaging, &QAction::triggered, this, [this] {
        std::unique_ptr<QDialog> dlg(createAveragingDialog(m_instrument, this));
        dlg->exec();
    });
    // A modal dialog that changes the sheet: the field being typed is taken
    // first, and the window follows the sheet afterwards.
    auto sheetDialog = [this, opt](const QString &text, const QString &name,
                                   QDialog *(*create)(Instrument &, QWidget *)) {
        QAction *action = opt->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, create] {
            if (!validateFocused())
                return;
            std::unique_ptr<QDialog> dlg(create(m_instrument, this));
            dlg->exec();
            syncFromSheet();
        });
    };
    // The noise source: its temperature when off, or hot and cold loads.
    sheetDialog(QStringLiteral("Noise source &temperature..."), QStringLiteral("mnuSourceTemperature"),
                createSourceTemperatureDialog);
    m_hotCold = opt->addAction(QStringLiteral("&Hot and cold loads"));
    m_hotCold->setObjectName(QStringLiteral("mnuHotColdLoads"));
    m_hotCold->setCheckable(true);
    connect(m_hotCold, &QAction::triggered, this, [this](bool on) {
        if (validateFocused())
            setHotColdLoads(m_instrument, on);
        syncFromSheet(); // a refusal puts the check mark back
    });
    // The device measured: an amplifier or a converter (the results follow).
    sheetDialog(QStringLiteral("&Device..."), QStringLiteral("mnuDevice"), createDeviceDialog);
    makeAction(opt, Control::mnuNmuc, QStringLiteral("&Uncertainty calculator"));
    makeAction(opt, Control::mnuComSetup, QStringLiteral("&Com port setup"));
    makeAction(opt, Control::mnuAudioInput, QStringLiteral("Audio &input"));
    makeAction(opt, Control::mnuRigControl, QStringLiteral("&Receiver control"));
    makeAction(opt, Control::mnuOptionsBench, QStringLiteral("Read from the virtual &bench"), {}, true);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    makeAction(help, Control::mnuHelpHelp, QStringLiteral("&Help"), QKeySequence(QKeySequence::HelpContents));
    makeAction(help, Control::mnuHome, QStringLiteral("TQX &Home"));
    makeAction(help, Control::mnuFaq, QStringLiteral("TQX FA&Q"));
    makeAction(help, Control::mnuSupport, QStringLiteral("TQX &Support"));
    help->addSeparator();
    makeAction(help, Control::mnuUpdate, QStringLiteral("Check for &updates"));
    makeAction(help, Control::mnuAbout, QStringLiteral("&About"));
}
