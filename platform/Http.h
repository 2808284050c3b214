#pragma once
// A bounded, time-limited HTTP GET that never blocks its caller.
//
// The request runs on the event loop of the calling (user-interface)
// thread; its outcome arrives later through the callback. One request at a
// time: a new get() abandons the one before, as cancel() does.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>

struct HttpResult {
    int status = 0;         // HTTP status of the final response; 0 when none was received
    QByteArray body;        // at most maxBytes bytes
    bool truncated = false; // the body was longer than maxBytes
    bool timedOut = false;  // no complete answer within timeoutMs
    QString error;          // transport error text, empty when none
};

class IHttp
{
public:
    using Done = std::function<void(const HttpResult &)>;
    virtual ~IHttp() = default;
    // Starts a GET of `url`. `done` runs exactly once, on the calling thread,
    // after get() has returned - unless cancel() or another get() comes first,
    // in which case it never runs. The whole exchange (connection, headers,
    // body, redirects) ends within timeoutMs.
    virtual void get(const QUrl &url, int timeoutMs, qint64 maxBytes, Done done) = 0;
    // Abandons the running request at once (no-op when none runs): the
    // connection is closed and `done` is dropped.
    virtual void cancel() = 0;
};
