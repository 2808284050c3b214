#include "gui/ComSetupDialog.h"

#include "acquire/NoiseSwitch.h"
#include "instrument/Instrument.h"
#include "gui/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items, int index)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    box->setCurrentIndex(index >= 0 && index < items.size() ? index : 0);
    return box;
}

} // namespace

ComSetupDialog::ComSetupDialog(Instrument &instrument, QWidget *parent)
    : QDialog(parent)
    , m_instrument(instrument)
{
    ComSetup &model = instrument.comSetup();
    model.load(instrument.session()); // first showing in this run only

    setObjectName(QStringLiteral("frmComSetup"));
    setWindowTitle(QStringLiteral("Com setup"));
    setAccessibleName(QStringLiteral("Com setup"));

    m_enable = new QCheckBox(QStringLiteral("&Enable"), this);
    m_enable->setObjectName(QStringLiteral("ComEn"));
    m_enable->setChecked(model.enabled());

    // Editable, as the user may type a number; OK checks it.
    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->addItems(ComSetup::portItems());
    fillPortItems();
    int port = 0;
    if (ComSetup::parsePort(model.portText(), &port))
        m_port->setCurrentIndex(port - 1);
    m_port->setEditText(model.portText());

    m_device = new QLabel(this);
    m_device->setObjectName(QStringLiteral("lblPortDevice"));
    m_device->setAccessibleName(QStringLiteral("Serial device of the port"));
    m_device->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The line changes with every key typed into the port box; it gets a
    // fixed room for its longest usual text, so the dialog keeps its width.
    m_device->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    int room = 0;
    for (const char *t : {"not a port number (1 to 99)", "no device for this number", "/dev/ttyUSB99  (not present)"})
        room = std::max(room, m_device->fontMetrics().horizontalAdvance(QLatin1String(t)));
    m_device->setMinimumWidth(room);

    m_speed = makeList(this, "speed", ComSetup::speedItems(), model.speedIndex());
    m_parity = makeList(this, "parity", ComSetup::parityItems(), model.parityIndex());
    m_dbits = makeList(this, "dbits", ComSetup::dbitsItems(), model.dbitsIndex());
    m_sbits = makeList(this, "sbits", ComSetup::sbitsItems(), model.sbitsIndex());

    m_acc = new QLineEdit(model.accText(), this);
    m_acc->setObjectName(QStringLiteral("acc"));
    m_acc->installEventFilter(this);

    auto *form = new QFormLayout;
    auto addRow = [&](const QString &caption, QWidget *w) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(w); // the label is the widget's accessible name
        w->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        form->addRow(label, w);
    };
    form->addRow(m_enable);
    addRow(QStringLiteral("Comm &Port"), m_port);
    form->addRow(QString(), m_device);
    addRow(QStringLiteral("&Speed"), m_speed);
    addRow(QStringLiteral("P&arity"), m_parity);
    addRow(QStringLiteral("&Data bits"), m_dbits);
    addRow(QStringLiteral("S&top bits"), m_sbits);
    addRow(QStringLiteral("A&ccuracy (m)"), m_acc);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &ComSetupDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &ComSetupDialog::reject);
    connect(m_port, &QComboBox::editTextChanged, this, &ComSetupDialog::updatePortDevice);
    updatePortDevice();
}

void ComSetupDialog::fillPortItems()
{
    const ISerialLines *serial = m_instrument.services().serial;
    if (!serial)
        return;
    for (int i = 0; i < m_port->count(); ++i) {
        const int port = i + 1;
        const QString device = serial->deviceName(port);
        const bool present = !device.isEmpty() && serial->deviceExists(port);
        m_port->setItemData(i, device.isEmpty() ? QStringLiteral("no device") : device, Qt::ToolTipRole);
        if (present) {
            // Ports whose device is there stand out in bold in the list.
            QFont bold = m_port->font();
            bold.setBold(true);
            m_port->setItemData(i, bold, Qt::FontRole);
        }
    }
}

void ComSetupDialog::updatePortDevice()
{
    const ISerialLines *serial = m_instrument.services().serial;
    int port = 0;
    QString text;
    if (!ComSetup::parsePort(m_port->currentText(), &port)) {
        text = QStringLiteral("not a port number (1 to 99)");
    } else if (serial) {
        const QString device = serial->deviceName(port);
        if (device.isEmpty())
            text = QStringLiteral("no device for this number");
        else
            text = device + (serial->deviceExists(port) ? QStringLiteral("  (present)") : QStringLiteral("  (not present)"));
    }
    m_device->setText(text);
}

void ComSetupDialog::storeControls()
{
    ComSetup &model = m_instrument.comSetup();
    model.setEnabled(m_enable->isChecked());
    model.setPortText(m_port->currentText());
    model.setSpeedIndex(m_speed->currentIndex());
    model.setParityIndex(m_parity->currentIndex());
    model.setDbitsIndex(m_dbits->currentIndex());
    model.setSbitsIndex(m_sbits->currentIndex());
    model.setAccText(m_acc->text());
}

void ComSetupDialog::okClicked()
{
    storeControls();
    if (!m_instrument.comSetup().ok(m_instrument.session(), m_instrument.messages())) {
        // Refused: the dialog stays, with the port text ready for a new entry.
        m_port->setFocus(Qt::OtherFocusReason);
        m_port->lineEdit()->selectAll();
        return;
    }
    m_port->setEditText(m_instrument.comSetup().portText());
    accept();
}

void ComSetupDialog::reject()
{
    storeControls(); // Cancel only hides: the next showing shows these states
    QDialog::reject();
}

void ComSetupDialog::validateAcc()
{
    if (m_validatingAcc)
        return;
    m_validatingAcc = true;
    const ComSetup::AccCheck r = ComSetup::validateAcc(m_acc->text());
    m_acc->setText(r.text);
    if (r.keepFocus) {
        // Back into the box once the focus change that got us here is done.
        QTimer::singleShot(0, m_acc, [acc = m_acc] {
            acc->setFocus(Qt::OtherFocusReason);
            acc->selectAll();
        });
    }
    m_validatingAcc = false;
}

bool ComSetupDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_acc) {
        switch (event->type()) {
        case QEvent::FocusIn:
            // Entering the box selects its whole text, so typing replaces it.
            QTimer::singleShot(0, m_acc, [acc = m_acc] { acc->selectAll(); });
            break;
        case QEvent::FocusOut: {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                validateAcc();
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                // Enter is swallowed (it does not press OK): validate, select again.
                validateAcc();
                m_acc->selectAll();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QDialog *createComSetupDialog(Instrument &m, QWidget *parent)
{
    return new ComSetupDialog(m, parent);
}
