// The SCPI reading of TQX's remote control: headers in their short and long
// forms, optional nodes, compound lines, numbers with unit suffixes, NR3
// answers; and the session's order rules on the virtual bench - queries of
// one line answered in one line, a query that waits for the running reading,
// ABOR ahead of the waiting queue, the error queue's overflow. The batch
// program's command line as a table.
#include "cli/CliOptions.h"
#include "remote/Runner.h"
#include "remote/ScpiParser.h"
#include "remote/ScpiSession.h"
#include "sheet/NumText.h"
#include "support/TestPlatform.h"

#include <QtTest>

class TestScpi : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    TestBench m_tb;
    Instrument &m_instrument = m_tb.loaded();
    Runner m_runner{m_instrument};
    ScpiSession m_session{m_instrument, m_runner, {}};
    QStringList m_replies;

    QStringList send(const QString &line)
    {
        m_replies.clear();
        m_session.receive(line.toUtf8());
        return m_replies;
    }
    QString nextError() { return send(QStringLiteral("SYST:ERR?")).value(0); }

private Q_SLOTS:
    void initTestCase()
    {
        connect(&m_session, &ScpiSession::reply, this,
                [this](const QByteArray &l) { m_replies << QString::fromUtf8(l); });
        // The template wave: beside the built program, or the source's copy.
        const QString bin = qEnvironmentVariable("TQX_BINARY_DIR") + QLatin1Char('/');
        m_instrument.session().AppDir =
            QFileInfo::exists(bin + QStringLiteral("TQX.wav"))
                ? bin
                : qEnvironmentVariable("TQX_SOURCE_DIR") + QStringLiteral("/data/");
        m_instrument.session().TempWave = m_dir.filePath(QStringLiteral("~0000SCPI"));
        m_instrument.setRoute(DeviceRoute::Bench);
        m_instrument.sheet().setText(Field::Interval, QStringLiteral("0.5"));
    }

    void headers_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("matches");
        QTest::newRow("short form") << "[SENSe]:FREQuency:STARt"
                                    << "FREQ:STAR 1" << true;
        QTest::newRow("long form, lower case") << "[SENSe]:FREQuency:STARt"
                                               << "sense:frequency:start 1" << true;
        QTest::newRow("leading colon") << "[SENSe]:FREQuency:STARt"
                                       << ":FREQ:STAR 1" << true;
        QTest::newRow("neither form") << "[SENSe]:FREQuency:STARt"
                                      << "FREQU:STAR 1" << false;
        QTest::newRow("optional node with its colon") << "SYSTem:ERRor[:NEXT]"
                                                      << "SYST:ERR:NEXT?" << true;
        QTest::newRow("numbered node") << "TQX:ATTenuator#"
                                       << "TQX:ATT12 3" << true;
        QTest::newRow("too many nodes") << "INITiate[:IMMediate]"
                                        << "INIT:IMM:NOW" << false;
        QTest::newRow("compound continues the path") << "[SENSe]:FREQuency:STOP"
                                                     << "FREQ:STAR 1;STOP 2" << true;
        QTest::newRow("compound from the root too") << "[SENSe]:FREQuency:STOP"
                                                    << "FREQ:STAR 1;FREQ:STOP 2" << true;
    }
    void headers()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, line);
        QFETCH(bool, matches);
        const scpi::ParsedLine p = scpi::parseLine(line);
        QCOMPARE(p.error, 0);
        QCOMPARE(scpi::Pattern(pattern).matches(p.commands.last()), matches);
    }

    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("commands");
        QTest::addColumn<QStringList>("lastParams");
        QTest::addColumn<int>("error");
        QTest::newRow("list with blanks")
            << "FREQ:LIST:DATA 1e8, 2e8 ,3e8" << 1 << QStringList{"1e8", "2e8", "3e8"} << 0;
        QTest::newRow("';' inside a string") << "TQX:FIEL \"Title\",\"a;b\";*OPC" << 2 << QStringList{} << 0;
        QTest::newRow("empty commands skipped") << ";;*IDN?;" << 1 << QStringList{} << 0;
        QTest::newRow("unterminated string") << "TQX:FIEL \"Title" << 0 << QStringList{} << -100;
        QTest::newRow("empty parameter") << "FREQ:LIST:DATA 1,,2" << 0 << QStringList{} << -100;
        QTest::newRow("binary junk") << QString::fromLatin1("\xff\x01 x") << 0 << QStringList{} << -100;
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(int, commands);
        QFETCH(QStringList, lastParams);
        QFETCH(int, error);
        const scpi::ParsedLine p = scpi::parseLine(line);
        QCOMPARE(p.error, error);
        QCOMPARE(p.commands.size(), commands);
        if (!lastParams.isEmpty())
            QCOMPARE(p.commands.last().params, lastParams);
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("value"); // NaN: refused; -1: MAX
        QTest::newRow("exponent") << "100e6" << int(scpi::Unit::Hertz) << 100e6;
        QTest::newRow("MHz with a blank") << "100 MHz" << int(scpi::Unit::Hertz) << 100e6;
        QTest::newRow("GHz") << "1.5GHZ" << int(scpi::Unit::Hertz) << 1.5e9;
        QTest::newRow("kHz") << "250kHz" << int(scpi::Unit::Hertz) << 250e3;
        QTest::newRow("ms") << "500 ms" << int(scpi::Unit::Second) << 0.5;
        QTest::newRow("MAX") << "max" << int(scpi::Unit::Hertz) << -1.0;
        QTest::newRow("wrong unit") << "12 dB" << int(scpi::Unit::Hertz) << qQNaN();
        QTest::newRow("word") << "many" << int(scpi::Unit::None) << qQNaN();
        QTest::newRow("overflow") << "1e999" << int(scpi::Unit::None) << qQNaN();
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(int, unit);
        QFETCH(double, value);
        const std::optional<scpi::Numeric> n = scpi::parseNumeric(text, scpi::Unit(unit));
        QCOMPARE(n.has_value(), !qIsNaN(value));
        if (value == -1)
            QCOMPARE(int(n->kind), int(scpi::Numeric::Kind::Max));
        else if (n)
            QCOMPARE(n->value, value);
    }

    void nr3_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1.0 << "+1.00000000E+000";
        QTest::newRow("zero") << 0.0 << "+0.00000000E+000";
        QTest::newRow("negative fraction") << -0.015 << "-1.50000000E-002";
        QTest::newRow("rounds into the exponent") << 9.9999999999 << "+1.00000000E+001";
        QTest::newRow("not a number") << qQNaN() << "+9.91000000E+037";
    }
    void nr3()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(scpi::nr3(value), text);
    }

    void queriesOfOneLineAnswerInOneLine()
    {
        QCOMPARE(send(QStringLiteral("SWE:POIN 7;SWE:POIN?;AVER:COUN?")), QStringList{"7;+1.00000000E+000"});
        QCOMPARE(send(QStringLiteral("FREQ:STAR MIN;STAR?")), QStringList{"+1.00000000E+005"});
        QCOMPARE(send(QStringLiteral("TQX:CAL:STAT?;TQX:GUAR?")), QStringList{"NONE;0"}); // no levels yet
        QCOMPARE(nextError(), QStringLiteral("0,\"No error\""));
    }

    // A query waits for the running reading; ABOR overtakes the queue.
    void waitingAndAbort()
    {
        send(QStringLiteral("TQX:MEAS:NOIS 11"));
        QVERIFY(m_runner.running());
        QCOMPARE(send(QStringLiteral("*OPC?;*IDN?")), QStringList{});
        QCOMPARE(m_session.pending(), 2);
        QVERIFY(QTest::qWaitFor([this] { return !m_replies.isEmpty(); }, 20000));
        QCOMPARE(m_replies.value(0).left(6), QStringLiteral("1;TQX,"));
        QVERIFY(IsNumber(m_instrument.sheet().text(Field::Noise11)));

        send(QStringLiteral("TQX:MEAS:NOIS 12"));
        send(QStringLiteral("*OPC?"));
        send(QStringLiteral("ABOR"));
        QVERIFY(!m_instrument.busy() || QTest::qWaitFor([this] { return !m_instrument.busy(); }, 2000));
        QVERIFY(QTest::qWaitFor([this] { return m_replies == QStringList{"1"}; }, 2000));
        QCOMPARE(nextError(), QStringLiteral("0,\"No error\""));
    }

    // The source's temperature when off: the session's value, its range, DEFault the 290 K reference.
    void sourceTemperatureWhenOff()
    {
        QCOMPARE(send(QStringLiteral("TQX:SOUR:TABL:TCOL 296.5;TCOL?")), QStringList{"+2.96500000E+002"});
        send(QStringLiteral("TQX:SOUR:TABL:TCOL 1e4"));
        QVERIFY(nextError().startsWith(QStringLiteral("-222,")));
        QCOMPARE(m_instrument.session().SourceOffK, 296.5);
        send(QStringLiteral("TQX:SOUR:TABL:TCOL DEF"));
        QCOMPARE(m_instrument.session().SourceOffK, 290.0);
        send(QStringLiteral("*CLS"));
    }

    // The device measured: mode, LO, sideband and image rejection as Options > Device sets them, the IF
    // of the Frequency field's RF, and the refusals.
    void deviceSetup_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QString>("error"); // start of the first error; empty: none
        QTest::newRow("Ku LNB")
            << "FREQ:FIX 11 GHZ;:TQX:DEV:MODE DOWN;LOSC 9750 MHZ;SID USB;IMAG 20;MODE?;LOSC?;SID?;IMAG?;IF?;IF? 10.7 GHZ"
            << QStringList{"DOWN;+9.75000000E+009;USB;+2.00000000E+001;+1.25000000E+009;+9.50000000E+008"} << "";
        QTest::newRow("amplifier: the IF is the RF") << "FREQ:FIX 11 GHZ;:TQX:DEV:MODE AMPL;MODE?;IF?"
                                                     << QStringList{"AMPL;+1.10000000E+010"} << "";
        QTest::newRow("LSB with the LO below: no IF")
            << "TQX:DEV:MODE DOWN;LOSC 9750 MHZ;SID LSB;TQX:DEV:IF?" << QStringList{}
            << "-200,\"Execution error;No IF: this sideband puts it at or below 0 MHz";
        QTest::newRow("up-converter with DSB: kept, no IF")
            << "TQX:DEV:MODE UPC;SID DSB;SID?;IF?" << QStringList{"DSB"}
            << "-200,\"Execution error;An up-converter has no DSB plan";
        QTest::newRow("no such mode") << "TQX:DEV:MODE MIXER" << QStringList{} << "-224,";
        QTest::newRow("image rejection out of range") << "TQX:DEV:IMAG 1000" << QStringList{} << "-222,";
    }
    void deviceSetup()
    {
        QFETCH(QString, commands);
        QFETCH(QStringList, replies);
        QFETCH(QString, error);
        m_instrument.sheet().device = DeviceSetup();
        m_instrument.sheet().setText(Field::Frequency, QStringLiteral("11000"));
        const auto restore = qScopeGuard([this] {
            m_instrument.sheet().device = DeviceSetup();
            m_instrument.sheet().setText(Field::Frequency, QStringLiteral("10"));
            send(QStringLiteral("*CLS"));
        });
        QCOMPARE(send(commands), replies);
        const QString e = nextError();
        QVERIFY2(error.isEmpty() ? e.startsWith(QLatin1String("0,")) : e.startsWith(error), qPrintable(e));
    }

    void errorQueueOverflows()
    {
        for (int i = 0; i < 40; ++i)
            send(QStringLiteral("NO:SUCH"));
        QCOMPARE(send(QStringLiteral("*ESR?")), QStringList{"32"}); // command error
        QCOMPARE(send(QStringLiteral("*STB?")), QStringList{"4"});  // error queue not empty
        QCOMPARE(m_session.errors().size(), 32);
        QCOMPARE(m_session.errors().last(), QStringLiteral("-350,\"Queue overflow\""));
        send(QStringLiteral("*CLS"));
        QCOMPARE(nextError(), QStringLiteral("0,\"No error\""));
    }

    // ENR tables, the measurement table and the calibration path's own, load only from the folder the user
    // allowed, whatever the path says.
    void tableLoadStaysInItsFolder_data()
    {
        QTest::addColumn<QString>("table"); // TABL or CALT
        QTest::addColumn<QString>("folder"); // below the test's own folder; empty: none allowed
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("loaded"); // the table's query afterwards
        QTest::newRow("no folder allowed") << "TABL" << "" << "enr.txt" << "\"\"";
        QTest::newRow("climbing out") << "TABL" << "allowed" << "../secret.txt" << "\"\"";
        QTest::newRow("absolute path elsewhere") << "TABL" << "allowed" << "/etc/passwd" << "\"\"";
        QTest::newRow("calibration table climbing out") << "CALT" << "allowed" << "../secret.txt" << "\"\"";
        QTest::newRow("calibration table in the folder") << "CALT" << "allowed" << "if.tab" << "\"if.tab\"";
    }
    void tableLoadStaysInItsFolder()
    {
        QFETCH(QString, table);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, loaded);
        QDir(m_dir.path()).mkpath(QStringLiteral("allowed"));
        QFile secret(m_dir.filePath(QStringLiteral("secret.txt")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("allowed/if.tab")), "950\t15.1\n1450\t14.9\n1950\t14.6\n"));
        m_session.setEnrFolder(folder.isEmpty() ? QString() : m_dir.filePath(folder));
        send(QStringLiteral("TQX:SOUR:%1:LOAD \"%2\"").arg(table, name));
        const QString e = nextError();
        QVERIFY2(loaded != "\"\"" ? e.startsWith(QLatin1String("0,"))
                                   : e.startsWith(QLatin1String("-200,\"Execution error;ENR tables load only from the folder")),
                 qPrintable(e));
        QCOMPARE(send(QStringLiteral("TQX:SOUR:%1?").arg(table)), QStringList{loaded});
        QCOMPARE(send(QStringLiteral("TQX:SOUR:TABL?")), QStringList{"\"\""}); // the measurement table untouched
        send(QStringLiteral("TQX:SOUR:%1:UNL").arg(table));
        QCOMPARE(send(QStringLiteral("TQX:SOUR:%1?").arg(table)), QStringList{"\"\""});
    }

    void cliArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::newRow("sweep") << QStringList{"sweep",    "--start", "100M",   "--stop=500M",
                                              "--points", "17",      "--bench"}
                               << "";
        QTest::newRow("sweep without stop") << QStringList{"sweep", "--start", "100M", "--points", "17"}
                                            << "sweep needs --start, --stop and --points.";
        QTest::newRow("stop below start")
            << QStringList{"sweep", "--start", "1G", "--stop", "500M", "--points", "3"}
            << "--stop must be above --start.";
        QTest::newRow("serve option on measure")
            << QStringList{"measure", "--port", "5025"}
            << "Unknown option \"--port\" for measure (see tqx-cli --help).";
        QTest::newRow("bad port") << QStringList{"serve", "--port", "70000"}
                                  << "Option --port needs a valid value (see tqx-cli --help).";
        QTest::newRow("rig model and port") << QStringList{"serve", "--rig", "2:localhost:4532"} << "";
        QTest::newRow("an LNB") << QStringList{"measure", "--device", "down-converter", "--lo=9750M", "--sideband",
                                               "USB", "--image-rejection", "20", "--cal-enr-table", "if.tab"}
                                << "";
        QTest::newRow("no such device") << QStringList{"measure", "--device", "mixer"}
                                        << "Option --device needs a valid value (see tqx-cli --help).";
        QTest::newRow("image rejection out of range") << QStringList{"measure", "--image-rejection", "1000"}
                                                      << "Option --image-rejection needs a valid value (see tqx-cli --help).";
        QTest::newRow("no command") << QStringList{}
                                    << "No command given: measure, sweep or serve (see tqx-cli --help).";
    }
    void cliArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CliParse p = parseCliArguments(args);
        QCOMPARE(p.error, error);
        if (error.isEmpty() && args.contains(QStringLiteral("--device"))) {
            const CliOptions &o = p.options;
            QVERIFY(o.deviceMode == physics::DeviceMode::DownConverter && o.loMhz == 9750.0 &&
                    o.sideband == physics::Sideband::Usb && o.imageRejectionDb == 20.0 && o.calEnrTable == "if.tab");
        }
        if (error.isEmpty() && args.contains(QStringLiteral("--rig")))
            QCOMPARE(p.options.rigPort, QStringLiteral("localhost:4532"));
        if (error.isEmpty() && p.options.command == CliOptions::Command::Sweep)
            QCOMPARE(p.options.stopMhz, 500.0);
    }
};

QTEST_MAIN(TestScpi)
#include "tst_scpi.moc"
