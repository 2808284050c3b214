#pragma once
// A bounded, time-limited HTTP GET.

#include <QByteArray>
#include <QString>
#include <QUrl>

struct HttpResult {
    int status = 0;        // HTTP status; 0 when none was received
    QByteArray body;       // at most maxBytes bytes
    bool truncated = false;// the body was longer than maxBytes
    bool timedOut = false;
    QString error;         // transport error text, empty when none
};

class IHttp
{
public:
    virtual ~IHttp() = default;
    virtual HttpResult get(const QUrl &url, int timeoutMs, qint64 maxBytes) = 0;
};
