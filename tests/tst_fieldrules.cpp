// Field rules: bounds and messages, ENR/Thot coupling, level pairs, discarding
// readings on an interval or units change, ENR table look-up on a new frequency.
#include "app/FieldRules.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "calc/EnrTable.h"
#include "support/TestPlatform.h"

#include <QtTest>

namespace {
const QString kStale = "stale"; // a result no recalculation has touched
const QString kDb = "Value error:|Noise must be > -200 and < 200 and Noise HI > Noise LO";
const QString kLin = "Value error:|Noise must be > 0 and < 10000 and Noise HI > Noise LO";
const QString kOrder = "Value error:|Noise HI must be > Noise LO";
const QString kInterval = "Value error:|Interval must be >= 0.05 and  <= 100";
const QString kFreq = "Value error:|Frequency must be >= 0.1 and <= 100000";
const QString kAtt = "Value error:|Att%1 must be > -200 and < 200";
} // namespace

class TstFieldRules : public QObject
{
    Q_OBJECT
    RecordingMessages m_messages;
    std::unique_ptr<Meter> m_meter;
    QTemporaryDir m_dir;
    Sheet &sheet() { return m_meter->sheet(); }
    void newMeter()
    {
        Platform p;
        p.messages = &m_messages;
        m_meter = std::make_unique<Meter>(p);
        m_meter->Form_Load(); // Interval 0.150, Tcold 290.0, Thot 29290.0, ENR 20.00
        m_messages.shown.clear();
        sheet().setText(Field::Y2dB, kStale);
    }
    void fillLevels()
    {
        const char *levels[] = {"-90.000", "10.000", "20.000", "30.000", "38.000"};
        int i = 0;
        for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
            sheet().setText(f, levels[i++]);
        m_meter->ZeroMeas.Ms = 1e-9;
    }
    bool levelsDiscarded()
    {
        for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
            if (!sheet().text(f).isEmpty())
                return false;
        return m_meter->ZeroMeas.Ms == 0;
    }
    QStringList enrFields() { return {sheet().text(Field::ENR), sheet().text(Field::Tcold), sheet().text(Field::Thot)}; }

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); newMeter(); }
    void cleanup() { m_meter.reset(); QLocale::setDefault(QLocale::c()); }

    // One entry into one field: text afterwards, message, and ENR/Tcold/Thot.
    void entry_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message"); // empty: accepted (and recalculated)
        QTest::addColumn<QStringList>("enr");    // ENR, Tcold, Thot afterwards; empty: as loaded
        QTest::addColumn<QStringList>("preset"); // Tcold, Thot before; empty: as loaded
        auto row = [](const char *name, Field f, const char *in, const char *out, const QString &msg,
                      const QStringList &enr = {}, bool de = false, const QStringList &preset = {}) {
            QTest::newRow(name) << de << int(f) << QString(in) << QString(out) << msg << enr << preset;
        };
        row("Interval 100", Field::Interval, "100", "100.000", "");
        row("Interval 0.049", Field::Interval, "0.049", "0.049", kInterval);
        row("Interval 100.001", Field::Interval, "100.001", "100.001", kInterval);
        row("Tatt1 0.04 rounds to 0", Field::Tatt1, "0.04", "0.0", "Value error:|Tatt1 must be > 0");
        row("Tatt2 -5", Field::Tatt2, "-5", "-5.0", "Value error:|Tatt2 must be > 0");
        row("Tcold equal to Thot", Field::Tcold, "29290", "29290.0", "Value error:|Tcold must be > 0 and < Thot");
        row("Thot equal to Tcold", Field::Thot, "290", "290.0", "Value error:|Thot must be > 0 and > Tcold");
        row("Thot 9452.7 gives ENR 15.00", Field::Thot, "9452.7", "9452.7", "", {"15.00", "290.0", "9452.7"});
        row("Thot 200 K leaves ENR", Field::Thot, "200", "200.0", "", {"20.00", "100.0", "200.0"}, false,
            {"100.0", "29290.0"});
        row("Tcold derives ENR against 290 K", Field::Tcold, "77", "77.0", "", {"15.00", "77.0", "9452.7"}, false,
            {"290.0", "9452.7"});
        row("ENR 15 gives Thot 9460.6", Field::ENR, "15", "15.00", "", {"15.00", "290.0", "9460.6"});
        row("empty ENR gives Thot 580.0", Field::ENR, "", "", "", {"", "290.0", "580.0"});
        row("ENR 100.004 rounds to 100", Field::ENR, "100.004", "100.00", "");
        row("ENR -100", Field::ENR, "-100", "-100.00", "Value error:|ENR must be > -100 and <= 100");
        row("ENR blanks", Field::ENR, "  ", "  ", "Value error:|ENR must be > -100 and <= 100");
        row("Frequency 0.0999 rounds to 0.1", Field::Frequency, "0.0999", "0.100", "");
        row("Frequency 100000.001", Field::Frequency, "100000.001", "100000.001", kFreq);
        row("Att11 -200", Field::Att11, "-200", "-200.00", "");
        row("Att21 -200.01", Field::Att21, "-200.01", "-200.01", kAtt.arg(21));
        row("Title has no rule", Field::Title, " 1,2 ", " 1,2 ", "");
        row("German Interval 0,05", Field::Interval, "0,05", "0,050", "", {}, true);
        row("German Thot 9452,7", Field::Thot, "9452,7", "9452,7", "", {"15,00", "290,0", "9452,7"}, true);
    }
    void entry()
    {
        QFETCH(bool, german);
        QFETCH(int, field);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QFETCH(QStringList, enr);
        QFETCH(QStringList, preset);
        if (german) {
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            newMeter();
        }
        if (!preset.isEmpty()) {
            sheet().setText(Field::Tcold, preset[0]);
            sheet().setText(Field::Thot, preset[1]);
        }
        const QStringList before = enrFields();
        m_meter->setFieldText(Field(field), input);
        const bool accepted = m_meter->validate(Field(field));
        QCOMPARE(accepted, message.isEmpty());
        QCOMPARE(sheet().text(Field(field)), shown);
        QCOMPARE(m_messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!enr.isEmpty())
            QCOMPARE(enrFields(), enr);
        else if (Field(field) != Field::ENR && Field(field) != Field::Tcold && Field(field) != Field::Thot)
            QCOMPARE(enrFields(), before);
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, accepted && field != int(Field::Title)); // accepted entries recalculate
    }

    void levels_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("partner"); // the other member of the pair
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("recalc");
        auto row = [](const char *name, int units, Field f, const char *in, const char *partner, const char *out,
                      const QString &msg, bool recalc) {
            QTest::newRow(name) << units << int(f) << QString(in) << QString(partner) << QString(out) << msg << recalc;
        };
        row("dB -200", 0, Field::Noise11, "-200", "", "-200.000", "", true);
        row("dB 200.001", 0, Field::Noise12, "200.001", "", "200.001", kDb, false);
        row("LO above HI", 0, Field::Noise11, "25", "20.000", "25.000", kOrder, false);
        row("HI equal to LO after rounding", 0, Field::Noise12, "10.0004", "10.000", "10.000", kOrder, false);
        row("LO with HI empty", 0, Field::Noise21, "25", "", "25.000", "", true);
        row("HI with LO not numeric", 0, Field::Noise12, "5", "abc", "5.000", "", true);
        row("empty in dB recalculates", 0, Field::Noise11, "", "20.000", "", "", true);
        row("Watt 10000", 1, Field::Noise12, "10000", "1.000", "10000.000", "", true);
        row("Watt 0.0004 rounds to 0", 1, Field::Noise11, "0.0004", "", "0.000", kLin, false);
        row("Volt -1", 2, Field::Noise22, "-1", "", "-1.000", kLin, false);
        row("empty in Watt does not recalculate", 1, Field::Noise21, "", "20.000", "", "", false);
    }
    void levels()
    {
        QFETCH(int, units);
        QFETCH(int, field);
        QFETCH(QString, input);
        QFETCH(QString, partner);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QFETCH(bool, recalc);
        const Field f = Field(field);
        const Field other = f == Field::Noise11 ? Field::Noise12 : f == Field::Noise12 ? Field::Noise11
                          : f == Field::Noise21 ? Field::Noise22 : Field::Noise21;
        sheet().setUnitsIndex(units);
        sheet().setText(other, partner);
        sheet().setColour(f, Colour::DarkRed); // as a clipped reading leaves it
        m_meter->ObsTime = "old";
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        m_meter->setFieldText(f, input);
        QCOMPARE(m_meter->validate(f), message.isEmpty());
        QCOMPARE(sheet().text(f), shown);
        QCOMPARE(m_messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, recalc);
        QCOMPARE(sheet().colour(f), message.isEmpty() && !shown.isEmpty() ? Colour::WindowText : Colour::DarkRed);
        // Every visit renews the time stamp, accepted or not.
        const QDateTime stamp = QDateTime::fromString(m_meter->ObsTime, "yyyyMMddHHmmss");
        QVERIFY(m_meter->ObsTime.size() == 14 && stamp >= before && stamp <= QDateTime::currentDateTime());
    }

    void discardReadings_data()
    {
        QTest::addColumn<QString>("interval"); // typed over 1.000, or empty for a units choice
        QTest::addColumn<int>("units");
        QTest::addColumn<bool>("discarded");
        QTest::newRow("interval 1.000 to 2.000") << "2" << 0 << true;
        QTest::newRow("interval 1.000 re-entered") << "1.000" << 0 << false;
        QTest::newRow("interval refused") << "500" << 0 << false;
        QTest::newRow("units dB to Watt") << "" << 1 << true;
    }
    void discardReadings()
    {
        QFETCH(QString, interval);
        QFETCH(int, units);
        QFETCH(bool, discarded);
        m_meter->setFieldText(Field::Interval, "1");
        QVERIFY(m_meter->validate(Field::Interval)); // remembers 1
        fillLevels();
        sheet().setText(Field::Y2dB, kStale);
        if (interval.isEmpty()) {
            m_meter->setUnitsIndex(units);
            m_meter->unitsValidate();
            QCOMPARE(sheet().unitsTag, QString::number(units));
        } else {
            m_meter->setFieldText(Field::Interval, interval);
            m_meter->validate(Field::Interval);
            QCOMPARE(ParseNumber(sheet().intervalTag), discarded ? ParseNumber(interval) : 1.0);
        }
        QCOMPARE(levelsDiscarded(), discarded);
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, discarded); // recalculated only on a change
    }

    void frequencyWithTable_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("expected"); // ENR, Tcold, Thot
        QTest::addColumn<QString>("message");
        const QByteArray three = "1000\t15\n2000\t15.5\n3000\t14.8\n", peak = "1000\t10\n2000\t20\n3000\t10\n";
        QTest::newRow("2500 MHz re-evaluates") << three << "2500" << QStringList{"15.26", "290.00", "10026.4"} << "";
        QTest::newRow("out of range unloads") << peak << "10000" << QStringList{"16.88", "290.00", "14428.3"}
                                              << "TQX ENR File error:|ENR data out of range, file unloaded.|Critical";
        QTest::newRow("refused frequency keeps table") << three << "0.05" << QStringList{"15.36", "290.00", "10253.2"} << kFreq;
    }
    void frequencyWithTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, input);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        QFile f(m_dir.filePath("t.tab"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(table) == table.size());
        f.close();
        sheet().setText(Field::Frequency, "1500.000");
        m_meter->EnrFileName = f.fileName();
        QCOMPARE(LoadEnrTable(*m_meter), 0);
        sheet().setText(Field::Y2dB, kStale);
        m_meter->setFieldText(Field::Frequency, input);
        m_meter->validate(Field::Frequency);
        QCOMPARE(m_messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(enrFields(), expected);
        const bool loaded = !message.contains("unloaded");
        QVERIFY(sheet().enabled(Control::mnuEnrUnl) == loaded && sheet().locked(Field::ENR) == loaded);
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, !message.startsWith("Value")); // recalculated unless refused
    }
};

QTEST_GUILESS_MAIN(TstFieldRules)
#include "tst_fieldrules.moc"
