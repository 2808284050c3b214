// frmSourceTemperature: the noise source's physical temperature when off. A
// view of the session's SourceOffK: OK sets it through the instrument (a
// loaded ENR table's Tcold and Thot follow at once), Cancel leaves it. GUI
// thread only.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"
#include "instrument/SourceTemperature.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

QDialog *createSourceTemperatureDialog(Instrument &m, QWidget *parent)
{
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmSourceTemperature"));
    dlg->setWindowTitle(QStringLiteral("Noise source temperature"));
    dlg->setModal(true);
    auto *form = new QFormLayout(dlg);
    auto *note = new QLabel(
        QStringLiteral("An ENR table gives Tcold = this temperature and Thot = 290 K \u00b7 10^(ENR/10) + "
                       "Tcold: the ENR states the excess noise, and the source adds its own thermal noise. "
                       "290 K is the reference temperature."),
        dlg);
    note->setObjectName(QStringLiteral("lblSourceTemperatureNote"));
    note->setWordWrap(true);
    form->addRow(note);
    auto *spin = new QDoubleSpinBox(dlg);
    spin->setObjectName(QStringLiteral("spnSourceOff"));
    spin->setAccessibleName(QStringLiteral("Noise source temperature when off (K)"));
    spin->setRange(Session::kSourceOffMinK, Session::kSourceOffMaxK);
    spin->setDecimals(2);
    spin->setSingleStep(0.5);
    spin->setSuffix(QStringLiteral(" K"));
    spin->setValue(m.session().SourceOffK);
    spin->setToolTip(QStringLiteral("The source's physical temperature, usually the room's (296.5 K is "
                                    "23.35 \u00b0C)."));
    form->addRow(QStringLiteral("Noise source &temperature when off:"), spin);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    QObject::connect(dlg, &QDialog::accepted, dlg, [&m, spin] {
        if (setSourceOffK(m, spin->value())) // a refusal has told the user why
            Q_EMIT m.sheetChanged();
    });
    return dlg;
}
