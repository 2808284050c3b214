#include "support/HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

HttpTestServer::HttpTestServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this]() {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            s->setParent(this); // lives until the client leaves or the server goes
            connect(s, &QTcpSocket::readyRead, this, [this, s]() { serve(s); });
            connect(s, &QTcpSocket::disconnected, s, [s]() { s->setParent(nullptr), s->deleteLater(); });
        }
    });
}

int HttpTestServer::openRequests() const
{
    int n = 0;
    for (const QTcpSocket *s : findChildren<QTcpSocket *>())
        n += s->property("head").isValid();
    return n;
}

void HttpTestServer::serve(QTcpSocket *socket)
{
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (head.size() > 16 * 1024)
        return socket->abort();
    if (!head.contains("\r\n\r\n")) // wait for the whole request head
        return;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QString path = QString::fromLatin1(head.left(head.indexOf("\r\n")).split(' ').value(1)); // GET /path HTTP/1.1
    m_requests.append(path);
    const Route r = m_routes.value(path, {404, "not found", {}});
    if (r.status == NeverAnswer)
        return;
    if (r.status < 0) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n");
        if (r.status == EndlessBody)
            socket->write("Connection: close\r\n\r\n");
        const QByteArray chunk = r.status == EndlessBody ? QByteArray(8192, 'x') : QByteArray("X-More: 0123456789\r\n").repeated(400);
        auto *feed = new QTimer(socket); // dies with the socket
        connect(feed, &QTimer::timeout, socket, [socket, chunk]() {
            if (socket->bytesToWrite() < 256 * 1024)
                socket->write(chunk);
        });
        // A flood of headers keeps Qt's HTTP thread reading for as long as it
        // lasts, aborted reply or not, and the next request to this server
        // would wait behind it: the flood ends 3 s after it began, well past
        // the 1.5 s the client gives it.
        if (r.status == EndlessHeaders)
            QTimer::singleShot(3000, socket, [socket]() { socket->abort(); });
        return feed->start(1);
    }
    socket->write("HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nContent-Type: text/xml\r\nContent-Length: " +
                  QByteArray::number(r.body.size()) + "\r\n" + r.extraHeaders + "Connection: close\r\n\r\n" + r.body);
    socket->disconnectFromHost();
}
