// Load and unload of the measurement sheet's parameters: defaults, silent
// repair of stored values, the round trip through a real INI file.
#include "platform/qt/SettingsQt.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

using Stored = QHash<QString, QString>;
using Expected = QHash<QString, QString>; // field name -> text, or a value name

Q_DECLARE_METATYPE(Stored)

class TstSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }
    void load_data();
    void load();
    void germanLocaleShowsDecimalComma();
    void unloadWritesExactlyTheKeys();
    void limitsToggleIsStored();
    void editedParameterSurvivesRestartThroughIniFile();
    void unloadDeletesTemporaryWaveFiles();
    void temporaryFolderIsPrivate();
};

static QString valueOf(Meter &m, const QString &name)
{
    if (auto f = fieldByName(name))
        return m.sheet().text(*f);
    if (name == "Units")
        return QString::number(m.sheet().unitsIndex());
    if (name == "LimitsEnabled")
        return m.LimitsEnabled ? "1" : "0";
    if (name == "LimitsChecked")
        return m.sheet().checked(Control::mnuOptionsLimits) ? "1" : "0";
    if (name == "ComEnabled")
        return QString::number(m.ComEnabled);
    if (name == "ComPort")
        return QString::number(m.ComPort);
    if (name == "BaseUrl")
        return m.BaseUrl;
    if (name == "EnrFileName")
        return m.EnrFileName;
    if (name == "IntervalTag")
        return m.sheet().intervalTag;
    if (name == "Caption")
        return m.sheet().windowCaption;
    return "?" + name;
}

void TstSettings::load_data()
{
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<Stored>("expected");
    const QString ver = Meter::versionText();
    QTest::newRow("first run") << Stored{}
        << Stored{{"Title", ""}, {"Source", ""}, {"Notes", ""}, {"Interval", "0.150"}, {"IntervalTag", "0.15"},
                  {"Units", "0"}, {"Frequency", "10.000"}, {"Tatt1", "290.0"}, {"Tatt2", "290.0"},
                  {"Tcold", "290.0"}, {"Thot", "29290.0"}, {"ENR", "20.00"}, {"Att11", "0.00"},
                  {"Att12", "0.00"}, {"Att21", "0.00"}, {"Att22", "0.00"}, {"LimitsEnabled", "1"},
                  {"LimitsChecked", "1"}, {"ComEnabled", "0"}, {"ComPort", "1"}, {"EnrFileName", ""},
                  {"BaseUrl", "http://www.tqx-meter.example/tqx/"}, {"Caption", "TQX - V" + ver},
                  {"Y2dB", ""}, {"Noise11", ""}, {"Noise00", ""}};
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
    QTest::newRow("negative attenuator") << Stored{{"default/Att12", "-1"}} << Stored{{"Att12", "0.00"}};
    QTest::newRow("attenuator too big") << Stored{{"default/Att12", "250"}} << Stored{{"Att12", "0.00"}};
    QTest::newRow("attenuator at top") << Stored{{"default/Att22", "200"}} << Stored{{"Att22", "200.00"}};
    QTest::newRow("Tatt1 zero") << Stored{{"default/Tatt1", "0"}} << Stored{{"Tatt1", "290.0"}};
    QTest::newRow("Tatt2 cold") << Stored{{"default/Tatt2", "77.36"}} << Stored{{"Tatt2", "77.4"}};
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
    QTest::newRow("former base URL migrated") << Stored{{"default/BaseUrl", "http://tqx.radio-amateur.example/tqx/"}}
                                              << Stored{{"BaseUrl", "http://www.tqx-meter.example/tqx/"}};
    QTest::newRow("other base URL kept") << Stored{{"default/BaseUrl", "http://mirror.example/tqx/"}}
                                         << Stored{{"BaseUrl", "http://mirror.example/tqx/"}};
    QTest::newRow("stored ENR ignored, derived from Thot") << Stored{{"default/ENR", "5"}, {"default/Thot", "9452.7"}}
                                                           << Stored{{"ENR", "15.00"}, {"Thot", "9452.7"}};
    QTest::newRow("free texts verbatim") << Stored{{"default/Title", "LNA, 1296"}, {"default/Notes", "a\nb"}}
                                         << Stored{{"Title", "LNA, 1296"}, {"Notes", "a\nb"}};
}

void TstSettings::load()
{
    QFETCH(Stored, stored);
    QFETCH(Stored, expected);
    TestBench b;
    b.settings.values = stored;
    Meter &m = b.loaded();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(valueOf(m, it.key()), it.value());
    QVERIFY(b.messages.shown.isEmpty()); // repairs are silent
    QVERIFY(!m.sheet().enabled(Control::mnuEnrUnl));
    QVERIFY(!m.sheet().enabled(Control::mnuSaveText));
}

void TstSettings::germanLocaleShowsDecimalComma()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TestBench b;
    Meter &m = b.loaded();
    QCOMPARE(m.sheet().text(Field::Interval), QStringLiteral("0,150"));
    QCOMPARE(m.sheet().text(Field::Thot), QStringLiteral("29290,0"));
    QCOMPARE(m.sheet().text(Field::ENR), QStringLiteral("20,00"));
}

void TstSettings::unloadWritesExactlyTheKeys()
{
    TestBench b;
    b.settings.values.insert("default/Obsolete", "x");
    Meter &m = b.loaded();
    m.sheet().setText(Field::Att22, "3.00");
    m.ComEnabled = 1;
    m.Form_Unload();
    QCOMPARE(b.settings.keys("default"),
             (QStringList{"Att11", "Att12", "Att21", "Att22", "BaseUrl", "ENR", "EnrFileName", "Frequency",
                          "Interval", "Limits", "Notes", "Source", "Tatt1", "Tatt2", "Tcold", "Thot", "Title",
                          "Units"}));
    QCOMPARE(b.settings.keys("Com"), (QStringList{"Enabled", "Port"}));
    QCOMPARE(b.settings.values.value("default/Att22"), QStringLiteral("3.00"));
    QCOMPARE(b.settings.values.value("default/Limits"), QStringLiteral("True"));
    QCOMPARE(b.settings.values.value("default/Units"), QStringLiteral("0"));
    QCOMPARE(b.settings.values.value("Com/Enabled"), QStringLiteral("1"));
    QCOMPARE(b.settings.values.value("Com/Port"), QStringLiteral("1"));
    QVERIFY(b.settings.flushes > 0);
}

void TstSettings::limitsToggleIsStored()
{
    TestBench b;
    Meter &m = b.loaded();
    m.sheet().setText(Field::Noise11, "10.000");
    m.click(Control::mnuOptionsLimits);
    QVERIFY(!m.LimitsEnabled);
    QVERIFY(m.sheet().text(Field::Noise11).isEmpty());
    m.Form_Unload();
    QCOMPARE(b.settings.values.value("default/Limits"), QStringLiteral("False"));
}

void TstSettings::editedParameterSurvivesRestartThroughIniFile()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("TQX.ini");
    {
        SettingsQt store(ini);
        Platform p;
        p.settings = &store;
        Meter m(p);
        m.Form_Load();
        m.sheet().setText(Field::Att22, "12.50");
        m.sheet().setText(Field::Title, "Preamp, 23 cm");
        m.sheet().setText(Field::Notes, "line 1\nline 2");
        m.Form_Unload();
    }
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY2(text.contains("[default]") && text.contains("[Com]"), qPrintable(text));
    QVERIFY2(text.contains("Att22=12.50"), qPrintable(text));
    QVERIFY2(text.contains("Limits=True"), qPrintable(text));
    {
        SettingsQt store(ini);
        Platform p;
        p.settings = &store;
        Meter m(p);
        m.Form_Load();
        QCOMPARE(m.sheet().text(Field::Att22), QStringLiteral("12.50"));
        QCOMPARE(m.sheet().text(Field::Title), QStringLiteral("Preamp, 23 cm"));
        QCOMPARE(m.sheet().text(Field::Notes), QStringLiteral("line 1\nline 2"));
    }
}

void TstSettings::unloadDeletesTemporaryWaveFiles()
{
    TestBench b;
    Meter &m = b.loaded();
    for (const char *ext : {".wav", ".tmp"}) {
        QFile f(m.TempWave + ext);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    m.Form_Unload();
    QVERIFY(!QFile::exists(m.TempWave + ".wav"));
    QVERIFY(!QFile::exists(m.TempWave + ".tmp"));
}

void TstSettings::temporaryFolderIsPrivate()
{
    TestBench b;
    Meter &m = b.loaded();
    const QFileInfo dir(QFileInfo(m.TempWave).absolutePath());
    QVERIFY(dir.isDir());
    QCOMPARE(dir.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(QRegularExpression("/~[0-9A-F]{8}$").match(m.TempWave).hasMatch());
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
