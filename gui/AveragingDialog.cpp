// frmAveraging: the number of readings each measurement button averages in
// power. A view of the session's Averages: OK stores the count there (the
// settings file keeps it), Cancel leaves it. GUI thread only.
#include "gui/Dialogs.h"

#include "instrument/Instrument.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

#include <algorithm>

QDialog *createAveragingDialog(Instrument &m, QWidget *parent)
{
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmAveraging"));
    dlg->setWindowTitle(QStringLiteral("Averaging"));
    dlg->setModal(true);
    auto *form = new QFormLayout(dlg);
    auto *spin = new QSpinBox(dlg);
    spin->setObjectName(QStringLiteral("spnAverages"));
    spin->setAccessibleName(QStringLiteral("Readings per average"));
    spin->setRange(1, Session::kMaxAverages);
    spin->setValue(std::clamp(m.session().Averages, 1, Session::kMaxAverages));
    spin->setToolTip(
        QStringLiteral("Each measurement button takes this many readings and writes the level of "
                       "their mean power; the scatter falls as 1/sqrt(N)."));
    form->addRow(QStringLiteral("&Readings per average:"), spin);
    auto *interleave = new QCheckBox(QStringLiteral("&Interleave hot and cold"), dlg);
    interleave->setObjectName(QStringLiteral("chkInterleave"));
    interleave->setAccessibleName(QStringLiteral("Interleave hot and cold"));
    interleave->setChecked(m.session().Interleave);
    interleave->setToolTip(
        QStringLiteral("With serial switching, either button of a pair takes both of its readings, "
                       "alternating source off and on, so that a slow drift of the gain cancels."));
    form->addRow(interleave);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    QObject::connect(dlg, &QDialog::accepted, dlg, [&m, spin, interleave] {
        // The count is read when a button starts, so a change reaches the next reading.
        m.session().Averages = std::clamp(spin->value(), 1, Session::kMaxAverages);
        m.session().Interleave = interleave->isChecked();
    });
    return dlg;
}
