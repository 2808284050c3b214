#pragma once
// Help menu: manual, web links, About box.
#include "app/Sheet.h"
#include <QString>
class Meter;
void OpenUrl(Meter &m, const QString &url);
void HelpMenu(Meter &m, Control entry); // mnuHelpHelp, mnuHome, mnuFaq, mnuSupport
