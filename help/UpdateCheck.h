#pragma once
// The update check: fetches BaseUrl + "Update.xml", learns the site's
// current base address and the latest released version, and tells whether
// the running version is current. Model of the dialog frmUpdate; owned by
// Meter, used on the user-interface thread only. The check never blocks:
// start() returns at once, the outcome arrives through the event loop, and
// cancel() ends a check that is still waiting.

#include "help/UpdateResponse.h"
#include "platform/Http.h"

#include <QString>
#include <functional>
#include <optional>

class Meter;
class QProcess;

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

    // Dialog load: resets the dialog state, shows the waiting text and
    // starts the request and the updater probe. `finished` runs once when
    // the outcome is shown, never after cancel(). May replace m.BaseUrl
    // (written to the settings store at exit). `m` must outlive the check.
    void start(Meter &m, std::function<void()> finished);
    // Ends a waiting check at once: the request is aborted, nothing moves,
    // `finished` does not run.
    void cancel();
    bool running() const { return m_meter != nullptr; }

    // "Launch Verlifter": opens AppDir + "TQX.verlift". The dialog closes
    // afterwards in every case.
    void launchVerlifter(Meter &m);
    // "Open download page": OpenUrl(BaseUrl + "support.htm#download").
    void openDownloadPage(Meter &m);

    const QString &message() const { return m_outcome.message; }
    bool verlifterEnabled() const { return m_outcome.verlifterEnabled; }
    bool supportVisible() const { return m_outcome.supportVisible; }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    void startProbe();
    void stopProbe(bool now);
    void conclude();

    Meter *m_meter = nullptr; // the check's sheet while it runs; null when idle
    IHttp *m_http = nullptr;  // the service the running request went to
    std::function<void()> m_finished;
    std::optional<HttpResult> m_response;
    std::optional<QString> m_installed;
    QProcess *m_probe = nullptr; // owned; `verlifter --version` while it runs
    UpdateOutcome m_outcome;
    int m_timeoutMs = kDefaultTimeoutMs;
};
