#include "gui/WindowsHost.h"

#include "gui/Dialogs.h"
#include "gui/WorkingWindow.h"

#include "sheet/Meter.h"

#include <QDialog>
#include <QWidget>

WindowsHost::WindowsHost(Meter &meter, QWidget *mainWindow)
    : m_meter(meter)
    , m_main(mainWindow)
{
}

WindowsHost::~WindowsHost()
{
    delete m_working;
}

void WindowsHost::showWorking(bool visible)
{
    if (visible) {
        if (!m_working) {
            m_working = new WorkingWindow(m_main);
            // Cancel, Esc or closing the window: the running operation stops.
            QObject::connect(m_working, &WorkingWindow::cancelRequested, m_working, [this] { m_meter.cancel(); });
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
    case DialogId::CalNoiseSource: dlg = createCalNoiseSourceDialog(m_meter, m_main); break;
    case DialogId::Nmuc: dlg = createNmucDialog(m_meter, m_main); break;
    case DialogId::ComSetup: dlg = createComSetupDialog(m_meter, m_main); break;
    case DialogId::Update: dlg = createUpdateDialog(m_meter, m_main); break;
    case DialogId::About: dlg = createAboutDialog(m_meter, m_main); break;
    case DialogId::VirtualBench: dlg = createVirtualBenchDialog(m_meter, m_main); break;
    case DialogId::Help: dlg = createHelpWindow(m_meter, m_main); break;
    }
    if (!dlg)
        return;
    if (id == DialogId::VirtualBench || id == DialogId::Help) {
        // Modeless: the user measures while the bench or the manual is open.
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->show();
        dlg->raise();
        return;
    }
    dlg->exec();
    delete dlg;
}
