#pragma once
// The update check: fetches BaseUrl + "Update.xml", learns the site's
// current base address and the latest released version, and tells whether
// the running version is current. Model of the dialog frmUpdate, owned by
// its user; used on the user-interface thread only. The check never blocks:
// start() returns at once, the outcome arrives through the event loop, and
// cancel() ends a check that is still waiting. It keeps only the HTTP
// service of the running request and a copy of the base address.

#include "help/UpdateResponse.h"
#include "platform/Http.h"

#include <QString>
#include <functional>
#include <optional>

class IMessages;
class IOpener;
class QObject;
class QProcess;
struct Session;

class UpdateCheck
{
public:
    static constexpr int kDefaultTimeoutMs = 10000;
    // `verlifter --version` answers within this or the updater counts as absent.
    static constexpr int kUpdaterProbeMs = 2000;
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;

    UpdateCheck();
    ~UpdateCheck();
    UpdateCheck(const UpdateCheck &) = delete;
    UpdateCheck &operator=(const UpdateCheck &) = delete;

    // Runs once when the outcome is shown, with the site's base address:
    // the one the check started from, or the one the site has moved to,
    // for the caller to keep (it is written to the settings store at exit).
    using Finished = std::function<void(const QString &baseUrl)>;

    // Dialog load: resets the dialog state, shows the waiting text and
    // starts the request for baseUrl + "Update.xml" through `http` (null:
    // the outcome is "no network access" at once, `finished` never runs) and
    // the updater probe. `finished` never runs after cancel(). `http` must
    // outlive the check.
    void start(IHttp *http, const QString &baseUrl, Finished finished);
    // Ends a waiting check at once: the request is aborted, nothing moves,
    // `finished` does not run.
    void cancel();
    bool running() const { return m_running; }

    // "Launch Verlifter": opens appDir + "TQX.verlift". The dialog closes
    // afterwards in every case. A failure is reported through `messages`
    // later, from the event loop, while `context` exists; `messages` must
    // outlive `context`.
    static void launchVerlifter(const QString &appDir, IOpener *opener, IMessages &messages,
                                QObject *context);
    // "Open download page": OpenUrl(BaseUrl + "support.htm#download"), as
    // help/HelpLinks opens it.
    static void openDownloadPage(const Session &m, IOpener *opener, IMessages &messages, QObject *context);

    const QString &message() const { return m_outcome.message; }
    bool verlifterEnabled() const { return m_outcome.verlifterEnabled; }
    bool supportVisible() const { return m_outcome.supportVisible; }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    void startProbe();
    void stopProbe(bool now);
    void conclude();

    bool m_running = false;  // a request is waiting for its outcome
    IHttp *m_http = nullptr; // the service the running request went to
    QString m_baseUrl;       // the running check's base address; may move with the answer
    Finished m_finished;
    std::optional<HttpResult> m_response;
    std::optional<QString> m_installed;
    QProcess *m_probe = nullptr; // owned; `verlifter --version` while it runs
    UpdateOutcome m_outcome;
    int m_timeoutMs = kDefaultTimeoutMs;
};
