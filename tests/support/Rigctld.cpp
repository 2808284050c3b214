#include "support/Rigctld.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 Rigctld::freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

QString Rigctld::start()
{
    stop();
    m_port = freePort();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("rigctld"),
                    {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                     QStringLiteral("127.0.0.1"), QStringLiteral("-t"), QString::number(m_port)});
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("rigctld did not start: ") + m_process.errorString();
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        // Ready when it answers a command, not merely when it accepts.
        if (s.waitForConnected(200) && s.write("f\n") == 2 && s.waitForReadyRead(1000))
            return QString();
        if (m_process.state() != QProcess::Running)
            return QStringLiteral("rigctld ended: ") + QString::fromLocal8Bit(m_process.readAll());
        QThread::msleep(50);
    }
    return QStringLiteral("rigctld does not accept on port %1").arg(m_port);
}

void Rigctld::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

double Rigctld::frequencyHz() const
{
    // rigctld serves one client at a time: right after a sweep's own client
    // has left it may still be closing the radio and drop this query, so a
    // query that gets no answer is asked again (three times at most).
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            QThread::msleep(300);
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        if (!s.waitForConnected(2000) || s.write("f\n") != 2)
            continue;
        bool answered = true;
        while (answered && !s.canReadLine())
            answered = s.waitForReadyRead(2000);
        if (!answered)
            continue;
        bool ok = false;
        const double hz = s.readLine().trimmed().toDouble(&ok);
        if (ok)
            return hz;
    }
    return -1;
}
