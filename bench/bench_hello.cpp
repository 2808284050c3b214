// The reference for bench_startup: the smallest Qt Widgets program that
// opens a main window, built with the same compiler flags as `tqx`. With
// TQX_EXIT_WHEN_SHOWN=1 it reports and quits once the window is on the
// screen, as `tqx` does.

#include "gui/ExitWhenShown.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Hello"));
    window.setCentralWidget(new QLabel(QStringLiteral("Hello, world"), &window));
    ExitWhenShown::install(&window);
    window.show();
    return app.exec();
}
