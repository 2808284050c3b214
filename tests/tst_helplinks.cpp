// Help menu links and OpenUrl's messages (opener replaced), and the Linux
// opener OpenerQt driven through a stand-in for xdg-open that logs its argv.
#include "app/Meter.h"
#include "help/HelpLinks.h"
#include "platform/qt/OpenerQt.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
struct Doubles : IOpener, IMessages {
    int open(const QString &target, const QString &dir) override { return opened.append(target + '@' + dir), status; }
    bool startProgram(const QString &, const QStringList &, const QString &) override { return true; }
    bool programAvailable(const QString &) override { return true; }
    void showHelp(const QString &dir, const QString &topic) override { opened.append(QStringLiteral("help:") + dir + topic); }
    void show(const QString &caption, const QString &text, MsgIcon icon) override
    {
        shown.append(caption + '|' + text + (icon == MsgIcon::Exclamation ? "|!" : "|?"));
    }
    int status = 33;
    QStringList opened, shown;
};
} // namespace
Q_DECLARE_METATYPE(Control)

class TestHelpLinks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_log;

    QString script(const QString &name, const QByteArray &body)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write("#!/bin/sh\n" + body);
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return f.fileName();
    }
    // What the stand-in logged: working folder, then each argument.
    QList<QByteArray> logged() const
    {
        QFile f(m_log);
        return f.open(QIODevice::ReadOnly) ? f.readAll().split('\0') : QList<QByteArray>{};
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_log = m_dir.filePath(QStringLiteral("argv.log"));
        qputenv("TQX_TEST_LOG", QFile::encodeName(m_log));
        const QString opener = script(QStringLiteral("opener"), "{ pwd -P | tr -d '\\n'; for a in \"$@\"; do printf '\\0%s' \"$a\"; done; } "
                                                                ">\"$TQX_TEST_LOG\"\nexit \"${TQX_TEST_EXIT:-0}\"\n");
        qputenv("TQX_OPENER", QFile::encodeName(opener));
    }
    void init() { QFile::remove(m_log); }

    void menuEntries_data()
    {
        QTest::addColumn<Control>("entry");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("shown");
        const QString base = QStringLiteral("http://www.tqx-meter.example/tqx/");
        const QString fail = QStringLiteral("Browser Unavailable|Problem running your web browser. You should check that "
                                            "your browser is correctly installed. (Error %1)|!");
        QTest::newRow("home") << Control::mnuHome << 33 << base + "@/usr/share/tqx/" << QString();
        QTest::newRow("faq, 32 is success") << Control::mnuFaq << 32 << base + "faq.htm@/usr/share/tqx/" << QString();
        QTest::newRow("support, file not found") << Control::mnuSupport << 2 << base + "support.htm@/usr/share/tqx/"
                                                 << fail.arg(2);
        QTest::newRow("faq, 30 is a failure") << Control::mnuFaq << 30 << base + "faq.htm@/usr/share/tqx/" << fail.arg(30);
        QTest::newRow("faq, no association")
            << Control::mnuFaq << 31 << base + "faq.htm@/usr/share/tqx/"
            << "Browser Unavailable|TQX could not find a file association for " + base +
                   "faq.htm on your system. You should check that your browser is correctly installed and associated "
                   "with this type of file.|!";
        QTest::newRow("manual") << Control::mnuHelpHelp << 2 << "help:/usr/share/tqx/help/Overview.htm" << QString();
    }
    void menuEntries()
    {
        QFETCH(Control, entry);
        QFETCH(int, status);
        QFETCH(QString, opened);
        QFETCH(QString, shown);
        Doubles d;
        d.status = status;
        Platform p;
        p.opener = &d;
        p.messages = &d;
        Meter m(p);
        m.AppDir = QStringLiteral("/usr/share/tqx/");
        m.BaseUrl = QStringLiteral("http://www.tqx-meter.example/tqx/");
        m.click(entry);
        QCOMPARE(d.opened, QStringList{opened});
        QCOMPARE(d.shown, shown.isEmpty() ? QStringList{} : QStringList{shown});
    }

    void openerPassesTargetUntouched_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("spaces") << "http://example.org/a page/with spaces.htm";
        QTest::newRow("quotes") << "http://example.org/\"double\" and 'single'";
        QTest::newRow("semicolons") << "http://example.org/x;rm -rf ~;echo";
        QTest::newRow("shell syntax") << "http://example.org/$(id)`id`$HOME|&&>out*?\\";
        QTest::newRow("newline") << "http://example.org/a\nb";
    }
    void openerPassesTargetUntouched()
    {
        QFETCH(QString, target);
        QCOMPARE(OpenerQt().open(target, m_dir.path()), 33);
        const QList<QByteArray> log = logged();
        QCOMPARE(log.size(), 2); // working folder + exactly one argument
        QCOMPARE(QString::fromUtf8(log[1]), target);
        QCOMPARE(QString::fromUtf8(log[0]), QDir(m_dir.path()).canonicalPath());
    }

    void openerStatus_data()
    {
        QTest::addColumn<QString>("opener"); // empty: the logging stand-in
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        const QString url = QStringLiteral("http://example.org/");
        QTest::newRow("exit 0") << QString() << 0 << url << 33;
        QTest::newRow("exit 1 bad syntax") << QString() << 1 << url << 1;
        QTest::newRow("exit 2 not found") << QString() << 2 << url << 2;
        QTest::newRow("exit 3 no tool") << QString() << 3 << url << 31;
        QTest::newRow("exit 4 action failed") << QString() << 4 << url << 31;
        QTest::newRow("exit 31 capped") << QString() << 31 << url << 30;
        QTest::newRow("opener missing") << m_dir.filePath(QStringLiteral("none")) << 0 << url << 31;
        QTest::newRow("opener not on PATH") << "tqx-no-such-opener" << 0 << url << 31;
        QTest::newRow("document missing") << QString() << 0 << m_dir.filePath(QStringLiteral("licence.txt")) << 2;
    }
    void openerStatus()
    {
        QFETCH(QString, opener);
        QFETCH(int, exitCode);
        QFETCH(QString, target);
        QFETCH(int, status);
        const QByteArray saved = qgetenv("TQX_OPENER");
        if (!opener.isEmpty())
            qputenv("TQX_OPENER", opener.toUtf8());
        qputenv("TQX_TEST_EXIT", QByteArray::number(exitCode));
        const int r = OpenerQt().open(target, m_dir.path());
        qputenv("TQX_OPENER", saved);
        QCOMPARE(r, status);
    }

    void openerDoesNotWaitForBrowser()
    {
        const QByteArray saved = qgetenv("TQX_OPENER");
        qputenv("TQX_OPENER", QFile::encodeName(script(QStringLiteral("slow"), "echo $$ >\"$TQX_TEST_LOG\"\nexec sleep 30\n")));
        QElapsedTimer clock;
        clock.start();
        const int r = OpenerQt().open(QStringLiteral("http://example.org/"), m_dir.path());
        qputenv("TQX_OPENER", saved);
        QCOMPARE(r, 33);
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
        const int pid = logged().value(0).trimmed().toInt();
        QVERIFY(pid > 0);
        QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))); // left running, not killed
        ::kill(pid, SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestHelpLinks)
#include "tst_helplinks.moc"
