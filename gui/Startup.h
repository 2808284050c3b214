#pragma once
// What start-up shows before the main window opens: the usage box for -h,
// the error box for a refused command line. User-interface thread.

#include "instrument/CommandLine.h"

class IMessages;

// Writes what the decision calls for to the terminal: the usage to standard
// output (LF line ends), an error to standard error. Returns the exit code
// as showStartupBox() does.
int printStartupText(const StartupDecision &d);

// Whether a window system can be reached: a platform named in
// QT_QPA_PLATFORM, or an X11 or Wayland display. Without one Qt cannot
// start, so -h and a refused command line only print (console, ssh).
bool displayAvailable();

// Shows the box that the decision calls for (the usage also goes to
// standard output, an error to standard error, for a terminal user).
// Returns the process's exit code (0 after the usage, 1 after an error),
// or -1 when the program goes on to the main window.
int showStartupBox(const StartupDecision &d, IMessages &messages);
