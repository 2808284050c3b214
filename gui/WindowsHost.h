#pragma once
// The window program's answers to the instrument's requests: the working
// indicator (whose Cancel reaches Instrument::cancel), the windows the
// instrument asks for, and its messages and questions as message boxes.
// Lives on the user-interface thread; owns the working window; attached to
// the instrument's signals for as long as both exist.

#include "platform/Windows.h"

class IMessages;
struct MessageRequest;

#include <QObject>
#include <QPointer>

class Instrument;
class QWidget;
class WorkingWindow;

class WindowsHost : public QObject
{
public:
    // `boxes` shows the message boxes; it outlives this host.
    WindowsHost(Instrument &instrument, QWidget *mainWindow, IMessages &boxes);
    ~WindowsHost() override;
    void showWorking(bool visible);
    void setWorkingProgress(double fraction);
    void showDialog(DialogId id);
    void answer(MessageRequest *request);
    void setMainWindow(QWidget *w) { m_main = w; }

private:
    void showBench();
    void showAudioInput();
    void showSweep();
    Instrument &m_instrument;
    IMessages &m_boxes;
    QPointer<QWidget> m_main;
    WorkingWindow *m_working = nullptr;
    QPointer<QWidget> m_audioInput; // the Audio input window while open
    QPointer<QWidget> m_sweep; // the sweep window, once opened (owned by the main window)
};
