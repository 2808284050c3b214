// The About box and the built-in help window with the shipped manual.
#include "gui/Dialogs.h"
#include "platform/qt/HelpBrowser.h"
#include "platform/qt/OpenerQt.h"
#include "support/TestPlatform.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {
const QString kData = qEnvironmentVariable("TQX_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/data/");

QPoint linkPoint(QTextBrowser *b, const QString &href) // viewport position of the first link to href
{
    for (QTextBlock block = b->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref() == href) {
                QTextCursor c(b->document());
                c.setPosition(it.fragment().position() + 1);
                return b->cursorRect(c).center();
            }
    return {-1, -1};
}
} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aboutBox()
    {
        TestBench b;
        b.opener.status = 2;
        b.meter.AppDir = QStringLiteral("/usr/share/tqx/");
        std::unique_ptr<QDialog> dlg(createAboutDialog(b.meter, nullptr));
        auto text = [&](const char *name) { return dlg->findChild<QLabel *>(QLatin1String(name))->text(); };
        QCOMPARE(QStringList({dlg->windowTitle(), text("lblTitle"), text("lblVersion"), text("lblDisclaimer")}),
                 QStringList({"About TQX", "TQX", "Version: 1.0.0",
                              "Disclaimer:\nUse at your own risk, see licence for warranty statement."}));
        QVERIFY(!dlg->findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
        for (QWidget *w : dlg->findChildren<QWidget *>())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        dlg->show();
        auto *licence = dlg->findChild<QPushButton *>(QStringLiteral("Licence"));
        QCOMPARE(licence->text(), QStringLiteral("Show Licence"));
        licence->click();
        QCOMPARE(b.opener.opened, QStringList{QStringLiteral("/usr/share/tqx/licence.txt")});
        QCOMPARE(b.messages.texts(), QStringList{QStringLiteral("Problem accessing licence file. (Error 2)")});
        QCOMPARE(b.messages.shown[0].caption, QStringLiteral("Browser Unavailable"));
        QCOMPARE(b.messages.shown[0].icon, MsgIcon::Exclamation);
        QVERIFY(dlg->isVisible());
        dlg->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        QVERIFY(!dlg->isVisible());
    }

    void manualLinksResolve() // every link names an existing page and, if given, an existing anchor
    {
        const QDir dir(kData + QStringLiteral("help"));
        const QStringList pages = dir.entryList({QStringLiteral("*.htm")});
        QVERIFY(pages.contains(QStringLiteral("Overview.htm")));
        static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)#?([^\"]*)\""));
        for (const QString &page : pages) {
            QFile f(dir.filePath(page));
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (auto it = href.globalMatch(QString::fromUtf8(f.readAll())); it.hasNext();) {
                const auto link = it.next();
                QFile target(dir.filePath(link.captured(1).isEmpty() ? page : link.captured(1)));
                QVERIFY2(target.open(QIODevice::ReadOnly) &&
                             (link.captured(2).isEmpty() || target.readAll().contains("name=\"" + link.captured(2).toUtf8() + '"')),
                         qPrintable(page + " -> " + link.captured(0)));
            }
        }
    }

    void helpWindowNavigates()
    {
        Meter m(Platform{});
        m.AppDir = kData;
        std::unique_ptr<QDialog> dlg(createHelpWindow(m, nullptr));
        auto *help = static_cast<HelpBrowser *>(dlg.get());
        auto listed = [&] { return help->contents()->currentItem()->data(Qt::UserRole).toString(); };
        QCOMPARE(help->currentTopic() + listed(), QStringLiteral("Overview.htmOverview.htm"));
        help->resize(900, 700);
        help->show();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTextBrowser *b = help->browser();
        const QPoint at = linkPoint(b, QStringLiteral("Measuring.htm"));
        QVERIFY(at.x() >= 0);
        QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(help->currentTopic(), QStringLiteral("Measuring.htm"));
        QCOMPARE(listed(), QStringLiteral("Measuring.htm"));
        help->findChild<QPushButton *>(QStringLiteral("btnBack"))->click();
        QCOMPARE(help->currentTopic(), QStringLiteral("Overview.htm"));
        help->findChild<QPushButton *>(QStringLiteral("btnForward"))->click();
        QCOMPARE(help->currentTopic(), QStringLiteral("Measuring.htm"));
        Q_EMIT b->anchorClicked(QUrl(QStringLiteral("EnrTables.htm#format")));
        QCOMPARE(help->currentTopic() + '#' + b->source().fragment(), QStringLiteral("EnrTables.htm#format"));
        Q_EMIT b->anchorClicked(QUrl(QStringLiteral("../licence.txt"))); // outside the manual: not followed
        QCOMPARE(help->currentTopic(), QStringLiteral("EnrTables.htm"));
        QListWidgetItem *last = help->contents()->item(help->contents()->count() - 1);
        Q_EMIT help->contents()->itemClicked(last);
        QCOMPARE(help->currentTopic(), last->data(Qt::UserRole).toString());
    }

    void openerShowsOneHelpWindow()
    {
        OpenerQt().showHelp(kData + QStringLiteral("help/"), QStringLiteral("Overview.htm"));
        OpenerQt().showHelp(kData + QStringLiteral("help/"), QStringLiteral("Serial.htm"));
        QList<HelpBrowser *> shown;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *h = dynamic_cast<HelpBrowser *>(w); h && h->isVisible())
                shown.append(h);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0]->currentTopic(), QStringLiteral("Serial.htm"));
        shown[0]->close();
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
