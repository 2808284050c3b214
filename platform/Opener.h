#pragma once
// The desktop's "open" action for web addresses, documents and programs,
// and the help viewer.
//
// open() reports a status number r, later, without waiting for the started
// program: r > 32 success; r == 31 no program is associated with the
// document; 0..30 other failures (2 = file not found).

#include <QString>
#include <QStringList>
#include <functional>

class QObject;

class IOpener
{
public:
    using Done = std::function<void(int status)>;
    virtual ~IOpener() = default;
    // Starts opening `target` and returns at once. `done` (may be empty) runs
    // exactly once with the status, on the calling thread from its event
    // loop - never from inside open() - unless `context` (not owned; null when
    // `done` needs no guard) has been destroyed by then: then it never runs.
    virtual void open(const QString &target, const QString &workingDir, QObject *context, Done done) = 0;
    // Starts a program with an argument list (never a shell string), without
    // waiting; returns false when it could not be started.
    virtual bool startProgram(const QString &program, const QStringList &args,
                              const QString &workingDir) = 0;
    // True when the program is found on PATH (or is an executable path).
    virtual bool programAvailable(const QString &program) = 0;
    // Shows a topic of the manual in the help window; outcome not checked.
    virtual void showHelp(const QString &helpDir, const QString &topic) = 0;
};
