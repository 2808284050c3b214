#include "help/HelpLinks.h"
#include "app/Meter.h"
void OpenUrl(Meter &, const QString &) {}
void HelpMenu(Meter &, Control) {}
