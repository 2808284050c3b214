// The About box, the shipped manual and the help window the Help menu opens.
#include "gui/Dialogs.h"
#include "qtplatform/HelpBrowser.h"
#include "qtplatform/OpenerQt.h"
#include "support/TestPlatform.h"

#include <QtTest>
#include <QtWidgets>

namespace {
const QString kHelp = qEnvironmentVariable("TQX_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/data/help/");
} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aboutBox()
    {
        TestBench b;
        b.opener.status = 2;
        b.meter.session().AppDir = QStringLiteral("/usr/share/tqx/");
        std::unique_ptr<QDialog> dlg(createAboutDialog(b.meter, nullptr));
        QCOMPARE(dlg->windowTitle() + '|' + dlg->findChild<QLabel *>("lblVersion")->text(), "About TQX|Version: " + Instrument::versionText());
        dlg->findChild<QPushButton *>(QStringLiteral("Licence"))->click();
        QCOMPARE(b.opener.opened, QStringList{QStringLiteral("/usr/share/tqx/licence.txt")});
        QTRY_COMPARE(b.messages.lines(), QStringList{"Browser Unavailable|Problem accessing licence file. (Error 2)|Exclamation"});
    }

    // Every link names an existing page and, if given, an existing anchor;
    // the button SCZ is named as it reads (no "&" of its Alt letter).
    void manualLinksResolve()
    {
        const QStringList pages = QDir(kHelp).entryList({QStringLiteral("*.htm")});
        QVERIFY(pages.contains(QStringLiteral("Overview.htm")));
        static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)#?([^\"]*)\""));
        for (const QString &page : pages) {
            QFile f(kHelp + page);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(f.readAll());
            QVERIFY2(!html.contains(QStringLiteral("SC&amp;Z")), qPrintable(page));
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const auto link = it.next();
                QFile target(kHelp + (link.captured(1).isEmpty() ? page : link.captured(1)));
                QVERIFY2(target.open(QIODevice::ReadOnly) &&
                             (link.captured(2).isEmpty() || target.readAll().contains("name=\"" + link.captured(2).toUtf8() + '"')),
                         qPrintable(page + " -> " + link.captured(0)));
            }
        }
    }

    // The window of the Help menu: one per program, links inside the manual
    // followed with the contents list in step, every title readable at
    // 150 % font.
    void helpWindow()
    {
        QApplication::setFont(QFont(QApplication::font().family(), QApplication::font().pointSize() * 3 / 2));
        OpenerQt().showHelp(kHelp, QStringLiteral("Overview.htm"));
        OpenerQt().showHelp(kHelp, QStringLiteral("Serial.htm"));
        HelpBrowser *help = nullptr;
        int shown = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *h = dynamic_cast<HelpBrowser *>(w); h && h->isVisible() && ++shown)
                help = h;
        QVERIFY(shown == 1 && QTest::qWaitForWindowExposed(help));
        QListWidget *contents = help->contents();
        QCOMPARE(contents->currentItem()->data(Qt::UserRole).toString(), QStringLiteral("Serial.htm"));
        QVERIFY(contents->viewport()->width() >= contents->sizeHintForColumn(0));
        Q_EMIT help->browser()->anchorClicked(QUrl(QStringLiteral("EnrTables.htm#format")));
        QCOMPARE(help->currentTopic() + '#' + help->browser()->source().fragment(), QStringLiteral("EnrTables.htm#format"));
        QCOMPARE(contents->currentItem()->data(Qt::UserRole).toString(), QStringLiteral("EnrTables.htm"));
        Q_EMIT help->browser()->anchorClicked(QUrl(QStringLiteral("../licence.txt"))); // outside: not followed
        QCOMPARE(help->currentTopic(), QStringLiteral("EnrTables.htm"));
        help->close();
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
