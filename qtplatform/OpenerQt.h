#pragma once
// IOpener for Linux desktops: documents and web addresses go to xdg-open
// (or the program named by the environment variable TQX_OPENER), always as
// one argument of an argument list, never through a shell.
//
// Status numbers reported by open():
//   33  the opener exited 0, or is still running after ~2 s (it may wait
//       for the browser); the process is left running, not killed
//    2  the document does not exist, or the opener exited 2 (file not found)
//   31  no handler: the opener exited 3 ("a required tool could not be
//       found") or 4 ("the action failed"), or the opener program itself is
//       missing or cannot be started - in every case nothing on this desktop
//       is set up to open the document
//    1  the opener exited 1 (bad command line)
//  5..30 any other exit code up to 30 is passed through; larger codes and a
//       crash of the opener give 30
// open() never waits: the status arrives through the event loop, at the
// latest ~2 s after the call. Used on the user-interface thread only.

#include "platform/Opener.h"

class OpenerQt : public IOpener
{
public:
    OpenerQt() = default;

    void open(const QString &target, const QString &workingDir, QObject *context, Done done) override;
    bool startProgram(const QString &program, const QStringList &args, const QString &workingDir) override;
    bool programAvailable(const QString &program) override;
    // Opens (or raises) the built-in help window on a topic of the manual.
    void showHelp(const QString &helpDir, const QString &topic) override;

    // How long the opener's exit code is awaited before success is reported.
    static constexpr int kWaitMs = 2000;

    // The opener program: $TQX_OPENER when set, else "xdg-open".
    static QString openerProgram();
    // The status number for an opener exit code (see above).
    static int statusForExitCode(int exitCode);
};
