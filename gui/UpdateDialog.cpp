// frmUpdate: runs the update check of Meter::updateCheck() before it is
// shown (no progress display; the request blocks), then shows its outcome
// and forwards the two onward buttons. Created by createUpdateDialog,
// exec()ed and deleted by the window host; GUI thread only.
#include "gui/Dialogs.h"

#include "sheet/Meter.h"
#include "help/UpdateCheck.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QDialog *createUpdateDialog(Meter &m, QWidget *parent)
{
    UpdateCheck &check = m.updateCheck();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    check.run(m);
    QApplication::restoreOverrideCursor();

    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmUpdate"));
    dlg->setWindowTitle(QStringLiteral("Check for updates"));
    dlg->setAccessibleName(QStringLiteral("Check for updates"));
    dlg->setModal(true);

    auto *message = new QLabel(check.message(), dlg);
    message->setObjectName(QStringLiteral("Message"));
    message->setAccessibleName(QStringLiteral("Update status"));
    message->setWordWrap(true);
    message->setMinimumWidth(360);

    auto *verlifter = makeButton(dlg, "btnVerlifter", QStringLiteral("Launch Verlifter"));
    verlifter->setEnabled(check.verlifterEnabled());
    auto *support = makeButton(dlg, "btnSupport", QStringLiteral("Open download page"));
    support->setVisible(check.supportVisible());
    auto *exitButton = makeButton(dlg, "btnExit", QStringLiteral("Exit"));
    exitButton->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(verlifter);
    buttons->addWidget(support);
    buttons->addStretch();
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(dlg);
    layout->addWidget(message);
    layout->addLayout(buttons);

    QObject::connect(verlifter, &QPushButton::clicked, dlg, [&m, dlg]() {
        m.updateCheck().launchVerlifter(m);
        dlg->accept();
    });
    QObject::connect(support, &QPushButton::clicked, dlg, [&m, dlg]() {
        m.updateCheck().openDownloadPage(m);
        dlg->accept();
    });
    QObject::connect(exitButton, &QPushButton::clicked, dlg, &QDialog::reject);
    return dlg;
}
