// Round trips of TQX's SCPI server over loopback, as a client sees them:
// "*IDN?" and the fetch of a 401-point noise figure array. Starts
// `tqx-cli serve --bench` on a free port, measures a 401-point sweep on the
// virtual bench first (not timed), then times each query many times and
// prints the median and the 99th percentile. Targets: at most 1 ms for
// *IDN? and 5 ms for the array. A plain program (no Google Benchmark).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray query(QTcpSocket &s, const QByteArray &cmd, int timeoutMs = 600000)
{
    s.write(cmd + '\n');
    s.flush();
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!s.bytesAvailable() && !s.waitForReadyRead(timeoutMs))
            return {};
        line += s.readLine();
    }
    return line.trimmed();
}

void timeQuery(QTcpSocket &s, const QByteArray &cmd, int runs, const char *label)
{
    std::vector<double> ms;
    ms.reserve(size_t(runs));
    qsizetype bytes = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        bytes = query(s, cmd).size();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-36s median %7.3f ms   p99 %7.3f ms   (%d runs, %lld bytes)\n", label, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))], runs,
                static_cast<long long>(bytes));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    server.start(QStringLiteral(TQX_BENCH_CLI),
                 {QStringLiteral("serve"), QStringLiteral("--bench"), QStringLiteral("--port"),
                  QString::number(port), QStringLiteral("--interval"), QStringLiteral("0.05")});
    QTcpSocket s;
    QElapsedTimer wait;
    wait.start();
    do {
        s.abort();
        s.connectToHost(QHostAddress::LocalHost, port);
    } while (!s.waitForConnected(200) && wait.elapsed() < 20000);
    if (s.state() != QAbstractSocket::ConnectedState) {
        std::fprintf(stderr, "bench_scpi: the server did not listen\n");
        return 1;
    }
    s.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    std::printf("Preparing a 401-point sweep on the virtual bench...\n");
    std::fflush(stdout);
    query(s, "TQX:SOUR:ENR 15;:FREQ:MODE SWE;STAR 100 MHz;STOP 500 MHz;:SWE:POIN 401;:CORR:COLL STAN;*OPC?");
    query(s, "INIT;*OPC?");
    timeQuery(s, "*IDN?", 2000, "*IDN?");
    timeQuery(s, "FETC:ARR:DATA:CORR:NFIG? DB", 300, "FETC:ARR:DATA:CORR:NFIG? DB (401)");
    s.disconnectFromHost();
    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
