#include "gui/Dialogs.h"
// Placeholder until the dialog is built.
QDialog *createVirtualBenchDialog(Meter &, QWidget *) { return nullptr; }
