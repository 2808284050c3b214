// Help menu links and OpenUrl's messages, and OpenerQt driven through a stand-in for xdg-open.
#include "help/HelpLinks.h"
#include "qtplatform/OpenerQt.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>

Q_DECLARE_METATYPE(Control)

class TestHelpLinks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // A stand-in for xdg-open: logs its working folder and argv (NUL-separated) and exits with $TQX_TEST_EXIT,
    // or, for "slow", leaves its pid and never ends, like a browser started in the foreground.
    void initTestCase()
    {
        QFile f(path("opener"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(f.write("#!/bin/sh\n[ \"$TQX_TEST_EXIT\" = slow ] && { echo $$ >\"$TQX_TEST_LOG.pid\"; exec sleep 30; }\n"
                        "{ pwd -P | tr -d '\\n'; for a; do printf '\\0%s' \"$a\"; done; } >\"$TQX_TEST_LOG\"; exit \"$TQX_TEST_EXIT\"\n") > 0);
        qputenv("TQX_TEST_LOG", QFile::encodeName(path("argv.log")));
    }

    void menuEntries_data()
    {
        QTest::addColumn<Control>("entry");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("opened"); // then caption|text|icon of the message, if any
        const QString base = QStringLiteral("http://www.tqx-meter.example/tqx/"), box = "|Browser Unavailable|";
        QTest::newRow("home, 32 is success") << Control::mnuHome << 32 << base;
        QTest::newRow("support, 30 is a failure") << Control::mnuSupport << 30 << base + "support.htm" + box +
            "Problem running your web browser. You should check that your browser is correctly installed. (Error 30)|Exclamation";
        QTest::newRow("faq, no association") << Control::mnuFaq << 31 << base + "faq.htm" + box + "TQX could not find a "
            "file association for " + base + "faq.htm on your system. You should check that your browser is correctly "
            "installed and associated with this type of file.|Exclamation";
        QTest::newRow("manual") << Control::mnuHelpHelp << 2 << "/usr/share/tqx/help/Overview.htm";
    }
    void menuEntries()
    {
        QFETCH(Control, entry);
        QFETCH(int, status);
        QFETCH(QString, opened);
        TestBench b;
        b.opener.status = status;
        b.meter.session().AppDir = QStringLiteral("/usr/share/tqx/");
        b.meter.session().BaseUrl = QStringLiteral("http://www.tqx-meter.example/tqx/");
        b.meter.click(entry);
        QTRY_COMPARE((b.opener.opened + b.opener.helpShown + b.messages.lines()).join('|'), opened); // status comes later
        QCOMPARE(b.opener.lastWorkingDir, entry == Control::mnuHelpHelp ? QString() : QStringLiteral("/usr/share/tqx/"));
    }

    // Exit codes map to the shell's status codes; the target reaches the opener as one untouched argument;
    // open() returns at once and the status arrives later; an opener that keeps running is neither waited for
    // nor killed; a caller gone before the status hears nothing (-1).
    void opener_data()
    {
        QTest::addColumn<QByteArray>("exit"); // the stand-in's exit code, "slow", or "absent": no opener on PATH
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        const QString url = QStringLiteral("http://example.org/");
        QTest::newRow("blanks, quotes, shell syntax, newline") << QByteArray("0")
            << "http://example.org/a page/\"d\" 's';rm -rf ~;$(id)`id`$HOME|&&>o*?\\\nb" << 33;
        QTest::newRow("exit 3 no tool") << QByteArray("3") << url << 31;
        QTest::newRow("exit 31 capped") << QByteArray("31") << url << 30;
        QTest::newRow("opener not on PATH") << QByteArray("absent") << url << 31;
        QTest::newRow("document missing") << QByteArray("0") << path("licence.txt") << 2;
        QTest::newRow("browser keeps running") << QByteArray("slow") << url << 33;
        QTest::newRow("caller gone first") << QByteArray("0") << url << -1;
    }
    void opener()
    {
        QFETCH(QByteArray, exit);
        QFETCH(QString, target);
        QFETCH(int, status);
        QFile log(path("argv.log")), pid(path("argv.log.pid"));
        log.remove();
        qputenv("TQX_OPENER", exit == "absent" ? QByteArray("tqx-no-such-opener") : QFile::encodeName(path("opener")));
        qputenv("TQX_TEST_EXIT", exit);
        const QDeadlineTimer atOnce(500);
        int got = -1; // the caller that is gone first is a temporary, destroyed right after open() has returned
        OpenerQt().open(target, m_dir.path(), status < 0 ? std::make_unique<QObject>().get() : this,
                        [&got](int r) { got = r; });
        QVERIFY(!atOnce.hasExpired() && got == -1);
        (void)QTest::qWaitFor([&got]() { return got != -1; }, 3000); // the status comes within ~2 s
        QCOMPARE(got, status);
        if (log.open(QIODevice::ReadOnly)) // working folder + exactly one argument
            QCOMPARE(log.readAll().split('\0'), (QList<QByteArray>{QFile::encodeName(QDir(m_dir.path()).canonicalPath()), target.toUtf8()}));
        const int id = pid.open(QIODevice::ReadOnly) ? pid.readAll().trimmed().toInt() : 0; // still running
        QVERIFY(id == 0 || (id > 1 && pid.remove() && ::kill(id, SIGTERM) == 0));
    }
};

QTEST_GUILESS_MAIN(TestHelpLinks)
#include "tst_helplinks.moc"
