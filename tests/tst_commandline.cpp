// Command-line splitting, the option parser and start-up's decision.
#include "app/CommandLine.h"

#include <QProcess>
#include <QtTest>

class TstCommandLine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void split_data();
    void split();
    void startup_data();
    void startup();
    void groupedFlagsYieldOneLetterEach();
    void helpPrintsUsageOnStandardOutput();
    void badOptionExitsWithMessage();
};

void TstCommandLine::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxArgs");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("empty") << "" << 5 << QStringList{};
    QTest::newRow("blanks and tabs") << "  -d\t-h  " << 5 << QStringList{"-d", "-h"};
    QTest::newRow("quoted blank") << "\"a b\" c" << 5 << QStringList{"a b", "c"};
    QTest::newRow("quote inside quotes") << "\"a\"b c\"" << 5 << QStringList{"a\"b c"};
    QTest::newRow("quote inside unquoted") << "a\"b" << 5 << QStringList{"a\"b"};
    QTest::newRow("empty quoted") << "\"\" -x" << 5 << QStringList{"", "-x"};
    QTest::newRow("trailing quote starts empty argument") << "a \"" << 5 << QStringList{"a", ""};
    QTest::newRow("only five looked at") << "-d -d -d -d -d -x" << 5 << QStringList{"-d", "-d", "-d", "-d", "-d"};
    QTest::newRow("default ten") << "1 2 3 4 5 6 7 8 9 10 11" << 10
                                 << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
}

void TstCommandLine::split()
{
    QFETCH(QString, text);
    QFETCH(int, maxArgs);
    QFETCH(QStringList, args);
    const QStringList got = SplitCommandLine(text, maxArgs);
    QCOMPARE(got.value(0).toInt(), args.size());
    QCOMPARE(got.mid(1), args);
}

void TstCommandLine::startup_data()
{
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("tsv");
    const int run = StartupDecision::Run, usage = StartupDecision::ShowUsage, err = StartupDecision::Error;
    QTest::newRow("no arguments") << QStringList{} << run << "" << "";
    QTest::newRow("-h") << QStringList{"-h"} << usage << "" << "";
    QTest::newRow("-d -h") << QStringList{"-d", "-h"} << usage << "" << "";
    QTest::newRow("-dh") << QStringList{"-dh"} << usage << "" << "";
    QTest::newRow("-l is not valid") << QStringList{"-l"} << err << "Error: \"l\" is not a valid option." << "";
    QTest::newRow("-x") << QStringList{"-x"} << err << "Error: \"x\" is not a valid option." << "";
    QTest::newRow("case-sensitive -D") << QStringList{"-D"} << err << "Error: \"D\" is not a valid option." << "";
    QTest::newRow("colon") << QStringList{"-:"} << err << "Error: \":\" is not a valid option." << "";
    QTest::newRow("-t alone") << QStringList{"-t"} << err << "Error: \"t\" option requires an argument." << "";
    QTest::newRow("-t NAME") << QStringList{"-t", "out.tab"} << run << "" << "out.tab";
    QTest::newRow("-tNAME") << QStringList{"-tout.tab"} << run << "" << "out.tab";
    QTest::newRow("-t quoted with blanks") << QStringList{"-t", "my data.tab"} << run << "" << "my data.tab";
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
    const StartupDecision d = decideStartup(SplitCommandLine(JoinCommandLine(argv), 5));
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(d.errorText, error);
    QCOMPARE(d.tsvFileName, tsv);
}

void TstCommandLine::groupedFlagsYieldOneLetterEach()
{
    const QStringList args = SplitCommandLine(QStringLiteral("-dd -t x"), 5);
    OptionParser p;
    QStringList letters;
    for (QString o; (o = NextOption(p, args, QStringLiteral("dht:"))) != QLatin1String("-1");)
        letters << o;
    QCOMPARE(letters, (QStringList{"d", "d", "t"}));
    QCOMPARE(p.OptArg, QStringLiteral("x"));
}

// The real program: -h prints the usage on standard output before its box.
void TstCommandLine::helpPrintsUsageOnStandardOutput()
{
    QProcess p;
    p.start(qEnvironmentVariable("TQX_BINARY_DIR") + QStringLiteral("/tqx"), {QStringLiteral("-h")});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), 10000);
    QTest::qWait(200);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    p.kill();
    p.waitForFinished();
    QVERIFY2(out.contains(QStringLiteral("Usage: TQX [-d] [-h] [-l] [-t]")), qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("   t   TSV file name")));
}

void TstCommandLine::badOptionExitsWithMessage()
{
    QProcess p;
    p.start(qEnvironmentVariable("TQX_BINARY_DIR") + QStringLiteral("/tqx"), {QStringLiteral("-x")});
    p.setReadChannel(QProcess::StandardError);
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), 10000);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    p.kill();
    p.waitForFinished();
    QVERIFY2(err.contains(QStringLiteral("Error: \"x\" is not a valid option.")), qPrintable(err));
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
