// Receiver control through Hamlib, loaded as a module: the dummy rig in process (model 1) and a real rigctld
// (model 2) on a free local port; failures name the rig and, for a tune, the frequency, and arrive within the
// call's timeout. A module that cannot be loaded turns every call into a failure that says why.
#include "instrument/RigSettings.h"
#include "gui/Dialogs.h"
#include "qtplatform/RigModule.h"
#include "support/Rigctld.h"
#include "support/TestPlatform.h"

#include <QAccessible>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

class TestRigHamlib : public QObject
{
    Q_OBJECT
    Rigctld m_rigctld;
    QTcpServer m_silent; // accepts and never answers

private Q_SLOTS:
    void initTestCase()
    {
        const QString err = m_rigctld.start();
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QVERIFY(m_silent.listen(QHostAddress::LocalHost, 0));
    }

    void openTuneRead_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("port");           // "rigctld", "closed", "silent" or a literal port
        QTest::addColumn<double>("tuneHz");          // 0: open and read only
        QTest::addColumn<QStringList>("errorParts"); // empty: succeeds and reads tuneHz back
        const QString dummy = QStringLiteral("Hamlib Dummy");
        const QString net = QStringLiteral("Hamlib NET rigctl on 127.0.0.1:");
        QTest::newRow("dummy in process tunes and reads back") << 1 << QString() << 145.5e6 << QStringList();
        QTest::newRow("rigctld tunes and reads back") << 2 << "rigctld" << 432.1e6 << QStringList();
        QTest::newRow("dummy refuses a frequency above its range")
            << 1 << QString() << 7.1e9 << QStringList{dummy + " refused 7.1 GHz", "1.5 GHz"};
        QTest::newRow("rigctld refuses a frequency above the dummy's range")
            << 2 << "rigctld" << 7.1e9 << QStringList{net, "refused 7.1 GHz"};
        QTest::newRow("nothing listens on the port")
            << 2 << "closed" << 0.0 << QStringList{"Could not open " + net};
        QTest::newRow("a host that never answers") << 2 << "silent" << 0.0 << QStringList{net};
        QTest::newRow("no model chosen") << 0 << QString() << 0.0 << QStringList{"No receiver is chosen"};
    }

    void openTuneRead()
    {
        QFETCH(int, model);
        QFETCH(QString, port);
        QFETCH(double, tuneHz);
        QFETCH(QStringList, errorParts);
        if (port == QLatin1String("rigctld"))
            port = m_rigctld.address();
        else if (port == QLatin1String("closed"))
            port = QStringLiteral("127.0.0.1:%1").arg(Rigctld::freePort());
        else if (port == QLatin1String("silent"))
            port = QStringLiteral("127.0.0.1:%1").arg(m_silent.serverPort());
        for (QString &p : errorParts)
            p.replace(QStringLiteral("127.0.0.1:"), port); // the port chosen above

        constexpr int kTimeoutMs = 1500;
        RigModule rig(rigModuleFolders());
        std::optional<RigResult> result;
        auto call = [&](auto &&start) {
            result.reset();
            QElapsedTimer t;
            t.start();
            start();
            QVERIFY2(!result, "the answer came from inside the call");
            QVERIFY(QTest::qWaitFor([&] { return result.has_value(); }, kTimeoutMs + 1000));
            QVERIFY2(t.elapsed() < kTimeoutMs + 500, qPrintable(QString::number(t.elapsed())));
        };
        auto store = [&](const RigResult &r) { result = r; };
        call([&] { rig.open({model, port, 0}, kTimeoutMs, store); });
        if (result->ok && tuneHz > 0)
            call([&] { rig.tune(tuneHz, kTimeoutMs, store); });
        if (result->ok)
            call([&] { rig.readFrequency(kTimeoutMs, store); });
        rig.close();

        if (errorParts.isEmpty()) {
            QVERIFY2(result->ok, qPrintable(result->error));
            QCOMPARE(result->hz, tuneHz);
            if (model == 2)
                QCOMPARE(m_rigctld.frequencyHz(), tuneHz);
            return;
        }
        QVERIFY(!result->ok);
        for (const QString &part : std::as_const(errorParts))
            QVERIFY2(result->error.contains(part), qPrintable(result->error + " lacks " + part));
    }

    // A closed call never answers, not even when its deadline passes: a second rig's call with a later
    // deadline answers first, and by then the first call's timeout would long have come.
    void closeDropsTheRunningCall()
    {
        const RigConfig silent{2, QStringLiteral("127.0.0.1:%1").arg(m_silent.serverPort()), 0};
        RigModule closed(rigModuleFolders()), later(rigModuleFolders());
        bool called = false;
        std::optional<RigResult> laterResult;
        closed.open(silent, 200, [&](const RigResult &) { called = true; });
        closed.close();
        later.open(silent, 600, [&](const RigResult &r) { laterResult = r; });
        QTRY_VERIFY_WITH_TIMEOUT(laterResult.has_value(), 5000);
        QVERIFY2(!laterResult->ok, "the silent host cannot answer");
        QVERIFY(!called);
        later.close();
    }

    // Options > Receiver control: a search picks the model, Test reads the frequency (its value readable by
    // screen readers), OK stores the choice in the file at once, and the next showing starts from it.
    void dialogTestsAndStoresTheChoice()
    {
        RigModule rig(rigModuleFolders());
        TestBench tb({nullptr, &rig});
        std::unique_ptr<QDialog> dlg(createReceiverControlDialog(tb.meter, nullptr));
        dlg->findChild<QLineEdit *>(QStringLiteral("txtRigSearch"))
            ->setText(QStringLiteral("dummy hamlib (1)"));
        QCOMPARE(dlg->findChild<QListWidget *>(QStringLiteral("lstRigModel"))->currentItem()->text(),
                 QStringLiteral("Hamlib Dummy (1)"));
        dlg->findChild<QPushButton *>(QStringLiteral("btnRigTest"))->click();
        auto *result = dlg->findChild<QLabel *>(QStringLiteral("lblRigTestResult"));
        QTRY_COMPARE(result->text(), QStringLiteral("Hamlib Dummy answers: tuned to 145 MHz."));
        QCOMPARE(QAccessible::queryAccessibleInterface(result)->text(QAccessible::Value), result->text());
        dlg->findChild<QPushButton *>(QStringLiteral("OKButton"))->click();
        QCOMPARE(loadRigConfig(tb.settings).model, 1);
        QCOMPARE(tb.settings.flushed.value(QStringLiteral("Rig/Model")), QStringLiteral("1")); // not at exit
        dlg.reset(createReceiverControlDialog(tb.meter, nullptr));
        QCOMPARE(dlg->findChild<QListWidget *>(QStringLiteral("lstRigModel"))->currentItem()->text(),
                 QStringLiteral("Hamlib Dummy (1)"));
    }

    void unloadableModule_data()
    {
        QTest::addColumn<QString>("file");      // the module's file: "none", "text" or "other library"
        QTest::addColumn<QString>("errorPart"); // the failure says why
        QTest::newRow("no module installed") << "none" << "is not installed";
        QTest::newRow("a file that is no library") << "text" << "Receiver control is not available: ";
        QTest::newRow("a library without the entry points") << "other library" << "is not a TQX receiver module";
    }

    void unloadableModule()
    {
        QFETCH(QString, file);
        QFETCH(QString, errorPart);
        QTemporaryDir dir;
        const QString path = dir.filePath(RigModule::fileName());
        if (file == QLatin1String("text"))
            QVERIFY(writeFile(path, "not a shared object\n"));
        else if (file == QLatin1String("other library"))
            QVERIFY(QFile::link(
                QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Test.so.6"), path));
        RigModule rig({dir.path()});
        std::optional<RigResult> result;
        rig.open({1, QString(), 0}, 1000, [&](const RigResult &r) { result = r; });
        QVERIFY2(!result, "the answer came from inside the call");
        QTRY_VERIFY(result.has_value());
        QVERIFY(!result->ok);
        QVERIFY2(result->error.contains(errorPart), qPrintable(result->error));
        QCOMPARE(result->error, rig.loadError());
        QVERIFY(rig.models().isEmpty());

        // A refusal is a call like any other: close() drops its answer.
        result.reset();
        rig.readFrequency(1000, [&](const RigResult &r) { result = r; });
        rig.close();
        QTest::qWait(50);
        QVERIFY(!result);
    }

    void modelsListTheDummyAndTheNetworkRig()
    {
        RigModule rig(rigModuleFolders());
        const QList<RigModelInfo> models = rig.models();
        auto has = [&](int model, const char *name) {
            return std::any_of(models.begin(), models.end(), [&](const RigModelInfo &m) {
                return m.model == model && m.name == QLatin1String(name);
            });
        };
        QVERIFY(has(1, "Dummy"));
        QVERIFY(has(2, "NET rigctl"));
    }
};

QTEST_MAIN(TestRigHamlib)
#include "tst_righamlib.moc"
