// The manual window: the HelpBrowser of the platform layer on the first
// topic. Created by createHelpWindow; the caller shows and deletes it.
// GUI thread only.
#include "gui/Dialogs.h"

#include "sheet/Meter.h"
#include "help/HelpLinks.h"
#include "platform/qt/HelpBrowser.h"

QDialog *createHelpWindow(Meter &m, QWidget *parent)
{
    auto *w = new HelpBrowser(helpDir(m), parent);
    w->showTopic(QString::fromLatin1(kHelpFirstTopic));
    return w;
}
