// The report outlets: the text report (exact bytes in file and clipboard), the TSV record (percent encoder,
// header only into an empty file), failures that keep every file whole, printing, and the outlets' states.
#include "calc/Results.h"
#include "report/TextReport.h"
#include "report/TsvRecord.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(Control)

namespace {
struct FakePrinting : IPrinting {
    PrintOutcome printMainWindow() override { return outcome; }
    PrintOutcome outcome;
};

// Every field the outlets read, in report order: label (%u: the units; no value: a heading) and whether
// the TSV record has a column for it (its columns follow the report's order).
struct Item { Field field; const char *label, *value; bool tsv; };
const Item kItems[] = {
    {Field::Title, "Title", "LNA für 2 m", 1}, {Field::Frequency, "Frequency (MHz)", "145.000", 1}, {Field::Interval, "Interval", "1", 0},
    {Field::Tatt1, "Tatt1 (K)", "290", 1}, {Field::Tatt2, "Tatt2 (K)", "296.5", 1}, {Field::Source, "Source", "NS-1", 1},
    {Field::ENR, "ENR (dB)", "15.00", 0}, {Field::Thot, "Thot (K)", "9290", 1}, {Field::Tcold, "Tcold (K)", "290", 1},
    {Field::Notes, "Instrument calibration(2):", nullptr, 0}, {Field::Att11, "Att1(2) (dB)", "0.00", 0},
    {Field::Att12, "Att2(2) (dB)", "3.00", 0}, {Field::Noise11, "Noise LO(2) (%u)", "n11", 0}, {Field::Noise12, "Noise HI(2) (%u)", "n12", 0},
    {Field::Y2dB, "Y(2) (dB)", "10.000", 1}, {Field::Teq1, "Teq(2) (K)", "678", 1}, {Field::NF1, "NF(2) (dB)", "5.23", 1},
    {Field::Notes, "Combined measurement(12):", nullptr, 0}, {Field::Att21, "Att1(12) (dB)", "0.10", 0},
    {Field::Att22, "Att2(12) (dB)", "3.10", 0}, {Field::Noise21, "Noise LO(12) (%u)", "n21", 0}, {Field::Noise22, "Noise HI(12) (%u)", "n22", 0},
    {Field::Y12dB, "Y(12) (dB)", "8.000", 1}, {Field::Teq2, "Teq(12) (K)", "1.35e+3", 0}, {Field::NF2, "NF(12) (dB)", "7.53", 0},
    {Field::Notes, "Device under test(1):", nullptr, 0}, {Field::Gain, "Gain(1) (dB)", "17.7", 1},
    {Field::Teq, "Teq(1) (K)", "1.34e+3", 1}, {Field::NF, "NF(1) (dB)", "7.50", 1}};
const char *const kObsTime = "20240501123456";
const QByteArray kHeader = "Program\tVersion\tObsTime\tTitle\tFrequency\tTatt1\tTatt2\tSource\tThot\tTcold\tY2\tTeq2\t"
                           "NF2\tY21\tGain\tTeq\tNF\tNotes\t\r\n";

QString expectedReport(const QString &unit, const QString &notes)
{
    QStringList lines = {"Program\tTQX", "Version\t" + Meter::versionText(), QStringLiteral("ObsTime\t") + kObsTime};
    for (const Item &i : kItems)
        lines << QString::fromUtf8(i.label).replace("%u", unit) + (i.value ? "\t" + QString::fromUtf8(i.value) : QString());
    return (lines << "" << "Notes:" << notes).join("\r\n") + "\r\n";
}
QByteArray tsvLine(const QByteArray &encodedNotes)
{
    QByteArray line = "TQX\t" + Meter::versionText().toUtf8() + '\t' + kObsTime;
    for (const Item &i : kItems)
        line += i.tsv ? '\t' + QByteArray(i.value) : QByteArray();
    return line + '\t' + encodedNotes + "\r\n";
}
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
} // namespace

class TstReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    FakePrinting m_printing;
    std::unique_ptr<QTemporaryDir> m_dir;
    Meter &meter() { return m_bench->meter; }
    Sheet &sheet() { return m_bench->meter.sheet(); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_bench = std::make_unique<TestBench>();
        Platform p = m_bench->platform();
        p.printing = &m_printing;
        meter().setPlatform(p);
        for (const Item &i : kItems)
            if (i.value)
                sheet().setText(i.field, QString::fromUtf8(i.value));
        sheet().setText(Field::Noise00, "zero"); // never reported
        meter().ObsTime = kObsTime;
        for (Control c : {Control::mnuSaveText, Control::mnuSaveTsv, Control::btnSaveTsv})
            sheet().setEnabled(c, true);
    }

    // The notes box yields LF; every outlet writes the notes' line breaks as CR LF.
    void report_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("unitText");
        QTest::addColumn<QString>("reported");
        QTest::newRow("dB, empty notes") << 0 << "" << "dB" << "";
        QTest::newRow("Watt, notes lines end in CR LF") << 1 << "first\nsecond\twith TAB\r\nthird\r" << "Watt"
                                                       << "first\r\nsecond\twith TAB\r\nthird\r\n";
    }
    void report()
    {
        QFETCH(int, units);
        QFETCH(QString, notes);
        QFETCH(QString, unitText);
        QFETCH(QString, reported);
        sheet().setText(Field::Notes, notes);
        sheet().setUnitsIndex(units);
        const QString expected = expectedReport(unitText, reported);
        QCOMPARE(TextResults(meter()), expected);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(expected));
        meter().doubleClick(Field::Notes);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(reported));
        m_bench->fileDialogs.answers.push_back(m_dir->filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        QCOMPARE(readAll(m_dir->filePath("r.txt")), (expected + "\r\n").toUtf8());
        const FileDialogRequest &req = m_bench->fileDialogs.requests.at(0);
        QCOMPARE(req.fileName + '|' + req.filter + '|' + QString::number(req.filterIndex),
                 QStringLiteral("20240501123456|All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab|2"));
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

    void record_data()
    {
        QTest::addColumn<QByteArray>("before"); // "-": no file
        QTest::addColumn<QByteArray>("header"); // expected before the first line
        QTest::newRow("missing file gets header") << QByteArray("-") << kHeader;
        QTest::newRow("empty file gets header") << QByteArray() << kHeader;
        QTest::newRow("non-empty file never does") << QByteArray("x") << QByteArray();
    }
    void record()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, header);
        QFile f(m_dir->filePath(QTest::currentDataTag()));
        QVERIFY(before == "-" || (f.open(QIODevice::WriteOnly) && f.write(before) == before.size()));
        f.close();
        meter().TsvFileName = f.fileName();
        sheet().setText(Field::Notes, "a b\nc");
        meter().click(Control::btnSaveTsv); // a successful recording disables both
        QVERIFY(!sheet().enabled(Control::mnuSaveTsv) && !sheet().enabled(Control::btnSaveTsv));
        sheet().setText(Field::Notes, "");
        meter().click(Control::mnuSaveTsv);
        QCOMPARE(readAll(f.fileName()), before.replace("-", "") + header + tsvLine("a%20b%0D%0Ac") + tsvLine(""));
        QVERIFY(m_bench->messages.shown.isEmpty());
    }

    // A failed save or recording reports, keeps the old file whole and its outlet enabled; once the
    // trouble is gone, the next recording adds exactly one line.
    void failureKeepsFile_data()
    {
        QTest::addColumn<Control>("outlet");
        QTest::addColumn<QString>("target"); // "@" stands for the temporary folder; empty: dialog cancelled
        QTest::addColumn<int>("room");       // bytes the file may still grow by (RLIMIT_FSIZE), -1: no limit
        QTest::newRow("save: dialog cancelled, silent") << Control::mnuSaveText << "" << -1;
        QTest::newRow("save: directory missing") << Control::mnuSaveText << "@/gone/r.txt" << -1;
        QTest::newRow("save: size limit while writing") << Control::mnuSaveText << "@/old" << 50;
        QTest::newRow("record: directory missing") << Control::mnuSaveTsv << "@/gone/TQXData.tab" << -1;
        QTest::newRow("record: disk full") << Control::btnSaveTsv << "/dev/full" << -1;
        QTest::newRow("record: FIFO without reader") << Control::btnSaveTsv << "@/fifo" << -1;
        QTest::newRow("record: size limit mid-line") << Control::btnSaveTsv << "@/old" << 20;
    }
    void failureKeepsFile()
    {
        QFETCH(Control, outlet);
        QFETCH(QString, target);
        QFETCH(int, room);
        target.replace("@", m_dir->path());
        QVERIFY(::mkfifo(QFile::encodeName(m_dir->filePath("fifo")).constData(), 0600) == 0 || errno == EEXIST);
        const QByteArray before = kHeader + tsvLine("earlier");
        QFile old(m_dir->filePath("old"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(before) == before.size());
        old.close();
        const bool save = outlet == Control::mnuSaveText;
        if (save)
            m_bench->fileDialogs.answers.push_back(target.isEmpty() ? std::nullopt : std::optional<QString>(target));
        else
            meter().TsvFileName = target;
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lim{room >= 0 ? rlim_t(before.size() + room) : saved.rlim_cur, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lim);
        meter().click(outlet);
        setrlimit(RLIMIT_FSIZE, &saved);

        const QString text = save ? "Error saving to " + target + "." : "IO Error writing file " + target + ".";
        QCOMPARE(m_bench->messages.lines(), target.isEmpty() ? QStringList() : QStringList{"TQX|" + text + "|Critical"});
        QVERIFY(sheet().enabled(save ? Control::mnuSaveText : Control::mnuSaveTsv));
        QCOMPARE(sheet().enabled(Control::btnSaveTsv), outlet != Control::btnSaveTsv); // the button disables itself
        QCOMPARE(readAll(old.fileName()), before); // a cut-off line is taken back
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::System), (QStringList{"fifo", "old"}));
        if (save || room < 0)
            return;
        meter().click(Control::mnuSaveTsv); // the next record starts on a line of its own
        QCOMPARE(readAll(old.fileName()), before + tsvLine(""));
    }

    void printFailureAndEmptyFieldCopy()
    {
        m_bench->clipboard.content = QStringLiteral("stale");
        sheet().setText(Field::Teq, "");
        meter().doubleClick(Field::Teq); // an empty field copies empty text
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(QString()));
        m_printing.outcome.cancelled = true;
        meter().click(Control::mnuPrint); // cancelled: silent
        m_printing.outcome = {false, true, 0};
        meter().click(Control::mnuPrint);
        QCOMPARE(m_bench->messages.lines(), QStringList{"TQX|The form can't be printed."});
    }

    // Calculation enables all outlets, a save disables only its own, recalculation re-enables, reset disables all.
    void outletStates()
    {
        m_bench->loaded();
        auto states = [&] {
            QString s;
            for (Control c : {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv, Control::btnSaveTsv})
                s += sheet().enabled(c) ? '1' : '0';
            return s;
        };
        for (auto [f, t] : {std::pair{Field::Thot, "9000"}, {Field::Noise11, "10"}, {Field::Noise12, "20"},
                            {Field::Noise21, "30"}, {Field::Noise22, "38"}})
            sheet().setText(f, t);
        ResultsCalc(meter());
        QCOMPARE(states(), "1111");
        m_bench->fileDialogs.answers.push_back(m_dir->filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(states(), "0111");
        ResultsCalc(meter());
        QCOMPARE(states(), "1111");
        meter().click(Control::btnReset);
        QCOMPARE(states(), "0000");
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
