#include "gui/WindowsHost.h"

#include "gui/AudioInputWindow.h"
#include "gui/Dialogs.h"
#include "gui/SweepWindow.h"
#include "gui/WorkingWindow.h"

#include "instrument/Instrument.h"

#include <QDialog>
#include <QBoxLayout>
#include <QDockWidget>
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
    // window where the screen has room (wide, else compact), else a compact
    // dock at the main window's right edge (the panel scrolls), which the
    // user can float and move.
    auto *main = qobject_cast<QMainWindow *>(m_main.data());
    QDialog *dlg = nullptr;
    for (bool compact : {false, true}) {
        dlg = createVirtualBenchDialog(m_instrument, m_main, compact);
        if (!dlg)
            return; // already open: brought forward
        if (!main || placeBeside(dlg, main)) {
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            dlg->show();
            dlg->raise();
            return;
        }
        if (!compact)
            delete dlg;
    }
    auto *dock = new QDockWidget(dlg->windowTitle(), main);
    dock->setObjectName(QStringLiteral("dockVirtualBench"));
    dock->setAttribute(Qt::WA_DeleteOnClose);
    dock->setWidget(dlg); // now a child: routed while shown, see the bench window
    auto *columns = dlg->findChild<QBoxLayout *>(QStringLiteral("benchColumns"));
    // The bench's groups run across a dock at the bottom and down one at the
    // side; switches and expected levels come first, the rest scrolls.
    auto arrange = [columns](Qt::DockWidgetArea area) {
        const bool across = area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
        columns->setDirection(across ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    };
    QObject::connect(dock, &QDockWidget::dockLocationChanged, dock, arrange);
    // The dock takes the part of the screen beside the window that is still
    // free, and the window grows by it, so the panel keeps its full size:
    // below the window when about ten lines fit there, else at its right
    // edge when twenty characters do, else wherever there is more room.
    const QRect avail = main->screen()->availableGeometry();
    const QRect outer = main->frameGeometry();
    QRect grown = main->geometry();
    const QMargins frame(grown.left() - outer.left(), grown.top() - outer.top(), outer.right() - grown.right(),
                         outer.bottom() - grown.bottom());
    const QRect room = avail.marginsRemoved(frame); // for the client area
    const int below = room.height() - grown.height();
    const int right = room.width() - grown.width();
    const QFontMetrics fm = dock->fontMetrics();
    const bool bottom = below >= 10 * fm.height() || (right < 20 * fm.averageCharWidth() && below >= right);
    // With no room at all the panel gives some of its own and scrolls.
    const int size = std::max(bottom ? below : right, bottom ? 8 * fm.height() : 16 * fm.averageCharWidth());
    arrange(bottom ? Qt::BottomDockWidgetArea : Qt::RightDockWidgetArea);
    if (bottom)
        grown.setHeight(std::min(room.height(), grown.height() + size));
    else
        grown.setWidth(std::min(room.width(), grown.width() + size));
    grown.moveTo(std::max(room.left(), std::min(grown.left(), room.right() + 1 - grown.width())),
                 std::max(room.top(), std::min(grown.top(), room.bottom() + 1 - grown.height())));
    main->addDockWidget(bottom ? Qt::BottomDockWidgetArea : Qt::RightDockWidgetArea, dock);
    main->setGeometry(grown);
    dock->show();
    main->resizeDocks({dock}, {size}, bottom ? Qt::Vertical : Qt::Horizontal);
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
