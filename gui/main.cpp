// TQX: start-up. Parses the command line, then opens the main window on an
// instrument with the real platform services.

#include "instrument/CommandLine.h"
#include "instrument/Instrument.h"
#include "gui/ExitWhenShown.h"
#include "gui/MainWindow.h"
#include "gui/RemoteStatus.h"
#include "gui/Startup.h"
#include "gui/WindowsHost.h"
#include "qtplatform/AudioQt.h"
#include "qtplatform/DialogsQt.h"
#include "qtplatform/HttpQt.h"
#include "qtplatform/MessagesQt.h"
#include "qtplatform/OpenerQt.h"
#include "qtplatform/RigModule.h"
#include "qtplatform/SerialQt.h"
#include "qtplatform/SettingsQt.h"
#include "remote/RemoteControl.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <clocale>
#include <memory>

namespace {
// The application icon, compiled in as ":/icons/<size>/<id>.png" at every
// hicolor size it is rendered in; the desktop file name ties the windows to
// the launcher entry of the same id.
void setApplicationIcon()
{
    // Read as PNG outright: left to guess, the image reader would load every
    // image-format plugin to probe the files, a noticeable part of start-up.
    QIcon icon;
    for (const QString &size : QDir(QStringLiteral(":/icons")).entryList(QDir::Dirs)) {
        QImageReader reader(QStringLiteral(":/icons/%1/" TQX_APP_ID ".png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral(TQX_APP_ID));
}

// The Qt implementations of the platform services, owned together. The
// instrument shares their ownership, so they outlive it; all of them are
// gone before QApplication (the audio engine needs its event objects).
struct QtServices {
    SettingsQt settings;
    HttpQt http;
    RigModule rig; // Hamlib, loaded on the first receiver call; open only during a sweep or test
    AudioQt audio;
    SerialQt serial;
    FileDialogsQt fileDialogs;
    ClipboardQt clipboard;
    PrintingQt printing;
    OpenerQt opener;

    Services view(const std::shared_ptr<QtServices> &self)
    {
        Services s;
        s.settings = &settings;
        s.http = &http;
        s.rig = &rig;
        s.audio = &audio;
        s.serial = &serial;
        s.fileDialogs = &fileDialogs;
        s.clipboard = &clipboard;
        s.printing = &printing;
        s.opener = &opener;
        s.keepAlive = self;
        return s;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    // TQX's own parser reads every argument as the shell passed it; Qt is
    // given the program name only, so it cannot take -reverse, -session x,
    // -style and the like for itself. Only the first five are looked at.
    const StartupDecision d = decideStartup(SplitCommandLine(argc, argv, 5));
    if (d.kind != StartupDecision::Run && !displayAvailable())
        return printStartupText(d); // no box can be shown: the terminal gets it all
    int qtArgc = argc > 0 ? 1 : 0; // must outlive the application object
    QApplication app(qtArgc, argv);
    // QApplication has set the C library's locale from the environment. TQX
    // formats and parses its numbers with QLocale; the exact-decimal rounding
    // in NumText and Hamlib's number parsing need printf's '.' whatever the
    // user's locale, as Qt advises for POSIX number functions.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("TQX"));
    QApplication::setOrganizationName(QStringLiteral("TQX"));
    QApplication::setApplicationVersion(Instrument::versionText());
    setApplicationIcon();

    MessagesQt messages;
    if (const int rc = showStartupBox(d, messages); rc >= 0)
        return rc;

    int rc = 0;
    {
        auto owned = std::make_shared<QtServices>();
        QtServices &services = *owned;
        Instrument instrument(owned->view(owned));
        owned.reset(); // the instrument holds them now
        if (!d.tsvFileName.isEmpty())
            instrument.session().TsvFileName = d.tsvFileName;

        // Before the window's message host: a remote run's messages go to its client.
        RemoteControl remote(instrument);
        MainWindow window(instrument);
        messages.setParent(&window);
        services.fileDialogs.setParentWindow(&window);
        services.printing.setWindow(&window);
        WindowsHost windows(instrument, &window, messages);
        ExitWhenShown::install(&window); // start-up timing only: see the header
        window.loadAndShow();
        attachRemoteControl(window, remote);
        if (const QString e = remote.restore(); !e.isEmpty())
            instrument.message(QStringLiteral("Remote control"), e, MsgIcon::Exclamation);
        rc = app.exec();
    }
    return rc;
}
