// frmDevice: the device measured, an amplifier or a frequency-converting
// device with a fixed LO. A view of the sheet's DeviceSetup: OK sets it
// through the instrument (the results follow at once), Cancel leaves it.
// The line under the controls shows the IF the receiver is to be tuned to
// for the RF in the Frequency field, as the main window will. GUI thread only.
#include "gui/Dialogs.h"

#include "calc/Results.h"
#include "instrument/DeviceMode.h"
#include "instrument/Instrument.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {

// The LOs of common LNBs, MHz; the first entry of the list is a typed value.
struct LoPreset {
    double mhz;
    const char *caption;
};
constexpr LoPreset kLoPresets[] = {{9750.0, "9750 MHz (Ku-band LNB, low band)"},
                                   {10600.0, "10600 MHz (Ku-band LNB, high band)"},
                                   {5150.0, "5150 MHz (C-band LNB)"}};

QComboBox *makeCombo(QWidget *parent, const char *name, const QString &accessibleName,
                     const QStringList &items)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(accessibleName);
    c->addItems(items);
    return c;
}

} // namespace

QDialog *createDeviceDialog(Instrument &m, QWidget *parent)
{
    const DeviceSetup now = m.sheet().device;
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmDevice"));
    dlg->setWindowTitle(QStringLiteral("Device"));
    dlg->setModal(true);
    auto *form = new QFormLayout(dlg);

    auto *mode = makeCombo(
        dlg, "cboDeviceMode", QStringLiteral("Device mode"),
        {QStringLiteral("Amplifier"), QStringLiteral("Down-converter"), QStringLiteral("Up-converter")});
    mode->setCurrentIndex(static_cast<int>(now.mode));
    mode->setToolTip(
        QStringLiteral("A converter's RF is the Frequency field; the receiver listens at the IF."));
    form->addRow(QStringLiteral("&Device:"), mode);

    QStringList presetItems{QStringLiteral("Typed value")};
    for (const LoPreset &p : kLoPresets)
        presetItems << QLatin1String(p.caption);
    auto *preset = makeCombo(dlg, "cboLoPreset", QStringLiteral("LO preset"), presetItems);
    form->addRow(QStringLiteral("LO &preset:"), preset);
    auto *lo = new QDoubleSpinBox(dlg);
    lo->setObjectName(QStringLiteral("spnLo"));
    lo->setAccessibleName(QStringLiteral("LO frequency (MHz)"));
    lo->setRange(0.001, DeviceSetup::kMaxLoMhz);
    lo->setDecimals(3);
    lo->setSuffix(QStringLiteral(" MHz"));
    lo->setValue(validLoMhz(now.loMhz) ? now.loMhz : DeviceSetup::kDefaultLoMhz);
    form->addRow(QStringLiteral("&LO:"), lo);

    auto *sideband = makeCombo(dlg, "cboSideband", QStringLiteral("Sideband"),
                               {QStringLiteral("LSB"), QStringLiteral("USB"), QStringLiteral("DSB")});
    sideband->setCurrentIndex(static_cast<int>(now.sideband));
    sideband->setToolTip(QStringLiteral("Down-converter: LSB has the RF below the LO, USB above it, DSB "
                                        "either side. Up-converter: USB listens to the sum, LSB to the "
                                        "difference."));
    form->addRow(QStringLiteral("&Sideband:"), sideband);
    auto *ir = new QDoubleSpinBox(dlg);
    ir->setObjectName(QStringLiteral("spnImageRejection"));
    ir->setAccessibleName(QStringLiteral("Image rejection (dB)"));
    ir->setRange(0, DeviceSetup::kMaxImageRejectionDb);
    ir->setDecimals(1);
    ir->setSuffix(QStringLiteral(" dB"));
    ir->setValue(validImageRejectionDb(now.imageRejectionDb) ? now.imageRejectionDb : 0);
    ir->setToolTip(QStringLiteral("How much weaker the image reaches the IF than the RF; 0 dB: a "
                                  "double-sideband response."));
    form->addRow(QStringLiteral("&Image rejection:"), ir);

    auto *plan = new QLabel(dlg);
    plan->setObjectName(QStringLiteral("lblDevicePlan"));
    plan->setAccessibleName(QStringLiteral("Frequency plan"));
    plan->setWordWrap(true);
    form->addRow(plan);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    form->addRow(buttons);

    auto chosen = [mode, lo, sideband, ir] {
        DeviceSetup d;
        d.mode = static_cast<physics::DeviceMode>(std::max(0, mode->currentIndex()));
        d.loMhz = lo->value();
        d.sideband = static_cast<physics::Sideband>(std::max(0, sideband->currentIndex()));
        d.imageRejectionDb = ir->value();
        return d;
    };
    // The controls a mode and a sideband use, and the plan they give now.
    auto refresh = [&m, chosen, preset, lo, sideband, ir, plan] {
        const DeviceSetup d = chosen();
        for (QWidget *w :
             {static_cast<QWidget *>(preset), static_cast<QWidget *>(lo), static_cast<QWidget *>(sideband)})
            w->setEnabled(d.converter());
        ir->setEnabled(d.converter() && d.sideband != physics::Sideband::Dsb);
        int match = 0;
        for (int i = 0; i < static_cast<int>(std::size(kLoPresets)); ++i)
            if (std::fabs(kLoPresets[i].mhz - d.loMhz) < 1e-9)
                match = i + 1;
        if (preset->currentIndex() != match) {
            const QSignalBlocker block(preset);
            preset->setCurrentIndex(match);
        }
        Sheet s = m.sheet();
        s.device = d;
        plan->setText(d.converter() ? QStringLiteral("RF %1 MHz: %2").arg(s.text(Field::Frequency), ifText(s))
                                    : QStringLiteral("Input and output at the Frequency field."));
    };
    QObject::connect(preset, &QComboBox::activated, dlg, [lo](int i) {
        if (i > 0 && i <= static_cast<int>(std::size(kLoPresets)))
            lo->setValue(kLoPresets[i - 1].mhz);
    });
    QObject::connect(mode, &QComboBox::currentIndexChanged, dlg, refresh);
    QObject::connect(sideband, &QComboBox::currentIndexChanged, dlg, refresh);
    QObject::connect(lo, &QDoubleSpinBox::valueChanged, dlg, refresh);
    refresh();

    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    QObject::connect(dlg, &QDialog::accepted, dlg, [&m, chosen] {
        if (setDeviceSetup(m, chosen())) // a refusal has told the user why
            Q_EMIT m.sheetChanged();
    });
    return dlg;
}
