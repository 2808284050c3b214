#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createComSetupDialog(Meter &, QWidget *) { return nullptr; }
