#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests, one canned route per path (else 404), one request per connection.
#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class HttpTestServer : public QObject
{
public:
    // Special statuses: never answer; 200, then body bytes or header lines without end until the client leaves.
    enum : int { NeverAnswer = 0, EndlessBody = -1, EndlessHeaders = -2 };
    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders; // raw "Name: value\r\n" lines
    };
    HttpTestServer();
    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path)); }
    void setRoute(const QString &path, const Route &route) { m_routes.insert(path, route); }
    const QStringList &requests() const { return m_requests; } // paths, in order
    int openRequests() const; // connections that carried a request and are still open

private:
    void serve(QTcpSocket *socket);
    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QStringList m_requests;
};
