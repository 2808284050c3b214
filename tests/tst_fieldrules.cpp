// Field rules: bounds and messages, ENR/Thot coupling, level pairs, discarding
// readings on an interval or units change, ENR table look-up on a new frequency.
#include "instrument/FieldRules.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"
#include "calc/EnrTable.h"
#include "instrument/Commands.h"
#include "instrument/SourceTemperature.h"
#include "support/TestPlatform.h"

#include <QtTest>

namespace {
const QString kStale = "stale"; // a result no recalculation has touched
const QString kOrder = "Value error:|Noise HI must be > Noise LO";
const QString kFreq = "Value error:|Frequency must be >= 0.1 and <= 100000";
const Field kLevels[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
Field partnerOf(Field f)
{
    return f == Field::Noise11 ? Field::Noise12 : f == Field::Noise12 ? Field::Noise11 : f == Field::Noise21 ? Field::Noise22 : Field::Noise21;
}
// One entry: the field, typed text, text afterwards, message (empty: accepted), ENR/Tcold/Thot afterwards
// (empty: unchanged), preset (German or ENR table at 1500 MHz, units, partner level or Tcold and Thot).
struct Entry { Field f; QString input, shown, message; QStringList enr, preset; bool recalc; };
} // namespace
Q_DECLARE_METATYPE(Entry)

class TstFieldRules : public QObject
{
    Q_OBJECT
    RecordingMessages m_messages;
    std::unique_ptr<Instrument> m_instrument;
    QTemporaryDir m_dir;
    Sheet &sheet() { return m_instrument->sheet(); }
    void newInstrument()
    {
        m_instrument = std::make_unique<Instrument>(Services{});
        recordMessages(*m_instrument, m_messages);
        m_instrument->Form_Load(); // Interval 0.150, Tcold 290.0, Thot 29290.0, ENR 20.00
        m_messages.shown.clear();
        sheet().setText(Field::Y2dB, kStale);
    }
    QStringList enrFields() { return {sheet().text(Field::ENR), sheet().text(Field::Tcold), sheet().text(Field::Thot)}; }

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); newInstrument(); }
    void cleanup() { m_instrument.reset(); QLocale::setDefault(QLocale::c()); }

    // One entry into one field: text afterwards, message, ENR/Tcold/Thot, recalculation.
    void entry_data()
    {
        QTest::addColumn<Entry>("e");
        auto row = [](const char *name, Field f, const char *in, const char *out, const QString &msg,
                      const QStringList &enr = {}, const QStringList &preset = {"", "0", ""}) {
            const bool recalc = !msg.startsWith("Value") && f != Field::Title && !(preset[1] != "0" && !*in);
            QTest::newRow(name) << Entry{f, in, out, msg, enr, preset, recalc};
        };
        row("Interval 0.049", Field::Interval, "0.049", "0.049", "Value error:|Interval must be >= 0.05 and  <= 100");
        row("Tcold equal to Thot", Field::Tcold, "29290", "29290.0", "Value error:|Tcold must be > 0 and < Thot", {"20.00", "29290.0", "29290.0"});
        row("Thot equal to Tcold", Field::Thot, "290", "290.0", "Value error:|Thot must be > 0 and > Tcold", {"20.00", "290.0", "290.0"});
        row("Thot 9452.7 gives ENR 15.00", Field::Thot, "9452.7", "9452.7", "", {"15.00", "290.0", "9452.7"});
        row("Thot 200 K leaves ENR", Field::Thot, "200", "200.0", "", {"20.00", "100.0", "200.0"}, {"", "0", "100.0", "29290.0"});
        row("Tcold derives ENR against 290 K", Field::Tcold, "77", "77.0", "", {"15.00", "77.0", "9452.7"}, {"", "0", "290.0", "9452.7"});
        row("ENR 15 gives Thot 9460.6", Field::ENR, "15", "15.00", "", {"15.00", "290.0", "9460.6"});
        row("empty ENR gives Thot 580.0", Field::ENR, "", "", "", {"", "290.0", "580.0"});
        row("ENR -100", Field::ENR, "-100", "-100.00", "Value error:|ENR must be > -100 and <= 100", {"-100.00", "290.0", "29290.0"});
        row("Title has no rule", Field::Title, " 1,2 ", " 1,2 ", "");
        row("Frequency with a table re-evaluates", Field::Frequency, "2500", "2500.000", "", {"15.26", "290.00", "10026.4"}, {"table", "0", ""});
        row("Frequency with a table, source at 296.5 K", Field::Frequency, "2500", "2500.000", "", {"15.26", "296.50", "10032.9"}, {"table 296.5", "0", ""});
        row("Hot and cold loads: Thot typed, ENR stays empty", Field::Thot, "296.5", "296.5", "", {"", "77.0", "296.5"}, {"loads", "0", "77.0", "1000.0"});
        row("Frequency refused keeps the table", Field::Frequency, "0.05", "0.050", kFreq, {"15.36", "290.00", "10253.2"}, {"table", "0", ""});
        row("Frequency out of the table's range unloads", Field::Frequency, "100000", "100000.000",
            "TQX ENR File error:|ENR data out of range, file unloaded.|Critical", {"15.36", "290.00", "10253.2"}, {"table", "0", ""});
        row("German Thot 9452,7", Field::Thot, "9452,7", "9452,7", "", {"15,00", "290,0", "9452,7"}, {"de", "0", ""});
        row("dB 200.001", Field::Noise12, "200.001", "200.001", "Value error:|Noise must be > -200 and < 200 and Noise HI > Noise LO");
        row("LO above HI", Field::Noise11, "25", "25.000", kOrder, {}, {"", "0", "20.000"});
        row("HI equal to LO after rounding", Field::Noise12, "10.0004", "10.000", kOrder, {}, {"", "0", "10.000"});
        row("Watt 0.0004 rounds to 0", Field::Noise11, "0.0004", "0.000", "Value error:|Noise must be > 0 and < 10000 and Noise HI > Noise LO", {}, {"", "1", ""});
        row("empty in Watt does not recalculate", Field::Noise21, "", "", "", {}, {"", "1", "20.000"});
    }
    void entry()
    {
        QFETCH(Entry, e);
        const auto &[f, input, shown, message, enr, preset, recalc] = e;
        const bool level = std::find(std::begin(kLevels), std::end(kLevels), f) != std::end(kLevels);
        if (preset[0] == "de") {
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            newInstrument();
        }
        sheet().setUnitsIndex(preset[1].toInt());
        if (level) {
            sheet().setText(partnerOf(f), preset[2]);
            sheet().setColour(f, Colour::DarkRed); // as a clipped reading leaves it
            m_instrument->session().ObsTime = "old";
        } else if (preset.size() == 4) {
            sheet().setText(Field::Tcold, preset[2]);
            sheet().setText(Field::Thot, preset[3]);
        }
        if (preset[0] == "loads")
            QVERIFY(setHotColdLoads(*m_instrument, true));
        if (preset[0].startsWith("table")) {
            m_instrument->session().SourceOffK = preset[0] == "table" ? 290 : preset[0].mid(6).toDouble();
            QFile t(m_dir.filePath("t.tab"));
            QVERIFY(t.open(QIODevice::WriteOnly) && t.write("1000\t15\n2000\t15.5\n3000\t14.8\n") > 0);
            t.close();
            sheet().setText(Field::Frequency, "1500.000");
            m_instrument->session().EnrFileName = t.fileName();
            QCOMPARE(loadEnrTable(*m_instrument), 0);
            sheet().setText(Field::Y2dB, kStale);
        }
        const QStringList before = enrFields();
        const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
        m_instrument->setFieldText(f, input);
        QCOMPARE(m_instrument->validate(f), !message.startsWith("Value"));
        QCOMPARE(sheet().text(f), shown);
        QCOMPARE(m_messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(enrFields(), enr.isEmpty() ? before : enr);
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, recalc);
        if (level) {
            QCOMPARE(sheet().colour(f), message.isEmpty() && !shown.isEmpty() ? Colour::WindowText : Colour::DarkRed);
            // Every visit renews the time stamp, accepted or not.
            const QDateTime stamp = QDateTime::fromString(m_instrument->session().ObsTime, "yyyyMMddHHmmss");
            QVERIFY(stamp >= start && stamp <= QDateTime::currentDateTime());
        }
        if (preset[0].startsWith("table")) { // the table stays in use, with ENR, Tcold and Thot locked, unless unloaded
            const bool loaded = !message.contains("unloaded");
            QVERIFY(sheet().enabled(Control::mnuEnrUnl) == loaded && sheet().locked(Field::ENR) == loaded);
        }
    }

    // Hot and cold loads set a loaded table aside (its name kept), leave ENR empty and locked, take
    // the NF from the typed temperatures and every reading by hand; unchecked, the table is back.
    void hotColdLoads()
    {
        QFile t(m_dir.filePath("t.tab"));
        QVERIFY(t.open(QIODevice::WriteOnly) && t.write("1000\t15\n2000\t15.5\n3000\t14.8\n") > 0);
        t.close();
        sheet().setText(Field::Frequency, "1500.000");
        m_instrument->session().EnrFileName = t.fileName();
        m_instrument->session().ComEnabled = 1;
        QCOMPARE(loadEnrTable(*m_instrument), 0);
        QVERIFY(setHotColdLoads(*m_instrument, true));
        QVERIFY(!sheet().enabled(Control::mnuEnrUnl) && !sheet().enabled(Control::mnuEnrImp));
        QVERIFY(sheet().locked(Field::ENR) && !sheet().locked(Field::Thot) && !sheet().locked(Field::Tcold));
        QCOMPARE(m_instrument->session().EnrFileName, t.fileName());
        QVERIFY(!noiseSourceLines(*m_instrument).enabled);
        // Liquid nitrogen and the room: a receiver of Te 100 K gives Y = 396.5 / 177 (3.503 dB).
        for (auto [f, text] : {std::pair{Field::Tcold, "77"}, {Field::Thot, "296.5"}, {Field::Noise11, "10"},
                               {Field::Noise12, "13.503"}}) {
            m_instrument->setFieldText(f, text);
            QVERIFY(m_instrument->validate(f));
        }
        QCOMPARE(enrFields(), QStringList({"", "77.0", "296.5"}));
        QCOMPARE(sheet().text(Field::Teq1) + ' ' + sheet().text(Field::NF1), QString("100.0 1.29"));
        QVERIFY(setHotColdLoads(*m_instrument, false));
        QCOMPARE(enrFields(), QStringList({"15.36", "290.00", "10253.2"}));
        QVERIFY(sheet().enabled(Control::mnuEnrUnl) && sheet().locked(Field::ENR) && noiseSourceLines(*m_instrument).enabled);
        QCOMPARE(m_messages.lines(), QStringList());
    }

    void discardReadings_data()
    {
        QTest::addColumn<QString>("interval"); // typed over 1.000, or empty for a units choice
        QTest::addColumn<bool>("discarded");
        QTest::newRow("interval 1.000 to 2.000") << "2" << true;
        QTest::newRow("interval 1.000 re-entered") << "1.000" << false;
        QTest::newRow("interval refused") << "500" << false;
        QTest::newRow("units dB to Watt") << "" << true;
    }
    void discardReadings()
    {
        QFETCH(QString, interval);
        QFETCH(bool, discarded);
        m_instrument->setFieldText(Field::Interval, "1");
        QVERIFY(m_instrument->validate(Field::Interval)); // remembers 1
        for (Field f : kLevels)
            sheet().setText(f, "10.000");
        m_instrument->session().ZeroMeas.Ms = 1e-9;
        sheet().setText(Field::Y2dB, kStale);
        if (interval.isEmpty()) {
            m_instrument->setUnitsIndex(1);
            m_instrument->unitsValidate();
            QCOMPARE(sheet().unitsTag, QString("1"));
        } else {
            m_instrument->setFieldText(Field::Interval, interval);
            m_instrument->validate(Field::Interval);
            QCOMPARE(ParseNumber(sheet().intervalTag), discarded ? ParseNumber(interval) : 1.0);
        }
        for (Field f : kLevels)
            QCOMPARE(sheet().text(f).isEmpty(), discarded);
        QCOMPARE(m_instrument->session().ZeroMeas.Ms == 0, discarded);
        QCOMPARE(sheet().text(Field::Y2dB) != kStale, discarded); // recalculated only on a change
    }
};

QTEST_GUILESS_MAIN(TstFieldRules)
#include "tst_fieldrules.moc"
