#pragma once
// The update check: fetches BaseUrl + "Update.xml", learns the site's
// current base address and the latest released version, and tells whether
// the running version is current. Model of the dialog frmUpdate; owned by
// Meter, used on the user-interface thread only (the request blocks it).

#include <QByteArray>
#include <QString>

class Meter;

// Wildcard match, case-sensitive: '*' matches any run of characters
// (possibly empty), '#' one decimal digit 0-9, anything else itself.
bool globMatch(const QString &text, const QString &pattern);

// The parts of the update document that the check uses: the text content
// of the first `url` and the first `version` element at any depth.
struct UpdateDocument {
    bool wellFormed = false; // parsed to the end, no DTD with entity declarations
    bool hasUrl = false;
    bool hasVersion = false;
    QString url;
    QString version;
};
UpdateDocument parseUpdateDocument(const QByteArray &body);

// The installed version of the updater tool Verlifter: the first dotted
// number printed by `verlifter --version` (found on PATH, at most 2 s), or
// empty when the tool is absent or does not answer.
QString installedUpdaterVersion();

class UpdateCheck
{
public:
    static constexpr int kDefaultTimeoutMs = 10000;
    static constexpr qint64 kMaxBodyBytes = 64 * 1024;

    // Dialog load: resets the dialog state and runs the check. May replace
    // m.BaseUrl (written to the settings store at exit).
    void run(Meter &m);

    // "Launch Verlifter": opens AppDir + "TQX.verlift". The dialog closes
    // afterwards in every case.
    void launchVerlifter(Meter &m);
    // "Open download page": OpenUrl(BaseUrl + "support.htm#download").
    void openDownloadPage(Meter &m);

    const QString &message() const { return m_message; }
    bool verlifterEnabled() const { return m_verlifterEnabled; }
    bool supportVisible() const { return m_supportVisible; }

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    QString m_message;
    bool m_verlifterEnabled = false;
    bool m_supportVisible = false;
    int m_timeoutMs = kDefaultTimeoutMs;
};
