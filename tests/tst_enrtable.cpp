// ENR table: parsing and its failure messages, decimal marks in any locale, loading over a loaded
// table, import, unload and reload at start-up.
#include "support/TestPlatform.h"

#include "calc/EnrTable.h"

#include <QtTest>

namespace {
const QString kNotFound = "TQX ENR File error:|ENR File not found, load aborted.|Critical";
const QString kTooLarge = "TQX ENR File error:|ENR File larger than 1 MiB, load aborted.|Critical";
const QString kBad = "TQX ENR File error:|Bad data record, aborting.";
const QString kUnsorted = "GKR Antenna File error:|Antenna File not sorted, load aborted.|Critical";
const QString kTooFew = "GKR Antenna File error:|Not enough records in Antenna File (min=3).|Critical";
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

    Meter &meter() { return m_tb->meter; }
    Sheet &sheet() { return m_tb->meter.sheet(); }
    QString file(const QByteArray &content, const QString &name = "t.tab")
    {
        QFile f(m_dir->filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write test file");
        return f.fileName();
    }
    int load(const QString &path, const QString &frequency = "1500.000")
    {
        sheet().setText(Field::Frequency, frequency);
        meter().EnrFileName = path;
        return LoadEnrTable(meter());
    }
    QStringList messages() { return m_tb->messages.lines(); }
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
    void cleanup() { m_tb.reset(); m_dir.reset(); }

    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // written to a temporary file unless `where` names a path
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot, lock state; empty: load refused, all unchanged
        QTest::addColumn<QString>("source");
        auto bad = [](const char *name, const QByteArray &content, const QStringList &msgs, const char *where = "", const char *freq = "1500") {
            QTest::newRow(name) << content << QString(where) << QString(freq) << msgs << QStringList() << "kept";
        };
        auto good = [](const char *name, const QByteArray &content, const char *freq, const QStringList &expected, const char *source = "kept") {
            QTest::newRow(name) << content << QString() << QString(freq) << QStringList() << expected << QString(source);
        };
        good("1500 MHz", kThree, "1500", kThreeAt1500);
        good("3500 MHz extrapolated", kThree, "3500", {"14.34", "290.00", "8167.7", "L"});
        QByteArray crlf = "\xEF\xBB\xBF#* Noise Source NS-1\r\n\r\n1000\t15\r\n2000\t15.5\t# note\tx\r\n3000\t14.8";
        good("CR LF, BOM, no final line end", crlf, "1500", kThreeAt1500, "Noise Source NS-1");
        good("CR only", crlf.replace("\r\n", "\r"), "1500", kThreeAt1500, "Noise Source NS-1");
        good("decimal commas, blanks", "1000\t15\n2000\t 15,5 \n3000\t1,48e1\n", "1500", kThreeAt1500);
        good("later source line wins, 30 characters", "#* first\n#* 0123456789ABCDEFGHIJ0123456789abcdefghij\n#*x\n" + kThree,
             "1500", kThreeAt1500, "0123456789ABCDEFGHIJ0123456789");
        QByteArray many;
        for (int i = 1; i <= 101; ++i)
            many += QByteArray::number(i * 10) + "\t15\n";
        QTest::newRow("101 records: first 100 used") << many << QString() << "1500" << QStringList{"GKR Antenna File error:|Too many records in Antenna File, discarding excess."}
                                                    << QStringList{"15.00", "290.00", "9460.6", "L"} << "kept";
        bad("missing file", {}, {kNotFound}, "missing");
        bad("endless device", {}, {kTooLarge}, "/dev/zero");
        bad("over 1 MiB", QByteArray(1024 * 1024 + 1, '#'), {kTooLarge});
        bad("record without tab", "1000 15\n2000\t15.5\n3000\t14.8\n", {kBad, kTooFew});
        bad("bad record after three, source kept", "#* New\n" + kThree + "4000 14\n", {kBad});
        bad("ENR not a number", "1000\t15\n\n2000\t\n3000\t14.8\n", {notNumber(3, "ENR"), kTooFew});
        bad("frequency not a number", kThree + "4.000,5\t15\n", {notNumber(5, "frequency")});
        bad("equal frequencies", "1000\t15\n1000\t15\n3000\t14\n", {kUnsorted, kTooFew});
        bad("decreasing after three", kThree + "2500\t14\n", {kUnsorted});
        bad("comments only", "#* S\n\n# c\n", {kTooFew});
        bad("ENR at or below 0", "1000\t-5\n2000\t-4\n3000\t-6\n", {kRange});
        bad("extrapolated beyond 200", "1000\t10\n2000\t20\n3000\t10\n", {kRange}, "", "10000");
        bad("overflowing values", "1000\t1e308\n2000\t-1e308\n3000\t1e308\n", {kRange});
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, where);
        QFETCH(QString, frequency);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, expected);
        QFETCH(QString, source);
        const QString path = where.isEmpty() ? file(content) : where == "missing" ? m_dir->filePath("none.tab") : where;
        sheet().setText(Field::Source, "kept");
        const bool good = !expected.isEmpty();
        QCOMPARE(load(path, frequency), good ? 0 : 1);
        QCOMPARE(this->messages(), messages);
        QCOMPARE(fields(), (good ? expected : QStringList{"20.00", "290.0", "29290.0", "U"}));
        QCOMPARE(meter().EnrFileName, good ? path : QString());
        QCOMPARE(meter().enrTable().size() >= 3, good);
        QCOMPARE(sheet().text(Field::Source), source); // a failed load leaves Source as it was
    }

    // Tables are interchange data: points (as vendors write them) or commas, whatever the locale.
    void decimalMarkInGermanLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QByteArray commas = kThree;
        for (const QByteArray &content : {kThree, commas.replace('.', ',')}) {
            QCOMPARE(load(file(content), "1500,000"), 0);
            QCOMPARE(fields(), (QStringList{"15,36", "290,00", "10253,2", "L"}));
        }
        QVERIFY(messages().isEmpty());
    }

    // A failed load keeps the loaded table; a good one replaces it.
    void loadOverLoadedTable_data()
    {
        QTest::addColumn<QByteArray>("second"); // empty: the file is missing
        QTest::newRow("unsorted") << QByteArray("3000\t15\n2000\t15.5\n1000\t14.8\n");
        QTest::newRow("out of range") << QByteArray("100\t-3\n200\t-3\n300\t-3\n");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("good file replaces") << QByteArray("1000\t5.2\n2000\t5.2\n3000\t5.2\n");
    }
    void loadOverLoadedTable()
    {
        QFETCH(QByteArray, second);
        QCOMPARE(load(file(kThree, "first.tab")), 0);
        const EnrTable old = meter().enrTable();
        const bool replaces = second.contains("5.2");
        const QString path = second.isEmpty() ? m_dir->filePath("gone.tab") : file(second, "second.tab");
        QCOMPARE(load(path), replaces ? 0 : 1);
        QCOMPARE(fields(), (replaces ? QStringList{"5.20", "290.00", "1250.3", "L"} : kThreeAt1500));
        QCOMPARE(meter().enrTable().enr == old.enr, !replaces);
        QCOMPARE(meter().EnrFileName, replaces ? path : QString());
    }

    void importAndUnload()
    {
        meter().EnrFileName = "previous.tab";
        sheet().setText(Field::Frequency, "1500.000");
        meter().click(Control::mnuEnrImp); // cancelled: nothing changes
        QCOMPARE(meter().EnrFileName + fields().last(), "previous.tabU");
        m_tb->fileDialogs.answers.push_back(file(kThree));
        meter().click(Control::mnuEnrImp);
        const FileDialogRequest &req = m_tb->fileDialogs.requests.last();
        QVERIFY(req.initialDir.isEmpty() && req.fileName.isEmpty() && req.mustExist && req.filterIndex == 1);
        QCOMPARE(req.filter, "Text files (*.tab)|*.tab");
        QCOMPARE(meter().EnrFileName, m_dir->filePath("t.tab"));
        QCOMPARE(fields(), kThreeAt1500);
        meter().click(Control::mnuEnrUnl); // texts stay, fields editable again
        QCOMPARE(fields(), (QStringList{"15.36", "290.00", "10253.2", "U"}));
        QVERIFY(meter().EnrFileName.isEmpty() && messages().isEmpty());
        QCOMPARE(meter().enrTable().freq, (QVector<double>{0, 0}));
    }

    void startUpReload_data()
    {
        QTest::addColumn<QString>("remembered");
        QTest::newRow("remembered file") << "file";
        QTest::newRow("vanished file") << "vanished";
        QTest::newRow("nothing remembered") << "";
    }
    void startUpReload()
    {
        QFETCH(QString, remembered);
        meter().EnrFileName = remembered == "file" ? file(kThree) : remembered.isEmpty() ? "" : m_dir->filePath("v.tab");
        sheet().setText(Field::Frequency, "1500.000");
        meter().startUp();
        QCOMPARE(messages(), remembered == "vanished" ? QStringList{kNotFound} : QStringList());
        QCOMPARE(fields().last(), remembered == "file" ? "L" : "U");
        QCOMPARE(meter().EnrFileName.isEmpty(), remembered != "file");
    }
};

QTEST_GUILESS_MAIN(TstEnrTable)
#include "tst_enrtable.moc"
