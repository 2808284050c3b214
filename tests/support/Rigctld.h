#pragma once
// Hamlib's network daemon with its dummy rig, `rigctld -m 1 -T 127.0.0.1 -t <free port>`, for tests of
// receiver control over the network (model 2). Killed when the object goes.
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

// Where the receiver-control module is built: beside `tqx`, the folder above the tests'.
inline QStringList rigModuleFolders()
{
    return {qEnvironmentVariable("TQX_BINARY_DIR",
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/.."))};
}

class Rigctld
{
public:
    ~Rigctld() { stop(); }
    // Starts the daemon on a free local port and waits (up to 5 s) until it accepts. Empty, or why it failed.
    QString start();
    void stop();
    bool running() const { return m_process.state() == QProcess::Running; }
    quint16 port() const { return m_port; }
    // The port text for the network model: "127.0.0.1:<port>".
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // The dummy rig's frequency (Hz) as the daemon reports it ("f" command), or -1.
    double frequencyHz() const;
    // A local port on which nothing listens (free a moment ago).
    static quint16 freePort();

private:
    QProcess m_process;
    quint16 m_port = 0;
};
