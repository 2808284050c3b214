#pragma once
// The Help menu: the built-in manual, the product web pages, the About box
// texts and the licence. Everything here runs on the user-interface thread;
// messages go through the IMessages given, documents through the opener
// given (null: nothing is opened and nothing is reported).
//
// Opening reports its outcome later, from the event loop, and only while
// `context` exists: `messages` must outlive `context`. Documents are opened
// with the data folder `appDir` (trailing '/') as the working directory.

#include "sheet/Sheet.h"

#include <QString>

class IMessages;
class IOpener;
class QObject;
struct Session;

// Opens a web address or document with the desktop's default handler and
// reports the two ways this can fail ("Browser Unavailable" boxes) once the
// opener's status arrives through the event loop; returns at once.
void OpenUrl(const QString &appDir, IOpener *opener, IMessages &messages, QObject *context,
             const QString &url);

// mnuHelpHelp (manual topic "Overview.htm"), mnuHome, mnuFaq, mnuSupport
// (Session::BaseUrl and AppDir).
void HelpMenu(const Session &m, IOpener *opener, IMessages &messages, QObject *context, Control entry);

// The manual: folder (under the data folder `appDir`, trailing '/') and
// first topic.
QString helpDir(const QString &appDir);
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

// The About box's Licence button: opens appDir + "licence.txt".
void showLicence(const QString &appDir, IOpener *opener, IMessages &messages, QObject *context);
