// Text report: exact bytes of the report and of a saved file, saves that
// fail without harming the old file, the clipboard and print outlets, and
// the outlets' enabled states across calculation, save and reset.

#include "calc/Results.h"
#include "report/TextReport.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

class FakePrinting : public IPrinting
{
public:
    PrintOutcome printMainWindow() override { return outcome; }
    PrintOutcome outcome;
};

QString expectedReport(const QString &u, const QString &obsTime, const QString &notes)
{
    const QStringList lines = {
        "Program\tTQX", "Version\t" + Meter::versionText(), "ObsTime\t" + obsTime, QString::fromUtf8("Title\tLNA für 2 m"),
        "Frequency (MHz)\t145.000", "Interval\t1", "Tatt1 (K)\t290", "Tatt2 (K)\t296.5", "Source\tNS-1",
        "ENR (dB)\t15.00", "Thot (K)\t9290", "Tcold (K)\t290",
        "Instrument calibration(2):", "Att1(2) (dB)\t0.00", "Att2(2) (dB)\t3.00", "Noise LO(2) (" + u + ")\tn11",
        "Noise HI(2) (" + u + ")\tn12", "Y(2) (dB)\t10.000", "Teq(2) (K)\t678", "NF(2) (dB)\t5.23",
        "Combined measurement(12):", "Att1(12) (dB)\t0.10", "Att2(12) (dB)\t3.10", "Noise LO(12) (" + u + ")\tn21",
        "Noise HI(12) (" + u + ")\tn22", "Y(12) (dB)\t8.000", "Teq(12) (K)\t1.35e+3", "NF(12) (dB)\t7.53",
        "Device under test(1):", "Gain(1) (dB)\t17.7", "Teq(1) (K)\t1.34e+3", "NF(1) (dB)\t7.50", "", "Notes:", notes};
    return lines.join("\r\n") + "\r\n";
}

} // namespace

class TstTextReport : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestBench> m_bench;
    FakePrinting m_printing;
    Meter &meter() { return m_bench->meter; }
    Sheet &sheet() { return m_bench->meter.sheet(); }

    void fillSheet(int units, const QString &obsTime, const QString &notes)
    {
        const std::pair<Field, const char *> texts[] = {
            {Field::Title, "LNA für 2 m"}, {Field::Frequency, "145.000"}, {Field::Interval, "1"}, {Field::Tatt1, "290"},
            {Field::Tatt2, "296.5"}, {Field::Source, "NS-1"}, {Field::ENR, "15.00"}, {Field::Thot, "9290"},
            {Field::Tcold, "290"}, {Field::Noise00, "zero"}, {Field::Att11, "0.00"}, {Field::Att12, "3.00"},
            {Field::Noise11, "n11"}, {Field::Noise12, "n12"}, {Field::Y2dB, "10.000"}, {Field::Teq1, "678"},
            {Field::NF1, "5.23"}, {Field::Att21, "0.10"}, {Field::Att22, "3.10"}, {Field::Noise21, "n21"},
            {Field::Noise22, "n22"}, {Field::Y12dB, "8.000"}, {Field::Teq2, "1.35e+3"}, {Field::NF2, "7.53"},
            {Field::Gain, "17.7"}, {Field::Teq, "1.34e+3"}, {Field::NF, "7.50"}};
        for (const auto &[f, t] : texts)
            sheet().setText(f, QString::fromUtf8(t));
        sheet().setText(Field::Notes, notes);
        sheet().setUnitsIndex(units);
        meter().ObsTime = obsTime;
    }

private Q_SLOTS:
    void init()
    {
        m_bench = std::make_unique<TestBench>();
        Platform p = m_bench->platform();
        p.printing = &m_printing;
        meter().setPlatform(p);
        m_printing.outcome = {};
    }

    void report_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("obsTime");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("unitText");
        QTest::newRow("dB, empty notes") << 0 << "20240501123456" << "" << "dB";
        QTest::newRow("Watt, multi-line notes kept verbatim")
            << 1 << "20240501123456" << "first line\r\nsecond\twith TAB\r\n" << "Watt";
        QTest::newRow("Volt, nothing measured yet") << 2 << "" << QString::fromUtf8("Ü") << "Volt";
    }
    void report()
    {
        QFETCH(int, units);
        QFETCH(QString, obsTime);
        QFETCH(QString, notes);
        QFETCH(QString, unitText);
        fillSheet(units, obsTime, notes);
        const QString expected = expectedReport(unitText, obsTime, notes);
        QCOMPARE(TextResults(meter()), expected);

        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(expected));
        QCOMPARE(m_bench->clipboard.clears, 1);

        QTemporaryDir dir;
        const QString path = dir.filePath(obsTime.isEmpty() ? QStringLiteral("report") : obsTime);
        m_bench->fileDialogs.answers.push_back(path);
        meter().click(Control::mnuSaveText);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), (expected + "\r\n").toUtf8());
        const FileDialogRequest &req = m_bench->fileDialogs.requests.at(0);
        QCOMPARE(req.fileName, obsTime);
        QCOMPARE(req.filter, QStringLiteral("All Files (*.*)|*.*|Text files (*.txt;*.tab)|*.txt;*.tab"));
        QCOMPARE(req.filterIndex, 2);
        QVERIFY(req.initialDir.isEmpty());
    }

    void saveFailureKeepsOldFile_data()
    {
        QTest::addColumn<QString>("target"); // relative to a fresh temporary directory
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("sizeLimit"); // RLIMIT_FSIZE in bytes, 0: none
        QTest::newRow("dialog cancelled: silent") << "old.txt" << true << 0;
        QTest::newRow("target is a directory") << "." << false << 0;
        QTest::newRow("directory missing") << "gone/r.txt" << false << 0;
        QTest::newRow("disk limit hit while writing") << "old.txt" << false << 100;
    }
    void saveFailureKeepsOldFile()
    {
        QFETCH(QString, target);
        QFETCH(bool, cancel);
        QFETCH(int, sizeLimit);
        QTemporaryDir dir;
        const QByteArray old = "old report\r\n";
        QFile oldFile(dir.filePath("old.txt"));
        QVERIFY(oldFile.open(QIODevice::WriteOnly) && oldFile.write(old) == old.size());
        oldFile.close();
        fillSheet(0, "20240501123456", "notes");
        sheet().setEnabled(Control::mnuSaveText, true);
        const QString path = dir.filePath(target);
        m_bench->fileDialogs.answers.push_back(cancel ? std::nullopt : std::optional<QString>(path));

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (sizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim = saved;
            lim.rlim_cur = rlim_t(sizeLimit);
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        meter().click(Control::mnuSaveText);
        setrlimit(RLIMIT_FSIZE, &saved);

        const QStringList expected = cancel ? QStringList() : QStringList{"Error saving to " + path + "."};
        QCOMPARE(m_bench->messages.texts(), expected);
        if (!cancel) {
            QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
            QCOMPARE(m_bench->messages.shown[0].icon, MsgIcon::Critical);
        }
        QVERIFY(sheet().enabled(Control::mnuSaveText));
        QVERIFY(oldFile.open(QIODevice::ReadOnly));
        QCOMPARE(oldFile.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"old.txt"});
    }

    void printFailureMessage()
    {
        m_printing.outcome.cancelled = true;
        meter().click(Control::mnuPrint);
        m_printing.outcome = {false, true, 0};
        meter().click(Control::mnuPrint);
        QCOMPARE(m_bench->messages.texts(), QStringList{"The form can't be printed."});
        QCOMPARE(m_bench->messages.shown[0].caption, QStringLiteral("TQX"));
        QCOMPARE(m_bench->messages.shown[0].icon, MsgIcon::None);
    }

    void doubleClickOnEmptyFieldCopiesEmptyText()
    {
        m_bench->clipboard.content = QStringLiteral("stale");
        meter().doubleClick(Field::Teq);
        QCOMPARE(m_bench->clipboard.content, std::optional<QString>(QString()));
        QCOMPARE(m_bench->clipboard.clears, 1);
    }

    // Calculation enables all four outlets, a save disables only its own,
    // the next calculation re-enables it, a reset disables all.
    void outletStates()
    {
        m_bench->loaded();
        auto states = [&] {
            QList<bool> s;
            for (Control c : {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv, Control::btnSaveTsv})
                s << sheet().enabled(c);
            return s;
        };
        for (auto [f, t] : {std::pair{Field::Thot, "9000"}, {Field::Noise11, "10"}, {Field::Noise12, "20"},
                            {Field::Noise21, "30"}, {Field::Noise22, "38"}})
            sheet().setText(f, t);
        ResultsCalc(meter());
        QCOMPARE(states(), (QList<bool>{true, true, true, true}));
        QTemporaryDir dir;
        m_bench->fileDialogs.answers.push_back(dir.filePath("r.txt"));
        meter().click(Control::mnuSaveText);
        meter().click(Control::mnuCopyTextClip);
        QCOMPARE(states(), (QList<bool>{false, true, true, true}));
        ResultsCalc(meter());
        QCOMPARE(states(), (QList<bool>{true, true, true, true}));
        meter().click(Control::btnReset);
        QCOMPARE(states(), (QList<bool>{false, false, false, false}));
    }
};

QTEST_MAIN(TstTextReport)
#include "tst_textreport.moc"
