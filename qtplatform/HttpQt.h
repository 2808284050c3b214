#pragma once
// IHttp over Qt Network. One QNetworkAccessManager serves the whole life of
// the program: destroying a manager waits for Qt's HTTP thread, which may
// still be reading a server's endless header block (seconds of a frozen
// window). A request that ends early is aborted instead. Only http and
// https; a redirect is followed only to the same scheme, at most 5 times.
// Lives and is used on the user-interface thread; must be destroyed before
// QCoreApplication.

#include "platform/Http.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>

class QNetworkReply;

class HttpQt : public QObject, public IHttp
{
public:
    HttpQt();
    ~HttpQt() override;
    void get(const QUrl &url, int timeoutMs, qint64 maxBytes, Done done) override;
    void cancel() override;

private:
    bool readBody();
    void finish();
    void release();

    QNetworkAccessManager m_manager;
    QNetworkReply *m_reply = nullptr; // child of m_manager; the running request
    QTimer m_timer;                   // the request's whole time budget
    Done m_done;
    HttpResult m_result;
    QString m_refusal; // why we aborted on purpose, empty when we did not
    QString m_scheme;
    qint64 m_maxBytes = 0;
    int m_redirects = 0;       // redirects followed by the running request
    bool m_noResponse = false; // ended without a final response, whatever Qt's status says
    quint64 m_generation = 0;  // tells a stale queued completion from the current one
};
