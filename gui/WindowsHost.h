#pragma once
// The GUI side of IWindows: the working indicator (whose Cancel reaches
// Meter::cancel) and the modal dialogs the core asks for. Lives on the user-interface thread; owns the working window.

#include "platform/Windows.h"

#include <QPointer>

class Meter;
class QWidget;
class WorkingWindow;

class WindowsHost : public IWindows
{
public:
    WindowsHost(Meter &meter, QWidget *mainWindow);
    ~WindowsHost() override;
    void showWorking(bool visible) override;
    void setWorkingProgress(double fraction) override;
    void showDialog(DialogId id) override;
    void setMainWindow(QWidget *w) { m_main = w; }

private:
    void showBench();
    void showAudioInput();
    void showSweep();
    Meter &m_meter;
    QPointer<QWidget> m_main;
    WorkingWindow *m_working = nullptr;
    QPointer<QWidget> m_audioInput; // the Audio input window while open
    QPointer<QWidget> m_sweep; // the sweep window, once opened (owned by the main window)
};
