#include "qtplatform/HelpBrowser.h"

#include "qtplatform/OpenerQt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr qint64 kMaxContentsBytes = 64 * 1024;
constexpr int kMaxContentsEntries = 200;
} // namespace

HelpBrowser::HelpBrowser(const QString &helpDir, QWidget *parent)
    : QDialog(parent)
    , m_dir(QDir(helpDir).absolutePath() + QLatin1Char('/'))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("TQX Help"));
    setAccessibleName(QStringLiteral("TQX Help"));
    setModal(false);

    m_back = new QPushButton(QStringLiteral("< &Back"), this);
    m_back->setObjectName(QStringLiteral("btnBack"));
    m_back->setAccessibleName(QStringLiteral("Back"));
    m_back->setEnabled(false);
    m_forward = new QPushButton(QStringLiteral("&Forward >"), this);
    m_forward->setObjectName(QStringLiteral("btnForward"));
    m_forward->setAccessibleName(QStringLiteral("Forward"));
    m_forward->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAccessibleName(QStringLiteral("Close"));

    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("lstContents"));
    m_contents->setAccessibleName(QStringLiteral("Contents"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setAccessibleName(QStringLiteral("Help page"));
    m_browser->setOpenLinks(false); // followLink decides where a link goes
    m_browser->setSearchPaths({m_dir});

    auto *split = new QSplitter(this);
    split->setObjectName(QStringLiteral("splitHelp"));
    split->setAccessibleName(QStringLiteral("Contents and page"));
    split->addWidget(m_contents);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 3);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);

    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpBrowser::sourceChanged);
    connect(m_contents, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { showTopic(item->data(Qt::UserRole).toString()); });
    connect(m_contents, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showTopic(item->data(Qt::UserRole).toString()); });

    loadContents();
    // The contents list is as wide as its longest title in the font in use
    // (large fonts included), the page gets the rest.
    const int listWidth = m_contents->sizeHintForColumn(0) + 2 * m_contents->frameWidth() +
                          m_contents->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          m_contents->fontMetrics().averageCharWidth() * 2;
    m_contents->setMinimumWidth(listWidth);
    QSize want(std::max(900, 3 * listWidth), std::max(620, 30 * m_contents->fontMetrics().height()));
    if (const QScreen *s = screen())
        want = want.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(want);
    split->setSizes({listWidth, width() - listWidth});
}

void HelpBrowser::loadContents()
{
    // contents.txt: one "File.htm<TAB>Title" line per entry, in order.
    QFile file(m_dir + QStringLiteral("contents.txt"));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.read(kMaxContentsBytes).split('\n');
        for (const QByteArray &raw : lines) {
            const QString line = QString::fromUtf8(raw).trimmed();
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || tab <= 0)
                continue;
            auto *item = new QListWidgetItem(line.mid(tab + 1).trimmed(), m_contents);
            item->setData(Qt::UserRole, line.left(tab).trimmed());
            if (m_contents->count() >= kMaxContentsEntries)
                break;
        }
    }
    if (m_contents->count() == 0) {
        const QStringList pages = QDir(m_dir).entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
        for (const QString &page : pages.mid(0, kMaxContentsEntries)) {
            auto *item = new QListWidgetItem(QFileInfo(page).completeBaseName(), m_contents);
            item->setData(Qt::UserRole, page);
        }
    }
}

void HelpBrowser::showTopic(const QString &topic)
{
    const QUrl rel(topic);
    const QString path = m_dir + rel.path();
    if (rel.path().isEmpty() || !QFileInfo(path).isFile()) {
        m_browser->setHtml(QStringLiteral("<p>The help page <b>%1</b> is not installed in %2.</p>")
                               .arg(topic.toHtmlEscaped(), m_dir.toHtmlEscaped()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(rel.fragment());
    m_browser->setSource(url);
}

QString HelpBrowser::currentTopic() const
{
    return QFileInfo(m_browser->source().path()).fileName();
}

void HelpBrowser::followLink(const QUrl &url)
{
    const QUrl target = m_browser->source().resolved(url);
    if (target.isLocalFile()) {
        // Only pages of the manual are shown here.
        const QString path = QFileInfo(target.toLocalFile()).absoluteFilePath();
        if (path.startsWith(m_dir) && QFileInfo(path).isFile())
            m_browser->setSource(target);
        return;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
        OpenerQt().open(target.toString(), m_dir, nullptr, {}); // outcome not reported
}

void HelpBrowser::sourceChanged(const QUrl &url)
{
    const QString page = QFileInfo(url.path()).fileName();
    for (int i = 0; i < m_contents->count(); ++i) {
        if (m_contents->item(i)->data(Qt::UserRole).toString() == page) {
            const QSignalBlocker block(m_contents);
            m_contents->setCurrentRow(i);
            return;
        }
    }
    m_contents->clearSelection();
}
