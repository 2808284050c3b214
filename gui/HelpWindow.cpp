#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createHelpWindow(Meter &, QWidget *) { return nullptr; }
