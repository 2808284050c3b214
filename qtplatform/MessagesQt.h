#pragma once
// Message boxes with QMessageBox: one OK button, the given caption and icon.

#include "platform/Messages.h"

class QWidget;

class MessagesQt : public IMessages
{
public:
    explicit MessagesQt(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &caption, const QString &text, MsgIcon icon) override;
    bool ask(const QString &caption, const QString &text) override; // Yes/No, question icon
    void showDetailed(const QString &caption, const QString &text, MsgIcon icon, const QString &details) override;

private:
    QWidget *m_parent;
};
