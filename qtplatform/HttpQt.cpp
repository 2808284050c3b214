#include "qtplatform/HttpQt.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <utility>

namespace {
constexpr int kMaxRedirects = 5;
}

HttpQt::HttpQt()
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        m_result.timedOut = true;
        finish();
    });
}

HttpQt::~HttpQt()
{
    cancel();
}

void HttpQt::cancel()
{
    ++m_generation;
    m_done = nullptr;
    release();
}

void HttpQt::release()
{
    m_timer.stop();
    if (!m_reply)
        return;
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->disconnect(this);
    // Qt's HTTP thread drops the connection when it next looks at its queue
    // (a server that floods headers can delay that); the manager stays, so
    // this thread never waits for that one.
    reply->abort();
    reply->deleteLater();
}

void HttpQt::get(const QUrl &url, int timeoutMs, qint64 maxBytes, Done done)
{
    cancel();
    m_done = std::move(done);
    m_result = HttpResult{};
    m_refusal.clear();
    m_redirects = 0;
    m_noResponse = false;
    m_maxBytes = qMax<qint64>(maxBytes, 0);
    m_scheme = url.scheme().toLower();
    const quint64 generation = m_generation;
    if (!url.isValid() || url.host().isEmpty() ||
        (m_scheme != QLatin1String("http") && m_scheme != QLatin1String("https"))) {
        m_result.error = QStringLiteral("invalid address \"%1\"").arg(url.toString());
        // The answer is known, but it still arrives after get() returns.
        QTimer::singleShot(0, this, [this, generation]() {
            if (generation == m_generation)
                finish();
        });
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    // Qt's own budget runs out early and silently (a loop ends "finished"
    // with status 100); it is only a fence behind ours, counted below.
    request.setMaximumRedirectsAllowed(4 * kMaxRedirects);
    m_reply = m_manager.get(request);
    QNetworkReply *reply = m_reply;
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl &target) {
        if (++m_redirects > kMaxRedirects) {
            m_refusal = QStringLiteral("too many redirects");
            m_noResponse = true;
            finish();
        } else if (target.scheme().toLower() == m_scheme) {
            Q_EMIT reply->redirectAllowed();
        } else {
            m_refusal = QStringLiteral("redirect to \"%1\" refused").arg(target.toString());
            finish();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this]() {
        if (!readBody())
            finish();
    });
    connect(reply, &QNetworkReply::finished, this, &HttpQt::finish);
    m_timer.start(qMax(timeoutMs, 1));
}

// Takes what has arrived, up to the size limit; false when the body is
// longer than that.
bool HttpQt::readBody()
{
    const qint64 room = m_maxBytes - m_result.body.size();
    m_result.body += m_reply->read(qMax<qint64>(room, 0));
    m_result.truncated = m_reply->bytesAvailable() > 0;
    return !m_result.truncated;
}

// Collects the outcome, closes the request and hands the result over. Runs
// once per request: on its end, its time-out, an oversize body or a refused
// redirect.
void HttpQt::finish()
{
    HttpResult &res = m_result;
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        const bool ended = reply->isFinished() && !res.timedOut && !res.truncated && m_refusal.isEmpty();
        if (ended)
            readBody();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid())
            res.status = status.toInt();
        const QNetworkReply::NetworkError error = reply->error();
        if (ended && error != QNetworkReply::NoError) {
            if (error < QNetworkReply::ContentAccessDenied) // transport or proxy: no response
                m_noResponse = true;
            res.error = reply->errorString();
        }
        // Only a final response has a status. Qt ends a redirect loop
        // before our budget runs out, "finished" without an error and with
        // a stale informational status (100): that is no answer either.
        if (m_noResponse || res.status < 200 || res.status > 599) {
            res.status = 0;
            if (res.error.isEmpty() && m_refusal.isEmpty())
                res.error = m_redirects > 0 ? QStringLiteral("too many redirects")
                                            : QStringLiteral("no complete response");
        }
    }
    if (res.timedOut)
        res.error = QStringLiteral("no answer in time");
    else if (!m_refusal.isEmpty())
        res.error = m_refusal;
    release();
    ++m_generation;
    // Moved out first: the callback may start the next request.
    Done done = std::exchange(m_done, nullptr);
    const HttpResult result = std::exchange(m_result, HttpResult{});
    if (done)
        done(result);
}
