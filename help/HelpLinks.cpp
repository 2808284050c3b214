#include "help/HelpLinks.h"

#include "sheet/Meter.h"

#include <utility>

namespace {

const QString kTitle = QStringLiteral("TQX");
const QString kBrowserCaption = QStringLiteral("Browser Unavailable");

// Opens a document; `report` gets the opener's status later, from the event
// loop, while the Meter still exists. Nothing is reported without an opener.
void openDocument(Meter &m, const QString &target, IOpener::Done report)
{
    if (IOpener *opener = m.platform().opener)
        opener->open(target, m.AppDir, m.lifetime(), std::move(report));
}

// The "Browser Unavailable" boxes for a status of the opener; success
// shows nothing.
void reportBrowserProblem(Meter &m, const QString &url, int r)
{
    if (r < 31) {
        m.message(kBrowserCaption,
                  QStringLiteral("Problem running your web browser. You should check that your browser is "
                                 "correctly installed. (Error %1)")
                      .arg(r),
                  MsgIcon::Exclamation);
    } else if (r == 31) {
        m.message(kBrowserCaption,
                  kTitle + QStringLiteral(" could not find a file association for ") + url +
                      QStringLiteral(" on your system. You should check that your browser is correctly "
                                     "installed and associated with this type of file."),
                  MsgIcon::Exclamation);
    }
}

void reportLicenceProblem(Meter &m, int r)
{
    if (r < 31) {
        m.message(kBrowserCaption, QStringLiteral("Problem accessing licence file. (Error %1)").arg(r),
                  MsgIcon::Exclamation);
    } else if (r == 31) {
        m.message(kBrowserCaption,
                  kTitle + QStringLiteral(" could not find a file association for licence.txt on your system. "
                                          "You should check that your browser is correctly installed and "
                                          "associated with this type of file."),
                  MsgIcon::Exclamation);
    }
}

} // namespace

void OpenUrl(Meter &m, const QString &url)
{
    openDocument(m, url, [&m, url](int r) { reportBrowserProblem(m, url, r); });
}

QString helpDir(const Meter &m)
{
    return m.AppDir + QStringLiteral("help/");
}

void HelpMenu(Meter &m, Control entry)
{
    switch (entry) {
    case Control::mnuHelpHelp:
        // The outcome of the help viewer is not checked.
        if (IOpener *opener = m.platform().opener)
            opener->showHelp(helpDir(m), QString::fromLatin1(kHelpFirstTopic));
        break;
    case Control::mnuHome: OpenUrl(m, m.BaseUrl); break;
    case Control::mnuFaq: OpenUrl(m, m.BaseUrl + QStringLiteral("faq.htm")); break;
    case Control::mnuSupport: OpenUrl(m, m.BaseUrl + QStringLiteral("support.htm")); break;
    default: break;
    }
}

AboutInfo aboutInfo()
{
    AboutInfo a;
    a.caption = QStringLiteral("About ") + kTitle;
    a.title = kTitle;
    a.version = QStringLiteral("Version: ") + Meter::versionText();
    a.disclaimer = QStringLiteral("Disclaimer:\rUse at your own risk, see licence for warranty statement.");
    a.credit1 = QStringLiteral("Noise figure by the Y-factor method, with your sound card as the detector.");
    a.credit2 = QStringLiteral("Free software under the GNU General Public License, version 3 or later. "
                               "Built with Qt.");
    a.licenceButton = QStringLiteral("Show Licence");
    a.okButton = QStringLiteral("OK");
    return a;
}

void showLicence(Meter &m)
{
    openDocument(m, m.AppDir + QStringLiteral("licence.txt"), [&m](int r) { reportLicenceProblem(m, r); });
}
