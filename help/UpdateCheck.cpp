#include "help/UpdateCheck.h"
#include "sheet/Version.h"

#include "help/HelpLinks.h"
#include "platform/Messages.h"
#include "platform/Opener.h"
#include "sheet/Session.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <utility>

UpdateCheck::UpdateCheck() = default;

UpdateCheck::~UpdateCheck()
{
    if (m_http && m_running)
        m_http->cancel();
    stopProbe(true);
}

void UpdateCheck::start(IHttp *http, const QString &baseUrl, Finished finished)
{
    cancel();
    m_outcome = UpdateOutcome{};
    m_response.reset();
    m_installed.reset();
    m_http = http;
    if (!m_http) {
        m_outcome.message = QStringLiteral("Update site not reachable: no network access available.");
        return;
    }
    m_running = true;
    m_baseUrl = baseUrl;
    m_finished = std::move(finished);
    m_outcome.message = QStringLiteral("Checking for updates...");
    startProbe();
    m_http->get(QUrl(m_baseUrl + QStringLiteral("Update.xml")), m_timeoutMs, kMaxBodyBytes,
                [this](const HttpResult &res) {
                    m_response = res;
                    conclude();
                });
}

void UpdateCheck::cancel()
{
    if (!running())
        return;
    m_http->cancel();
    stopProbe(false);
    m_running = false;
    m_finished = nullptr;
    m_outcome = UpdateOutcome{};
    m_outcome.message = QStringLiteral("Update check cancelled.");
}

// The installed updater's version, asked of `verlifter --version` on PATH
// while the request runs; a tool that does not answer in time counts as
// absent.
void UpdateCheck::startProbe()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("verlifter"));
    if (program.isEmpty()) {
        m_installed = QString();
        return;
    }
    m_probe = new QProcess;
    m_probe->setStandardInputFile(QProcess::nullDevice());
    m_probe->setStandardErrorFile(QProcess::nullDevice());
    QProcess *probe = m_probe;
    auto done = [this](const QString &version) {
        m_installed = version;
        stopProbe(false);
        conclude();
    };
    QObject::connect(probe, &QProcess::finished, probe,
                     [probe, done]() { done(updaterVersionFromOutput(probe->readAll())); });
    QObject::connect(probe, &QProcess::errorOccurred, probe, [done](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            done(QString());
    });
    QTimer::singleShot(kUpdaterProbeMs, probe, [done]() { done(QString()); });
    probe->start(program, {QStringLiteral("--version")});
}

void UpdateCheck::stopProbe(bool now)
{
    QProcess *probe = std::exchange(m_probe, nullptr);
    if (!probe)
        return;
    probe->disconnect();
    if (probe->state() != QProcess::NotRunning)
        probe->kill();
    // It may be the sender of the signal being handled: delete it later,
    // unless the event loop is no longer there to do it.
    if (now)
        delete probe;
    else
        probe->deleteLater();
}

// Both the response and the updater's version are needed; whichever comes
// second shows the outcome.
void UpdateCheck::conclude()
{
    if (!running() || !m_response || !m_installed)
        return;
    m_running = false;
    m_outcome = evaluateUpdateResponse(*m_response, m_timeoutMs, *m_installed, versionText(), m_baseUrl);
    if (auto finished = std::exchange(m_finished, nullptr))
        finished(m_baseUrl);
}

void UpdateCheck::launchVerlifter(const QString &appDir, IOpener *opener, IMessages &messages,
                                  QObject *context)
{
    if (!opener)
        return;
    // The status arrives later; the dialog may be closed by then, the
    // message still shows while `context` exists.
    opener->open(appDir + QStringLiteral("TQX.verlift"), appDir, context, [&messages](int r) {
        const QString caption = QStringLiteral("Verlift unavailable");
        if (r < 31)
            messages.show(caption, QStringLiteral("Problem accessing Verlift. (Error %1)").arg(r),
                          MsgIcon::Exclamation);
        else if (r == 31)
            messages.show(
                caption, QStringLiteral("TQX could not find a file association for .verlift on your system."),
                MsgIcon::Exclamation);
    });
}

void UpdateCheck::openDownloadPage(const Session &m, IOpener *opener, IMessages &messages, QObject *context)
{
    OpenUrl(m.AppDir, opener, messages, context, m.BaseUrl + QStringLiteral("support.htm#download"));
}
