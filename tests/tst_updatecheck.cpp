// The update check against a real HTTP server on 127.0.0.1, its pattern
// matcher, the updater launch and the frmUpdate dialog.
#include "app/Meter.h"
#include "gui/Dialogs.h"
#include "help/UpdateCheck.h"
#include "platform/qt/HttpQt.h"
#include "support/HttpTestServer.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Platform doubles: the opener and the message boxes record what they get.
struct Doubles : IOpener, IMessages, ISettingsStore {
    int open(const QString &target, const QString &) override { return opened.append(target), status; }
    bool startProgram(const QString &, const QStringList &, const QString &) override { return true; }
    bool programAvailable(const QString &) override { return true; }
    void showHelp(const QString &, const QString &) override {}
    void show(const QString &caption, const QString &text, MsgIcon) override { shown.append(caption + '|' + text); }
    QString get(const QString &, const QString &, const QString &def) override { return def; }
    void save(const QString &s, const QString &k, const QString &v) override { saved.insert(s + '/' + k, v); }
    void deleteSection(const QString &) override {}
    void flush() override {}
    int status = 33;
    QStringList opened, shown;
    QHash<QString, QString> saved;
};
const QByteArray kSite = "http://tqx.example.org/tqx/";
QByteArray doc(const QByteArray &url, const QByteArray &version)
{
    return "<?xml version=\"1.0\"?><update><url>" + url + "</url><version>" + version + "</version></update>";
}
} // namespace
Q_DECLARE_METATYPE(HttpTestServer::Route)

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    HttpTestServer m_server;
    HttpQt m_http;
    Doubles m_d;
    std::unique_ptr<Meter> m_meter;
    QTemporaryDir m_bin;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ":/usr/bin:/bin"); // no real updater
    }
    void init()
    {
        m_d = Doubles{};
        Platform p;
        p.opener = &m_d;
        p.messages = &m_d;
        p.settings = &m_d;
        p.http = &m_http;
        m_meter = std::make_unique<Meter>(p);
        m_meter->AppDir = QStringLiteral("/opt/tqx/");
        m_meter->BaseUrl = m_server.url(QStringLiteral("/tqx/")).toString();
        m_meter->updateCheck().setTimeoutMs(1500);
    }

    void globMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("url") << "http://h:8080/a/tqx/" << "http://*/tqx/" << true;
        QTest::newRow("url star empty") << "http:///tqx/" << "http://*/tqx/" << true;
        QTest::newRow("url case-sensitive") << "http://h/TQX/" << "http://*/tqx/" << false;
        QTest::newRow("url trailing text") << "http://h/tqx/x" << "http://*/tqx/" << false;
        QTest::newRow("version") << "v1.4.12" << "*#.*#.*#" << true;
        QTest::newRow("version four parts") << "1.2.3.4" << "*#.*#.*#" << true;
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
        QTest::addColumn<HttpTestServer::Route>("route");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("download");
        using S = HttpTestServer;
        const QString bad = QStringLiteral("Update site not responding properly.");
        QTest::newRow("newer") << S::respond(200, doc(kSite, "9.0.0")) << "New version available: 9.0.0" << true << true;
        QTest::newRow("current") << S::respond(200, doc(kSite, "1.0.0")) << "Version 1.0.0 is current" << true << false;
        QTest::newRow("https url") << S::respond(200, doc("https://tqx.example.org/tqx/", "9.0.0")) << bad << false << false;
        QTest::newRow("two-part version") << S::respond(200, doc(kSite, "1.2")) << bad << true << false;
        QTest::newRow("no version") << S::respond(200, "<u><url>" + kSite + "</url></u>") << bad << true << false;
        QTest::newRow("nested, first wins")
            << S::respond(200, "<r><a><url>" + kSite + "</url></a><url>http://x/tqx/</url><v><version>2.0.0</version></v>"
                               "<version>0.1.0</version></r>")
            << "New version available: 2.0.0" << true << true;
        QTest::newRow("404") << S::respond(404, doc(kSite, "9.0.0")) << bad + " HTTP status=404" << false << false;
        QTest::newRow("not XML") << S::respond(200, "url=" + kSite + " version=9.0.0") << bad << false << false;
        QTest::newRow("oversized") << S::respond(200, doc(kSite, "9.0.0") + "<!--" + QByteArray(200000, ' ') + "-->")
                                   << bad << false << false;
        QTest::newRow("endless") << S::Route{S::Mode::Endless, 200, {}, {}} << bad << false << false;
        QByteArray bomb = "<!DOCTYPE u [<!ENTITY a \"aaaaaaaaaa\">";
        for (char c = 'b'; c <= 'j'; ++c)
            bomb += QByteArray("<!ENTITY ") + c + " \"" + QByteArray("&x;").replace('x', char(c - 1)).repeated(10) + "\">";
        QTest::newRow("entity bomb") << S::respond(200, bomb + "]><u><url>" + kSite + "</url><version>1.0.0&j;</version></u>")
                                     << bad << false << false;
        QTest::newRow("any entity")
            << S::respond(200, "<!DOCTYPE u [<!ENTITY v \"9.0.0\">]><u><url>" + kSite + "</url><version>&v;</version></u>")
            << bad << false << false;
    }
    void check()
    {
        QFETCH(HttpTestServer::Route, route);
        QFETCH(QString, message);
        QFETCH(bool, moved);
        QFETCH(bool, download);
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), route);
        const QString before = m_meter->BaseUrl;
        UpdateCheck &u = m_meter->updateCheck();
        u.run(*m_meter);
        QCOMPARE(m_server.requests().last(), QStringLiteral("/tqx/Update.xml"));
        QCOMPARE(u.message(), message);
        QCOMPARE(m_meter->BaseUrl, moved ? QString::fromLatin1(kSite) : before);
        QCOMPARE(u.supportVisible(), download);
        QVERIFY(!u.verlifterEnabled());
        m_meter->Form_Unload(); // the address in use is what is saved
        QCOMPARE(m_d.saved.value(QStringLiteral("default/BaseUrl")), m_meter->BaseUrl);
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
        m_server.setRoute(QStringLiteral("/silent/Update.xml"), {HttpTestServer::Mode::NeverAnswer, 0, {}, {}});
        m_meter->BaseUrl = base;
        QElapsedTimer clock;
        clock.start();
        m_meter->updateCheck().run(*m_meter);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(m_meter->updateCheck().message(), message);
        QCOMPARE(m_meter->BaseUrl, base);
    }

    void redirectToOtherSchemeRefused()
    {
        HttpTestServer::Route r = HttpTestServer::respond(302, {});
        r.extraHeaders = "Location: https://127.0.0.1:" + QByteArray::number(m_server.port()) + "/x\r\n";
        m_server.setRoute(QStringLiteral("/r"), r);
        r.extraHeaders = "Location: /ok\r\n";
        m_server.setRoute(QStringLiteral("/same"), r);
        m_server.setRoute(QStringLiteral("/ok"), HttpTestServer::respond(200, "<ok/>"));
        QCOMPARE(m_http.get(m_server.url(QStringLiteral("/same")), 2000, 100).body, QByteArray("<ok/>"));
        const HttpResult res = m_http.get(m_server.url(QStringLiteral("/r")), 2000, 100);
        QCOMPARE(res.status, 302);
        QVERIFY(res.body.isEmpty() && res.error.contains(QLatin1String("refused")));
    }

    void installedUpdaterEnablesLaunch()
    {
        QFile f(m_bin.filePath(QStringLiteral("verlifter")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho 'Verlifter 2.1.0 (build 7)'\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(installedUpdaterVersion(), QStringLiteral("2.1.0"));
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), HttpTestServer::respond(200, doc(kSite, "1.0.0")));
        m_meter->updateCheck().run(*m_meter);
        QVERIFY(m_meter->updateCheck().verlifterEnabled());
        f.remove();
    }

    void launchVerlifter_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("not found") << 2 << QStringList{"Verlift unavailable|Problem accessing Verlift. (Error 2)"};
        QTest::newRow("no association")
            << 31 << QStringList{"Verlift unavailable|TQX could not find a file association for .verlift on your system."};
        QTest::newRow("started") << 33 << QStringList{};
    }
    void launchVerlifter()
    {
        QFETCH(int, status);
        QFETCH(QStringList, shown);
        m_d.status = status;
        m_meter->updateCheck().launchVerlifter(*m_meter);
        QCOMPARE(m_d.opened, QStringList{QStringLiteral("/opt/tqx/TQX.verlift")});
        QCOMPARE(m_d.shown, shown);
    }

    void dialogShowsNewVersionAndOpensDownloadPage()
    {
        m_server.setRoute(QStringLiteral("/tqx/Update.xml"), HttpTestServer::respond(200, doc(kSite, "9.0.0")));
        std::unique_ptr<QDialog> dlg(createUpdateDialog(*m_meter, nullptr));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Check for updates"));
        QCOMPARE(dlg->findChild<QLabel *>(QStringLiteral("Message"))->text(), QStringLiteral("New version available: 9.0.0"));
        QVERIFY(!dlg->findChild<QPushButton *>(QStringLiteral("btnVerlifter"))->isEnabled());
        for (QWidget *w : dlg->findChildren<QWidget *>())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        dlg->show();
        auto *download = dlg->findChild<QPushButton *>(QStringLiteral("btnSupport"));
        QVERIFY(download->isVisible());
        download->click();
        QCOMPARE(m_d.opened, QStringList{QString::fromLatin1(kSite) + QStringLiteral("support.htm#download")});
        QVERIFY(!dlg->isVisible());
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
