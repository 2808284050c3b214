// The About box and the built-in help window with the shipped manual.
#include "app/Meter.h"
#include "gui/Dialogs.h"
#include "platform/qt/HelpBrowser.h"
#include "platform/qt/OpenerQt.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {
struct Doubles : IOpener, IMessages {
    int open(const QString &target, const QString &) override { return opened.append(target), status; }
    bool startProgram(const QString &, const QStringList &, const QString &) override { return true; }
    bool programAvailable(const QString &) override { return true; }
    void showHelp(const QString &, const QString &) override {}
    void show(const QString &, const QString &text, MsgIcon) override { shown.append(text); }
    int status = 33;
    QStringList opened, shown;
};
const QString kData = qEnvironmentVariable("TQX_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/data/");

// Viewport position of the first link to `href` on the page shown.
QPoint linkPoint(QTextBrowser *b, const QString &href)
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
        Doubles d;
        d.status = 2;
        Platform p;
        p.opener = &d;
        p.messages = &d;
        Meter m(p);
        m.AppDir = QStringLiteral("/usr/share/tqx/");
        std::unique_ptr<QDialog> dlg(createAboutDialog(m, nullptr));
        QCOMPARE(dlg->windowTitle(), QStringLiteral("About TQX"));
        auto text = [&](const char *name) { return dlg->findChild<QLabel *>(QLatin1String(name))->text(); };
        QCOMPARE(text("lblTitle"), QStringLiteral("TQX"));
        QCOMPARE(text("lblVersion"), QStringLiteral("Version: 1.0.0"));
        QCOMPARE(text("lblDisclaimer"), QStringLiteral("Disclaimer:\nUse at your own risk, see licence for warranty statement."));
        QVERIFY(!dlg->findChild<QLabel *>(QStringLiteral("picIcon"))->pixmap().isNull());
        for (QWidget *w : dlg->findChildren<QWidget *>())
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));

        dlg->show();
        auto *licence = dlg->findChild<QPushButton *>(QStringLiteral("Licence"));
        QCOMPARE(licence->text(), QStringLiteral("Show Licence"));
        licence->click();
        QCOMPARE(d.opened, QStringList{QStringLiteral("/usr/share/tqx/licence.txt")});
        QCOMPARE(d.shown, QStringList{QStringLiteral("Problem accessing licence file. (Error 2)")});
        QVERIFY(dlg->isVisible());
        dlg->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        QVERIFY(!dlg->isVisible());
    }

    void manualLinksResolve()
    {
        // Every link of every page names an existing page and, if given, an existing anchor.
        const QDir dir(kData + QStringLiteral("help"));
        const QStringList pages = dir.entryList({QStringLiteral("*.htm")});
        QVERIFY(pages.contains(QStringLiteral("Overview.htm")));
        static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)#?([^\"]*)\""));
        for (const QString &page : pages) {
            QFile f(dir.filePath(page));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(f.readAll());
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const auto link = it.next();
                QFile target(dir.filePath(link.captured(1).isEmpty() ? page : link.captured(1)));
                QVERIFY2(target.open(QIODevice::ReadOnly), qPrintable(page + " -> " + link.captured(0)));
                if (!link.captured(2).isEmpty())
                    QVERIFY2(target.readAll().contains("name=\"" + link.captured(2).toUtf8() + '"'),
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
        QCOMPARE(help->currentTopic(), QStringLiteral("Overview.htm"));
        QCOMPARE(help->contents()->currentItem()->data(Qt::UserRole).toString(), QStringLiteral("Overview.htm"));
        help->resize(900, 700);
        help->show();
        QVERIFY(QTest::qWaitForWindowExposed(help));

        QTextBrowser *b = help->browser();
        const QPoint at = linkPoint(b, QStringLiteral("Measuring.htm"));
        QVERIFY(at.x() >= 0);
        QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(help->currentTopic(), QStringLiteral("Measuring.htm"));
        QCOMPARE(help->contents()->currentItem()->data(Qt::UserRole).toString(), QStringLiteral("Measuring.htm"));
        help->findChild<QPushButton *>(QStringLiteral("btnBack"))->click();
        QCOMPARE(help->currentTopic(), QStringLiteral("Overview.htm"));
        help->findChild<QPushButton *>(QStringLiteral("btnForward"))->click();
        QCOMPARE(help->currentTopic(), QStringLiteral("Measuring.htm"));

        Q_EMIT b->anchorClicked(QUrl(QStringLiteral("EnrTables.htm#format")));
        QCOMPARE(help->currentTopic() + '#' + b->source().fragment(), QStringLiteral("EnrTables.htm#format"));
        Q_EMIT b->anchorClicked(QUrl(QStringLiteral("../licence.txt"))); // outside the manual: not followed
        QCOMPARE(help->currentTopic(), QStringLiteral("EnrTables.htm"));
        QListWidget *list = help->contents();
        Q_EMIT list->itemClicked(list->item(list->count() - 1));
        QCOMPARE(help->currentTopic(), list->item(list->count() - 1)->data(Qt::UserRole).toString());
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
