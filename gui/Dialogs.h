#pragma once
// Factories of the modal dialogs. Each dialog is a view of a core model
// owned by Meter; it forwards the user's events and holds no rules.
// A factory returns a new, not yet shown dialog (the caller runs exec()
// and deletes it), or nullptr when the dialog is not available.

class Meter;
class QDialog;
class QWidget;

QDialog *createCalNoiseSourceDialog(Meter &m, QWidget *parent); // frmCalNoiseSource
QDialog *createNmucDialog(Meter &m, QWidget *parent);           // frmNmuc
QDialog *createComSetupDialog(Meter &m, QWidget *parent);       // frmComSetup
QDialog *createUpdateDialog(Meter &m, QWidget *parent);         // frmUpdate
QDialog *createAboutDialog(Meter &m, QWidget *parent);          // frmAbout
// The virtual bench window; compact: one scrolling column, for a dock.
QDialog *createVirtualBenchDialog(Meter &m, QWidget *parent, bool compact = false);
QDialog *createEnrViewDialog(Meter &m, QWidget *parent); // the ENR table's curve
QDialog *createBudgetDialog(Meter &m, QWidget *parent);  // the uncertainty budget
QDialog *createReceiverControlDialog(Meter &m, QWidget *parent); // frmRigControl
