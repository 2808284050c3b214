// TSV record: percent encoder, header only into an empty file, exact lines, failures that keep the file.
#include "report/TsvRecord.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
const QByteArray kHeader = "Program\tVersion\tObsTime\tTitle\tFrequency\tTatt1\tTatt2\tSource\tThot\tTcold\tY2\tTeq2\t"
                           "NF2\tY21\tGain\tTeq\tNF\tNotes\t\r\n";
QByteArray line(const QByteArray &notes)
{
    return "TQX\t" + Meter::versionText().toUtf8() +
           "\t20240501123456\tLNA\t145.000\t290\t296.5\tNS-1\t9290\t290\t10.000\t678\t5.23\t8.000\t17.7\t1.34e+3\t7.50\t" +
           notes + "\r\n";
}
} // namespace

class TstTsvRecord : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    QTemporaryDir m_dir;
    Sheet &sheet() { return m_bench->meter.sheet(); }

private Q_SLOTS:
    void init()
    {
        m_bench = std::make_unique<TestBench>();
        m_bench->meter.ObsTime = "20240501123456";
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
        QTest::newRow("letters and digits unchanged") << "azAZ09" << "azAZ09";
        QTest::newRow("blank, TAB, CR LF") << "a b\tc\r\n" << "a%20b%09c%0D%0A";
        QTest::newRow("punctuation") << ",.-%_~+" << "%2C%2E%2D%25%5F%7E%2B";
        QTest::newRow("non-ASCII as UTF-8 bytes") << QString::fromUtf8("é€\U0001F4E1") << "%C3%A9%E2%82%AC%F0%9F%93%A1";
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
        QTest::addColumn<QByteArray>("header"); // expected before the first line
        QTest::newRow("missing file gets header") << false << QByteArray() << kHeader;
        QTest::newRow("empty file gets header") << true << QByteArray() << kHeader;
        QTest::newRow("non-empty file never does") << true << QByteArray("x") << QByteArray();
    }
    void recording()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, header);
        QFile f(m_dir.filePath(QTest::currentDataTag()));
        QVERIFY(!exists || (f.open(QIODevice::WriteOnly) && f.write(before) == before.size()));
        f.close();
        m_bench->meter.TsvFileName = f.fileName();
        sheet().setText(Field::Notes, "a b\nc"); // the notes box yields LF
        m_bench->meter.click(Control::btnSaveTsv); // a successful save disables both
        QVERIFY(!sheet().enabled(Control::mnuSaveTsv) && !sheet().enabled(Control::btnSaveTsv));
        sheet().setText(Field::Notes, "");
        m_bench->meter.click(Control::mnuSaveTsv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before + header + line("a%20b%0D%0Ac") + line(""));
        QVERIFY(m_bench->messages.shown.isEmpty());
    }

    void failureKeepsFile_data()
    {
        QTest::addColumn<QString>("name");  // TsvFileName; "@" stands for the temporary directory
        QTest::addColumn<bool>("fromButton");
        QTest::addColumn<int>("room"); // bytes the file may still grow by (RLIMIT_FSIZE), -1: no limit
        QTest::newRow("directory missing, menu") << "@/gone/TQXData.tab" << false << -1;
        QTest::newRow("disk full") << "/dev/full" << true << -1;
        QTest::newRow("FIFO without reader") << "@/fifo" << true << -1;
        QTest::newRow("size limit mid-line") << "@/data.tab" << true << 20;
    }
    void failureKeepsFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, fromButton);
        QFETCH(int, room);
        name.replace("@", m_dir.path());
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo")).constData(), 0600) == 0 || errno == EEXIST);
        const QByteArray before = kHeader + line("earlier");
        QFile existing(m_dir.filePath("data.tab"));
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write(before) == before.size());
        existing.close();
        m_bench->meter.TsvFileName = name;
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lim{room >= 0 ? rlim_t(before.size() + room) : saved.rlim_cur, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lim);
        RecordTsv(m_bench->meter, fromButton);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(m_bench->messages.texts(), QStringList{"IO Error writing file " + name + "."});
        QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_bench->messages.shown[0].icon, MsgIcon::Critical);
        QVERIFY(sheet().enabled(Control::mnuSaveTsv));
        QCOMPARE(sheet().enabled(Control::btnSaveTsv), !fromButton); // the button disables itself after failure
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), before); // a cut-off line is taken back
        existing.close();
        if (room < 0)
            return;
        RecordTsv(m_bench->meter, fromButton); // the next record starts on its own line
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), before + line(""));
    }
};

QTEST_GUILESS_MAIN(TstTsvRecord)
#include "tst_tsvrecord.moc"
