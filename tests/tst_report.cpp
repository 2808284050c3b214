// The report outlets: the text report (exact bytes in file and clipboard), the TSV record (percent-encoded
// notes, header only into an empty file), and failures that keep every file whole.
#include "report/SeriesCsv.h"
#include "report/SweepCsv.h"
#include "report/TextReport.h"
#include "report/TsvRecord.h"
#include "support/TestPlatform.h"

#include <QTimeZone>
#include <QtTest>
#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(Control)
Q_DECLARE_METATYPE(DeviceSetup)
Q_DECLARE_METATYPE(SweepKind)

namespace {
// Every field the outlets read, in report order: label (%u: the units; no value: a heading) and whether
// the TSV record has a column for it (its columns follow the report's order).
struct Item { Field field; const char *label, *value; bool tsv; };
const Item kItems[] = {
    {Field::Title, "Title", "LNA für 2 m", 1}, {Field::Frequency, "Frequency (MHz)", "145.000", 1},
    {Field::Interval, "Interval", "1", 0}, {Field::Tatt1, "Tatt1 (K)", "290", 1}, {Field::Tatt2, "Tatt2 (K)", "296.5", 1},
    {Field::Source, "Source", "NS-1", 1}, {Field::ENR, "ENR (dB)", "15.00", 0}, {Field::Thot, "Thot (K)", "9290", 1},
    {Field::Tcold, "Tcold (K)", "290", 1}, {Field::Notes, "Instrument calibration(2):", nullptr, 0},
    {Field::Att11, "Att1(2) (dB)", "0.00", 0}, {Field::Att12, "Att2(2) (dB)", "3.00", 0},
    {Field::Noise11, "Noise LO(2) (%u)", "n11", 0}, {Field::Noise12, "Noise HI(2) (%u)", "n12", 0},
    {Field::Y2dB, "Y(2) (dB)", "10.000", 1}, {Field::Teq1, "Teq(2) (K)", "678", 1}, {Field::NF1, "NF(2) (dB)", "5.23", 1},
    {Field::Notes, "Combined measurement(12):", nullptr, 0}, {Field::Att21, "Att1(12) (dB)", "0.10", 0},
    {Field::Att22, "Att2(12) (dB)", "3.10", 0}, {Field::Noise21, "Noise LO(12) (%u)", "n21", 0},
    {Field::Noise22, "Noise HI(12) (%u)", "n22", 0}, {Field::Y12dB, "Y(12) (dB)", "8.000", 1},
    {Field::Teq2, "Teq(12) (K)", "1.35e+3", 0}, {Field::NF2, "NF(12) (dB)", "7.53", 0},
    {Field::Notes, "Device under test(1):", nullptr, 0}, {Field::Gain, "Gain(1) (dB)", "17.7", 1},
    {Field::Teq, "Teq(1) (K)", "1.34e+3", 1}, {Field::NF, "NF(1) (dB)", "7.50", 1}};
const char *const kObsTime = "20240501123456";
const QByteArray kHeader = "Program\tVersion\tObsTime\tTitle\tFrequency\tTatt1\tTatt2\tSource\tThot\tTcold\tY2\tTeq2\t"
                           "NF2\tY21\tGain\tTeq\tNF\tNotes\t\r\n";

QString expectedReport(const QString &unit, const QString &notes)
{
    QStringList lines = {"Program\tTQX", "Version\t" + Instrument::versionText(), QStringLiteral("ObsTime\t") + kObsTime};
    for (const Item &i : kItems)
        lines << QString::fromUtf8(i.label).replace("%u", unit) + (i.value ? "\t" + QString::fromUtf8(i.value) : QString());
    return (lines << "" << "Notes:" << notes).join("\r\n") + "\r\n";
}
DeviceSetup converter(physics::DeviceMode mode, double loMhz, physics::Sideband sideband, double irDb)
{
    DeviceSetup d;
    d.mode = mode, d.loMhz = loMhz, d.sideband = sideband, d.imageRejectionDb = irDb;
    return d;
}
QByteArray tsvLine(const QByteArray &encodedNotes)
{
    QByteArray line = "TQX\t" + Instrument::versionText().toUtf8() + '\t' + kObsTime;
    for (const Item &i : kItems)
        line += i.tsv ? '\t' + QByteArray(i.value) : QByteArray();
    return line + '\t' + encodedNotes + "\r\n";
}
} // namespace

class TstReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    std::unique_ptr<QTemporaryDir> m_dir;
    Instrument &meter() { return m_bench->meter; }
    Sheet &sheet() { return m_bench->meter.sheet(); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_bench = std::make_unique<TestBench>();
        for (const Item &i : kItems)
            if (i.value)
                sheet().setText(i.field, QString::fromUtf8(i.value));
        sheet().setText(Field::Noise00, "zero"); // never reported
        meter().session().ObsTime = kObsTime;
        for (Control c : {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv, Control::btnSaveTsv})
            sheet().setEnabled(c, true);
    }

    // The notes box yields LF; every outlet writes the notes' line breaks as CR LF.
    void report_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("reported");
        QTest::newRow("dB, empty notes") << 0 << "" << "";
        QTest::newRow("Watt, notes lines end in CR LF") << 1 << "first\nsecond\t\r\nthird\r" << "first\r\nsecond\t\r\nthird\r\n";
    }
    void report()
    {
        QFETCH(int, units);
        QFETCH(QString, notes);
        QFETCH(QString, reported);
        sheet().setText(Field::Notes, notes);
        sheet().setUnitsIndex(units);
        const QString expected = expectedReport(units ? "Watt" : "dB", reported);
        QCOMPARE(TextResults(meter().session()), expected);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(m_bench->clipboard.content.value_or("(none)"), expected);
        meter().doubleClick(Field::Notes);
        QCOMPARE(m_bench->clipboard.content.value_or("(none)"), reported);
        m_bench->fileDialogs.answers.push_back(m_dir->filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        QCOMPARE(readFile(m_dir->filePath("r.txt")), (expected + "\r\n").toUtf8());
        const FileDialogRequest &req = m_bench->fileDialogs.requests.at(0);
        QCOMPARE(req.fileName + '|' + req.filter + '|' + QString::number(req.filterIndex),
                 QStringLiteral("20240501123456|All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab|2"));
        // Saved once per calculation, copied at will.
        QCOMPARE(sheet().enabled(Control::mnuSaveText) || !sheet().enabled(Control::mnuCopyTextClip), false);
    }

    // A recording adds the header only to an empty file and disables both outlets. A failed save or
    // recording reports, keeps the old file whole and its outlet enabled; once the trouble is gone, the next
    // recording adds exactly one line.
    void outlets_data()
    {
        QTest::addColumn<Control>("outlet");
        QTest::addColumn<QString>("target");    // "@" stands for the temporary folder
        QTest::addColumn<QByteArray>("before"); // of "@/old"; "-": no such file
        QTest::addColumn<int>("room");          // bytes the file may still grow by (RLIMIT_FSIZE), -1: no limit
        QTest::addColumn<QByteArray>("after");  // of "@/old"; empty: as before
        QTest::addColumn<QString>("reason");    // in the failure's details, after the folder
        const QByteArray old = kHeader + tsvLine("earlier"), added = tsvLine("a%20b%0D%0Ac%2C%09%C3%A9%F0%9F%93%A1");
        QTest::newRow("record: new file gets header") << Control::mnuSaveTsv << "@/old" << QByteArray("-") << -1 << kHeader + added << QString("");
        QTest::newRow("record: non-empty file never does") << Control::btnSaveTsv << "@/old" << QByteArray("x") << -1 << "x" + added << QString("");
        QTest::newRow("save: size limit while writing") << Control::mnuSaveText << "@/old" << old << 50 << QByteArray() << QString();
        QTest::newRow("record: directory missing") << Control::mnuSaveTsv << "@/gone/TQXData.tab" << old << -1 << QByteArray() << QString("No such file or directory");
        QTest::newRow("record: disk full") << Control::btnSaveTsv << "/dev/full" << old << -1 << QByteArray() << QString("No space left on device");
        QTest::newRow("record: FIFO without reader") << Control::btnSaveTsv << "@/fifo" << old << -1 << QByteArray() << QString("No such device or address");
        QTest::newRow("record: size limit mid-line") << Control::btnSaveTsv << "@/old" << old << 20 << QByteArray() << QString("File too large");
    }
    void outlets()
    {
        QFETCH(Control, outlet);
        QFETCH(QString, target);
        QFETCH(QByteArray, before);
        QFETCH(int, room);
        QFETCH(QByteArray, after);
        QFETCH(QString, reason);
        target.replace("@", m_dir->path());
        QVERIFY(::mkfifo(QFile::encodeName(m_dir->filePath("fifo")).constData(), 0600) == 0);
        QFile old(m_dir->filePath("old"));
        QVERIFY(before == "-" || (old.open(QIODevice::WriteOnly) && old.write(before) == before.size() && old.flush()));
        const bool save = outlet == Control::mnuSaveText, ok = !after.isEmpty();
        sheet().setText(Field::Notes, QString::fromUtf8("a b\nc,\t\u00e9\U0001F4E1")); // as UTF-8 bytes
        m_bench->fileDialogs.answers.push_back(target); // for a save
        meter().session().TsvFileName = target;                   // for a recording
        const rlimit saved = [] { rlimit r{}; getrlimit(RLIMIT_FSIZE, &r); return r; }();
        const rlimit lim{room >= 0 ? rlim_t(before.size() + room) : saved.rlim_cur, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lim);
        meter().click(outlet);
        setrlimit(RLIMIT_FSIZE, &saved);

        const QString text = save ? "Error saving to " + target + "." : "IO Error writing file " + target + ".";
        QCOMPARE(m_bench->messages.lines(), ok ? QStringList() : QStringList{"TQX|" + text + "|Critical"});
        // Where, why and what to do, in the box's details.
        const QString details = m_bench->messages.details.value(0);
        QCOMPARE(details.isEmpty(), ok);
        if (!ok)
            QVERIFY2(details.startsWith("Folder: " + QFileInfo(target).absolutePath() + "\nReason: " + reason) &&
                         details.contains(save ? "another folder" : "-t NAME"),
                     qPrintable(details));
        QCOMPARE(sheet().enabled(save ? Control::mnuSaveText : Control::mnuSaveTsv), !ok);
        QCOMPARE(sheet().enabled(Control::btnSaveTsv), !ok && outlet != Control::btnSaveTsv); // disables itself
        QCOMPARE(readFile(old.fileName()), ok ? after : before); // a cut-off line is taken back
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::System), (QStringList{"fifo", "old"}));
        if (save || ok || room < 0)
            return;
        meter().click(Control::mnuSaveTsv); // the next record starts on a line of its own
        QCOMPARE(readFile(old.fileName()), before + tsvLine("a%20b%0D%0Ac%2C%09%C3%A9%F0%9F%93%A1"));
    }

    // A saved sweep read back as a reference: quotes may hold commas, line breaks and doubled quotes, and an
    // error names the line the row starts on.
    void sweepCsvReadBack_data()
    {
        QTest::addColumn<QByteArray>("rows"); // after the header
        QTest::addColumn<QList<double>>("mhz");
        QTest::addColumn<QString>("error"); // part of it; empty: none
        const QByteArray row1 = "measurement,100,100,15,5,300,3.2,20.5,500,5.1,-120,ok\n";
        QTest::newRow("plain rows") << row1 + "measurement,200,200,15,5,300,3.4,20,500,5.1,-120,ok\n"
                                    << QList<double>{100, 200} << QString();
        QTest::newRow("quoted line break in a status")
            << "measurement,100,100,15,5,300,3.2,20.5,500,5.1,-120,\"failed:\nx,x,x,x,x,x,\"\"lost\"\", rig\"\n" +
                   QByteArray(row1).replace("100,100", "150,150")
            << QList<double>{100, 150} << QString();
        QTest::newRow("CRLF and a blank line") << QByteArray("measurement,100,100,15,5,300,3.2,20.5,500,5.1,-120,ok\r\n\r\n"
                                                             "measurement,200,200,15,5,300,3.4,20,500,5.1,-120,ok\r\n")
                                               << QList<double>{100, 200} << QString();
        QTest::newRow("bad number after a two-line field: its own line")
            << QByteArray("measurement,100,100,15,5,300,3.2,20.5,500,5.1,-120,\"a\nb\"\n"
                          "measurement,x,200,15,5,300,3.4,20,500,5.1,-120,ok\n")
            << QList<double>{100} << QString("Line 4: \"x\" is not a number.");
    }
    void sweepCsvReadBack()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QList<double>, mhz);
        QFETCH(QString, error);
        const SweepTrace t = parseSweepCsv("Sweep,Frequency (MHz),Tuned (MHz),ENR (dB),Y (dB),Te (K),NF (dB),Gain (dB),"
                                           "Receiver Te (K),Receiver NF (dB),Receiver slope (dB),Status\n" + rows);
        QCOMPARE(t.error, error);
        QCOMPARE(QList<double>(t.mhz.begin(), t.mhz.end()), mhz);
    }

    // A converter adds its frequency plan after the last fixed line of the report and after the notes of the
    // record, so that every earlier line and column keeps its place; the IF is that of the Frequency (RF,
    // 145 MHz). A file started by a converter names the columns; an older file just gets the longer line.
    void converterRecords_data()
    {
        using M = physics::DeviceMode;
        using S = physics::Sideband;
        QTest::addColumn<DeviceSetup>("device");
        QTest::addColumn<QString>("fields"); // mode, LO, sideband, image rejection, IF
        QTest::newRow("down-converter LSB: IF = LO - RF") << converter(M::DownConverter, 155, S::Lsb, 25.04)
                                                          << "Down-converter|155.000|LSB|25.0|10.000";
        QTest::newRow("DSB: image rejection used is 0 dB") << converter(M::DownConverter, 100.5, S::Dsb, 30)
                                                           << "Down-converter|100.500|DSB|0.0|44.500";
        QTest::newRow("up-converter USB: IF = LO + RF") << converter(M::UpConverter, 1151.25, S::Usb, 0)
                                                        << "Up-converter|1151.250|USB|0.0|1296.250";
        QTest::newRow("plan refuses the RF: IF empty") << converter(M::DownConverter, 9750, S::Usb, 20)
                                                       << "Down-converter|9750.000|USB|20.0|";
    }
    void converterRecords()
    {
        QFETCH(DeviceSetup, device);
        QFETCH(QString, fields);
        sheet().device = device;
        sheet().setText(Field::Notes, "n");
        const QStringList f = fields.split('|');
        const QString lines = "Device mode\t" + f[0] + "\r\nLO (MHz)\t" + f[1] + "\r\nSideband\t" + f[2] +
                              "\r\nImage rejection (dB)\t" + f[3] + "\r\nIF (MHz)\t" + f[4] + "\r\n";
        QCOMPARE(TextResults(meter().session()),
                 expectedReport("dB", "n").replace("NF(1) (dB)\t7.50\r\n", "NF(1) (dB)\t7.50\r\n" + lines));
        const QByteArray line = tsvLine("n").chopped(2) + '\t' + fields.replace('|', '\t').toUtf8() + "\r\n";
        const QString fresh = m_dir->filePath("new.tab"), old = m_dir->filePath("old.tab");
        QFile older(old);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(kHeader + tsvLine("earlier")) > 0);
        older.close();
        for (const QString &file : {fresh, old}) {
            meter().session().TsvFileName = file;
            sheet().setEnabled(Control::mnuSaveTsv, true);
            meter().click(Control::mnuSaveTsv);
        }
        QCOMPARE(readFile(fresh), kHeader.chopped(2) + "DeviceMode\tLO\tSideband\tImageRejection\tIF\t\r\n" + line);
        QCOMPARE(readFile(old), kHeader + tsvLine("earlier") + line);
        QCOMPARE(m_bench->messages.lines(), QStringList());
    }

    // The sweep CSV: an amplifier's file exactly as ever; a converter's with the RF as Frequency, the planned IF,
    // the LO and the plan in every row after the status. Either reads back as a reference trace on the RF.
    void sweepCsvText_data()
    {
        QTest::addColumn<SweepKind>("kind");
        QTest::addColumn<DeviceSetup>("device");
        QTest::addColumn<QString>("expected"); // "@": the fixed columns' header
        const QString ok = "10700.000000,950.001000,15.20,5.123,%1,1.300,%2,290.0,3.010,-120.000,ok";
        const QString failed = "10800.000000,,15.20,,,,,,,,\"failed: Noise HI(12) clipped, hot\"";
        QTest::newRow("amplifier measurement: the columns of old")
            << SweepKind::Measurement << DeviceSetup()
            << "@\nmeasurement," + ok.arg("100.0", "55.500") + "\nmeasurement," + failed + "\n";
        const QString lnb = "9750.000000,Down-converter,USB,20.0";
        QTest::newRow("LNB measurement: IF, LO and plan per row")
            << SweepKind::Measurement << converter(physics::DeviceMode::DownConverter, 9750, physics::Sideband::Usb, 20)
            << "@,IF (MHz),LO (MHz),Device mode,Sideband,Image rejection (dB)\nmeasurement," + ok.arg("100.0", "55.500") +
                   ",950.000000," + lnb + "\nmeasurement," + failed + ",1050.000000," + lnb + "\n";
        QTest::newRow("DSB calibration: receiver's columns, image rejection 0")
            << SweepKind::Calibration << converter(physics::DeviceMode::DownConverter, 9750, physics::Sideband::Dsb, 20)
            << "@,IF (MHz),LO (MHz),Device mode,Sideband,Image rejection (dB)\ncalibration," + ok.arg("200.0", "") +
                   ",950.000000,9750.000000,Down-converter,DSB,0.0\ncalibration," + failed +
                   ",1050.000000,9750.000000,Down-converter,DSB,0.0\n";
    }
    void sweepCsvText()
    {
        QFETCH(SweepKind, kind);
        QFETCH(DeviceSetup, device);
        QFETCH(QString, expected);
        SweepPoint a, b;
        a.state = SweepPoint::State::Measured;
        a.mhz = 10700, a.ifMhz = 950, a.tunedMhz = 950.001, a.source.enrDb = 15.2;
        a.path.yDb = 5.123, a.path.te = 200.04, a.path.nfDb = 1.3, a.rxTeK = 290, a.rxSlopeDb = -120;
        a.device.te = 100.04, a.device.nfDb = 1.3, a.device.gainDb = 55.5;
        b.state = SweepPoint::State::Failed;
        b.mhz = 10800, b.ifMhz = 1050, b.source.enrDb = 15.2, b.failure = "Noise HI(12) clipped, hot";
        const QByteArray csv = sweepCsv(kind, {a, b}, device);
        QCOMPARE(QString::fromUtf8(csv), expected.replace("@", "Sweep,Frequency (MHz),Tuned (MHz),ENR (dB),Y (dB),Te (K),"
                                                               "NF (dB),Gain (dB),Receiver Te (K),Receiver NF (dB),"
                                                               "Receiver slope (dB),Status"));
        const SweepTrace t = parseSweepCsv(csv);
        QCOMPARE(t.error, QString());
        QCOMPARE(t.kind, kind);
        QCOMPARE(t.mhz, QVector<double>{10700});
        QCOMPARE(t.nfDb, QVector<double>{1.3});
        QCOMPARE(t.gainDb, kind == SweepKind::Measurement ? QVector<double>{55.5} : QVector<double>());
    }

    // A series as CSV: ISO 8601 UTC stamps whatever zone the run was stamped in, elapsed seconds from the
    // first run, absent values empty, a reason with a comma quoted.
    void seriesCsvText()
    {
        SeriesRun a;
        a.time = QDateTime(QDate(2026, 12, 7), QTime(13, 40, 55, 123), QTimeZone(3600));
        a.nf1Db = 1.23456, a.nf2Db = 5.5, a.gainDb = 20.0004, a.te1K = 96.04, a.te2K = 739.96, a.cold2Db = -41.2, a.cold12Db = -23.5;
        a.ok = true;
        SeriesRun b;
        b.index = 1, b.time = QDateTime(QDate(2026, 12, 7), QTime(12, 41, 5, 623), QTimeZone::utc());
        b.nf2Db = 5.25, b.cold2Db = -41.25, b.failure = QStringLiteral("Noise HI(12) clipped, \"hot\".");
        QCOMPARE(QString::fromUtf8(seriesCsv({a, b})),
                 QStringLiteral("Run,Time (UTC),Elapsed (s),NF(1) (dB),NF(2) (dB),Gain (dB),Teq(1) (K),Teq(2) (K),"
                                "Cold level (2) (dB),Cold level (12) (dB),Status\n"
                                "1,2026-12-07T12:40:55.123Z,0.000,1.235,5.500,20.000,96.0,740.0,-41.200,-23.500,ok\n"
                                "2,2026-12-07T12:41:05.623Z,10.500,,5.250,,,,-41.250,,\"failed: Noise HI(12) clipped, \"\"hot\"\".\"\n"));
    }

    // File > TSV record file...: the next record goes to the chosen file; a cancelled dialog keeps the name.
    void chooseRecordFile()
    {
        const QString chosen = m_dir->filePath("bench.tab");
        meter().session().TsvFileName = m_dir->filePath("TQXData.tab");
        m_bench->fileDialogs.answers.push_back(chosen);
        m_bench->fileDialogs.answers.push_back(std::nullopt);
        meter().click(Control::mnuTsvFile);
        meter().click(Control::mnuTsvFile);
        QCOMPARE(meter().session().TsvFileName, chosen);
        meter().click(Control::mnuSaveTsv);
        QVERIFY(readFile(chosen).startsWith(kHeader));
        QVERIFY(!QFile::exists(m_dir->filePath("TQXData.tab")));
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
