// Text report: exact report and file bytes, failed saves keep the old file, clipboard, print, outlet states.
#include "calc/Results.h"
#include "report/TextReport.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {
struct FakePrinting : IPrinting {
    PrintOutcome printMainWindow() override { return outcome; }
    PrintOutcome outcome;
};

const char *const kObsTime = "20240501123456";
struct Line { Field field; const char *label, *value; }; // value nullptr: section heading, no field
const Line kLines[] = {
    {Field::Title, "Title", "LNA für 2 m"}, {Field::Frequency, "Frequency (MHz)", "145.000"}, {Field::Interval, "Interval", "1"},
    {Field::Tatt1, "Tatt1 (K)", "290"}, {Field::Tatt2, "Tatt2 (K)", "296.5"}, {Field::Source, "Source", "NS-1"},
    {Field::ENR, "ENR (dB)", "15.00"}, {Field::Thot, "Thot (K)", "9290"}, {Field::Tcold, "Tcold (K)", "290"},
    {Field::Notes, "Instrument calibration(2):", nullptr}, {Field::Att11, "Att1(2) (dB)", "0.00"},
    {Field::Att12, "Att2(2) (dB)", "3.00"}, {Field::Noise11, "Noise LO(2) (%u)", "n11"}, {Field::Noise12, "Noise HI(2) (%u)", "n12"},
    {Field::Y2dB, "Y(2) (dB)", "10.000"}, {Field::Teq1, "Teq(2) (K)", "678"}, {Field::NF1, "NF(2) (dB)", "5.23"},
    {Field::Notes, "Combined measurement(12):", nullptr}, {Field::Att21, "Att1(12) (dB)", "0.10"},
    {Field::Att22, "Att2(12) (dB)", "3.10"}, {Field::Noise21, "Noise LO(12) (%u)", "n21"},
    {Field::Noise22, "Noise HI(12) (%u)", "n22"}, {Field::Y12dB, "Y(12) (dB)", "8.000"}, {Field::Teq2, "Teq(12) (K)", "1.35e+3"},
    {Field::NF2, "NF(12) (dB)", "7.53"}, {Field::Notes, "Device under test(1):", nullptr}, {Field::Gain, "Gain(1) (dB)", "17.7"},
    {Field::Teq, "Teq(1) (K)", "1.34e+3"}, {Field::NF, "NF(1) (dB)", "7.50"}};

QString expectedReport(const QString &unit, const QString &notes)
{
    QStringList lines = {"Program\tTQX", "Version\t" + Meter::versionText(), QStringLiteral("ObsTime\t") + kObsTime};
    for (const Line &l : kLines)
        lines << QString::fromUtf8(l.label).replace("%u", unit) + (l.value ? "\t" + QString::fromUtf8(l.value) : QString());
    return (lines << "" << "Notes:" << notes).join("\r\n") + "\r\n";
}
} // namespace

class TstTextReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    FakePrinting m_printing;
    Meter &meter() { return m_bench->meter; }
    Sheet &sheet() { return m_bench->meter.sheet(); }

    void fillSheet(int units, const QString &notes)
    {
        for (const Line &l : kLines)
            if (l.value)
                sheet().setText(l.field, QString::fromUtf8(l.value));
        sheet().setText(Field::Noise00, "zero"); // never reported
        sheet().setText(Field::Notes, notes);
        sheet().setUnitsIndex(units);
        meter().ObsTime = kObsTime;
    }
    void checkMessage(const QString &text, MsgIcon icon)
    {
        QCOMPARE(m_bench->messages.texts(), QStringList{text});
        QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_bench->messages.shown[0].icon, icon);
    }

private Q_SLOTS:
    void init()
    {
        m_bench = std::make_unique<TestBench>();
        Platform p = m_bench->platform();
        p.printing = &m_printing;
        meter().setPlatform(p);
    }

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
        fillSheet(units, notes);
        const QString expected = expectedReport(unitText, reported);
        QCOMPARE(TextResults(meter()), expected);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(expected));
        QTemporaryDir dir;
        m_bench->fileDialogs.answers.push_back(dir.filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        QFile saved(dir.filePath("r.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), (expected + "\r\n").toUtf8());
        meter().doubleClick(Field::Notes);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(reported));
        const FileDialogRequest &req = m_bench->fileDialogs.requests.at(0);
        QCOMPARE(req.fileName + '|' + req.filter + '|' + QString::number(req.filterIndex),
                 QStringLiteral("20240501123456|All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab|2"));
    }

    void saveFailureKeepsOldFile_data()
    {
        QTest::addColumn<QString>("target"); // in a fresh temporary directory; empty: dialog cancelled
        QTest::addColumn<int>("sizeLimit");  // RLIMIT_FSIZE in bytes, 0: none
        QTest::newRow("dialog cancelled: silent") << "" << 0;
        QTest::newRow("directory missing") << "gone/r.txt" << 0;
        QTest::newRow("disk limit hit while writing") << "old.txt" << 100;
    }
    void saveFailureKeepsOldFile()
    {
        QFETCH(QString, target);
        QFETCH(int, sizeLimit);
        QTemporaryDir dir;
        QFile oldFile(dir.filePath("old.txt"));
        QVERIFY(oldFile.open(QIODevice::WriteOnly) && oldFile.write("old report\r\n") == 12);
        oldFile.close();
        fillSheet(0, "notes");
        sheet().setEnabled(Control::mnuSaveText, true);
        const QString path = dir.filePath(target);
        m_bench->fileDialogs.answers.push_back(target.isEmpty() ? std::nullopt : std::optional<QString>(path));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lim{sizeLimit ? rlim_t(sizeLimit) : saved.rlim_cur, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lim);
        meter().click(Control::mnuSaveText);
        setrlimit(RLIMIT_FSIZE, &saved);

        if (target.isEmpty())
            QVERIFY(m_bench->messages.shown.isEmpty());
        else
            checkMessage("Error saving to " + path + ".", MsgIcon::Critical);
        QVERIFY(sheet().enabled(Control::mnuSaveText));
        QVERIFY(oldFile.open(QIODevice::ReadOnly));
        QCOMPARE(oldFile.readAll(), QByteArray("old report\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.txt"});
    }

    void printFailureAndEmptyFieldCopy()
    {
        m_bench->clipboard.content = QStringLiteral("stale");
        meter().doubleClick(Field::Teq); // an empty field copies empty text
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(QString()));
        m_printing.outcome.cancelled = true;
        meter().click(Control::mnuPrint); // cancelled: silent
        m_printing.outcome = {false, true, 0};
        meter().click(Control::mnuPrint);
        checkMessage("The form can't be printed.", MsgIcon::None);
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
        QTemporaryDir dir;
        m_bench->fileDialogs.answers.push_back(dir.filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(states(), "0111");
        ResultsCalc(meter());
        QCOMPARE(states(), "1111");
        meter().click(Control::btnReset);
        QCOMPARE(states(), "0000");
    }
};

QTEST_MAIN(TstTextReport)
#include "tst_textreport.moc"
