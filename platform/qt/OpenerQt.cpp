#include "platform/qt/OpenerQt.h"

#include "platform/qt/HelpBrowser.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

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

int OpenerQt::open(const QString &target, const QString &workingDir)
{
    QString arg = target;
    if (isLocalPath(target)) {
        if (target.isEmpty() || !QFileInfo::exists(target))
            return kFileNotFound;
        if (target.startsWith(QLatin1Char('-')))
            arg = QStringLiteral("./") + target; // never mistaken for an option
    }
    const QString program = resolveProgram(openerProgram());
    if (program.isEmpty())
        return kNoAssociation;

    // No parent: if the opener outlives this call (it may wait for the
    // browser), the object must not be destroyed with anything, or Qt would
    // kill the process. It deletes itself once the process has ended.
    auto *proc = new QProcess;
    proc->setProgram(program);
    proc->setArguments({arg});
    if (!workingDir.isEmpty() && QFileInfo(workingDir).isDir())
        proc->setWorkingDirectory(workingDir);
    proc->setStandardInputFile(QProcess::nullDevice());
    proc->setStandardOutputFile(QProcess::nullDevice());
    proc->setStandardErrorFile(QProcess::nullDevice());

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool ended = false;
    QObject::connect(proc, &QProcess::finished, &loop, [&]() {
        ended = true;
        loop.quit();
    });
    QObject::connect(proc, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            ended = true;
            loop.quit();
        }
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(proc, &QProcess::finished, proc, &QObject::deleteLater);

    proc->start();
    if (proc->state() == QProcess::NotRunning && proc->error() == QProcess::FailedToStart) {
        delete proc;
        return kNoAssociation;
    }
    timer.start(kWaitMs);
    if (!ended)
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!ended)
        return kSuccess; // still running: it has taken the document over
    int r;
    if (proc->error() == QProcess::FailedToStart)
        r = kNoAssociation;
    else if (proc->exitStatus() == QProcess::CrashExit)
        r = 30;
    else
        r = statusForExitCode(proc->exitCode());
    if (proc->error() == QProcess::FailedToStart)
        proc->deleteLater(); // finished is not emitted after a failed start
    return r;
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
