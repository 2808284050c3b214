#include "gui/WindowsHost.h"

#include "gui/AudioInputWindow.h"
#include "gui/Dialogs.h"
#include "gui/SweepWindow.h"
#include "gui/WorkingWindow.h"

#include "instrument/Instrument.h"

#include <QDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// Moves a top-level window next to the main window, right or left of it,
// when it fits there on the screen; false when there is no such room.
bool placeBeside(QWidget *w, const QWidget *main)
{
    const QScreen *screen = main->screen();
    if (!screen || !main->isVisible())
        return false;
    const QRect avail = screen->availableGeometry();
    const QRect outer = main->frameGeometry();
    const QSize frame = outer.size() - main->size(); // title bar and borders
    const QSize need = w->sizeHint().expandedTo(w->minimumSizeHint()) + frame;
    if (need.height() > avail.height())
        return false;
    const int y = std::clamp(outer.top(), avail.top(), avail.bottom() + 1 - need.height());
    if (avail.right() - outer.right() >= need.width())
        w->move(outer.right() + 1, y);
    else if (outer.left() - avail.left() >= need.width())
        w->move(outer.left() - need.width(), y);
    else
        return false;
    return true;
}

} // namespace

WindowsHost::WindowsHost(Instrument &instrument, QWidget *mainWindow, IMessages &boxes)
    : m_instrument(instrument), m_boxes(boxes), m_main(mainWindow)
{
    connect(&instrument, &Instrument::workingShown, this, &WindowsHost::showWorking);
    connect(&instrument, &Instrument::progress, this, &WindowsHost::setWorkingProgress);
    connect(&instrument, &Instrument::workingText, this, [this](const QString &text) {
        if (m_working)
            m_working->setText(text);
    });
    connect(&instrument, &Instrument::dialogRequested, this, &WindowsHost::showDialog);
    connect(&instrument, &Instrument::messageRequested, this, &WindowsHost::answer);
}

void WindowsHost::answer(MessageRequest *r)
{
    if (r->answered)
        return; // a remote client's run: its client reads it in the error queue
    if (r->question)
        r->answer = m_boxes.ask(r->caption, r->text);
    else
        m_boxes.showDetailed(r->caption, r->text, r->icon, r->details);
    r->answered = true;
}

WindowsHost::~WindowsHost()
{
    delete m_working;
}

void WindowsHost::showWorking(bool visible)
{
    // The main window takes no input while an operation runs, but stays
    // closable: its menus and fields are disabled rather than blocked by a
    // modal window.
    if (auto *main = qobject_cast<QMainWindow *>(m_main.data())) {
        main->menuBar()->setEnabled(!visible);
        if (QWidget *panel = main->centralWidget())
            panel->setEnabled(!visible);
    }
    if (visible) {
        if (!m_working) {
            m_working = new WorkingWindow(m_main);
            // Cancel, Esc or closing the window: the running operation stops.
            QObject::connect(m_working, &WorkingWindow::cancelRequested, m_working,
                             [this] { m_instrument.cancel(); });
        }
        m_working->setProgress(0);
        m_working->setText(QString()); // each operation says its own
        // Application-modal: the main window takes no input meanwhile, this
        // one does. Shown without waiting; the operation runs on.
        m_working->show();
        m_working->raise();
        m_working->activateWindow();
    } else if (m_working) {
        m_working->hide();
    }
}

void WindowsHost::setWorkingProgress(double fraction)
{
    if (m_working)
        m_working->setProgress(fraction);
}

void WindowsHost::showDialog(DialogId id)
{
    QDialog *dlg = nullptr;
    switch (id) {
    case DialogId::CalNoiseSource:
        dlg = createCalNoiseSourceDialog(m_instrument, m_main);
        break;
    case DialogId::Nmuc:
        dlg = createNmucDialog(m_instrument, m_main);
        break;
    case DialogId::ComSetup:
        dlg = createComSetupDialog(m_instrument, m_main);
        break;
    case DialogId::Update:
        dlg = createUpdateDialog(m_instrument, m_main);
        break;
    case DialogId::About:
        dlg = createAboutDialog(m_instrument, m_main);
        break;
    case DialogId::RigControl:
        dlg = createReceiverControlDialog(m_instrument, m_main);
        break;
    case DialogId::VirtualBench:
        showBench();
        return;
    case DialogId::AudioInput:
        showAudioInput();
        return;
    case DialogId::EnrView:
        dlg = createEnrViewDialog(m_instrument, m_main);
        break;
    case DialogId::Budget:
        dlg = createBudgetDialog(m_instrument, m_main);
        break;
    case DialogId::Sweep:
        showSweep();
        return;
    }
    if (!dlg)
        return;
    dlg->exec();
    delete dlg;
}

void WindowsHost::showAudioInput()
{
    // Modeless and single: the user sets up the receiver with it open.
    if (!m_audioInput) {
        m_audioInput = new AudioInputWindow(m_instrument, m_main);
        if (!m_main || !placeBeside(m_audioInput, m_main)) {
            // No room beside the main window: on it, within the screen.
            const QScreen *screen = m_main ? m_main->screen() : m_audioInput->screen();
            if (screen) {
                const QRect avail = screen->availableGeometry();
                const QSize size = m_audioInput->sizeHint().boundedTo(avail.size() - QSize(16, 40));
                m_audioInput->resize(size);
                m_audioInput->move(avail.right() + 1 - size.width() - 16, avail.top());
            }
        }
    }
    m_audioInput->show();
    m_audioInput->raise();
    m_audioInput->activateWindow();
}

void WindowsHost::showBench()
{
    // Modeless: the user measures while the bench is open. It must never
    // cover the measurement buttons and results: a window beside the main
    // window, in three columns where the screen has room, else compact.
    // Without room even for that, the main window moves to the screen's left
    // edge, giving up width only if it must (its panel then scrolls), and
    // the bench takes the right.
    auto *main = qobject_cast<QMainWindow *>(m_main.data());
    QDialog *dlg = nullptr;
    bool placed = false;
    for (bool compact : {false, true}) {
        dlg = createVirtualBenchDialog(m_instrument, m_main, compact);
        if (!dlg)
            return; // already open: brought forward
        placed = !main || placeBeside(dlg, main);
        if (placed || compact)
            break;
        delete dlg;
    }
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!placed && main->isVisible() && main->screen()) {
        const QRect avail = main->screen()->availableGeometry();
        const QRect outer = main->frameGeometry();
        const QSize frame = outer.size() - main->size();
        const QSize need = dlg->sizeHint().expandedTo(dlg->minimumSizeHint()) + frame;
        QRect g = main->geometry();
        g.moveLeft(avail.left() + (g.left() - outer.left()));
        g.setWidth(std::max(std::min(g.width(), avail.width() - need.width() - frame.width()),
                            main->minimumSizeHint().width()));
        main->setGeometry(g);
        if (!placeBeside(dlg, main)) {
            // Taller than the screen: at its right edge, as tall as it is.
            dlg->resize(need.boundedTo(avail.size()) - frame);
            dlg->move(avail.right() + 1 - std::min(need.width(), avail.width()), avail.top());
        }
    }
    dlg->show();
    dlg->raise();
}

void WindowsHost::showSweep()
{
    // Non-modal and kept: it stays open beside the main window, and closing
    // only hides it, so the last calibration survives until the program ends.
    if (!m_sweep)
        m_sweep = new SweepWindow(m_instrument, m_main);
    if (!m_sweep->isVisible() && m_main)
        placeBeside(m_sweep, m_main);
    m_sweep->show();
    m_sweep->raise();
    m_sweep->activateWindow();
}
