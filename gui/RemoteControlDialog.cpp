#include "gui/RemoteControlDialog.h"

#include "remote/RemoteControl.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

RemoteControlDialog::RemoteControlDialog(RemoteControl &remote, QWidget *parent)
    : QDialog(parent), m_remote(remote)
{
    const RemoteSettings s = remote.settings();
    setObjectName(QStringLiteral("frmRemoteControl"));
    setWindowTitle(QStringLiteral("Remote control"));
    setAccessibleName(QStringLiteral("Remote control"));

    m_enabled = new QCheckBox(QStringLiteral("&Serve SCPI remote control"), this);
    m_enabled->setObjectName(QStringLiteral("chkRemoteEnabled"));
    m_enabled->setChecked(s.enabled);

    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("spnRemotePort"));
    m_port->setRange(1, 65535);
    m_port->setValue(s.port);
    m_port->setAccessibleName(QStringLiteral("TCP port"));

    m_local = new QRadioButton(QStringLiteral("&This computer only"), this);
    m_local->setObjectName(QStringLiteral("optRemoteLocal"));
    m_all = new QRadioButton(QStringLiteral("&All networks"), this);
    m_all->setObjectName(QStringLiteral("optRemoteAll"));
    (s.allInterfaces ? m_all : m_local)->setChecked(true);

    m_warning = new QLabel(QStringLiteral("Anyone who can reach this computer over the network can then "
                                          "measure and read results."),
                           this);
    m_warning->setObjectName(QStringLiteral("lblRemoteWarning"));
    m_warning->setWordWrap(true);
    m_warning->setStyleSheet(QStringLiteral("color: #b00000"));

    m_folder = new QLineEdit(s.enrFolder, this);
    m_folder->setObjectName(QStringLiteral("txtRemoteEnrFolder"));
    m_folder->setAccessibleName(QStringLiteral("Folder remote clients may load ENR tables from"));
    m_folder->setPlaceholderText(QStringLiteral("none"));
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("btnRemoteEnrFolder"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString d = QFileDialog::getExistingDirectory(
            this, QStringLiteral("ENR tables for remote clients"), m_folder->text());
        if (!d.isEmpty())
            m_folder->setText(d);
    });

    auto *form = new QFormLayout;
    auto *portLabel = new QLabel(QStringLiteral("&Port:"), this);
    portLabel->setBuddy(m_port);
    form->addRow(portLabel, m_port);
    auto *where = new QVBoxLayout;
    where->addWidget(m_local);
    where->addWidget(m_all);
    form->addRow(QStringLiteral("Listen on:"), where);
    form->addRow(m_warning);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    auto *folderLabel = new QLabel(QStringLiteral("&ENR tables from:"), this);
    folderLabel->setBuddy(m_folder);
    form->addRow(folderLabel, folderRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_all, &QRadioButton::toggled, this, &RemoteControlDialog::updateWarning);
    updateWarning();
}

void RemoteControlDialog::updateWarning()
{
    m_warning->setVisible(m_all->isChecked());
    adjustSize(); // room for the warning's lines
}

void RemoteControlDialog::accept()
{
    RemoteSettings s;
    s.enabled = m_enabled->isChecked();
    s.port = m_port->value();
    s.allInterfaces = m_all->isChecked();
    s.enrFolder = m_folder->text().trimmed();
    const QString e = m_remote.apply(s);
    if (!e.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Remote control"), e);
        return; // stays open for another port
    }
    QDialog::accept();
}
