#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests, served by the test's own
// event loop. Each path gets a canned behaviour; unknown paths get 404.
// One request per connection.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class HttpTestServer : public QObject
{
public:
    enum class Mode { Respond, NeverAnswer, Endless }; // Endless: 200, then body bytes until the client leaves
    struct Route {
        Mode mode = Mode::Respond;
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders; // raw "Name: value\r\n" lines
    };
    static Route respond(int status, const QByteArray &body) { return {Mode::Respond, status, body, {}}; }

    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path)); }
    quint16 port() const { return m_server.serverPort(); }
    void setRoute(const QString &path, const Route &route) { m_routes.insert(path, route); }
    const QStringList &requests() const { return m_requests; } // paths, in order

    HttpTestServer();

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QStringList m_requests;
};
