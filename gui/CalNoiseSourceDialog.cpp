#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createCalNoiseSourceDialog(Meter &, QWidget *) { return nullptr; }
