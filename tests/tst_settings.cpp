// Load and unload of the measurement sheet's parameters: defaults, repair of stored values (and the one
// message naming what was repaired), default texts in the user's locale, the length of Notes, and the INI
// file read as plain text, written as QSettings writes it, and never written over when it could not be read.
#include "instrument/SettingsIni.h"
#include "calc/Nmuc.h"
#include "qtplatform/SettingsQt.h"
#include "support/TestPlatform.h"

#include <QSettings>
#include <QtTest>

namespace {
const QString kReset = "Some stored settings were out of range and were reset to their defaults: ";

QString valueOf(Instrument &m, const QString &name)
{
    if (auto f = fieldByName(name))
        return m.sheet().text(*f);
    const QHash<QString, QString> v{
        {"Units", QString::number(m.sheet().unitsIndex())}, // Limits: the value, then the menu's check mark
        {"Limits", QString::number(m.session().LimitsEnabled) +
                       QString::number(m.sheet().checked(Control::mnuOptionsLimits))},
        {"ComEnabled", QString::number(m.session().ComEnabled)},
        {"ComPort", QString::number(m.session().ComPort)},
        {"Averages", QString::number(m.session().Averages)},
        {"Interleave", QString::number(m.session().Interleave)},
        {"SourceOffTemp", QString::number(m.session().SourceOffK)}, // then ENR's lock and the import's state
        {"HotColdLoads", QString::number(m.session().HotColdLoads) + QString::number(m.sheet().locked(Field::ENR)) +
                             QString::number(m.sheet().enabled(Control::mnuEnrImp))},
        {"Device", deviceModeKey(m.sheet().device.mode) + ' ' + QString::number(m.sheet().device.loMhz) + ' ' +
                       sidebandKey(m.sheet().device.sideband) + ' ' +
                       QString::number(m.sheet().device.imageRejectionDb)},
        {"BaseUrl", m.session().BaseUrl},
        {"EnrFileName", m.session().EnrFileName},
        {"EnrInterpolation", m.session().EnrInterpolation},
        {"CalEnrFileName", m.session().CalEnrFileName},
        {"CalEnrInterpolation", m.session().CalEnrInterpolation},
        {"IntervalTag", m.sheet().intervalTag},
        {"Nmuc", [] {
             Nmuc n;
             n.CalcNmuc();
             return n.text(NmucField::Interval) + ' ' + n.uncertainty();
         }()}};
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
        QTest::addColumn<QString>("told");     // the message after loading; empty: none
        QTest::newRow("first run")
            << QString()
            << "Title=;Source=;Notes=;Interval=0.150;IntervalTag=0.15;Units=0;Frequency=10.000;Tatt1=290.0;"
               "Tatt2=290.0;"
               "Tcold=290.0;Thot=29290.0;ENR=20.00;Att11=0.00;Att12=0.00;Att21=0.00;Att22=0.00;Limits=11;"
               "ComEnabled=0;ComPort=1;EnrFileName=;BaseUrl=http://www.tqx-meter.example/tqx/;Y2dB=;Noise00="
            << QString();
        // Every default text is written in the user's locale, so that it reads back as the number meant.
        QTest::newRow("German locale")
            << QString() << "Interval=0,150;Thot=29290,0;ENR=20,00;Nmuc=0,1 0,64" << QString();
        QTest::newRow("table's interpolation kept") << "default/EnrInterpolation=monotone" << "EnrInterpolation=monotone" << QString();
        QTest::newRow("calibration table kept") << "default/CalEnrFileName=/data/lnb-if.tab;default/CalEnrInterpolation=linear"
                                                << "CalEnrFileName=/data/lnb-if.tab;CalEnrInterpolation=linear;EnrFileName=" << QString();
        QTest::newRow("unknown calibration interpolation dropped") << "default/CalEnrInterpolation=cubic" << "CalEnrInterpolation=" << kReset + "CalEnrInterpolation.";
        QTest::newRow("unknown interpolation dropped") << "default/EnrInterpolation=cubic" << "EnrInterpolation=" << kReset + "EnrInterpolation.";
        QTest::newRow("averages kept") << "default/Averages=999" << "Averages=999" << QString();
        QTest::newRow("averages out of range") << "default/Averages=1000" << "Averages=1" << kReset + "Averages.";
        QTest::newRow("averages not a number") << "default/Averages=many" << "Averages=1" << kReset + "Averages.";
        QTest::newRow("interleaving kept") << "default/Interleave=True"
                                           << "Interleave=1" << QString();
        QTest::newRow("interleaving neither True nor False") << "default/Interleave=yes"
                                                             << "Interleave=0" << kReset + "Interleave.";
        QTest::newRow("source temperature kept, decimal comma") << "default/SourceOffTemp=296,456" << "SourceOffTemp=296.46;Tcold=290.0" << QString();
        QTest::newRow("source temperature out of range") << "default/SourceOffTemp=0" << "SourceOffTemp=290" << kReset + "SourceOffTemp.";
        QTest::newRow("source temperature not a number") << "default/SourceOffTemp=warm" << "SourceOffTemp=290" << kReset + "SourceOffTemp.";
        QTest::newRow("hot and cold loads: ENR empty and locked")
            << "default/HotColdLoads=True;default/Tcold=77;default/Thot=296.5" << "HotColdLoads=110;ENR=;Tcold=77.0;Thot=296.5" << QString();
        QTest::newRow("hot and cold loads unreadable") << "default/HotColdLoads=perhaps" << "HotColdLoads=001;ENR=20.00" << kReset + "HotColdLoads.";
        QTest::newRow("device: an amplifier when not stored") << QString() << "Device=Amplifier 9750 USB 0" << QString();
        QTest::newRow("device: C-band LNB kept, decimal comma")
            << "default/DeviceMode=DownConverter;default/LO=5150;default/Sideband=LSB;default/ImageRejection=12,5"
            << "Device=DownConverter 5150 LSB 12.5" << QString();
        QTest::newRow("device: each value unreadable or out of range")
            << "default/DeviceMode=Mixer;default/LO=0;default/Sideband=both;default/ImageRejection=-3"
            << "Device=Amplifier 9750 USB 0" << kReset + "DeviceMode, LO, Sideband, ImageRejection.";
        QTest::newRow("device: LO and rejection beyond their limits")
            << "default/DeviceMode=UpConverter;default/LO=100001;default/ImageRejection=1000"
            << "Device=UpConverter 9750 USB 0" << kReset + "LO, ImageRejection.";
        QTest::newRow("limits kept")
            << "default/Interval=100;default/Frequency=100000;default/Att22=200;default/Tatt2=77.36"
            << "Interval=100.000;Frequency=100000.000;Att22=200.00;Tatt2=77.4" << QString();
        QTest::newRow("out of range")
            << "default/Interval=0.01;default/Frequency=0.05;default/Att12=-1;default/Att21=250;"
               "default/Tatt1=0;default/Units=7;Com/Port=0"
            << "Interval=2.000;IntervalTag=2;Frequency=10.000;Att12=0.00;Att21=0.00;Tatt1=290.0;"
               "Units=0;ComPort=1"
            << kReset + "Units, Com/Port, Interval, Tatt1, Frequency, Att12, Att21.";
        QTest::newRow("not numbers")
            << "default/Interval=abc;default/Thot=hot;default/Units=Watt;default/Limits=maybe;"
               "Com/Enabled=yes;Com/Port=x"
            << "Interval=2.000;Tcold=290.0;Thot=290290.0;Units=0;Limits=11;ComEnabled=0;ComPort=1"
            << kReset + "Units, Limits, Com/Enabled, Com/Port, Interval, Thot.";
        QTest::newRow("Tcold above Thot chain")
            << "default/Tcold=300;default/Thot=250"
            << "Tcold=290.0;Thot=290290.0;ENR=30.00" << kReset + "Tcold, Thot.";
        QTest::newRow("cold source below reference") << "default/Tcold=77;default/Thot=200"
                                                     << "Tcold=77.0;Thot=200.0;ENR=0.00" << QString();
        QTest::newRow("units Volt, com enabled") << "default/Units=2;Com/Enabled=1;Com/Port=3"
                                                 << "Units=2;ComEnabled=1;ComPort=3" << QString();
        QTest::newRow("limits False") << "default/Limits=False"
                                      << "Limits=00" << QString();
        QTest::newRow("limits non-zero number") << "default/Limits=-1;default/Title=a, b"
                                                << "Limits=11;Title=a, b" << QString();
        QTest::newRow("former base URL migrated") << "default/BaseUrl=http://tqx.radio-amateur.example/tqx/"
                                                  << "BaseUrl=http://www.tqx-meter.example/tqx/" << QString();
        QTest::newRow("stored ENR ignored, derived from Thot") << "default/ENR=5;default/Thot=9452.7"
                                                               << "ENR=15.00;Thot=9452.7" << QString();
        QTest::newRow("empty Interval, spaced Port") << "default/Interval=;Com/Port= 7 "
                                                     << "Interval=2.000;ComPort=7" << kReset + "Interval.";
        QTest::newRow("Notes at the limit")
            << "default/Notes=" + QString(65536, 'n') << "Notes=" + QString(65536, 'n') << QString();
        QTest::newRow("Notes over the limit cut, with a repair")
            << "default/Notes=" + QString(65537, 'n') + ";default/Att11=x"
            << "Notes=" + QString(65536, 'n') + ";Att11=0.00"
            << kReset + "Att11. The stored Notes were longer than 65536 characters and were cut there.";
    }
    void load()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QString, told);
        if (QByteArray(QTest::currentDataTag()).startsWith("German"))
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TestBench b;
        for (const QString &kv : stored.split(';', Qt::SkipEmptyParts))
            b.settings.values.insert(kv.section('=', 0, 0), kv.section('=', 1));
        Instrument &m = b.loaded();
        for (const QString &kv : expected.split(';'))
            QCOMPARE(kv.section('=', 0, 0) + '=' + valueOf(m, kv.section('=', 0, 0)), kv);
        QCOMPARE(b.messages.lines(),
                 told.isEmpty() ? QStringList() : QStringList{"TQX|" + told + "|Exclamation"});
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
        QCOMPARE(keys.size(), 20); // all of default's and Com's, and nothing else (no source keys at their defaults)
        writer.sync();
        QCOMPARE(readFile(ours), readFile(theirs));
    }

    // The source's keys, and the calibration table's, are written only away from their defaults, and read
    // back: a file without them stays as it was.
    void sourceKeysRoundTrip_data()
    {
        QTest::addColumn<double>("kelvin");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QString>("calTable"); // CalEnrFileName; its interpolation "monotone" when set
        QTest::addColumn<QString>("written"); // SourceOffTemp|HotColdLoads|CalEnrFileName|CalEnrInterpolation as stored, empty: absent
        QTest::newRow("defaults: no keys") << 290.0 << false << "" << "|||";
        QTest::newRow("296.5 K") << 296.5 << false << "" << "296.5|||";
        QTest::newRow("hot and cold loads") << 290.0 << true << "" << "|True||";
        QTest::newRow("calibration table") << 290.0 << false << "/data/if.tab" << "||/data/if.tab|monotone";
    }
    void sourceKeysRoundTrip()
    {
        QFETCH(double, kelvin);
        QFETCH(bool, loads);
        QFETCH(QString, calTable);
        QFETCH(QString, written);
        TestBench b;
        Instrument &m = b.loaded();
        m.session().SourceOffK = kelvin;
        m.session().HotColdLoads = loads;
        m.session().CalEnrFileName = calTable;
        m.session().CalEnrInterpolation = calTable.isEmpty() ? "" : "monotone";
        m.Form_Unload();
        QStringList keys;
        for (const char *k : {"SourceOffTemp", "HotColdLoads", "CalEnrFileName", "CalEnrInterpolation"})
            keys << b.settings.values.value(QStringLiteral("default/") + k, "");
        QCOMPARE(keys.join('|'), written);
        QCOMPARE(b.settings.values.contains("default/CalEnrFileName"), !calTable.isEmpty());
        TestBench again;
        again.settings.values = b.settings.values;
        Instrument &n = again.loaded();
        QCOMPARE(n.session().SourceOffK, kelvin);
        QCOMPARE(n.session().HotColdLoads, loads);
        QCOMPARE(n.session().CalEnrFileName, calTable);
    }

    // The device's keys are written only for a converter, and read back.
    void deviceKeysRoundTrip_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("written"); // DeviceMode|LO|Sideband|ImageRejection as stored, empty: absent
        QTest::newRow("amplifier: no keys") << int(physics::DeviceMode::Amplifier) << "|||";
        QTest::newRow("up-converter") << int(physics::DeviceMode::UpConverter) << "UpConverter|10600.5|DSB|27.5";
    }
    void deviceKeysRoundTrip()
    {
        QFETCH(int, mode);
        QFETCH(QString, written);
        TestBench b;
        Instrument &m = b.loaded();
        m.sheet().device = {static_cast<physics::DeviceMode>(mode), 10600.5, physics::Sideband::Dsb, 27.5};
        m.Form_Unload();
        QStringList keys;
        for (const char *k : {"DeviceMode", "LO", "Sideband", "ImageRejection"})
            keys << b.settings.values.value(QStringLiteral("default/") + k);
        QCOMPARE(keys.join('|'), written);
        TestBench again;
        again.settings.values = b.settings.values;
        const DeviceSetup d = again.loaded().sheet().device;
        QCOMPARE(d.converter(), mode != int(physics::DeviceMode::Amplifier));
        if (d.converter())
            QCOMPARE(QString::number(d.loMhz) + sidebandKey(d.sideband) + QString::number(d.imageRejectionDb), "10600.5DSB27.5");
    }

    // Typed Notes: refused whole beyond the limit (a paste into the middle loses neither side), with a
    // message.
    void notesTyped_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        const QString full(65536, 'n');
        QTest::newRow("up to the limit") << "old" << full << full;
        QTest::newRow("one character over") << full << full + 'x' << full;
        QTest::newRow("paste into the middle") << "head tail"
                                               << "head " + QString(70000, 'p') + "tail"
                                               << "head tail";
    }
    void notesTyped()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        TestBench b;
        Instrument &m = b.loaded();
        m.sheet().setText(Field::Notes, before);
        QCOMPARE(m.setFieldText(Field::Notes, typed), after == typed);
        QCOMPARE(m.sheet().text(Field::Notes), after);
        QCOMPARE(
            b.messages.lines(),
            after == typed
                ? QStringList()
                : QStringList{
                      "TQX|Notes are limited to 65536 characters; the change was not taken.|Exclamation"});
    }

    // Files as editors and hands leave them, read through the store into the sheet.
    void fileForms_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected"); // field=text; ...
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF[default]\nTitle=LNA\nInterval=1\n") << "Title=LNA;Interval=1.000";
        QTest::newRow("byte-order mark, CRLF")
            << QByteArray("\xEF\xBB\xBF[default]\r\nTitle=LNA\r\nInterval=1\r\n")
            << "Title=LNA;Interval=1.000";
        QTest::newRow("section repeated after another")
            << QByteArray("[default]\nTitle=a\nInterval=1\n[Com]\nPort=2\n[default]\nTitle=b\nSource=s\n")
            << "Title=b;Interval=1.000;Source=s;ComPort=2";
        QTest::newRow("byte-order mark inside a line is text")
            << QByteArray("[default]\nTitle=\xEF\xBB\xBFx\n") << QString::fromUtf8("Title=\uFEFFx");
    }
    void fileForms()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile f(dir.filePath("TQX.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        SettingsQt store(f.fileName());
        Services p;
        p.settings = &store;
        Instrument m(p);
        m.Form_Load();
        for (const QString &kv : expected.split(';'))
            QCOMPARE(kv.section('=', 0, 0) + '=' + valueOf(m, kv.section('=', 0, 0)), kv);
    }

    // A file that cannot be read is never written over: the first write moves it aside (to the first free
    // TQX.ini.bad name), the user is told once with both paths, and the next start reads the fresh file.
    void unreadableFileKept_data()
    {
        QTest::addColumn<QString>("shape"); // "big": over 4 MiB; "folder": a folder in its place
        QTest::addColumn<QString>(
            "keptAs"); // the kept file's name; an older TQX.ini.bad exists when not that
        QTest::newRow("over 4 MiB") << "big"
                                    << "TQX.ini.bad";
        QTest::newRow("over 4 MiB, older kept file") << "big"
                                                     << "TQX.ini.bad.1";
        QTest::newRow("a folder in its place") << "folder"
                                               << "TQX.ini.bad";
    }
    void unreadableFileKept()
    {
        QFETCH(QString, shape);
        QFETCH(QString, keptAs);
        QTemporaryDir dir;
        const QString ini = dir.filePath("TQX.ini"), kept = dir.filePath(keptAs);
        QByteArray original = "[default]\nTitle=Old title\nInterval=5\n[Com]\nPort=4\n[x]\n";
        original += QByteArray(4 * 1024 * 1024, ';');
        if (shape == "folder") {
            QVERIFY(QDir().mkpath(ini));
        } else {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(original) == original.size());
        }
        if (keptAs != "TQX.ini.bad") {
            QFile older(dir.filePath("TQX.ini.bad"));
            QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        }
        for (int run = 0; run < 2; ++run) {
            SettingsQt store(ini);
            Services p;
            p.settings = &store;
            Instrument m(p);
            RecordingMessages messages;
            recordMessages(m, messages);
            m.Form_Load();
            QCOMPARE(valueOf(m, "Title") + '|' + valueOf(m, "Interval"), "|0.150");
            if (run) {
                QCOMPARE(messages.lines(), QStringList());
                break;
            }
            QCOMPARE(messages.texts().size(), 1);
            QVERIFY2(messages.texts()[0].contains(ini + " could not be read") &&
                         messages.texts()[0].contains(kept),
                     qPrintable(messages.texts()[0]));
            QVERIFY(QFileInfo(ini).isDir() == (shape == "folder")); // nothing moves before the first write
            m.Form_Unload();
            QVERIFY(QFileInfo(ini).isFile());
            QCOMPARE(shape == "folder" ? QByteArray(QFileInfo(kept).isDir() ? "dir" : "?") : readFile(kept),
                     shape == "folder" ? QByteArray("dir") : original);
        }
        if (keptAs != "TQX.ini.bad")
            QCOMPARE(readFile(dir.filePath("TQX.ini.bad")), QByteArray("older"));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
