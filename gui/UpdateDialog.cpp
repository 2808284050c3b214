// frmUpdate: opens at once and runs the update check of Instrument::updateCheck()
// while it is shown. Meanwhile the message reads "Checking for updates...",
// a busy bar moves and the one button reads "Cancel": clicking it, Esc or
// closing the window aborts the request and closes the dialog with nothing
// changed. When the outcome is in, the dialog shows it, the button becomes
// "Exit" and the two onward buttons take their states. Created by
// createUpdateDialog, exec()ed and deleted by the window host; GUI thread.
#include "gui/Dialogs.h"

#include "help/UpdateCheck.h"
#include "instrument/Instrument.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
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

// Ends a check that is still waiting whenever the dialog goes, however it goes.
class UpdateDialog : public QDialog
{
public:
    UpdateDialog(UpdateCheck &check, QWidget *parent) : QDialog(parent), m_check(check) {}
    ~UpdateDialog() override { m_check.cancel(); }
    void reject() override
    {
        m_check.cancel();
        QDialog::reject();
    }

private:
    UpdateCheck &m_check;
};

} // namespace

QDialog *createUpdateDialog(Instrument &m, QWidget *parent)
{
    UpdateCheck &check = m.updateCheck();
    auto *dlg = new UpdateDialog(check, parent);
    dlg->setObjectName(QStringLiteral("frmUpdate"));
    dlg->setWindowTitle(QStringLiteral("Check for updates"));
    dlg->setAccessibleName(QStringLiteral("Check for updates"));
    dlg->setModal(true);

    auto *message = new QLabel(dlg);
    message->setObjectName(QStringLiteral("Message"));
    message->setAccessibleName(QStringLiteral("Update status"));
    message->setWordWrap(true);
    message->setMinimumWidth(360);
    auto *busy = new QProgressBar(dlg);
    busy->setObjectName(QStringLiteral("busy"));
    busy->setAccessibleName(QStringLiteral("Waiting for the update site"));
    busy->setRange(0, 0); // no known end: the bar shows activity only
    busy->setTextVisible(false);

    auto *verlifter = makeButton(dlg, "btnVerlifter", QStringLiteral("Launch Verlifter"));
    verlifter->setEnabled(false);
    auto *support = makeButton(dlg, "btnSupport", QStringLiteral("Open download page"));
    support->setVisible(false);
    auto *exitButton = makeButton(dlg, "btnExit", QStringLiteral("Cancel"));
    exitButton->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(verlifter);
    buttons->addWidget(support);
    buttons->addStretch();
    buttons->addWidget(exitButton);
    auto *layout = new QVBoxLayout(dlg);
    layout->addWidget(message);
    layout->addWidget(busy);
    layout->addLayout(buttons);

    QObject::connect(verlifter, &QPushButton::clicked, dlg, [&m, dlg]() {
        UpdateCheck::launchVerlifter(m.session().AppDir, m.services().opener, m.messages(), m.lifetime());
        dlg->accept();
    });
    QObject::connect(support, &QPushButton::clicked, dlg, [&m, dlg]() {
        UpdateCheck::openDownloadPage(m.session(), m.services().opener, m.messages(), m.lifetime());
        dlg->accept();
    });
    QObject::connect(exitButton, &QPushButton::clicked, dlg, &QDialog::reject);

    // Mirrors the check's outcome; runs only while the dialog exists (the
    // dialog cancels the check when it goes).
    auto showOutcome = [&check, message, busy, verlifter, support, exitButton]() {
        message->setText(check.message());
        busy->setVisible(check.running());
        verlifter->setEnabled(check.verlifterEnabled());
        support->setVisible(check.supportVisible());
        const QString exitText = check.running() ? QStringLiteral("Cancel") : QStringLiteral("Exit");
        exitButton->setText(exitText);
        exitButton->setAccessibleName(exitText);
    };
    check.start(m.services().http, m.session().BaseUrl, [&m, showOutcome](const QString &baseUrl) {
        m.session().BaseUrl = baseUrl; // the site may have moved; stored at exit
        showOutcome();
    });
    showOutcome();
    return dlg;
}
