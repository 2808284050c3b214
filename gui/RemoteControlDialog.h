#pragma once
// Options -> Remote control: whether TQX serves SCPI, on which port, to
// this computer only or to all networks (with the warning that anyone on
// the network can then measure and read results), and the folder remote
// clients may load ENR tables from. OK applies and remembers the choice.

#include <QDialog>

class RemoteControl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class RemoteControlDialog : public QDialog
{
    Q_OBJECT
public:
    RemoteControlDialog(RemoteControl &remote, QWidget *parent);
    void accept() override;

private:
    void updateWarning();

    RemoteControl &m_remote;
    QCheckBox *m_enabled;
    QSpinBox *m_port;
    QRadioButton *m_local, *m_all;
    QLabel *m_warning;
    QLineEdit *m_folder;
};
