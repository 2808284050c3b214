// Load and unload of the measurement sheet's parameters: defaults, silent repair of stored values, default
// texts in the user's locale, and the INI file read as plain text and written as QSettings writes it.
#include "instrument/SettingsIni.h"
#include "calc/Nmuc.h"
#include "qtplatform/SettingsQt.h"
#include "support/TestPlatform.h"

#include <QSettings>
#include <QtTest>

namespace {
QString valueOf(Instrument &m, const QString &name)
{
    if (auto f = fieldByName(name))
        return m.sheet().text(*f);
    const QHash<QString, QString> v{
        {"Units", QString::number(m.sheet().unitsIndex())}, // Limits: the value, then the menu's check mark
        {"Limits", QString::number(m.session().LimitsEnabled) + QString::number(m.sheet().checked(Control::mnuOptionsLimits))},
        {"ComEnabled", QString::number(m.session().ComEnabled)}, {"ComPort", QString::number(m.session().ComPort)}, {"BaseUrl", m.session().BaseUrl},
        {"EnrFileName", m.session().EnrFileName}, {"IntervalTag", m.sheet().intervalTag},
        {"Nmuc", [] { Nmuc n; n.CalcNmuc(); return n.text(NmucField::Interval) + ' ' + n.uncertainty(); }()}};
    return v.value(name, "?" + name);
}
} // namespace

class TstSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }

    void load_data()
    {
        QTest::addColumn<QString>("stored");   // section/key=text; ...
        QTest::addColumn<QString>("expected"); // field or value name=text; ...
        QTest::newRow("first run") << QString()
            << "Title=;Source=;Notes=;Interval=0.150;IntervalTag=0.15;Units=0;Frequency=10.000;Tatt1=290.0;Tatt2=290.0;"
               "Tcold=290.0;Thot=29290.0;ENR=20.00;Att11=0.00;Att12=0.00;Att21=0.00;Att22=0.00;Limits=11;"
               "ComEnabled=0;ComPort=1;EnrFileName=;BaseUrl=http://www.tqx-meter.example/tqx/;Y2dB=;Noise00=";
        // Every default text is written in the user's locale, so that it reads back as the number meant.
        QTest::newRow("German locale") << QString() << "Interval=0,150;Thot=29290,0;ENR=20,00;Nmuc=0,1 0,64";
        QTest::newRow("limits kept") << "default/Interval=100;default/Frequency=100000;default/Att22=200;default/Tatt2=77.36"
                                     << "Interval=100.000;Frequency=100000.000;Att22=200.00;Tatt2=77.4";
        QTest::newRow("out of range") << "default/Interval=0.01;default/Frequency=0.05;default/Att12=-1;default/Att21=250;"
                                         "default/Tatt1=0;default/Units=7;Com/Port=0"
                                      << "Interval=2.000;IntervalTag=2;Frequency=10.000;Att12=0.00;Att21=0.00;Tatt1=290.0;"
                                         "Units=0;ComPort=1";
        QTest::newRow("not numbers") << "default/Interval=abc;default/Thot=hot;default/Units=Watt;default/Limits=maybe;"
                                        "Com/Enabled=yes;Com/Port=x"
                                     << "Interval=2.000;Tcold=290.0;Thot=290290.0;Units=0;Limits=11;ComEnabled=0;ComPort=1";
        QTest::newRow("Tcold above Thot chain") << "default/Tcold=300;default/Thot=250" << "Tcold=290.0;Thot=290290.0;ENR=30.00";
        QTest::newRow("cold source below reference") << "default/Tcold=77;default/Thot=200" << "Tcold=77.0;Thot=200.0;ENR=0.00";
        QTest::newRow("units Volt, com enabled") << "default/Units=2;Com/Enabled=1;Com/Port=3" << "Units=2;ComEnabled=1;ComPort=3";
        QTest::newRow("limits False") << "default/Limits=False" << "Limits=00";
        QTest::newRow("limits non-zero number") << "default/Limits=-1;default/Title=a, b" << "Limits=11;Title=a, b";
        QTest::newRow("former base URL migrated") << "default/BaseUrl=http://tqx.radio-amateur.example/tqx/"
                                                  << "BaseUrl=http://www.tqx-meter.example/tqx/";
        QTest::newRow("stored ENR ignored, derived from Thot") << "default/ENR=5;default/Thot=9452.7" << "ENR=15.00;Thot=9452.7";
    }
    void load()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        if (QByteArray(QTest::currentDataTag()).startsWith("German"))
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TestBench b;
        for (const QString &kv : stored.split(';', Qt::SkipEmptyParts))
            b.settings.values.insert(kv.section('=', 0, 0), kv.section('=', 1));
        Instrument &m = b.loaded();
        for (const QString &kv : expected.split(';'))
            QCOMPARE(kv.section('=', 0, 0) + '=' + valueOf(m, kv.section('=', 0, 0)), kv);
        QVERIFY(b.messages.shown.isEmpty()); // repairs are silent
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
        const IniDocument d = ParseSettingsIni("[default]\nTitle=" + stored + "\nThot=9452.7\n");
        QCOMPARE(d.size() == 1 && d[0].entries.size() == 2 ? d[0].entries[0].value + '|' + d[0].entries[1].value : "?",
                 text + "|9452.7");
    }

    // Unload writes exactly its keys and deletes the temporary waves; the parameters survive a restart through
    // the real file, which is byte for byte what QSettings writes for the same strings, and which QSettings
    // reads alike.
    void iniFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString ours = dir.filePath("ours.ini"), theirs = dir.filePath("theirs.ini");
        QFile old(ours);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("[default]\nObsolete=x\n") > 0 && old.flush());
        const QStringList texts{"Title=Preamp, 23 cm; x=y", "Source= q\"\\ ", "Att22=12.50",
                                QString::fromUtf8("Notes=@line 1\nGrüß €\t\U0001F4E1\x01") + "A"};
        for (int run = 0; run < 2; ++run) {
            SettingsQt store(ours);
            Services p;
            p.settings = &store;
            Instrument m(p);
            m.Form_Load();
            for (const QString &kv : texts) {
                if (run)
                    QCOMPARE(kv.section('=', 0, 0) + '=' + valueOf(m, kv.section('=', 0, 0)), kv);
                m.sheet().setText(*fieldByName(kv.section('=', 0, 0)), kv.section('=', 1));
            }
            QCOMPARE(valueOf(m, "Limits") + valueOf(m, "ComEnabled"), run ? "001" : "110");
            m.session().ComEnabled = 1;
            if (!run)
                m.click(Control::mnuOptionsLimits);
            for (const char *ext : {".wav", ".tmp"}) // the readings' waves, in a private folder, go at exit
                QVERIFY(QFile(m.session().TempWave + ext).open(QIODevice::WriteOnly));
            QCOMPARE(QFileInfo(QFileInfo(m.session().TempWave).absolutePath()).permissions() & 0x0077, QFile::Permissions());
            m.Form_Unload();
            QVERIFY(!QFile::exists(m.session().TempWave + ".wav") && !QFile::exists(m.session().TempWave + ".tmp"));
        }
        QSettings reader(ours, QSettings::IniFormat), writer(theirs, QSettings::IniFormat);
        QStringList keys;
        for (const IniSection &section : ParseSettingsIni(readFile(ours)))
            for (const IniEntry &e : section.entries) {
                keys << section.name + '/' + e.key;
                QCOMPARE(reader.value(keys.last()).toString(), e.value);
                writer.setValue(keys.last(), e.value);
            }
        QCOMPARE(keys.size(), 20); // all of default's and Com's, and nothing else
        writer.sync();
        QCOMPARE(readFile(ours), readFile(theirs));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
