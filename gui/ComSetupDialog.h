#pragma once
// frmComSetup ("Com setup"): switching on or off, and the port number of the
// noise-source switching port. A view of the ComSetup model owned by Instrument:
// it is built from the model at every showing and writes the controls back
// on OK and on Cancel, so a later showing presents them as the user left
// them. The speed, parity, data-bit and stop-bit lists and the accuracy box
// are shown only; the port always runs at 4800,n,8,1.

#include <QDialog>

class Instrument;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class ComSetupDialog : public QDialog
{
    Q_OBJECT
public:
    ComSetupDialog(Instrument &instrument, QWidget *parent);

    void reject() override; // Cancel, Escape and the window's close button

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void okClicked();
    void storeControls();     // widgets -> model
    void updatePortDevice();  // the device line under the port list
    void fillPortItems();     // tool tips and marks of the 99 port items
    void validateAcc();

    Instrument &m_instrument;
    QCheckBox *m_enable = nullptr;
    QComboBox *m_port = nullptr;
    QLabel *m_device = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dbits = nullptr;
    QComboBox *m_sbits = nullptr;
    QLineEdit *m_acc = nullptr;
    bool m_validatingAcc = false;
};
