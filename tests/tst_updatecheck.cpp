// The update check against a real HTTP server on 127.0.0.1, its pattern matcher, the updater launch and frmUpdate.
#include "gui/Dialogs.h"
#include "help/UpdateCheck.h"
#include "platform/qt/HttpQt.h"
#include "support/HttpTestServer.h"
#include "support/TestPlatform.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
using Route = HttpTestServer::Route;
const QByteArray kSite = "http://tqx.example.org/tqx/";
Route ok(const QByteArray &body) { return {200, body, {}}; }
Route doc(const QByteArray &url, const QByteArray &version, int status = 200)
{
    return {status, "<?xml version=\"1.0\"?><update><url>" + url + "</url><version>" + version + "</version></update>", {}};
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
    Meter &meter() { return m_b->meter; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":/usr/bin:/bin"); // no real updater
    }
    void init()
    {
        m_b = std::make_unique<TestBench>();
        Platform p = m_b->platform();
        p.http = &m_http;
        meter().setPlatform(p);
        meter().AppDir = QStringLiteral("/opt/tqx/");
        meter().BaseUrl = m_server.url(QStringLiteral("/tqx/")).toString();
        meter().updateCheck().setTimeoutMs(1500);
    }

    void globMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("url") << "http://h:8080/a/tqx/" << "http://*/tqx/" << true;
        QTest::newRow("url case-sensitive") << "http://h/TQX/" << "http://*/tqx/" << false;
        QTest::newRow("url trailing text") << "http://h/tqx/x" << "http://*/tqx/" << false;
        QTest::newRow("version") << "v1.4.12" << "*#.*#.*#" << true;
        QTest::newRow("version suffix") << "1.2.3-beta" << "*#.*#.*#" << false;
        QTest::newRow("version empty field") << "1..3" << "*#.*#.*#" << false;
        QTest::newRow("backtracking") << "aXbXc" << "a*X*c" << true;
    }
    void globMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, match);
        QCOMPARE(::globMatch(text, pattern), match);
    }

    void check_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("download");
        const QString bad = QStringLiteral("Update site not responding properly.");
        QTest::newRow("newer") << doc(kSite, "9.0.0") << "New version available: 9.0.0" << true << true;
        QTest::newRow("current") << doc(kSite, "1.0.0") << "Version 1.0.0 is current" << true << false;
        QTest::newRow("https url refused") << doc("https://tqx.example.org/tqx/", "9.0.0") << bad << false << false;
        QTest::newRow("two-part version") << doc(kSite, "1.2") << bad << true << false;
        QTest::newRow("nested, first wins")
            << ok("<r><a><url>" + kSite + "</url></a><url>http://x/tqx/</url><v><version>2.0.0</version></v>"
                  "<version>0.1.0</version></r>")
            << "New version available: 2.0.0" << true << true;
        QTest::newRow("404") << doc(kSite, "9.0.0", 404) << bad + " HTTP status=404" << false << false;
        QTest::newRow("not XML") << ok("url=" + kSite + " version=9.0.0") << bad << false << false;
        QTest::newRow("oversized") << ok(doc(kSite, "9.0.0").body + "<!--" + QByteArray(200000, ' ') + "-->") << bad
                                   << false << false;
        QTest::newRow("endless") << Route{HttpTestServer::Endless, {}, {}} << bad << false << false;
        QByteArray bomb = "<!DOCTYPE u [<!ENTITY a \"aaaaaaaaaa\">";
        for (char c = 'b'; c <= 'j'; ++c)
            bomb += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&x;").replace('x', char(c - 1)).repeated(10) + "\">";
        QTest::newRow("entity bomb") << ok(bomb + "]><u><url>" + kSite + "</url><version>1.0.0&j;</version></u>") << bad
                                     << false << false;
    }
    void check()
    {
        QFETCH(Route, route);
        QFETCH(QString, message);
        QFETCH(bool, moved);
        QFETCH(bool, download);
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), route);
        const QString before = meter().BaseUrl;
        UpdateCheck &u = meter().updateCheck();
        u.run(meter());
        QCOMPARE(m_server.requests().last(), QStringLiteral("/tqx/Update.xml"));
        QCOMPARE(u.message(), message);
        QCOMPARE(meter().BaseUrl, moved ? QString::fromLatin1(kSite) : before);
        QCOMPARE(u.supportVisible(), download);
        QVERIFY(!u.verlifterEnabled());
        meter().Form_Unload(); // the address in use is what is saved
        QCOMPARE(m_b->settings.values.value(QStringLiteral("default/BaseUrl")), meter().BaseUrl);
    }

    void unreachable_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("message");
        QTest::newRow("never answers") << m_server.url(QStringLiteral("/silent/")).toString()
                                       << "Update site not reachable: no answer within 2 s.";
        QTcpServer probe; // a port that was free a moment ago: connection refused
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        QTest::newRow("refused") << QStringLiteral("http://127.0.0.1:%1/tqx/").arg(probe.serverPort())
                                 << "Update site not reachable: Connection refused";
        QTest::newRow("not http") << "file:///etc/" << "Update site not reachable: invalid address \"file:///etc/Update.xml\"";
    }
    void unreachable()
    {
        QFETCH(QString, base);
        QFETCH(QString, message);
        m_server.setRoute(QStringLiteral("/silent/Update.xml"), {HttpTestServer::NeverAnswer, {}, {}});
        meter().BaseUrl = base;
        QElapsedTimer clock;
        clock.start();
        meter().updateCheck().run(meter());
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(meter().updateCheck().message(), message);
        QCOMPARE(meter().BaseUrl, base);
    }

    void redirectToOtherSchemeRefused()
    {
        QUrl https = m_server.url(QStringLiteral("/x"));
        https.setScheme(QStringLiteral("https"));
        m_server.setRoute(QStringLiteral("/r"), {302, {}, "Location: " + https.toEncoded() + "\r\n"});
        m_server.setRoute(QStringLiteral("/same"), {302, {}, "Location: /ok\r\n"});
        m_server.setRoute(QStringLiteral("/ok"), ok("<ok/>"));
        QCOMPARE(m_http.get(m_server.url(QStringLiteral("/same")), 2000, 100).body, QByteArray("<ok/>"));
        const HttpResult res = m_http.get(m_server.url(QStringLiteral("/r")), 2000, 100);
        QCOMPARE(res.status, 302);
        QVERIFY(res.body.isEmpty() && res.error.contains(QLatin1String("refused")));
    }

    void installedUpdaterEnablesLaunch()
    {
        QFile f(m_bin.filePath(QStringLiteral("verlifter")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        f.write("#!/bin/sh\necho 'Verlifter 2.1.0 (build 7)'\n");
        f.close();
        QCOMPARE(installedUpdaterVersion(), QStringLiteral("2.1.0"));
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), doc(kSite, "1.0.0"));
        meter().updateCheck().run(meter());
        QVERIFY(meter().updateCheck().verlifterEnabled());
        f.remove();
    }

    void launchVerlifter_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown"); // caption|text
        QTest::newRow("not found") << 2 << "Verlift unavailable|Problem accessing Verlift. (Error 2)";
        QTest::newRow("no association")
            << 31 << "Verlift unavailable|TQX could not find a file association for .verlift on your system.";
        QTest::newRow("started") << 33 << QString();
    }
    void launchVerlifter()
    {
        QFETCH(int, status);
        QFETCH(QString, shown);
        m_b->opener.status = status;
        meter().updateCheck().launchVerlifter(meter());
        QCOMPARE(m_b->opener.opened, QStringList{QStringLiteral("/opt/tqx/TQX.verlift")});
        QCOMPARE(m_b->messages.shown.size(), shown.isEmpty() ? 0 : 1);
        for (const ShownMessage &m : m_b->messages.shown)
            QCOMPARE(m.caption + '|' + m.text + (m.icon == MsgIcon::Exclamation ? "" : " (wrong icon)"), shown);
    }

    void dialogShowsNewVersionAndOpensDownloadPage()
    {
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), doc(kSite, "9.0.0"));
        std::unique_ptr<QDialog> dlg(createUpdateDialog(meter(), nullptr));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Check for updates"));
        QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("Message"))->text(), QStringLiteral("New version available: 9.0.0"));
        QVERIFY(!dlg->findChild<QPushButton *>(QStringLiteral("btnVerlifter"))->isEnabled());
        for (QWidget *w : dlg->findChildren<QWidget *>())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        dlg->show();
        auto *download = dlg->findChild<QPushButton *>(QStringLiteral("btnSupport"));
        QVERIFY(download->isVisible());
        download->click();
        QCOMPARE(m_b->opener.opened, QStringList{QString::fromLatin1(kSite) + QStringLiteral("support.htm#download")});
        QVERIFY(!dlg->isVisible());
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
