#include "remote/ScpiServer.h"

namespace {
constexpr qint64 kMaxUnsent = 16 * 1024 * 1024; // answers a client has not read (bytes)
} // namespace

ScpiServer::ScpiServer(Instrument &m, const ScpiOptions &options, QObject *parent)
    : QObject(parent), m_runner(m), m_session(m, m_runner, options)
{
    connect(&m_session, &ScpiSession::reply, this, &ScpiServer::send);
}

ScpiServer::~ScpiServer()
{
    close();
}

QString ScpiServer::listen(quint16 port, bool allInterfaces)
{
    close();
    m_v4 = std::make_unique<QTcpServer>();
    connect(m_v4.get(), &QTcpServer::newConnection, this, [this] { accept(m_v4.get()); });
    if (!m_v4->listen(allInterfaces ? QHostAddress::Any : QHostAddress::LocalHost, port)) {
        const QString why = m_v4->errorString();
        m_v4.reset();
        return QStringLiteral("Port %1 cannot be opened: %2").arg(port).arg(why);
    }
    if (!allInterfaces) {
        // ::1 too where the machine has IPv6; without it 127.0.0.1 suffices.
        m_v6 = std::make_unique<QTcpServer>();
        connect(m_v6.get(), &QTcpServer::newConnection, this, [this] { accept(m_v6.get()); });
        if (!m_v6->listen(QHostAddress::LocalHostIPv6, m_v4->serverPort()))
            m_v6.reset();
    }
    return QString();
}

void ScpiServer::close()
{
    m_v4.reset();
    m_v6.reset();
    if (m_client)
        m_client->abort();
    dropClient();
}

bool ScpiServer::isListening() const
{
    return m_v4 && m_v4->isListening();
}

quint16 ScpiServer::port() const
{
    return m_v4 ? m_v4->serverPort() : 0;
}

QString ScpiServer::client() const
{
    return m_client ? m_client->peerAddress().toString() : QString();
}

void ScpiServer::accept(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        if (m_client) {
            socket->write(QStringLiteral("TQX is in use by the remote client at %1; try again when it has "
                                         "disconnected.\n")
                              .arg(client())
                              .toUtf8());
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        m_client = socket;
        socket->setParent(this);
        m_buffer.clear();
        m_discarding = false;
        connect(socket, &QTcpSocket::readyRead, this, &ScpiServer::readClient);
        connect(socket, &QTcpSocket::disconnected, this, &ScpiServer::dropClient);
        Q_EMIT clientChanged(client());
    }
}

void ScpiServer::readClient()
{
    if (!m_client)
        return;
    // Whatever has arrived, in chunks; complete lines go to the session.
    while (m_client && m_client->bytesAvailable() > 0) {
        const QByteArray chunk = m_client->read(64 * 1024);
        qsizetype from = 0;
        while (from < chunk.size()) {
            const qsizetype nl = chunk.indexOf('\n', from);
            const qsizetype end = nl < 0 ? chunk.size() : nl;
            if (!m_discarding)
                m_buffer.append(chunk.constData() + from, end - from);
            if (m_buffer.size() > scpi::kMaxLineBytes) {
                m_buffer.clear();
                m_discarding = true;
            }
            if (nl < 0)
                break;
            from = nl + 1;
            QByteArray line;
            line.swap(m_buffer);
            if (line.endsWith('\r'))
                line.chop(1);
            const bool tooLong = m_discarding;
            m_discarding = false;
            m_session.receive(line, tooLong);
        }
    }
}

void ScpiServer::dropClient()
{
    if (!m_client && m_buffer.isEmpty())
        return;
    if (m_client) {
        m_client->disconnect(this);
        m_client->deleteLater();
    }
    m_client = nullptr;
    m_buffer.clear();
    m_session.clientGone();
    Q_EMIT clientChanged(QString());
}

void ScpiServer::send(const QByteArray &line)
{
    if (!m_client)
        return;
    if (m_client->bytesToWrite() > kMaxUnsent) {
        qWarning("Remote client at %s does not read its answers: disconnected.", qPrintable(client()));
        m_client->abort();
        return;
    }
    m_client->write(line + '\n');
}
