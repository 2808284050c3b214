#pragma once
// The built-in help window: the manual's HTML pages (a folder of .htm
// files) in a QTextBrowser, with a contents list and back/forward buttons.
// Works offline; links to other pages of the manual stay in the window,
// web addresses go to the desktop's opener. Widgets are children of the
// window; GUI thread only.

#include <QDialog>
#include <QUrl>

class QListWidget;
class QPushButton;
class QTextBrowser;

class HelpBrowser : public QDialog
{
public:
    // helpDir: the manual's folder, with or without a trailing '/'.
    explicit HelpBrowser(const QString &helpDir, QWidget *parent = nullptr);

    // Shows a page of the manual by file name, e.g. "Overview.htm", or
    // "Overview.htm#anchor". Unknown pages show a short note instead.
    void showTopic(const QString &topic);

    QTextBrowser *browser() const { return m_browser; }
    QListWidget *contents() const { return m_contents; }
    // The file name of the page shown, e.g. "Overview.htm".
    QString currentTopic() const;

private:
    void loadContents();
    void followLink(const QUrl &url);
    void sourceChanged(const QUrl &url);

    QString m_dir;
    QTextBrowser *m_browser = nullptr;
    QListWidget *m_contents = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_forward = nullptr;
};
