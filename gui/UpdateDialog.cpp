#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createUpdateDialog(Meter &, QWidget *) { return nullptr; }
