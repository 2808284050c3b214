// frmCalNoiseSource: a view of the CalNoiseSource model. The widget holds no
// rules: it forwards typing, the choice of the kind of value, the leaving of
// CalLevel and the two buttons, then mirrors the model.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "calc/CalNoiseSource.h"

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

class CalNoiseSourceDialog : public QDialog
{
public:
    CalNoiseSourceDialog(Instrument &m, QWidget *parent);

    // Escape, the window's close box and CancelButton all abandon the entry.
    void reject() override
    {
        m_leavePending = false;
        m_model.cancel();
        QDialog::reject();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void sync();
    bool flushLeave();
    void confirm();
    void choose(bool teq);

    Instrument &m_instrument;
    CalNoiseSource &m_model;
    QRadioButton *m_optNF;
    QRadioButton *m_optTeq;
    QLabel *m_lblCalLevel;
    QLineEdit *m_calLevel;
    QLabel *m_lblUnit;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    // Set when focus left CalLevel: its leave rule runs once the focus
    // change is complete, or at once when a button needs its verdict first.
    bool m_leavePending = false;
};

CalNoiseSourceDialog::CalNoiseSourceDialog(Instrument &m, QWidget *parent)
    : QDialog(parent)
    , m_instrument(m)
    , m_model(m.calNoiseSource())
{
    setObjectName(QStringLiteral("frmCalNoiseSource"));
    setWindowTitle(QStringLiteral("Calibrate Noise Source"));

    auto *frame = new QGroupBox(QStringLiteral("Receiver"), this);
    frame->setObjectName(QStringLiteral("frCalSource"));
    m_optNF = new QRadioButton(QStringLiteral("Known &noise figure (dB)"), frame);
    m_optNF->setObjectName(QStringLiteral("optNF"));
    m_optTeq = new QRadioButton(QStringLiteral("Known &equivalent noise temperature (K)"), frame);
    m_optTeq->setObjectName(QStringLiteral("optTeq"));
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_optNF);
    frameLayout->addWidget(m_optTeq);

    m_lblCalLevel = new QLabel(this);
    m_lblCalLevel->setObjectName(QStringLiteral("LblCalLevel"));
    m_calLevel = new QLineEdit(this);
    m_calLevel->setObjectName(QStringLiteral("CalLevel"));
    m_lblCalLevel->setBuddy(m_calLevel); // the caption names the field
    m_lblUnit = new QLabel(this);
    m_lblUnit->setObjectName(QStringLiteral("lblUnit"));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKButton"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    // Enter is handled by CalLevel itself; no button is a default button.
    for (QPushButton *b : {m_ok, m_cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto *grid = new QGridLayout;
    grid->addWidget(m_lblCalLevel, 0, 0);
    grid->addWidget(m_calLevel, 0, 1);
    grid->addWidget(m_lblUnit, 0, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(frame);
    lay->addLayout(grid);
    lay->addLayout(buttons);

    m_calLevel->installEventFilter(this);
    connect(m_calLevel, &QLineEdit::textEdited, this, [this](const QString &t) {
        m_model.setCalLevel(t);
        m_ok->setEnabled(m_model.okEnabled());
    });
    connect(m_optNF, &QRadioButton::clicked, this, [this] { choose(false); });
    connect(m_optTeq, &QRadioButton::clicked, this, [this] { choose(true); });
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (flushLeave())
            confirm();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    sync();
    m_calLevel->setFocus();
}

void CalNoiseSourceDialog::sync()
{
    m_optNF->setChecked(!m_model.teq());
    m_optTeq->setChecked(m_model.teq());
    m_lblCalLevel->setText(QLatin1Char('&') + m_model.levelCaption()); // Alt+R: the entry
    m_lblUnit->setText(m_model.unitText());
    if (m_calLevel->text() != m_model.calLevel())
        m_calLevel->setText(m_model.calLevel());
    m_ok->setEnabled(m_model.okEnabled());
}

bool CalNoiseSourceDialog::flushLeave()
{
    if (!m_leavePending)
        return true;
    m_leavePending = false;
    const bool ok = m_model.leaveCalLevel(m_instrument.messages());
    sync();
    if (!ok)
        m_calLevel->setFocus();
    return ok;
}

void CalNoiseSourceDialog::choose(bool teq)
{
    if (!flushLeave()) {
        sync(); // the refused entry keeps the focus; the choice is undone
        return;
    }
    if (teq)
        m_model.chooseTeq();
    else
        m_model.chooseNF();
    sync();
}

void CalNoiseSourceDialog::confirm()
{
    switch (m_model.confirm(m_instrument.sheet(), m_instrument.messages())) {
    case CalNoiseSource::Confirm::Hidden: accept(); break;
    case CalNoiseSource::Confirm::RefusedEntry: m_calLevel->setFocus(); break;
    case CalNoiseSource::Confirm::Stopped: break;
    }
}

bool CalNoiseSourceDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_calLevel) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                confirm(); // Enter confirms straight away, without the leave rule
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason r = static_cast<QFocusEvent *>(event)->reason();
            // Another window (a message box) taking the focus is no leaving.
            if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && isVisible()) {
                m_leavePending = true;
                QTimer::singleShot(0, this, [this] { flushLeave(); });
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace

QDialog *createCalNoiseSourceDialog(Instrument &m, QWidget *parent)
{
    return new CalNoiseSourceDialog(m, parent);
}
