// Help menu links and OpenUrl's messages, and OpenerQt driven through a stand-in for xdg-open that logs its argv.
#include "help/HelpLinks.h"
#include "platform/qt/OpenerQt.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <csignal>

Q_DECLARE_METATYPE(Control)

class TestHelpLinks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_log;

    QString script(const QString &name, const QByteArray &body)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || !f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return {};
        f.write("#!/bin/sh\n" + body);
        return f.fileName();
    }
    // Runs OpenerQt with TQX_OPENER set to `opener` (empty: the logging stand-in).
    int openWith(const QString &opener, const QString &target, int exitCode = 0)
    {
        const QByteArray saved = qgetenv("TQX_OPENER");
        if (!opener.isEmpty())
            qputenv("TQX_OPENER", QFile::encodeName(opener));
        qputenv("TQX_TEST_EXIT", QByteArray::number(exitCode));
        const int r = OpenerQt().open(target, m_dir.path());
        qputenv("TQX_OPENER", saved);
        return r;
    }
    QList<QByteArray> logged() const // working folder, then each argument
    {
        QFile f(m_log);
        return f.open(QIODevice::ReadOnly) ? f.readAll().split('\0') : QList<QByteArray>{};
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_log = m_dir.filePath(QStringLiteral("argv.log"));
        qputenv("TQX_TEST_LOG", QFile::encodeName(m_log));
        qputenv("TQX_OPENER", QFile::encodeName(script("opener", "{ pwd -P | tr -d '\\n'; for a in \"$@\"; do printf "
                                                                  "'\\0%s' \"$a\"; done; } >\"$TQX_TEST_LOG\"\n"
                                                                  "exit \"${TQX_TEST_EXIT:-0}\"\n")));
    }
    void init() { QFile::remove(m_log); }

    void menuEntries_data()
    {
        QTest::addColumn<Control>("entry");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("shown"); // caption|text
        const QString base = QStringLiteral("http://www.tqx-meter.example/tqx/"), box = "Browser Unavailable|";
        QTest::newRow("home") << Control::mnuHome << 33 << base << QString();
        QTest::newRow("faq, 32 is success") << Control::mnuFaq << 32 << base + "faq.htm" << QString();
        QTest::newRow("support, 30 is a failure") << Control::mnuSupport << 30 << base + "support.htm"
            << box + "Problem running your web browser. You should check that your browser is correctly installed. (Error 30)";
        QTest::newRow("faq, no association") << Control::mnuFaq << 31 << base + "faq.htm"
            << box + "TQX could not find a file association for " + base + "faq.htm on your system. You should check that "
                     "your browser is correctly installed and associated with this type of file.";
        QTest::newRow("manual") << Control::mnuHelpHelp << 2 << "help:/usr/share/tqx/help/Overview.htm" << QString();
    }
    void menuEntries()
    {
        QFETCH(Control, entry);
        QFETCH(int, status);
        QFETCH(QString, opened);
        QFETCH(QString, shown);
        TestBench b;
        b.opener.status = status;
        b.meter.AppDir = QStringLiteral("/usr/share/tqx/");
        b.meter.BaseUrl = QStringLiteral("http://www.tqx-meter.example/tqx/");
        b.meter.click(entry);
        QCOMPARE(b.opener.opened + b.opener.helpShown.replaceInStrings(QRegularExpression("^"), "help:"), QStringList{opened});
        if (!b.opener.opened.isEmpty())
            QCOMPARE(b.opener.lastWorkingDir, QStringLiteral("/usr/share/tqx/"));
        QCOMPARE(b.messages.lines(), shown.isEmpty() ? QStringList() : QStringList{shown + "|Exclamation"});
    }

    // Exit codes of the opener map to the shell's status codes; the target reaches it as one untouched argument.
    void opener_data()
    {
        QTest::addColumn<QString>("opener"); // empty: the logging stand-in
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        const QString url = QStringLiteral("http://example.org/");
        QTest::newRow("blanks, quotes, shell syntax") << QString() << 0
            << "http://example.org/a page/\"d\" 's';rm -rf ~;$(id)`id`$HOME|&&>o*?\\" << 33;
        QTest::newRow("newline") << QString() << 0 << "http://example.org/a\nb" << 33;
        QTest::newRow("exit 1 bad syntax") << QString() << 1 << url << 1;
        QTest::newRow("exit 2 not found") << QString() << 2 << url << 2;
        QTest::newRow("exit 3 no tool") << QString() << 3 << url << 31;
        QTest::newRow("exit 4 action failed") << QString() << 4 << url << 31;
        QTest::newRow("exit 31 capped") << QString() << 31 << url << 30;
        QTest::newRow("opener not on PATH") << "tqx-no-such-opener" << 0 << url << 31;
        QTest::newRow("document missing") << QString() << 0 << m_dir.filePath(QStringLiteral("licence.txt")) << 2;
    }
    void opener()
    {
        QFETCH(QString, opener);
        QFETCH(int, exitCode);
        QFETCH(QString, target);
        QFETCH(int, status);
        QCOMPARE(openWith(opener, target, exitCode), status);
        if (QFile::exists(m_log)) // working folder + exactly one argument
            QCOMPARE(logged(), (QList<QByteArray>{QFile::encodeName(QDir(m_dir.path()).canonicalPath()), target.toUtf8()}));
    }

    void openerDoesNotWaitForBrowser()
    {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(openWith(script("slow", "echo $$ >\"$TQX_TEST_LOG\"\nexec sleep 30\n"), "http://example.org/"), 33);
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
        const int pid = logged().value(0).trimmed().toInt();
        QVERIFY(pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))); // left running, not killed
        ::kill(pid, SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestHelpLinks)
#include "tst_helplinks.moc"
