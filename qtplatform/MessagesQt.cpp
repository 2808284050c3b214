#include "qtplatform/MessagesQt.h"

#include <QMessageBox>

void MessagesQt::show(const QString &caption, const QString &text, MsgIcon icon)
{
    showDetailed(caption, text, icon, QString());
}

void MessagesQt::showDetailed(const QString &caption, const QString &text, MsgIcon icon, const QString &details)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    // Lone carriage returns separate lines in some texts (the usage box).
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

bool MessagesQt::ask(const QString &caption, const QString &text)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setObjectName(QStringLiteral("questionBox"));
    return box.exec() == QMessageBox::Yes;
}
