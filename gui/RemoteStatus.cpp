#include "gui/RemoteStatus.h"

#include "gui/MainWindow.h"
#include "gui/RemoteControlDialog.h"
#include "remote/RemoteControl.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

void attachRemoteControl(MainWindow &window, RemoteControl &remote)
{
    if (auto *options = window.menuBar()->findChild<QMenu *>(QStringLiteral("mnuOptions"))) {
        QAction *a = options->addAction(QStringLiteral("Re&mote control..."));
        a->setObjectName(QStringLiteral("mnuRemoteControl"));
        QObject::connect(a, &QAction::triggered, &window, [&window, &remote] {
            RemoteControlDialog dialog(remote, &window);
            dialog.exec();
        });
    }
    auto *label = new QLabel(&window);
    label->setObjectName(QStringLiteral("lblRemote"));
    auto *stop = new QPushButton(QStringLiteral("Stop"), &window);
    stop->setObjectName(QStringLiteral("btnRemoteStop"));
    stop->setAccessibleName(QStringLiteral("Stop the remote measurement"));
    stop->setEnabled(false);
    window.statusBar()->addPermanentWidget(label);
    window.statusBar()->addPermanentWidget(stop);
    auto update = [&remote, label, &window] {
        const QString text = remote.statusText();
        label->setText(text);
        label->setAccessibleName(text.isEmpty() ? QStringLiteral("Remote control off") : text);
        window.statusBar()->setVisible(!text.isEmpty());
    };
    QObject::connect(&remote, &RemoteControl::statusChanged, label, update);
    update();
    Runner &runner = remote.server().runner();
    QObject::connect(stop, &QPushButton::clicked, &runner, &Runner::cancel);
    QObject::connect(&runner, &Runner::runningChanged, stop, [&window, stop](bool running) {
        stop->setEnabled(running);
        window.menuBar()->setEnabled(!running);
        if (QWidget *panel = window.centralWidget())
            panel->setEnabled(!running);
    });
}
