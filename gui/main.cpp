// TQX: start-up. Parses the command line, then opens the main window with
// the real platform services.

#include "app/CommandLine.h"
#include "sheet/Meter.h"
#include "gui/ExitWhenShown.h"
#include "gui/MainWindow.h"
#include "gui/Startup.h"
#include "gui/WindowsHost.h"
#include "platform/qt/AudioQt.h"
#include "platform/qt/DialogsQt.h"
#include "platform/qt/HttpQt.h"
#include "platform/qt/MessagesQt.h"
#include "platform/qt/OpenerQt.h"
#include "platform/qt/RigModule.h"
#include "platform/qt/SerialQt.h"
#include "platform/qt/SettingsQt.h"

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
    QApplication::setApplicationVersion(Meter::versionText());
    setApplicationIcon();

    MessagesQt messages;
    if (const int rc = showStartupBox(d, messages); rc >= 0)
        return rc;

    SettingsQt settings;
    HttpQt http; // outlives the meter, whose update check may hold a request
    // Outlives the meter and its windows, which close it when they go.
    // Opened only while a sweep or a receiver test runs; Hamlib is loaded
    // on the first receiver call.
    RigModule rig;
    // The audio engine is created first and destroyed last but one: it must
    // be gone before QApplication, while the event loop objects still exist.
    auto audio = std::make_unique<AudioQt>();
    Platform platform;
    platform.messages = &messages;
    platform.settings = &settings;
    platform.rig = &rig;
    Meter meter(platform);
    if (!d.tsvFileName.isEmpty())
        meter.TsvFileName = d.tsvFileName;

    MainWindow window(meter);
    messages.setParent(&window);
    WindowsHost windows(meter, &window);
    platform.windows = &windows;
    FileDialogsQt fileDialogs(&window);
    ClipboardQt clipboard;
    PrintingQt printing(&window);
    OpenerQt opener;
    SerialQt serial;
    platform.fileDialogs = &fileDialogs;
    platform.clipboard = &clipboard;
    platform.printing = &printing;
    platform.opener = &opener;
    platform.http = &http;
    platform.serial = &serial;
    platform.audio = audio.get();
    meter.setPlatform(platform);

    ExitWhenShown::install(&window); // start-up timing only: see the header
    window.loadAndShow();
    const int rc = app.exec();
    platform.audio = nullptr;
    meter.setPlatform(platform);
    audio.reset();
    return rc;
}
