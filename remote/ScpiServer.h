#pragma once
// The remote-control server: SCPI over a raw TCP socket (newline-terminated
// lines, "\r\n" accepted), as bench analysers serve it on the LXI
// "scpi-raw" port 5025. One client at a time: a second connection is told
// in one line that the instrument is in use and is closed, the first is
// unaffected. Listens on the loopback addresses (127.0.0.1 and ::1) unless
// the user chose all networks.
//
// Bounded: a line longer than 64 KiB is dropped (a -100 in the error
// queue), at most ScpiSession::kMaxPending commands wait for an operation,
// and a client that does not read its answers (more than 16 MiB unsent) is
// disconnected. Instrument thread; never blocks it.

#include "remote/Runner.h"
#include "remote/ScpiSession.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

class Instrument;

inline constexpr quint16 kScpiDefaultPort = 5025;

class ScpiServer : public QObject
{
    Q_OBJECT
public:
    ScpiServer(Instrument &m, const ScpiOptions &options, QObject *parent = nullptr);
    ~ScpiServer() override;

    // Starts listening (stopping first); the reason when it cannot.
    QString listen(quint16 port, bool allInterfaces);
    void close();
    bool isListening() const;
    quint16 port() const;
    // The connected client's address ("127.0.0.1"), empty when none.
    QString client() const;
    Runner &runner() { return m_runner; }
    ScpiSession &session() { return m_session; }

Q_SIGNALS:
    void clientChanged(const QString &address);

private:
    void accept(QTcpServer *server);
    void readClient();
    void dropClient();
    void send(const QByteArray &line);

    Runner m_runner; // before the session: it takes messages first
    ScpiSession m_session;
    std::unique_ptr<QTcpServer> m_v4, m_v6;
    QPointer<QTcpSocket> m_client;
    QByteArray m_buffer;       // an unfinished line
    bool m_discarding = false; // inside a line that was too long
};
