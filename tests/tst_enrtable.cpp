// ENR table: parsing and its failure messages, the natural spline against the
// textbook equations, loading over a loaded table, import, unload and reload.
#include "support/TestPlatform.h"

#include "calc/EnrTable.h"

#include <QtTest>
#include <cmath>

namespace {
const QString kNotFound = "TQX ENR File error:|ENR File not found, load aborted.|Critical";
const QString kTooLarge = "TQX ENR File error:|ENR File larger than 1 MiB, load aborted.|Critical";
const QString kBad = "TQX ENR File error:|Bad data record, aborting.";
const QString kUnsorted = "GKR Antenna File error:|Antenna File not sorted, load aborted.|Critical";
const QString kTooFew = "GKR Antenna File error:|Not enough records in Antenna File (min=3).|Critical";
const QString kRange = "TQX ENR File error:|ENR data out of range, load aborted.|Critical";
const QByteArray kThree = "# test source\n1000\t15\n2000\t15.5\n3000\t14.8\n";
const QStringList kThreeAt1500{"15.36", "290.00", "10253.2", "L"};

// Natural spline from its textbook equations (M[0] = M[n] = 0), solved by the Thomas algorithm.
QVector<double> directM(const QVector<double> &x, const QVector<double> &y)
{
    const int n = x.size() - 1;
    QVector<double> M(n + 1, 0.0), c(n + 1, 0.0), d(n + 1, 0.0);
    for (int i = 1; i < n; ++i) {
        const double hl = x[i] - x[i - 1], hr = x[i + 1] - x[i];
        const double den = 2 * (hl + hr) - hl * c[i - 1];
        c[i] = hr / den;
        d[i] = (6 * ((y[i + 1] - y[i]) / hr - (y[i] - y[i - 1]) / hl) - hl * d[i - 1]) / den;
    }
    for (int i = n - 1; i >= 1; --i)
        M[i] = d[i] - c[i] * M[i + 1];
    return M;
}
double directEval(const QVector<double> &x, const QVector<double> &y, const QVector<double> &M, double X)
{
    int i = 0;
    while (i < x.size() - 2 && X >= x[i + 1])
        ++i;
    const double h = x[i + 1] - x[i], l = x[i + 1] - X, r = X - x[i];
    return (M[i] * l * l * l + M[i + 1] * r * r * r) / (6 * h) + (y[i] / h - M[i] * h / 6) * l + (y[i + 1] / h - M[i + 1] * h / 6) * r;
}
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
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot, lock state; empty: unchanged
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
        good("later source line wins, 30 characters", "#* first\n#* 0123456789ABCDEFGHIJ0123456789abcdefghij\n#*x\n" + kThree,
             "1500", kThreeAt1500, "0123456789ABCDEFGHIJ0123456789");
        bad("missing file", {}, {kNotFound}, "missing");
        bad("endless device", {}, {kTooLarge}, "/dev/zero");
        bad("over 1 MiB", QByteArray(1024 * 1024 + 1, '#'), {kTooLarge});
        bad("record without tab", "1000 15\n2000\t15.5\n3000\t14.8\n", {kBad, kTooFew});
        bad("bad record after three", kThree + "4000 14\n", {kBad});
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
        const bool good = messages.isEmpty();
        QCOMPARE(load(path, frequency), good ? 0 : 1);
        QCOMPARE(this->messages(), messages);
        QCOMPARE(fields(), (good ? expected : QStringList{"20.00", "290.0", "29290.0", "U"}));
        QCOMPARE(meter().EnrFileName, good ? path : QString());
        QCOMPARE(meter().enrTable().size(), good ? 3 : 0);
        QCOMPARE(sheet().text(Field::Source), source);
    }

    void tooManyRecords()
    {
        QByteArray content;
        for (int i = 1; i <= 101; ++i)
            content += QByteArray::number(i * 10) + "\t15\n";
        QCOMPARE(load(file(content)), 0);
        QCOMPARE(messages(), QStringList{"GKR Antenna File error:|Too many records in Antenna File, discarding excess."});
        QCOMPARE(meter().enrTable().size(), 100);
        QCOMPARE(fields(), (QStringList{"15.00", "290.00", "9460.6", "L"}));
    }

    // Against the directly solved spline, inside and beyond both ends; A is single precision (~1e-6 dB).
    void spline_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("y");
        QTest::newRow("irregular knots") << QVector<double>{10, 50, 60, 400, 1000, 1296, 5000}
                                         << QVector<double>{5.2, 5.9, 6.1, 14.0, 15.3, 15.1, 11.7};
        QVector<double> x, y;
        for (int i = 0; i < 100; ++i)
            x << 10.0 + 37.5 * i + (i % 3) * 4.0, y << 15.0 + 3.0 * std::sin(i / 7.0);
        QTest::newRow("hundred knots") << x << y;
    }
    void spline()
    {
        QFETCH(QVector<double>, x);
        QFETCH(QVector<double>, y);
        EnrTable t{x, y, {}};
        fitSpline(t);
        const QVector<double> M = directM(x, y);
        for (int i = 0; i < x.size(); ++i)
            QVERIFY(std::fabs(t.y2[i] - M[i]) <= 1e-9 * (1 + std::fabs(M[i])));
        for (int j = -20; j <= 220; ++j) {
            const double X = x.first() + (x.last() - x.first()) * j / 200.0;
            QVERIFY2(std::fabs(csinterpolate(t, X) - directEval(x, y, M, X)) < 1e-5, qPrintable(QString::number(X)));
        }
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
        QCOMPARE(meter().enrTable().y2 == old.y2, !replaces);
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
