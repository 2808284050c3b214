// Load and unload of the measurement sheet's parameters: defaults, silent repair of stored values, default
// texts in the user's locale, and the INI file read as plain text and written as QSettings writes it.
#include "app/SettingsIni.h"
#include "calc/Nmuc.h"
#include "platform/qt/SettingsQt.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using Stored = QHash<QString, QString>; // "section/key" -> stored text, or field/value name -> expected text
Q_DECLARE_METATYPE(Stored)

namespace {
QString valueOf(Meter &m, const QString &name)
{
    if (auto f = fieldByName(name))
        return m.sheet().text(*f);
    const Stored v{{"Units", QString::number(m.sheet().unitsIndex())}, {"LimitsEnabled", m.LimitsEnabled ? "1" : "0"},
                   {"LimitsChecked", m.sheet().checked(Control::mnuOptionsLimits) ? "1" : "0"},
                   {"ComEnabled", QString::number(m.ComEnabled)}, {"ComPort", QString::number(m.ComPort)},
                   {"BaseUrl", m.BaseUrl}, {"EnrFileName", m.EnrFileName}, {"IntervalTag", m.sheet().intervalTag},
                   {"Caption", m.sheet().windowCaption}};
    return v.value(name, "?" + name);
}
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
} // namespace

class TstSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void load_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<Stored>("expected");
        const QString site = "http://www.tqx-meter.example/tqx/";
        QTest::newRow("first run") << Stored{}
            << Stored{{"Title", ""}, {"Source", ""}, {"Notes", ""}, {"Interval", "0.150"}, {"IntervalTag", "0.15"},
                      {"Units", "0"}, {"Frequency", "10.000"}, {"Tatt1", "290.0"}, {"Tatt2", "290.0"},
                      {"Tcold", "290.0"}, {"Thot", "29290.0"}, {"ENR", "20.00"}, {"Att11", "0.00"},
                      {"Att12", "0.00"}, {"Att21", "0.00"}, {"Att22", "0.00"}, {"LimitsEnabled", "1"},
                      {"LimitsChecked", "1"}, {"ComEnabled", "0"}, {"ComPort", "1"}, {"EnrFileName", ""},
                      {"BaseUrl", site}, {"Caption", "TQX - V" + Meter::versionText()}, {"Y2dB", ""}, {"Noise00", ""}};
        QTest::newRow("interval too short") << Stored{{"default/Interval", "0.01"}} << Stored{{"Interval", "2.000"}, {"IntervalTag", "2"}};
        QTest::newRow("interval at top") << Stored{{"default/Interval", "100"}} << Stored{{"Interval", "100.000"}};
        QTest::newRow("interval not numeric") << Stored{{"default/Interval", "abc"}} << Stored{{"Interval", "2.000"}};
        QTest::newRow("Tcold above Thot chain") << Stored{{"default/Tcold", "300"}, {"default/Thot", "250"}}
                                                << Stored{{"Tcold", "290.0"}, {"Thot", "290290.0"}, {"ENR", "30.00"}};
        QTest::newRow("cold source below reference") << Stored{{"default/Tcold", "77"}, {"default/Thot", "200"}}
                                                     << Stored{{"Tcold", "77.0"}, {"Thot", "200.0"}, {"ENR", "0.00"}};
        QTest::newRow("Thot not numeric") << Stored{{"default/Thot", "hot"}} << Stored{{"Tcold", "290.0"}, {"Thot", "290290.0"}};
        QTest::newRow("frequency too low") << Stored{{"default/Frequency", "0.05"}} << Stored{{"Frequency", "10.000"}};
        QTest::newRow("frequency at top") << Stored{{"default/Frequency", "100000"}} << Stored{{"Frequency", "100000.000"}};
        QTest::newRow("attenuators out of range, at top") << Stored{{"default/Att12", "-1"}, {"default/Att21", "250"}, {"default/Att22", "200"}}
                                                          << Stored{{"Att12", "0.00"}, {"Att21", "0.00"}, {"Att22", "200.00"}};
        QTest::newRow("Tatt1 zero, Tatt2 cold") << Stored{{"default/Tatt1", "0"}, {"default/Tatt2", "77.36"}} << Stored{{"Tatt1", "290.0"}, {"Tatt2", "77.4"}};
        QTest::newRow("units Volt") << Stored{{"default/Units", "2"}} << Stored{{"Units", "2"}};
        QTest::newRow("units out of range") << Stored{{"default/Units", "7"}} << Stored{{"Units", "0"}};
        QTest::newRow("units not a number") << Stored{{"default/Units", "Watt"}} << Stored{{"Units", "0"}};
        QTest::newRow("limits False") << Stored{{"default/Limits", "False"}} << Stored{{"LimitsEnabled", "0"}, {"LimitsChecked", "0"}};
        QTest::newRow("limits zero") << Stored{{"default/Limits", "0"}} << Stored{{"LimitsEnabled", "0"}};
        QTest::newRow("limits non-zero number") << Stored{{"default/Limits", "-1"}} << Stored{{"LimitsEnabled", "1"}};
        QTest::newRow("limits garbage is default") << Stored{{"default/Limits", "maybe"}} << Stored{{"LimitsEnabled", "1"}};
        QTest::newRow("com enabled") << Stored{{"Com/Enabled", "1"}, {"Com/Port", "3"}} << Stored{{"ComEnabled", "1"}, {"ComPort", "3"}};
        QTest::newRow("com garbage") << Stored{{"Com/Enabled", "yes"}, {"Com/Port", "x"}} << Stored{{"ComEnabled", "0"}, {"ComPort", "1"}};
        QTest::newRow("port out of range") << Stored{{"Com/Port", "0"}} << Stored{{"ComPort", "1"}};
        QTest::newRow("former base URL migrated") << Stored{{"default/BaseUrl", "http://tqx.radio-amateur.example/tqx/"}} << Stored{{"BaseUrl", site}};
        QTest::newRow("other base URL kept") << Stored{{"default/BaseUrl", "http://mirror.example/tqx/"}}
                                             << Stored{{"BaseUrl", "http://mirror.example/tqx/"}};
        QTest::newRow("stored ENR ignored, derived from Thot") << Stored{{"default/ENR", "5"}, {"default/Thot", "9452.7"}}
                                                               << Stored{{"ENR", "15.00"}, {"Thot", "9452.7"}};
    }
    void load()
    {
        QFETCH(Stored, stored);
        QFETCH(Stored, expected);
        TestBench b;
        b.settings.values = stored;
        Meter &m = b.loaded();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(valueOf(m, it.key()), it.value());
        QVERIFY(b.messages.shown.isEmpty()); // repairs are silent
        QVERIFY(!m.sheet().enabled(Control::mnuEnrUnl) && !m.sheet().enabled(Control::mnuSaveText));
    }

    // Every default text is written in the user's locale, so that it reads back as the number meant.
    void defaultTextsInGermanLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TestBench b;
        Meter &m = b.loaded();
        QCOMPARE(valueOf(m, "Interval") + ' ' + valueOf(m, "Thot") + ' ' + valueOf(m, "ENR"), "0,150 29290,0 20,00");
        Nmuc nmuc; // its interval, 0,1 s, must not read as 0
        nmuc.CalcNmuc();
        QCOMPARE(nmuc.text(NmucField::Interval) + ' ' + nmuc.uncertainty(), QStringLiteral("0,1 0,64"));
    }

    void unloadWritesExactlyTheKeys()
    {
        TestBench b;
        b.settings.values.insert("default/Obsolete", "x");
        Meter &m = b.loaded();
        m.sheet().setText(Field::Att22, "3.00");
        m.ComEnabled = 1;
        m.click(Control::mnuOptionsLimits);
        m.Form_Unload();
        QCOMPARE(b.settings.keys("default"),
                 (QStringList{"Att11", "Att12", "Att21", "Att22", "BaseUrl", "ENR", "EnrFileName", "Frequency", "Interval",
                              "Limits", "Notes", "Source", "Tatt1", "Tatt2", "Tcold", "Thot", "Title", "Units"}));
        QCOMPARE(b.settings.keys("Com"), (QStringList{"Enabled", "Port"}));
        for (auto [key, value] : {std::pair{"default/Att22", "3.00"}, {"default/Limits", "False"}, {"default/Units", "0"},
                                  {"Com/Enabled", "1"}, {"Com/Port", "1"}})
            QCOMPARE(b.settings.values.value(key), QString(value));
        QVERIFY(b.settings.flushes > 0);
    }

    // A stored value is text: QSettings' object forms are never decoded (the crafted list would ask for
    // gigabytes), its string forms are.
    void storedValuesAreText_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        const QChar nul(0);
        QTest::newRow("crafted list") << QByteArray("@Variant(\\0\\0\\0\\v-0\\0\\0)")
                                      << QString("@Variant(") + nul + nul + nul + "\v-0" + nul + nul + ")";
        QTest::newRow("byte array") << QByteArray("@ByteArray(\\xff)") << QString("@ByteArray(") + QChar(0xff) + ")";
        QTest::newRow("doubled @") << QByteArray("@@home") << "@home";
        QTest::newRow("NUL string form") << QByteArray("@String(a\\0b)") << QString("a") + nul + "b";
        QTest::newRow("quoted, comma") << QByteArray(" \" LNA, 1296 \" ") << " LNA, 1296 ";
        QTest::newRow("unquoted comma") << QByteArray("a, b") << "a, b";
        QTest::newRow("escapes") << QByteArray("t\\tq\\\"\\\\\\x41\\101\\n") << "t\tq\"\\AA\n";
        QTest::newRow("UTF-8, comment") << QByteArray("Gr\xc3\xbc\xc3\x9f\xe2\x82\xac ; note") << QString::fromUtf8("Grüß€");
    }
    void storedValuesAreText()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QFile f(dir.filePath("TQX.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[default]\nTitle=" + stored + "\nThot=9452.7\n") > 0);
        f.close();
        SettingsQt store(f.fileName());
        QCOMPARE(store.get("default", "Title", "?"), text);
        QCOMPARE(store.get("default", "Thot", "?"), QStringLiteral("9452.7"));
    }

    // Parameters survive a restart through the real file, which is byte for byte what QSettings writes for
    // the same strings, and which QSettings reads alike.
    void iniFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString ours = dir.filePath("ours.ini"), theirs = dir.filePath("theirs.ini");
        const Stored texts{{"Title", "Preamp, 23 cm; x=y"}, {"Source", " q\"\\ "}, {"Att22", "12.50"},
                           {"Notes", QString::fromUtf8("@line 1\nGrüß €\t\U0001F4E1\x01") + "A"}};
        for (int run = 0; run < 2; ++run) {
            SettingsQt store(ours);
            Platform p;
            p.settings = &store;
            Meter m(p);
            m.Form_Load();
            for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
                if (run)
                    QCOMPARE(valueOf(m, it.key()), it.value());
                m.sheet().setText(*fieldByName(it.key()), it.value());
            }
            m.Form_Unload();
        }
        QSettings reader(ours, QSettings::IniFormat), writer(theirs, QSettings::IniFormat);
        for (const IniSection &section : ParseSettingsIni(readAll(ours)))
            for (const IniEntry &e : section.entries) {
                QCOMPARE(reader.value(section.name + '/' + e.key).toString(), e.value);
                writer.setValue(section.name + '/' + e.key, e.value);
            }
        writer.sync();
        QCOMPARE(readAll(ours), readAll(theirs));
    }

    void unloadDeletesTemporaryWavesFromPrivateFolder()
    {
        TestBench b;
        Meter &m = b.loaded();
        const QFileInfo dir(QFileInfo(m.TempWave).absolutePath());
        QCOMPARE(dir.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QVERIFY(QRegularExpression("/~[0-9A-F]{8}$").match(m.TempWave).hasMatch());
        for (const char *ext : {".wav", ".tmp"})
            QVERIFY(QFile(m.TempWave + ext).open(QIODevice::WriteOnly));
        m.Form_Unload();
        QVERIFY(!QFile::exists(m.TempWave + ".wav") && !QFile::exists(m.TempWave + ".tmp"));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
