#include "help/HelpLinks.h"
#include "sheet/Version.h"

#include "platform/Messages.h"
#include "platform/Opener.h"
#include "sheet/Session.h"

#include <utility>

namespace {

const QString kTitle = QStringLiteral("TQX");
const QString kBrowserCaption = QStringLiteral("Browser Unavailable");

// Opens a document; `report` gets the opener's status later, from the event
// loop, while `context` still exists. Nothing is reported without an opener.
void openDocument(const QString &appDir, IOpener *opener, QObject *context, const QString &target,
                  IOpener::Done report)
{
    if (opener)
        opener->open(target, appDir, context, std::move(report));
}

// The "Browser Unavailable" boxes for a status of the opener; success
// shows nothing.
void reportBrowserProblem(IMessages &messages, const QString &url, int r)
{
    if (r < 31) {
        messages.show(
            kBrowserCaption,
            QStringLiteral("Problem running your web browser. You should check that your browser is "
                           "correctly installed. (Error %1)")
                .arg(r),
            MsgIcon::Exclamation);
    } else if (r == 31) {
        messages.show(kBrowserCaption,
                      kTitle + QStringLiteral(" could not find a file association for ") + url +
                          QStringLiteral(" on your system. You should check that your browser is correctly "
                                         "installed and associated with this type of file."),
                      MsgIcon::Exclamation);
    }
}

void reportLicenceProblem(IMessages &messages, int r)
{
    if (r < 31) {
        messages.show(kBrowserCaption, QStringLiteral("Problem accessing licence file. (Error %1)").arg(r),
                      MsgIcon::Exclamation);
    } else if (r == 31) {
        messages.show(kBrowserCaption,
                      kTitle +
                          QStringLiteral(" could not find a file association for licence.txt on your system. "
                                         "You should check that your browser is correctly installed and "
                                         "associated with this type of file."),
                      MsgIcon::Exclamation);
    }
}

} // namespace

void OpenUrl(const QString &appDir, IOpener *opener, IMessages &messages, QObject *context,
             const QString &url)
{
    openDocument(appDir, opener, context, url,
                 [&messages, url](int r) { reportBrowserProblem(messages, url, r); });
}

QString helpDir(const QString &appDir)
{
    return appDir + QStringLiteral("help/");
}

void HelpMenu(const Session &m, IOpener *opener, IMessages &messages, QObject *context, Control entry)
{
    auto openUrl = [&](const QString &url) { OpenUrl(m.AppDir, opener, messages, context, url); };
    switch (entry) {
    case Control::mnuHelpHelp:
        // The outcome of the help viewer is not checked.
        if (opener)
            opener->showHelp(helpDir(m.AppDir), QString::fromLatin1(kHelpFirstTopic));
        break;
    case Control::mnuHome: openUrl(m.BaseUrl); break;
    case Control::mnuFaq: openUrl(m.BaseUrl + QStringLiteral("faq.htm")); break;
    case Control::mnuSupport: openUrl(m.BaseUrl + QStringLiteral("support.htm")); break;
    default: break;
    }
}

AboutInfo aboutInfo()
{
    AboutInfo a;
    a.caption = QStringLiteral("About ") + kTitle;
    a.title = kTitle;
    a.version = QStringLiteral("Version: ") + versionText();
    a.disclaimer = QStringLiteral("Disclaimer:\rUse at your own risk, see licence for warranty statement.");
    a.credit1 = QStringLiteral("Noise figure by the Y-factor method, with your sound card as the detector.");
    a.credit2 = QStringLiteral("Free software under the GNU General Public License, version 3 or later. "
                               "Built with Qt.");
    a.licenceButton = QStringLiteral("Show Licence");
    a.okButton = QStringLiteral("OK");
    return a;
}

void showLicence(const QString &appDir, IOpener *opener, IMessages &messages, QObject *context)
{
    openDocument(appDir, opener, context, appDir + QStringLiteral("licence.txt"),
                 [&messages](int r) { reportLicenceProblem(messages, r); });
}
