#pragma once
// The update document and what the update check makes of a response: pure
// functions over bytes and text, no network, no sheet. Any thread.
//
// The document is XML; the check uses the text content of the first `url`
// and the first `version` element at any depth. DTDs that declare entities
// are refused (entity-expansion bombs, external entities).

#include "platform/Http.h"

#include <QByteArray>
#include <QString>

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
// number in what `verlifter --version` prints, empty when there is none.
QString updaterVersionFromOutput(const QByteArray &output);

// What the dialog shows for a completed response; may move `baseUrl`.
// `installed`: the updater's version, or empty; `running`: this program's
// "major.minor.revision"; `timeoutMs`: the request's time budget.
struct UpdateOutcome {
    QString message;
    bool verlifterEnabled = false;
    bool supportVisible = false;
};
UpdateOutcome evaluateUpdateResponse(const HttpResult &res, int timeoutMs, const QString &installed,
                                     const QString &running, QString &baseUrl);
