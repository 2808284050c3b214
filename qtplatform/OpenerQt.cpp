#include "qtplatform/OpenerQt.h"

#include "qtplatform/HelpBrowser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

constexpr int kNoAssociation = 31;
constexpr int kFileNotFound = 2;
constexpr int kSuccess = 33;

// A target with a scheme ("http://...", "mailto:...") is handed over as it
// is; anything else is a local path that must exist.
bool isLocalPath(const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return !scheme.match(target).hasMatch();
}

QString resolveProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo fi(program);
        return fi.isFile() && fi.isExecutable() ? fi.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

} // namespace

QString OpenerQt::openerProgram()
{
    const QString env = qEnvironmentVariable("TQX_OPENER");
    return env.isEmpty() ? QStringLiteral("xdg-open") : env;
}

int OpenerQt::statusForExitCode(int exitCode)
{
    switch (exitCode) {
    case 0: return kSuccess;
    case 2: return kFileNotFound;
    case 3:
    case 4: return kNoAssociation;
    default: return exitCode > 0 && exitCode <= 30 ? exitCode : 30;
    }
}

void OpenerQt::open(const QString &target, const QString &workingDir, QObject *context, Done done)
{
    // Every status is posted to the event loop, even one known at once (a
    // failed start may be signalled from inside QProcess::start()), so that
    // the caller never sees it before open() has returned. It is dropped
    // when the caller's context has gone meanwhile.
    const QPointer<QObject> guard(context);
    auto report = [guard, guarded = context != nullptr, done = std::move(done)](int r) {
        if (!done || (guarded && !guard))
            return;
        QTimer::singleShot(0, guarded ? guard.data() : QCoreApplication::instance(),
                           [done, r]() { done(r); });
    };

    QString arg = target;
    if (isLocalPath(target)) {
        if (target.isEmpty() || !QFileInfo::exists(target))
            return report(kFileNotFound);
        if (target.startsWith(QLatin1Char('-')))
            arg = QStringLiteral("./") + target; // never mistaken for an option
    }
    const QString program = resolveProgram(openerProgram());
    if (program.isEmpty())
        return report(kNoAssociation);

    // No parent: if the opener outlives the wait (it may wait for the
    // browser), the object must not be destroyed with anything, or Qt would
    // kill the process. It deletes itself once the process has ended, or
    // at once when it could not be started (finished never comes then).
    auto *proc = new QProcess;
    proc->setProgram(program);
    proc->setArguments({arg});
    if (!workingDir.isEmpty() && QFileInfo(workingDir).isDir())
        proc->setWorkingDirectory(workingDir);
    proc->setStandardInputFile(QProcess::nullDevice());
    proc->setStandardOutputFile(QProcess::nullDevice());
    proc->setStandardErrorFile(QProcess::nullDevice());

    // Exactly one status: whichever comes first of exit, failed start and
    // the end of the wait. The timer belongs to the process object.
    auto *timer = new QTimer(proc);
    timer->setSingleShot(true);
    auto reported = std::make_shared<bool>(false);
    auto once = [report, reported, timer](int r) {
        if (std::exchange(*reported, true))
            return;
        timer->stop();
        report(r);
    };
    QObject::connect(proc, &QProcess::finished, proc, [once, proc](int exitCode, QProcess::ExitStatus st) {
        once(st == QProcess::CrashExit ? 30 : statusForExitCode(exitCode));
        proc->deleteLater();
    });
    QObject::connect(proc, &QProcess::errorOccurred, proc, [once, proc](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        once(kNoAssociation);
        proc->deleteLater();
    });
    // Still running: it has taken the document over (the process is left
    // running, not killed).
    QObject::connect(timer, &QTimer::timeout, proc, [once]() { once(kSuccess); });
    timer->start(kWaitMs);
    proc->start();
}

bool OpenerQt::startProgram(const QString &program, const QStringList &args, const QString &workingDir)
{
    const QString path = resolveProgram(program);
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(path, args, workingDir);
}

bool OpenerQt::programAvailable(const QString &program)
{
    return !resolveProgram(program).isEmpty();
}

void OpenerQt::showHelp(const QString &helpDir, const QString &topic)
{
    // One help window per process, non-modal, deleted when closed.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    static QPointer<HelpBrowser> window;
    if (!window) {
        window = new HelpBrowser(helpDir);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the main window ends the program even while the manual is
        // open; the manual goes with it.
        window->setAttribute(Qt::WA_QuitOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, [w = window]() { delete w.data(); });
    }
    window->showTopic(topic);
    window->show();
    window->raise();
    window->activateWindow();
}
