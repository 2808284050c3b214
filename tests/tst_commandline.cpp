// The option parser and start-up's decision over the arguments as the shell passes them, and the real program.
#include "instrument/CommandLine.h"

#include <QProcess>
#include <QtTest>

class TstCommandLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startup_data();
    void startup();
    void program_data();
    void program();
};

void TstCommandLine::startup_data()
{
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("tsv");
    const int run = StartupDecision::Run, usage = StartupDecision::ShowUsage, err = StartupDecision::Error;
    QTest::newRow("no arguments") << QStringList{} << run << "" << "";
    QTest::newRow("-dh") << QStringList{"-dh"} << usage << "" << "";
    QTest::newRow("-l is not valid") << QStringList{"-l"} << err << "Error: \"l\" is not a valid option." << "";
    QTest::newRow("case-sensitive -D") << QStringList{"-D"} << err << "Error: \"D\" is not a valid option." << "";
    QTest::newRow("colon") << QStringList{"-:"} << err << "Error: \":\" is not a valid option." << "";
    QTest::newRow("-t alone") << QStringList{"-t"} << err << "Error: \"t\" option requires an argument." << "";
    QTest::newRow("-t NAME") << QStringList{"-t", "out.tab"} << run << "" << "out.tab";
    QTest::newRow("-tNAME") << QStringList{"-dtout.tab"} << run << "" << "out.tab";
    QTest::newRow("-t with quotes") << QStringList{"-t", "my \"x\" file.tab"} << run << "" << "my \"x\" file.tab";
    QTest::newRow("-t a lone quote") << QStringList{"-t", "\""} << run << "" << "\"";
    QTest::newRow("-t value starting with hyphen") << QStringList{"-t", "-x"} << run << "" << "-x";
    QTest::newRow("-- stops parsing") << QStringList{"--", "-x"} << run << "" << "";
    QTest::newRow("non-option stops parsing") << QStringList{"file.tab", "-x"} << run << "" << "";
    QTest::newRow("empty first argument stops") << QStringList{"", "-x"} << run << "" << "";
    QTest::newRow("lone hyphen skipped") << QStringList{"-", "-x"} << err << "Error: \"x\" is not a valid option." << "";
    QTest::newRow("sixth argument never seen") << QStringList{"-d", "-d", "-d", "-d", "-d", "-x"} << run << "" << "";
}

void TstCommandLine::startup()
{
    QFETCH(QStringList, argv);
    QFETCH(int, kind);
    QFETCH(QString, error);
    QFETCH(QString, tsv);
    QList<QByteArray> bytes{"tqx"};
    std::vector<const char *> pointers{bytes[0].constData()};
    for (const QString &a : argv)
        pointers.push_back((bytes << a.toUtf8()).last().constData());
    const StartupDecision d = decideStartup(SplitCommandLine(int(pointers.size()), pointers.data(), 5));
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(d.errorText, error);
    QCOMPARE(d.tsvFileName, tsv);
}

// The real program: usage on standard output; a refused option (Qt's own options included) on standard error.
void TstCommandLine::program_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("-h") << QStringList{"-h"} << "Usage: TQX [-d] [-h] [-l] [-t]\n   d   debug\n   h   help\n   t   TSV file name\n";
    QTest::newRow("-x") << QStringList{"-x"} << "Error: \"x\" is not a valid option.\n";
    QTest::newRow("-reverse") << QStringList{"-reverse"} << "Error: \"r\" is not a valid option.\n";
    QTest::newRow("-session x") << QStringList{"-session", "x"} << "Error: \"s\" is not a valid option.\n";
    QTest::newRow("-widgetcount") << QStringList{"-widgetcount"} << "Error: \"w\" is not a valid option.\n";
}

void TstCommandLine::program()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QProcess p;
    p.setReadChannel(args.first() == QLatin1String("-h") ? QProcess::StandardOutput : QProcess::StandardError);
    p.start(qEnvironmentVariable("TQX_BINARY_DIR") + QStringLiteral("/tqx"), args);
    QVERIFY(p.waitForStarted());
    QString out; // the program's own line, whatever Qt prints around it
    QTRY_VERIFY2_WITH_TIMEOUT((out += QString::fromLocal8Bit(p.readAll())).contains(expected), qPrintable(out), 10000);
    p.kill();
    p.waitForFinished();
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
