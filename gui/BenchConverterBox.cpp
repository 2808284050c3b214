#include "gui/BenchConverterBox.h"

#include "sheet/DeviceSetup.h"
#include "sheet/NumText.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

namespace {

QDoubleSpinBox *makeSpin(QWidget *parent, const char *name, const QString &accessible, double min, double max,
                         int decimals)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessible);
    box->setDecimals(decimals);
    box->setRange(min, max); // out-of-range typing is refused by the box itself
    box->setKeyboardTracking(false);
    box->setToolTip(QStringLiteral("%1 to %2").arg(NumToText(min), NumToText(max)));
    return box;
}

QComboBox *makeCombo(QWidget *parent, const char *name, const QString &accessible, const QStringList &items)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(accessible);
    c->addItems(items);
    return c;
}

} // namespace

BenchConverterBox::BenchConverterBox(const BenchConverter &c, QWidget *parent)
    : QGroupBox(QStringLiteral("DUT as a converter"), parent)
{
    setObjectName(QStringLiteral("benchConverter"));
    m_mode = makeCombo(
        this, "benchDeviceMode", QStringLiteral("Device mode"),
        {QStringLiteral("Amplifier"), QStringLiteral("Down-converter"), QStringLiteral("Up-converter")});
    m_mode->setToolTip(QStringLiteral("A converter's RF is the main window's Frequency; the receiver listens "
                                      "at the IF"));
    m_lo = makeSpin(this, "benchLo", QStringLiteral("LO (MHz)"), 0.001, DeviceSetup::kMaxLoMhz, 3);
    m_sideband = makeCombo(this, "benchSideband", QStringLiteral("Wanted sideband"),
                           {QStringLiteral("LSB"), QStringLiteral("USB")});
    m_sideband->setToolTip(QStringLiteral("Down-converter: RF = LO - IF (LSB) or LO + IF (USB); "
                                          "up-converter: IF = LO - RF (LSB) or LO + RF (USB)"));
    m_imageRejection = makeSpin(this, "benchImageRejection", QStringLiteral("Image rejection (dB)"), 0,
                                DeviceSetup::kMaxImageRejectionDb, 1);
    m_imageRejection->setToolTip(
        QStringLiteral("0 to 999 dB; 0 dB: a double-sideband device, the image as strong as the RF"));

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Kind of device"), m_mode);
    form->addRow(QStringLiteral("LO (MH&z)"), m_lo);
    form->addRow(QStringLiteral("W&anted sideband"), m_sideband);
    form->addRow(QStringLiteral("Image re&jection (dB)"), m_imageRejection);

    m_mode->setCurrentIndex(static_cast<int>(c.mode));
    m_lo->setValue(c.loMhz);
    m_sideband->setCurrentIndex(c.sideband == physics::Sideband::Lsb ? 0 : 1);
    m_imageRejection->setValue(c.imageRejectionDb);
    changed();

    for (QComboBox *box : {m_mode, m_sideband})
        connect(box, &QComboBox::currentIndexChanged, this, &BenchConverterBox::changed);
    for (QDoubleSpinBox *box : {m_lo, m_imageRejection})
        connect(box, &QDoubleSpinBox::valueChanged, this, &BenchConverterBox::changed);
}

BenchConverter BenchConverterBox::converter() const
{
    BenchConverter c;
    c.mode = static_cast<physics::DeviceMode>(m_mode->currentIndex());
    c.loMhz = m_lo->value();
    c.sideband = m_sideband->currentIndex() == 0 ? physics::Sideband::Lsb : physics::Sideband::Usb;
    c.imageRejectionDb = m_imageRejection->value();
    return c;
}

void BenchConverterBox::changed()
{
    const bool converter = m_mode->currentIndex() != static_cast<int>(physics::DeviceMode::Amplifier);
    for (QWidget *w : {static_cast<QWidget *>(m_lo), static_cast<QWidget *>(m_sideband),
                       static_cast<QWidget *>(m_imageRejection)})
        w->setEnabled(converter);
    if (m_onChange)
        m_onChange();
}
