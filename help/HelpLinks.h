#pragma once
// The Help menu: the built-in manual, the product web pages, the About box
// texts and the licence. Everything here runs on the user-interface thread;
// messages go through Meter::message, documents through the platform opener.

#include "sheet/Sheet.h"

#include <QString>

class Meter;

// Opens a web address or document with the desktop's default handler and
// reports the two ways this can fail ("Browser Unavailable" boxes) once the
// opener's status arrives through the event loop; returns at once.
void OpenUrl(Meter &m, const QString &url);

// mnuHelpHelp (manual topic "Overview.htm"), mnuHome, mnuFaq, mnuSupport.
void HelpMenu(Meter &m, Control entry);

// The manual: folder (under AppDir, trailing '/') and first topic.
QString helpDir(const Meter &m);
inline constexpr const char *kHelpFirstTopic = "Overview.htm";

// Texts of the About box frmAbout. The dialog only shows them.
struct AboutInfo {
    QString caption;       // "About TQX"
    QString title;         // lblTitle
    QString version;       // lblVersion, "Version: 1.0.0"
    QString disclaimer;    // lblDisclaimer; "\r" separates its two lines
    QString credit1;       // first credit line
    QString credit2;       // second credit line
    QString licenceButton; // "Show Licence"
    QString okButton;      // "OK"
};
AboutInfo aboutInfo();

// The About box's Licence button: opens AppDir + "licence.txt".
void showLicence(Meter &m);
