#pragma once
// Start-up timing. With TQX_EXIT_WHEN_SHOWN=1 in the environment a program
// prints "shown" on standard output and quits as soon as its main window is
// on the screen: exposed (mapped, under X11) and the event loop idle once
// after that, so the first frame has been handed to the window system.
// bench/bench_startup times `tqx` against a plain Qt Widgets program that
// does the same. Header only, so that program needs nothing else of TQX.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

class ExitWhenShown : public QObject
{
public:
    // Watches `window` when the environment asks for it; call before the
    // window is first shown.
    static void install(QWidget *window)
    {
        if (qEnvironmentVariableIntValue("TQX_EXIT_WHEN_SHOWN") == 1)
            window->installEventFilter(new ExitWhenShown(window));
    }

protected:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        // The native window exists once the widget's Show event is sent;
        // its Expose follows from the window system.
        if (e->type() == QEvent::Show && watched->isWidgetType()) {
            if (QWindow *w = static_cast<QWidget *>(watched)->windowHandle()) {
                w->installEventFilter(this);
                if (w->isExposed())
                    done();
            }
        } else if (e->type() == QEvent::Expose) {
            if (auto *w = qobject_cast<QWindow *>(watched); w && w->isExposed())
                done();
        }
        return false;
    }

private:
    void done()
    {
        if (m_done)
            return;
        m_done = true;
        QTimer::singleShot(0, this, [] {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }

    bool m_done = false;
};
