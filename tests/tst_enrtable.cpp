// ENR table: parsing and its failure messages, decimal marks in any locale, loading over a loaded table,
// import, unload and reload at start-up; the calibration path's table at a converter's IF.
#include "support/TestPlatform.h"

#include "calc/EnrTable.h"
#include "calc/Results.h"
#include "instrument/DeviceMode.h"
#include "instrument/Commands.h"
#include "instrument/SourceTemperature.h"
#include "instrument/UncertaintyBudget.h"
#include "sheet/NumText.h"

#include <QtTest>

namespace {
const QString kNotFound = "TQX ENR File error:|ENR File not found, load aborted.|Critical";
const QString kTooLarge = "TQX ENR File error:|ENR File larger than 1 MiB, load aborted.|Critical";
const QString kBad = "TQX ENR File error:|Bad data record, aborting.";
const QString kUnsorted = "GKR Antenna File error:|Antenna File not sorted, load aborted.|Critical";
const QString kTooFew = "GKR Antenna File error:|Not enough records in Antenna File (min=3).|Critical";
const QString kTooMany = "GKR Antenna File error:|Too many records in Antenna File, discarding excess.";
const QString kRange = "TQX ENR File error:|ENR data out of range, load aborted.|Critical";
QString notNumber(int line, const char *what)
{
    return QStringLiteral("TQX ENR File error:|Line %1: the %2 is not a number, load aborted.|Critical").arg(line).arg(what);
}
const QByteArray kThree = "# test source\n1000\t15\n2000\t15.5\n3000\t14.8\n";
const QStringList kThreeAt1500{"15.36", "290.00", "10253.2", "L"};
} // namespace

class TstEnrTable : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_tb;
    std::unique_ptr<QTemporaryDir> m_dir;

    Instrument &meter() { return m_tb->meter; }
    Sheet &sheet() { return m_tb->meter.sheet(); }
    QString file(const QByteArray &content, const QString &name = "t.tab")
    {
        return writeFile(m_dir->filePath(name), content) ? m_dir->filePath(name) : "(unwritable)";
    }
    int load(const QString &path, const QString &frequency = "1500.000")
    {
        sheet().setText(Field::Frequency, frequency);
        meter().session().EnrFileName = path;
        return loadEnrTable(meter());
    }
    // ENR, Tcold, Thot, then L/U: locked and blue / unlocked and normal, all three and mnuEnrUnl alike.
    QStringList fields()
    {
        bool locked = sheet().enabled(Control::mnuEnrUnl), consistent = true;
        for (Field f : {Field::ENR, Field::Thot, Field::Tcold})
            consistent &= sheet().locked(f) == locked && sheet().colour(f) == (locked ? Colour::DarkBlue : Colour::WindowText);
        return {sheet().text(Field::ENR), sheet().text(Field::Tcold), sheet().text(Field::Thot), consistent ? (locked ? "L" : "U") : "?"};
    }

private Q_SLOTS:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_dir = std::make_unique<QTemporaryDir>();
        m_tb = std::make_unique<TestBench>();
        m_tb->loaded(); // ENR 20.00, Tcold 290.0, Thot 29290.0, no table
    }

    // A frequency written with a comma runs the row in a German locale.
    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // written to a file; "@path": that path instead
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot, lock state; empty: load refused, all unchanged
        QTest::addColumn<QString>("source");
        auto row = [](const char *name, const QByteArray &content, const char *freq, const QStringList &msgs,
                      const QStringList &expected, const char *source = "kept") {
            QTest::newRow(name) << content << QString(freq) << msgs << expected << QString(source);
        };
        row("1500 MHz", kThree, "1500", {}, kThreeAt1500);
        row("3500 MHz extrapolated", kThree, "3500", {}, {"14.34", "290.00", "8167.7", "L"});
        QByteArray crlf = "\xEF\xBB\xBF#* Noise Source NS-1\r\n\r\n1000\t15\r\n2000\t15.5\t# note\tx\r\n3000\t14.8";
        row("CR LF, BOM, no final line end", crlf, "1500", {}, kThreeAt1500, "Noise Source NS-1");
        row("CR only", crlf.replace("\r\n", "\r"), "1500", {}, kThreeAt1500, "Noise Source NS-1");
        row("decimal commas, blanks", "1000\t15\n2000\t 15,5 \n3000\t1,48e1\n", "1500", {}, kThreeAt1500);
        row("German locale, decimal points", kThree, "1500,000", {}, {"15,36", "290,00", "10253,2", "L"});
        row("later source line wins, 30 characters", "#* first\n#* 0123456789ABCDEFGHIJ0123456789abcdefghij\n#*x\n" + kThree,
            "1500", {}, kThreeAt1500, "0123456789ABCDEFGHIJ0123456789");
        QByteArray many;
        for (int i = 1; i <= 101; ++i)
            many += QByteArray::number(i * 10) + "\t15\n";
        row("101 records: first 100 used", many, "1500", {kTooMany}, {"15.00", "290.00", "9460.6", "L"});
        row("missing file", "@none.tab", "1500", {kNotFound}, {});
        row("endless device", "@/dev/zero", "1500", {kTooLarge}, {});
        row("record without tab after three, source kept", "#* New\n" + kThree + "4000 14\n", "1500", {kBad}, {});
        row("ENR not a number", "1000\t15\n\n2000\t\n3000\t14.8\n", "1500", {notNumber(3, "ENR"), kTooFew}, {});
        row("frequency not a number", kThree + "4.000,5\t15\n", "1500", {notNumber(5, "frequency")}, {});
        row("equal frequencies", "1000\t15\n1000\t15\n3000\t14\n", "1500", {kUnsorted, kTooFew}, {});
        row("ENR at or below 0", "1000\t-5\n2000\t-4\n3000\t-6\n", "1500", {kRange}, {});
        row("extrapolated beyond 200", "1000\t10\n2000\t20\n3000\t10\n", "10000", {kRange}, {});
        row("overflowing values", "1000\t1e308\n2000\t-1e308\n3000\t1e308\n", "1500", {kRange}, {});
        // Over a loaded table (kThree): a failed load keeps it, a good one replaces it.
        row("over a table: unsorted", "3000\t15\n2000\t15.5\n1000\t14.8\n", "1500", {kUnsorted, kTooFew}, {});
        row("over a table: out of range", "100\t-3\n200\t-3\n300\t-3\n", "1500", {kRange}, {});
        row("over a table: missing", "@gone.tab", "1500", {kNotFound}, {});
        // Two knots: a vendor file interpolates on the straight line in dB, TQX's own table needs three.
        row("vendor file: two rows, straight line", "!\n1 GHz 15\n2 GHz 16\n", "1500", {}, {"15.50", "290.00", "10579.6", "L"});
        row("TQX table: two rows", "1000\t15\n2000\t16\n", "1500", {kTooFew}, {});
        row("vendor file: serial number as Source", "[Serialnumber SN 42]\n1 GHz 15\n2 GHz 15.5\n3 GHz 14.8\n", "1500", {}, kThreeAt1500, "SN 42");
        row("vendor file: bad line, nothing loaded", "!\n1 GHz 15\n2 GHz 15.5\n3 GHz 14.8 dB x\n", "1500",
            {"TQX ENR File error:|Line 4: not a valid ENR data record, load aborted.|Critical"}, {});
        row("over a table: good file", "1000\t5.2\n2000\t5.2\n3000\t5.2\n", "1500", {}, {"5.20", "290.00", "1250.3", "L"});
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, frequency);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, expected);
        QFETCH(QString, source);
        if (frequency.contains(','))
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const bool over = QByteArray(QTest::currentDataTag()).startsWith("over"), good = !expected.isEmpty();
        QVERIFY(!over || load(file(kThree, "first.tab")) == 0);
        const QVector<double> before = meter().enrTable().enr;
        const QString path = content.startsWith('@') ? QDir(m_dir->path()).filePath(content.mid(1)) : file(content);
        sheet().setText(Field::Source, "kept");
        QCOMPARE(load(path, frequency), good ? 0 : 1);
        QCOMPARE(m_tb->messages.lines(), messages);
        QCOMPARE(fields(), (good ? expected : over ? kThreeAt1500 : QStringList{"20.00", "290.0", "29290.0", "U"}));
        QCOMPARE(meter().session().EnrFileName, good ? path : QString());
        QCOMPARE(meter().enrTable().enr == before, !good);
        QCOMPARE(sheet().text(Field::Source), source); // a failed load leaves Source as it was
    }

    // Vendor files, chosen by content: knots as "MHz=dB", the uncertainty (+-) and source reflection ([on/off])
    // where every row has them, "|" and the serial number; or the messages of a refusal, naming the line.
    void vendor_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QByteArray head = "[Filetype ENR]\n[Version 1.0]\n[Serialnumber ABCD1234]\n! Frequency ENR\n! Hz dB\n";
        const QByteArray example = head + "100000000 14.53200\n2e+010 15.73100\n";
        auto row = [](const char *name, const QByteArray &content, const QString &expected) {
            QTest::newRow(name) << content << expected;
        };
        row("the example: two rows", example, "100=14.532 20000=15.731|ABCD1234");
        row("one row", head + "100000000 14.53200\n",
            "GKR Antenna File error:|Not enough records in Antenna File (min=2).|Critical");
        row("the example and a third row", example + "2.65E+10 15.9", "100=14.532 20000=15.731 26500=15.9|ABCD1234");
        row("CR LF, example", QByteArray(example + "3e10 16\n").replace("\n", "\r\n"), "100=14.532 20000=15.731 30000=16|ABCD1234");
        row("Funit variants", "!\n10 MHz 15.2\n1.5 GHz 15.0 dB\n18000000 kHz 14.1 DB\n0.02 thz 13\n",
            "10=15.2 1500=15 18000=14.1 20000=13|");
        row("commas, uncertainty", "!\n1e7,15.2,0.1\n2e7 , 15.1 , 0.12\n3e7\t,15.0,0.2\n", "10=15.2+-0.1 20=15.1+-0.12 30=15+-0.2|");
        row("reflection columns, one row with Runcert",
            "[Filetype ENR]\r\n10 MHz 15.2 dB 0.15 0.05 -20 0.06 -25\r\n1.5 GHz, 15.0, dB, 0.16, 0.06, 40, 0.07, 35, 0.01\r\n"
            "18 ghz 14.1 dB 0.2 0.1 100 0.12 110\r\n",
            "10=15.2+-0.15[0.05/0.06] 1500=15+-0.16[0.06/0.07] 18000=14.1+-0.2[0.1/0.12]|");
        row("uncertainty not on every row: dropped", "!\n1e7 15 0.1\n2e7 15\n3e7 15 0.1\n", "10=15 20=15 30=15|");
        const QString bad = "TQX ENR File error:|Line %1: not a valid ENR data record, load aborted.|Critical";
        row("malformed: two extra values", example + "3e10 16 dB 0.1 0.2\n", bad.arg(8));
        row("malformed: two commas", "!\n1e7,,15\n", bad.arg(2));
        row("malformed: four exponent digits", "!\n1e7 15\n1e0010 15\n", bad.arg(3));
        row("malformed: reflection 1.2", "!\n1e7 15 0.1 1.2 0 0.1 0\n", bad.arg(2));
        row("reversed order", "[Filetype ENR]\n\n3 GHz 15\n2 GHz 15\n1 GHz 15\n",
            "GKR Antenna File error:|Line 4: Antenna File not sorted, load aborted.|Critical");
        row("another file type", "[Filetype S2P]\n", "TQX ENR File error:|Line 1: not an ENR file, load aborted.|Critical");
        row("TQX table beside", kThree, "1000=15 2000=15.5 3000=14.8|");
    }
    void vendor()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const EnrFileContents c = ParseEnrFile(content);
        QStringList got;
        for (const EnrFileMessage &msg : c.messages)
            got << msg.caption + '|' + msg.text + (msg.icon == MsgIcon::Critical ? "|Critical" : "");
        if (!c.failed) {
            QStringList knots;
            const EnrTable &t = c.table;
            for (int i = 0; i < t.size(); ++i)
                knots << QString("%1=%2").arg(t.freq[i]).arg(t.enr[i]) + (t.unc.isEmpty() ? "" : QString("+-%1").arg(t.unc[i])) +
                             (t.onMag.isEmpty() ? "" : QString("[%1/%2]").arg(t.onMag[i]).arg(t.offMag[i]));
            got << knots.join(' ') + '|' + c.source.value_or("");
        }
        QCOMPARE(got.join('/'), expected);
    }

    // A new table whose spline leaves its points' range is asked about once, naming where and by how much; the answer,
    // or the choice remembered (then nothing is asked), sets the curve of the sheet and of the budget's interpolation
    // term and is stored beside the file name. Then the ENR view's choice of the straight line reads the ENR again.
    void interpolationChoice_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("expected"); // questions, ENR, method stored, budget's half width; ENR on the line
        const QByteArray uneven = "!\n10 MHz 15.5\n100 MHz 14.84\n1 GHz 14.91\n20 GHz 14.5\n";
        QTest::newRow("uneven table, Yes: monotone cubic") << uneven << "" << true << "1 14.91 monotone 0.005; 14.90";
        QTest::newRow("uneven table, No: spline kept") << uneven << "" << false << "1 16.51 spline 0.804; 14.90";
        QTest::newRow("remembered linear: not asked") << uneven << "linear" << true << "0 14.90 linear 0.000; 14.90";
        QTest::newRow("remembered spline: not asked") << uneven << "spline" << true << "0 16.51 spline 0.804; 14.90";
        QTest::newRow("three-point example: not asked") << kThree << "" << true << "0 15.36 spline 0.056; 15.25";
    }
    void interpolationChoice()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, remembered);
        QFETCH(bool, answer);
        QFETCH(QString, expected);
        m_tb->windows.answer = answer;
        meter().session().EnrInterpolation = remembered;
        QCOMPARE(load(file(content)), 0);
        const QStringList &asked = m_tb->windows.questions;
        QVERIFY(asked.isEmpty() || asked[0].contains("between 1000 and 20000 MHz by 12.06 dB"));
        meter().Form_Unload();
        QString got = QString("%1 %2 %3 %4; ").arg(asked.size()).arg(fields()[0], m_tb->settings.values.value("default/EnrInterpolation"),
                                                                     FormatFixed(budgetInputs(meter()).enrInterpHalfDb, "0.000"));
        chooseEnrInterpolation(meter(), physics::Interpolation::Linear);
        QCOMPARE(got + sheet().text(Field::ENR), expected);
        QCOMPARE(m_tb->messages.lines(), QStringList());
    }

    // The source's temperature when off: a table's Tcold, the floor its Thot stands on (Thot = 290 K *
    // 10^(ENR/10) + Tcold), and the centre of the budget's Tcold term; set before or after loading.
    void sourceTemperature_data()
    {
        QTest::addColumn<double>("kelvin");
        QTest::addColumn<bool>("afterLoading");
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot, lock state ("?": ENR alone locked)
        QTest::addColumn<QString>("message");
        const QStringList warm{"15.36", "296.50", "10259.7", "L"};
        QTest::newRow("290 K, the reference: as always") << 290.0 << false << kThreeAt1500 << "";
        QTest::newRow("296.5 K, then the table") << 296.5 << false << warm << "";
        QTest::newRow("296.5 K with the table loaded: read again") << 296.5 << true << warm << "";
        QTest::newRow("0.5 K refused, the table as it was")
            << 0.5 << true << kThreeAt1500 << "Value error:|The noise source temperature when off must be >= 1 K and <= 1000 K";
        QTest::newRow("hot and cold loads: no table, its name kept")
            << -1.0 << false << QStringList{"", "290.0", "29290.0", "?"}
            << "TQX ENR File error:|Hot and cold loads are in use (Options); no ENR table is loaded.|Exclamation";
    }
    void sourceTemperature()
    {
        QFETCH(double, kelvin);
        QFETCH(bool, afterLoading);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        const bool loads = kelvin < 0;
        QVERIFY(loads ? setHotColdLoads(meter(), true) : afterLoading || setSourceOffK(meter(), kelvin));
        const QString path = file(kThree);
        QCOMPARE(load(path), loads ? 1 : 0);
        QVERIFY(!afterLoading || setSourceOffK(meter(), kelvin) == message.isEmpty());
        QCOMPARE(fields(), expected);
        QCOMPARE(meter().session().EnrFileName, path);
        QCOMPARE(budgetInputs(meter()).input.tCold, ParseNumber(expected[1]));
        QCOMPARE(m_tb->messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // Import (cancelled, then a file), unload (texts stay), and the reload of the remembered file at start-up; a vanished
    // file is reported and forgotten.
    // The results from the right ENR on each path: the device path at the Frequency (the RF) from the
    // measurement table, the calibration path (the receiver alone) at the IF from the calibration table in
    // use. The expected figures come from the physics with those source temperatures.
    void calibrationTable_data()
    {
        using physics::DeviceMode;
        QTest::addColumn<int>("mode");        // down-converter: LO 9750 MHz, USB, image rejection 20 dB
        QTest::addColumn<bool>("ownTable");   // the calibration table below loaded, else the measurement table serves
        QTest::addColumn<QString>("rf");      // Frequency, MHz
        QTest::addColumn<double>("enr");      // measurement table's ENR at the Frequency, dB
        QTest::addColumn<double>("calEnr");   // calibration path's ENR, dB; NaN: none (Teq1 and the device empty)
        QTest::addColumn<QString>("ifLine");
        const int amp = int(DeviceMode::Amplifier), lnb = int(DeviceMode::DownConverter);
        QTest::newRow("amplifier, one table: as always") << amp << false << "11000" << 15.0 << 15.0 << "";
        QTest::newRow("amplifier, own calibration table at the Frequency")
            << amp << true << "1250" << 14.5 << 5.5 << "Calibration ENR 5.50 dB";
        QTest::newRow("amplifier, Frequency outside the calibration table")
            << amp << true << "11000" << 15.0 << qQNaN()
            << "Frequency outside the calibration ENR table (1000.000 to 2000.000 MHz)";
        QTest::newRow("LNB, calibration table at the IF")
            << lnb << true << "11000" << 15.0 << 5.5 << "IF 1250.000 MHz, calibration ENR 5.50 dB";
        QTest::newRow("LNB, measurement table read at the IF too")
            << lnb << false << "11000" << 15.0 << 14.5 << "IF 1250.000 MHz, calibration ENR 14.50 dB";
        QTest::newRow("LNB, IF outside the calibration table: no extrapolation")
            << lnb << true << "12000" << 15.5 << qQNaN()
            << "IF 2250.000 MHz, outside the calibration ENR table (1000.000 to 2000.000 MHz)";
    }
    void calibrationTable()
    {
        QFETCH(int, mode);
        QFETCH(bool, ownTable);
        QFETCH(QString, rf);
        QFETCH(double, enr);
        QFETCH(double, calEnr);
        QFETCH(QString, ifLine);
        const DeviceSetup device{physics::DeviceMode(mode), 9750, physics::Sideband::Usb, 20};
        QVERIFY(setDeviceSetup(meter(), device));
        QCOMPARE(load(file("1000\t14\n1250\t14.5\n11000\t15\n12000\t15.5\n"), rf), 0);
        if (ownTable) {
            meter().session().CalEnrFileName = file("#* other calibration\n1000\t5\n1250\t5.5\n2000\t6\n", "cal.tab");
            QCOMPARE(loadCalibrationEnrTable(meter()), 0);
            QCOMPARE(&meter().calibrationEnrTable(), &meter().calEnrTable());
        }
        for (int i = 0; i < 4; ++i)
            sheet().setText(QList<Field>{Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22}[i],
                            QStringList{"10", "13", "30", "38"}[i]);
        QVERIFY(meter().validate(Field::Frequency));
        QCOMPARE(ifText(sheet()), ifLine);
        QCOMPARE(sheet().text(Field::ENR), FormatFixed(enr, "0.00")); // the device input's ENR stays on the sheet

        auto thot = [](double db) { return ParseNumber(FormatFixed(ThotFromEnr(db, 290), "0.0")); };
        physics::CascadeInput in;
        in.tHot = thot(enr);
        in.tCold = 290;
        in.tAtt1 = in.tAtt2 = 290;
        in.instrument = physics::LevelPair{10, 13};
        in.combined = physics::LevelPair{30, 38};
        if (!std::isnan(calEnr)) {
            in.calTHot = thot(calEnr);
            in.calTCold = 290.0;
        }
        const physics::CascadeResult r = physics::cascade(in);
        physics::DeviceResult dut = r.device;
        if (device.converter()) {
            physics::ImageCorrectionInput ci;
            ci.te = dut.te;
            ci.gain = dut.gain;
            ci.tHot = r.combined.tHot;
            ci.tCold = r.combined.tCold;
            ci.imageRejectionDb = physics::imageRejectionFor(device.mode, device.sideband, 20);
            dut = physics::correctForImage(ci).device;
        }
        const bool known = !std::isnan(calEnr);
        // Teq1 and the gain follow the calibration ENR one for one; NF2 the measurement ENR alone.
        QCOMPARE(QStringList({sheet().text(Field::Teq1), sheet().text(Field::Gain), sheet().text(Field::NF),
                              sheet().text(Field::NF2)}),
                 QStringList({known ? FormatSig(r.instrument.te, 3) : "", known ? FormatFixed(dut.gainDb, "0.0") : "",
                              known ? FormatFixed(dut.nfDb, "0.00") : "", FormatFixed(r.combined.nfDb, "0.00")}));
        // An amplifier without a table of its own: the calibration path is the device path, as always.
        QCOMPARE(sheet().calibrationEnr.state == Sheet::CalibrationEnr::State::Typed, !device.converter() && !ownTable);
    }

    void importUnloadReload()
    {
        sheet().setText(Field::Frequency, "1500.000");
        meter().session().EnrFileName = "previous.tab";
        meter().click(Control::mnuEnrImp); // cancelled: nothing changes
        QCOMPARE(meter().session().EnrFileName + fields().last(), "previous.tabU");
        const QString path = file(kThree);
        m_tb->fileDialogs.answers.push_back(path);
        meter().click(Control::mnuEnrImp);
        QCOMPARE(fields() << meter().session().EnrFileName, kThreeAt1500 + QStringList{path});
        meter().click(Control::mnuEnrUnl); // texts stay, fields editable again, table emptied
        QCOMPARE(fields() << meter().session().EnrFileName, (QStringList{"15.36", "290.00", "10253.2", "U", ""}));
        for (const QString &remembered : {path, m_dir->filePath("vanished.tab")}) {
            meter().session().EnrFileName = remembered;
            meter().startUp();
        }
        QCOMPARE(fields() << meter().session().EnrFileName, kThreeAt1500 + QStringList{""});
        QCOMPARE(m_tb->messages.lines(), QStringList{kNotFound});
    }
};

QTEST_GUILESS_MAIN(TstEnrTable)
#include "tst_enrtable.moc"
