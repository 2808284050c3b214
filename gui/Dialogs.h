#pragma once
// Factories of the modal dialogs. Each dialog is a view of a core model
// owned by Instrument; it forwards the user's events and holds no rules.
// A factory returns a new, not yet shown dialog (the caller runs exec()
// and deletes it), or nullptr when the dialog is not available.

class Instrument;
class RepeatRun;
class QDialog;
class QWidget;

QDialog *createCalNoiseSourceDialog(Instrument &m, QWidget *parent); // frmCalNoiseSource
QDialog *createNmucDialog(Instrument &m, QWidget *parent);           // frmNmuc
QDialog *createComSetupDialog(Instrument &m, QWidget *parent);       // frmComSetup
QDialog *createUpdateDialog(Instrument &m, QWidget *parent);         // frmUpdate
QDialog *createAboutDialog(Instrument &m, QWidget *parent);          // frmAbout
// The virtual bench window; compact: the settings in tabs under the values
// watched while measuring, for beside the main window on a small screen.
QDialog *createVirtualBenchDialog(Instrument &m, QWidget *parent, bool compact = false);
QDialog *createEnrViewDialog(Instrument &m, QWidget *parent); // the ENR table's curve
QDialog *createBudgetDialog(Instrument &m, QWidget *parent);  // the uncertainty budget
QDialog *createReceiverControlDialog(Instrument &m, QWidget *parent); // frmRigControl
QDialog *createAveragingDialog(Instrument &m, QWidget *parent);       // readings per average
QDialog *createSourceTemperatureDialog(Instrument &m, QWidget *parent); // the source's temperature when off
QDialog *createDeviceDialog(Instrument &m, QWidget *parent); // an amplifier or a converter with its LO
// Utility > Repeat: M repeats of the measurement and their scatter beside
// the predicted one. Not modal: by hand, the user takes the readings in the
// main window while it stays open.
QDialog *createRepeatDialog(Instrument &m, RepeatRun &run, QWidget *parent);
