// frmAbout: shows the texts of aboutInfo() and forwards the Licence button.
// Created by createAboutDialog, exec()ed and deleted by the window host;
// GUI thread only.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "help/HelpLinks.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QString &accessible)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setAccessibleName(accessible);
    l->setWordWrap(true);
    return l;
}

} // namespace

QDialog *createAboutDialog(Instrument &m, QWidget *parent)
{
    const AboutInfo info = aboutInfo();
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmAbout"));
    dlg->setWindowTitle(info.caption);
    dlg->setAccessibleName(info.caption);
    dlg->setModal(true);

    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = dlg->style()->standardIcon(QStyle::SP_MessageBoxInformation);
    auto *pic = new QLabel(dlg);
    pic->setObjectName(QStringLiteral("picIcon"));
    pic->setAccessibleName(QStringLiteral("Application icon"));
    pic->setPixmap(icon.pixmap(48, 48));
    pic->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *title = makeLabel(dlg, "lblTitle", info.title, QStringLiteral("Title"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto *version = makeLabel(dlg, "lblVersion", info.version, QStringLiteral("Version"));
    QString disclaimerText = info.disclaimer;
    disclaimerText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto *disclaimer = makeLabel(dlg, "lblDisclaimer", disclaimerText, QStringLiteral("Disclaimer"));
    auto *credit1 = makeLabel(dlg, "lblCredit1", info.credit1, QStringLiteral("Credits"));
    auto *credit2 = makeLabel(dlg, "lblCredit2", info.credit2, QStringLiteral("Licence note"));

    auto *licence = new QPushButton(info.licenceButton, dlg);
    licence->setObjectName(QStringLiteral("Licence"));
    licence->setAccessibleName(info.licenceButton);
    licence->setAutoDefault(false);
    auto *ok = new QPushButton(info.okButton, dlg);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAccessibleName(info.okButton);
    ok->setDefault(true);

    auto *grid = new QGridLayout(dlg);
    grid->addWidget(pic, 0, 0, 2, 1);
    grid->addWidget(title, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(credit1, 2, 1);
    grid->addWidget(credit2, 3, 1);
    grid->addWidget(disclaimer, 4, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(licence);
    buttons->addStretch();
    buttons->addWidget(ok);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    dlg->setMinimumWidth(420);

    QObject::connect(licence, &QPushButton::clicked, dlg, [&m]() { showLicence(m.session().AppDir, m.services().opener, m.messages(), m.lifetime()); });
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    return dlg;
}
