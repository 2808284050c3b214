#include "platform/qt/HttpQt.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {
constexpr int kMaxRedirects = 5;
}

HttpResult HttpQt::get(const QUrl &url, int timeoutMs, qint64 maxBytes)
{
    HttpResult res;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        res.error = QStringLiteral("invalid address \"%1\"").arg(url.toString());
        return res;
    }

    // Owned here; the reply is a child of the manager and goes with it.
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    QNetworkReply *reply = manager.get(request);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QString refusal; // set when we abort on purpose

    QObject::connect(reply, &QNetworkReply::redirected, reply, [&](const QUrl &target) {
        if (target.scheme().toLower() == scheme) {
            Q_EMIT reply->redirectAllowed();
        } else {
            refusal = QStringLiteral("redirect to \"%1\" refused").arg(target.toString());
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&]() {
        const qint64 room = maxBytes - res.body.size();
        res.body += reply->read(qMax<qint64>(room, 0));
        if (reply->bytesAvailable() > 0) {
            res.truncated = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, reply, [&]() {
        res.timedOut = true;
        reply->abort();
    });

    timer.start(qMax(timeoutMs, 1));
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    if (!res.truncated && !res.timedOut && refusal.isEmpty()) {
        const qint64 room = maxBytes - res.body.size();
        res.body += reply->read(qMax<qint64>(room, 0));
        if (reply->bytesAvailable() > 0)
            res.truncated = true;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        res.status = status.toInt();
    if (res.timedOut)
        res.error = QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    else if (!refusal.isEmpty())
        res.error = refusal;
    else if (reply->error() != QNetworkReply::NoError && !res.truncated)
        res.error = reply->errorString();
    return res;
}
