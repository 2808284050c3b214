#include "help/UpdateCheck.h"

#include "help/HelpLinks.h"
#include "sheet/Meter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <utility>

UpdateCheck::UpdateCheck() = default;

UpdateCheck::~UpdateCheck()
{
    if (m_http && m_meter)
        m_http->cancel();
    stopProbe(true);
}

void UpdateCheck::start(Meter &m, std::function<void()> finished)
{
    cancel();
    m_outcome = UpdateOutcome{};
    m_response.reset();
    m_installed.reset();
    m_http = m.platform().http;
    if (!m_http) {
        m_outcome.message = QStringLiteral("Update site not reachable: no network access available.");
        return;
    }
    m_meter = &m;
    m_finished = std::move(finished);
    m_outcome.message = QStringLiteral("Checking for updates...");
    startProbe();
    m_http->get(QUrl(m.BaseUrl + QStringLiteral("Update.xml")), m_timeoutMs, kMaxBodyBytes,
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
    m_meter = nullptr;
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
    Meter &m = *std::exchange(m_meter, nullptr);
    m_outcome =
        evaluateUpdateResponse(*m_response, m_timeoutMs, *m_installed, Meter::versionText(), m.BaseUrl);
    if (auto finished = std::exchange(m_finished, nullptr))
        finished();
}
void UpdateCheck::launchVerlifter(Meter &m)
{
    IOpener *opener = m.platform().opener;
    if (!opener)
        return;
    // The status arrives later; the dialog may be closed by then, the
    // message still shows while the Meter exists.
    opener->open(m.AppDir + QStringLiteral("TQX.verlift"), m.AppDir, m.lifetime(), [&m](int r) {
        const QString caption = QStringLiteral("Verlift unavailable");
        if (r < 31)
            m.message(caption, QStringLiteral("Problem accessing Verlift. (Error %1)").arg(r),
                      MsgIcon::Exclamation);
        else if (r == 31)
            m.message(caption,
                      QStringLiteral("TQX could not find a file association for .verlift on your system."),
                      MsgIcon::Exclamation);
    });
}

void UpdateCheck::openDownloadPage(Meter &m)
{
    OpenUrl(m, m.BaseUrl + QStringLiteral("support.htm#download"));
}
