#include "gui/WindowsHost.h"

#include "gui/Dialogs.h"
#include "gui/WorkingWindow.h"

#include <QCoreApplication>
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
        if (!m_working)
            m_working = new WorkingWindow(m_main);
        m_working->setProgress(0);
        m_working->show();
        m_working->raise();
        // The main window takes no input while a reading blocks.
        if (m_main)
            m_main->setEnabled(false);
        m_working->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        if (m_working)
            m_working->hide();
        if (m_main)
            m_main->setEnabled(true);
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
