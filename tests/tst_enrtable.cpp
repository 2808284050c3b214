// ENR table: parsing and its failure messages, the natural spline against
// the textbook equations solved directly, applying the table to the sheet,
// loading over a loaded table, import, unload and the reload at start-up.

#include "app/Meter.h"
#include "calc/EnrTable.h"

#include <QtTest>
#include <cmath>

namespace {
class RecordingMessages : public IMessages
{
public:
    void show(const QString &caption, const QString &text, MsgIcon icon) override
    {
        shown << caption + '|' + text + '|' + (icon == MsgIcon::Critical ? "Critical" : icon == MsgIcon::None ? "None" : "?");
    }
    QStringList shown;
};
class FakeFileDialogs : public IFileDialogs
{
public:
    std::optional<QString> openFile(const FileDialogRequest &req) override { requests << req; return answer; }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> answer;
    QList<FileDialogRequest> requests;
};

const QString kNotFound = "TQX ENR File error:|ENR File not found, load aborted.|Critical";
const QString kTooLarge = "TQX ENR File error:|ENR File larger than 1 MiB, load aborted.|Critical";
const QString kBad = "TQX ENR File error:|Bad data record, aborting.|None";
const QString kUnsorted = "GKR Antenna File error:|Antenna File not sorted, load aborted.|Critical";
const QString kTooFew = "GKR Antenna File error:|Not enough records in Antenna File (min=3).|Critical";
const QString kRange = "TQX ENR File error:|ENR data out of range, load aborted.|Critical";
const QByteArray kThree = "# test source\n1000\t15\n2000\t15.5\n3000\t14.8\n";

// Natural spline from its textbook equations, solved by the Thomas algorithm:
// h[i-1] M[i-1] + 2 (h[i-1] + h[i]) M[i] + h[i] M[i+1] = 6 (s[i] - s[i-1]), M[0] = M[n] = 0.
QVector<double> directM(const QVector<double> &x, const QVector<double> &y)
{
    const int n = x.size() - 1;
    QVector<double> M(n + 1, 0.0), c(n + 1, 0.0), d(n + 1, 0.0);
    for (int i = 1; i < n; ++i) {
        const double hl = x[i] - x[i - 1], hr = x[i + 1] - x[i];
        const double rhs = 6 * ((y[i + 1] - y[i]) / hr - (y[i] - y[i - 1]) / hl);
        const double den = 2 * (hl + hr) - hl * c[i - 1];
        c[i] = hr / den;
        d[i] = (rhs - hl * d[i - 1]) / den;
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
    RecordingMessages m_messages;
    FakeFileDialogs m_dialogs;
    std::unique_ptr<Meter> m_meter;
    std::unique_ptr<QTemporaryDir> m_dir;

    Sheet &sheet() { return m_meter->sheet(); }
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
        m_meter->EnrFileName = path;
        return LoadEnrTable(*m_meter);
    }
    // ENR, Tcold, Thot, then L/U (locked and blue / unlocked and normal, all three and mnuEnrUnl alike).
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
        m_messages.shown.clear();
        m_dialogs.requests.clear();
        m_dialogs.answer.reset();
        Platform p;
        p.messages = &m_messages;
        p.fileDialogs = &m_dialogs;
        m_meter = std::make_unique<Meter>(p);
        m_meter->Form_Load(); // ENR 20.00, Tcold 290.0, Thot 29290.0, no table
    }
    void cleanup() { m_meter.reset(); m_dir.reset(); }

    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // written to a temporary file unless `where` names a path
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot, lock state
        const QStringList unchanged = {"20.00", "290.0", "29290.0", "U"};
        auto ok = [](const char *enr, const char *thot) { return QStringList{enr, "290.00", thot, "L"}; };
        QTest::newRow("1500 MHz") << kThree << "" << "1500" << QStringList() << ok("15.36", "10253.2");
        QTest::newRow("3500 MHz extrapolated") << kThree << "" << "3500" << QStringList() << ok("14.34", "8167.7");
        QTest::newRow("knot") << kThree << "" << "2000" << QStringList() << ok("15.50", "10579.6");
        QByteArray crlf = "\xEF\xBB\xBF#* Noise Source NS-1\r\n\r\n1000\t15\r\n2000\t15.5\t# note\tx\r\n3000\t14.8";
        QTest::newRow("CR LF, BOM, no final line end") << crlf << "" << "1500" << QStringList() << ok("15.36", "10253.2");
        QTest::newRow("CR only") << crlf.replace("\r\n", "\r") << "" << "1500" << QStringList() << ok("15.36", "10253.2");
        QTest::newRow("missing file") << QByteArray() << "missing" << "1500" << QStringList{kNotFound} << unchanged;
        QTest::newRow("directory") << QByteArray() << "directory" << "1500" << QStringList{kNotFound} << unchanged;
        QTest::newRow("endless device") << QByteArray() << "/dev/zero" << "1500" << QStringList{kTooLarge} << unchanged;
        QTest::newRow("over 1 MiB") << QByteArray(1024 * 1024 + 1, '#') << "" << "1500" << QStringList{kTooLarge} << unchanged;
        QTest::newRow("record without tab") << QByteArray("1000 15\n2000\t15.5\n3000\t14.8\n") << "" << "1500" << QStringList{kBad, kTooFew} << unchanged;
        QTest::newRow("line of blanks") << QByteArray("1000\t15\n  \n2000\t1\n3000\t1\n") << "" << "1500" << QStringList{kBad, kTooFew} << unchanged;
        QTest::newRow("bad record after three") << kThree + "4000 14\n" << "" << "1500" << QStringList{kBad} << unchanged;
        QTest::newRow("equal frequencies") << QByteArray("1000\t15\n1000\t15\n3000\t14\n") << "" << "1500" << QStringList{kUnsorted, kTooFew} << unchanged;
        QTest::newRow("first frequency 0") << QByteArray("0\t15\n2000\t15\n3000\t14\n") << "" << "1500" << QStringList{kUnsorted, kTooFew} << unchanged;
        QTest::newRow("decreasing after three") << kThree + "2500\t14\n" << "" << "1500" << QStringList{kUnsorted} << unchanged;
        QTest::newRow("frequency not a number") << kThree + "4k\t14\n" << "" << "1500" << QStringList{kUnsorted} << unchanged;
        QTest::newRow("comments only") << QByteArray("#* S\n\n# c\n") << "" << "1500" << QStringList{kTooFew} << unchanged;
        QTest::newRow("ENR at or below 0") << QByteArray("1000\t-5\n2000\t-4\n3000\t-6\n") << "" << "1500" << QStringList{kRange} << unchanged;
        QTest::newRow("extrapolated beyond 200") << QByteArray("1000\t10\n2000\t20\n3000\t10\n") << "" << "10000" << QStringList{kRange} << unchanged;
        QTest::newRow("overflowing values") << QByteArray("1000\t1e308\n2000\t-1e308\n3000\t1e308\n") << "" << "1500" << QStringList{kRange} << unchanged;
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, where);
        QFETCH(QString, frequency);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, expected);
        const QString path = where.isEmpty() ? file(content) : where == "missing" ? m_dir->filePath("none.tab")
                           : where == "directory" ? m_dir->path() : where;
        sheet().setText(Field::Source, "kept");
        const bool good = messages.isEmpty();
        QCOMPARE(load(path, frequency), good ? 0 : 1);
        QCOMPARE(m_messages.shown, messages);
        QCOMPARE(fields(), expected);
        QCOMPARE(m_meter->EnrFileName, good ? path : QString());
        QCOMPARE(m_meter->enrTable().size(), good ? 3 : 0);
        QCOMPARE(sheet().text(Field::Source), content.contains("NS-1") ? "Noise Source NS-1" : "kept"); // no CR
    }

    void spline_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("y");
        QTest::newRow("three knots") << QVector<double>{1000, 2000, 3000} << QVector<double>{15, 15.5, 14.8};
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
        // Inside and beyond both ends; A is single precision, so ~1e-6 dB.
        for (int j = -20; j <= 220; ++j) {
            const double X = x.first() + (x.last() - x.first()) * j / 200.0;
            QVERIFY2(std::fabs(csinterpolate(t, X) - directEval(x, y, M, X)) < 1e-5, qPrintable(QString::number(X)));
        }
    }

    void tooManyRecords()
    {
        QByteArray content;
        for (int i = 1; i <= 101; ++i)
            content += QByteArray::number(i * 10) + "\t15\n";
        QCOMPARE(load(file(content)), 0);
        QCOMPARE(m_messages.shown, QStringList{"GKR Antenna File error:|Too many records in Antenna File, discarding excess.|None"});
        QCOMPARE(m_meter->enrTable().size(), 100);
        QCOMPARE(fields(), (QStringList{"15.00", "290.00", "9460.6", "L"}));
    }

    void sourceLine()
    {
        QCOMPARE(load(file("#* first\n#* 0123456789ABCDEFGHIJ0123456789abcdefghij\n#*x\n" + kThree)), 0);
        QCOMPARE(sheet().text(Field::Source), "0123456789ABCDEFGHIJ0123456789"); // later line wins, 30 characters
    }

    void loadOverLoadedTable_data()
    {
        QTest::addColumn<QByteArray>("second"); // empty: the file is missing
        QTest::newRow("unsorted") << QByteArray("3000\t15\n2000\t15.5\n1000\t14.8\n");
        QTest::newRow("bad record after three") << kThree + "x\n";
        QTest::newRow("out of range") << QByteArray("100\t-3\n200\t-3\n300\t-3\n");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("good file replaces") << QByteArray("1000\t5.2\n2000\t5.2\n3000\t5.2\n");
    }
    void loadOverLoadedTable()
    {
        QFETCH(QByteArray, second);
        QCOMPARE(load(file(kThree, "first.tab")), 0);
        const EnrTable old = m_meter->enrTable();
        const bool replaces = second.contains("5.2");
        const QString path = second.isEmpty() ? m_dir->filePath("gone.tab") : file(second, "second.tab");
        QCOMPARE(load(path), replaces ? 0 : 1);
        const QStringList expected = replaces ? QStringList{"5.20", "290.00", "1250.3", "L"}
                                              : QStringList{"15.36", "290.00", "10253.2", "L"};
        QCOMPARE(fields(), expected);
        QCOMPARE(m_meter->enrTable().y2 == old.y2, !replaces);
        QCOMPARE(m_meter->EnrFileName, replaces ? path : QString());
    }

    void importAndUnload()
    {
        m_meter->EnrFileName = "previous.tab";
        sheet().setText(Field::Frequency, "1500.000");
        m_meter->click(Control::mnuEnrImp); // cancelled: nothing changes
        QCOMPARE(m_meter->EnrFileName, "previous.tab");
        QCOMPARE(fields().last(), "U");
        m_dialogs.answer = file(kThree);
        m_meter->click(Control::mnuEnrImp);
        QCOMPARE(m_dialogs.requests.size(), 2);
        const FileDialogRequest &req = m_dialogs.requests.last();
        QVERIFY(req.initialDir.isEmpty() && req.fileName.isEmpty() && req.mustExist);
        QCOMPARE(req.filter, "Text files (*.tab)|*.tab");
        QCOMPARE(req.filterIndex, 1);
        QCOMPARE(m_meter->EnrFileName, *m_dialogs.answer);
        QCOMPARE(fields(), (QStringList{"15.36", "290.00", "10253.2", "L"}));
        m_meter->click(Control::mnuEnrUnl); // texts stay, fields editable again
        QCOMPARE(fields(), (QStringList{"15.36", "290.00", "10253.2", "U"}));
        QVERIFY(m_meter->EnrFileName.isEmpty());
        QCOMPARE(m_meter->enrTable().freq, (QVector<double>{0, 0}));
        QVERIFY(m_messages.shown.isEmpty());
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
        m_meter->EnrFileName = remembered == "file" ? file(kThree) : remembered.isEmpty() ? "" : m_dir->filePath("v.tab");
        sheet().setText(Field::Frequency, "1500.000");
        m_meter->startUp();
        QCOMPARE(m_messages.shown, remembered == "vanished" ? QStringList{kNotFound} : QStringList());
        QCOMPARE(fields().last(), remembered == "file" ? "L" : "U");
        QCOMPARE(m_meter->EnrFileName.isEmpty(), remembered != "file");
    }
};

QTEST_GUILESS_MAIN(TstEnrTable)
#include "tst_enrtable.moc"
