// TSV record: the percent encoder, header only into an empty file, exact
// data lines, and failures (unopenable path, full disk, size limit, FIFO
// without reader) that report and never lose what the file held.

#include "report/TsvRecord.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
const QByteArray kHeader = "Program\tVersion\tObsTime\tTitle\tFrequency\tTatt1\tTatt2\tSource\tThot\tTcold\tY2\tTeq2\t"
                           "NF2\tY21\tGain\tTeq\tNF\tNotes\t\r\n";
}

class TstTsvRecord : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    QTemporaryDir m_dir;
    Sheet &sheet() { return m_bench->meter.sheet(); }

    QByteArray expectedLine(const QByteArray &notes)
    {
        return "TQX\t" + Meter::versionText().toUtf8() + "\t20240501123456\tLNA\t145.000\t290\t296.5\tNS-1\t9290\t290\t"
                                                         "10.000\t678\t5.23\t8.000\t17.7\t1.34e+3\t7.50\t" + notes + "\r\n";
    }

private Q_SLOTS:
    void init()
    {
        m_bench = std::make_unique<TestBench>();
        Meter &m = m_bench->meter;
        m.ObsTime = "20240501123456";
        const std::pair<Field, const char *> texts[] = {
            {Field::Title, "LNA"}, {Field::Frequency, "145.000"}, {Field::Tatt1, "290"}, {Field::Tatt2, "296.5"},
            {Field::Source, "NS-1"}, {Field::ENR, "15.00"}, {Field::Thot, "9290"}, {Field::Tcold, "290"},
            {Field::Y2dB, "10.000"}, {Field::Teq1, "678"}, {Field::NF1, "5.23"}, {Field::Y12dB, "8.000"},
            {Field::Teq2, "1.35e+3"}, {Field::NF2, "7.53"}, {Field::Gain, "17.7"}, {Field::Teq, "1.34e+3"},
            {Field::NF, "7.50"}, {Field::Noise11, "not recorded"}};
        for (const auto &[f, t] : texts)
            sheet().setText(f, QString::fromLatin1(t));
        for (Control c : {Control::mnuSaveTsv, Control::btnSaveTsv})
            sheet().setEnabled(c, true);
    }

    void urlEncode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("letters and digits unchanged") << "azAZ09" << "azAZ09";
        QTest::newRow("blank") << "a b" << "a%20b";
        QTest::newRow("TAB and CR LF") << "x\ty\r\nz" << "x%09y%0D%0Az";
        QTest::newRow("punctuation") << ",.-%_~+" << "%2C%2E%2D%25%5F%7E%2B";
        QTest::newRow("non-ASCII as UTF-8 bytes") << QString::fromUtf8("é€") << "%C3%A9%E2%82%AC";
        QTest::newRow("astral character") << QString::fromUtf8("\U0001F4E1") << "%F0%9F%93%A1";
    }
    void urlEncode()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(UrlEncode(text), encoded);
    }

    void recording_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("header"); // expected header before the first line
        QTest::newRow("missing file gets header") << false << QByteArray() << kHeader;
        QTest::newRow("empty file gets header") << true << QByteArray() << kHeader;
        QTest::newRow("non-empty file never does") << true << QByteArray("x") << QByteArray();
    }
    void recording()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, header);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        if (exists) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        }
        m_bench->meter.TsvFileName = path;
        sheet().setText(Field::Notes, "a b\r\nc");
        m_bench->meter.click(Control::btnSaveTsv);
        QCOMPARE(sheet().enabled(Control::mnuSaveTsv), false);
        QCOMPARE(sheet().enabled(Control::btnSaveTsv), false);
        sheet().setText(Field::Notes, "");
        m_bench->meter.click(Control::mnuSaveTsv);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before + header +
                                  expectedLine("a%20b%0D%0Ac") + expectedLine(""));
        QVERIFY(m_bench->messages.shown.isEmpty());
    }

    void failureKeepsFile_data()
    {
        QTest::addColumn<QString>("name");  // TsvFileName; "@" stands for the temporary directory
        QTest::addColumn<bool>("fromButton");
        QTest::addColumn<int>("room"); // bytes the file may still grow by (RLIMIT_FSIZE), -1: no limit
        QTest::newRow("directory missing, menu") << "@/gone/TQXData.tab" << false << -1;
        QTest::newRow("directory missing, button") << "@/gone/TQXData.tab" << true << -1;
        QTest::newRow("name is a directory") << "@" << true << -1;
        QTest::newRow("disk full") << "/dev/full" << false << -1;
        QTest::newRow("FIFO without reader") << "@/fifo" << true << -1;
        QTest::newRow("size limit mid-line, button") << "@/data.tab" << true << 20;
    }
    void failureKeepsFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, fromButton);
        QFETCH(int, room);
        name.replace("@", m_dir.path());
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo")).constData(), 0600) == 0 || errno == EEXIST);
        const QByteArray before = kHeader + expectedLine("earlier");
        QFile existing(m_dir.filePath("data.tab"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write(before) == before.size());
        existing.close();
        m_bench->meter.TsvFileName = name;

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (room >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim = saved;
            lim.rlim_cur = rlim_t(before.size() + room);
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        RecordTsv(m_bench->meter, fromButton);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(m_bench->messages.texts(), QStringList{"IO Error writing file " + name + "."});
        QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_bench->messages.shown[0].icon, MsgIcon::Critical);
        QVERIFY(sheet().enabled(Control::mnuSaveTsv));
        QCOMPARE(sheet().enabled(Control::btnSaveTsv), !fromButton);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QVERIFY(existing.readAll().startsWith(before)); // a cut-off line may follow, nothing is lost
    }
};

QTEST_GUILESS_MAIN(TstTsvRecord)
#include "tst_tsvrecord.moc"
