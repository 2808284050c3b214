// The update check against a real HTTP server on 127.0.0.1, its pattern matcher, the updater launch and frmUpdate.
#include "gui/Dialogs.h"
#include "help/UpdateCheck.h"
#include "qtplatform/HttpQt.h"
#include "support/HttpTestServer.h"
#include "support/TestPlatform.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
using Route = HttpTestServer::Route;
const QByteArray kSite = "http://tqx.example.org/tqx/";
const QString kBad = QStringLiteral("Update site not responding properly.");
Route ok(const QByteArray &body) { return {200, body, {}}; }
Route doc(const QByteArray &url, const QByteArray &version, int status = 200)
{
    return {status, "<?xml version=\"1.0\"?><update><url>" + url + "</url><version>" + version + "</version></update>", {}};
}
Route redirect(const QByteArray &to) { return {302, {}, "Location: " + to + "\r\n"}; }
qint64 residentKiB() // this process's resident memory: the second field of /proc/self/statm, in 4 KiB pages
{
    QFile f(QStringLiteral("/proc/self/statm"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(1).toLongLong() * 4 : 0;
}
} // namespace
Q_DECLARE_METATYPE(HttpTestServer::Route)

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    HttpTestServer m_server;
    HttpQt m_http;
    std::unique_ptr<TestBench> m_b;
    QTemporaryDir m_bin;
    Instrument &meter() { return m_b->meter; }
    UpdateCheck &updates() { return m_b->meter.updateCheck(); }
    QPushButton *button(QDialog *d, const char *name) { return d->findChild<QPushButton *>(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":/usr/bin:/bin"); // no real updater
    }
    void init()
    {
        m_b = std::make_unique<TestBench>(TestDevices{&m_http, nullptr});
        meter().session().AppDir = QStringLiteral("/opt/tqx/");
        meter().session().BaseUrl = m_server.url(QStringLiteral("/tqx/")).toString();
        updates().setTimeoutMs(1500);
    }

    // Every answer and every fault of the site ends within the time-out, with its message and bounded memory.
    void check_data()
    {
        QTest::addColumn<QString>("base"); // empty: this server's /tqx/
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("download");
        const QString none, slow = QStringLiteral("Update site not reachable: no answer within 2 s.");
        QTest::newRow("newer") << none << doc(kSite, "9.0.0") << "New version available: 9.0.0" << true << true;
        QTest::newRow("current") << none << doc(kSite, "1.0.0") << "Version 1.0.0 is current" << true << false;
        QTest::newRow("url case-sensitive") << none << doc("http://h/TQX/", "9.0.0") << kBad << false << false;
        QTest::newRow("version suffix") << none << doc(kSite, "1.2.3-beta") << kBad << true << false;
        QTest::newRow("https url refused") << none << doc("https://tqx.example.org/tqx/", "9.0.0") << kBad << false << false;
        QTest::newRow("two-part version") << none << doc(kSite, "1.2") << kBad << true << false;
        QTest::newRow("nested, first wins") << none << ok("<r><a><url>" + kSite + "</url></a><url>http://x/tqx/</url><v>"
                                                          "<version>2.0.0</version></v><version>0.1.0</version></r>")
                                            << "New version available: 2.0.0" << true << true;
        QTest::newRow("404") << none << doc(kSite, "9.0.0", 404) << kBad + " HTTP status=404" << false << false;
        QTest::newRow("not XML") << none << ok("url=" + kSite + " version=9.0.0") << kBad << false << false;
        QTest::newRow("oversized") << none << ok(doc(kSite, "9.0.0").body + "<!--" + QByteArray(200000, ' ') + "-->")
                                   << kBad << false << false;
        QTest::newRow("endless body") << none << Route{HttpTestServer::EndlessBody, {}, {}} << kBad << false << false;
        QTest::newRow("endless headers") << none << Route{HttpTestServer::EndlessHeaders, {}, {}} << slow << false << false;
        QTest::newRow("never answers") << none << Route{HttpTestServer::NeverAnswer, {}, {}} << slow << false << false;
        QTest::newRow("redirect loop") << none << redirect("/tqx/Update.xml")
                                       << "Update site not reachable: too many redirects" << false << false;
        QTest::newRow("redirect followed") << none << redirect("/tqx/moved.xml") << "Version 1.0.0 is current" << true << false;
        QTest::newRow("redirect to https refused")
            << none << redirect(m_server.url(QStringLiteral("/x")).toEncoded().replace("http:", "https:"))
            << kBad + " HTTP status=302" << false << false;
        QByteArray bomb = "<!DOCTYPE u [<!ENTITY a \"aaaaaaaaaa\">";
        for (char c = 'b'; c <= 'j'; ++c)
            bomb += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&x;").replace('x', char(c - 1)).repeated(10) + "\">";
        QTest::newRow("entity bomb") << none << ok(bomb + "]><u><url>" + kSite + "</url><version>1.0.0&j;</version></u>")
                                     << kBad << false << false;
        QTcpServer probe; // a port that was free a moment ago: connection refused
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/tqx/").arg(probe.serverPort()) << Route{}
                                 << "Update site not reachable: Connection refused" << false << false;
        QTest::newRow("not http") << "file:///etc/" << Route{}
                                  << "Update site not reachable: invalid address \"file:///etc/Update.xml\"" << false << false;
    }
    void check()
    {
        QFETCH(QString, base);
        QFETCH(Route, route);
        QFETCH(QString, message);
        QFETCH(bool, moved);
        QFETCH(bool, download);
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), route);
        m_server.setRoute(QStringLiteral("/tqx/moved.xml"), doc(kSite, "1.0.0"));
        if (!base.isEmpty())
            meter().session().BaseUrl = base;
        // Rows that expect an answer get a generous time-out, so a loaded machine cannot turn them into "no answer";
        // the rows that must give up do so within their 1.5 s time-out plus scheduling slack.
        const bool givesUp = message.contains(QLatin1String("no answer within"));
        updates().setTimeoutMs(givesUp ? 1500 : 15000);
        const QString before = meter().session().BaseUrl;
        const qint64 memory = residentKiB();
        QElapsedTimer clock;
        clock.start();
        bool done = false;
        updates().start(&m_http, meter().session().BaseUrl, [this, &done](const QString &url) {
            meter().session().BaseUrl = url;
            done = true;
        });
        QVERIFY(!done && updates().running()); // never inside start()
        QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
        if (givesUp)
            QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(updates().message(), message);
        QCOMPARE(meter().session().BaseUrl, moved ? QString::fromLatin1(kSite) : before);
        QCOMPARE(updates().supportVisible(), download);
        QVERIFY2(residentKiB() - memory < 64 * 1024, qPrintable(QString::number(residentKiB() - memory)));
        meter().Form_Unload(); // the address in use is what is saved
        QCOMPARE(m_b->settings.values.value(QStringLiteral("default/BaseUrl")), meter().session().BaseUrl);
    }

    void installedUpdaterEnablesLaunch()
    {
        QFile f(m_bin.filePath(QStringLiteral("verlifter")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        f.write("#!/bin/sh\necho 'Verlifter 2.1.0 (build 7)'\n");
        f.close();
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), doc(kSite, "1.0.0"));
        updates().start(&m_http, meter().session().BaseUrl, [](const QString &) {});
        QTRY_VERIFY(!updates().running());
        QVERIFY(updates().verlifterEnabled());
        f.remove();
    }

    void launchVerlifter_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown"); // caption|text|icon
        QTest::newRow("not found") << 2 << "Verlift unavailable|Problem accessing Verlift. (Error 2)|Exclamation";
        QTest::newRow("no association")
            << 31 << "Verlift unavailable|TQX could not find a file association for .verlift on your system.|Exclamation";
        QTest::newRow("started") << 33 << QString();
    }
    void launchVerlifter()
    {
        QFETCH(int, status);
        QFETCH(QString, shown);
        m_b->opener.status = status;
        UpdateCheck::launchVerlifter(meter().session().AppDir, &m_b->opener, meter().messages(), meter().lifetime());
        QCOMPARE(m_b->opener.opened, QStringList{QStringLiteral("/opt/tqx/TQX.verlift")});
        QTRY_COMPARE(m_b->messages.lines().join(QString()), shown);
    }

    void dialogShowsNewVersionAndOpensDownloadPage()
    {
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), doc(kSite, "9.0.0"));
        std::unique_ptr<QDialog> dlg(createUpdateDialog(meter(), nullptr));
        dlg->show();
        QTRY_COMPARE(dlg->findChild<QLabel *>(QStringLiteral("Message"))->text(), QStringLiteral("New version available: 9.0.0"));
        QVERIFY(!button(dlg.get(), "btnVerlifter")->isEnabled());
        QCOMPARE(button(dlg.get(), "btnExit")->text(), QStringLiteral("Exit"));
        for (QWidget *w : dlg->findChildren<QWidget *>())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        QVERIFY(button(dlg.get(), "btnSupport")->isVisible());
        QTest::mouseClick(button(dlg.get(), "btnSupport"), Qt::LeftButton);
        QCOMPARE(m_b->opener.opened, QStringList{QString::fromLatin1(kSite) + QStringLiteral("support.htm#download")});
        QVERIFY(!dlg->isVisible());
    }

    // The dialog shows at once that it waits; timers run and a click on Cancel ends the check at once.
    void dialogAnswersAndCancelsWhileWaiting()
    {
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), {HttpTestServer::NeverAnswer, {}, {}});
        updates().setTimeoutMs(60000);
        const QString before = meter().session().BaseUrl;
        std::unique_ptr<QDialog> dlg(createUpdateDialog(meter(), nullptr));
        QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("Message"))->text(), QStringLiteral("Checking for updates..."));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks]() { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        QTimer::singleShot(300, dlg.get(), [&]() {
            QPushButton *cancel = button(dlg.get(), "btnExit");
            QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
            clock.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        QCOMPARE(dlg->exec(), int(QDialog::Rejected));
        QVERIFY(clock.isValid() && clock.elapsed() < 1000); // at once, with room for a loaded machine
        QVERIFY(ticks >= 10);
        QVERIFY(!updates().running() && meter().session().BaseUrl == before);
        // Qt's network thread closes the aborted socket when it next runs: late on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.openRequests(), 0, 60000);
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
