#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createAboutDialog(Meter &, QWidget *) { return nullptr; }
