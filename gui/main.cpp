// TQX: start-up. Parses the command line, then opens the main window with
// the real platform services.

#include "app/CommandLine.h"
#include "sheet/Meter.h"
#include "gui/MainWindow.h"
#include "gui/WindowsHost.h"
#include "platform/qt/AudioQt.h"
#include "platform/qt/DialogsQt.h"
#include "platform/qt/HttpQt.h"
#include "platform/qt/MessagesQt.h"
#include "platform/qt/OpenerQt.h"
#include "platform/qt/SerialQt.h"
#include "platform/qt/SettingsQt.h"

#include <QApplication>
#include <cstdio>
#include <memory>


int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQX"));
    QApplication::setOrganizationName(QStringLiteral("TQX"));
    QApplication::setApplicationVersion(Meter::versionText());

    // Only the first five arguments are looked at, as the usage promises.
    QStringList rawArgs = QCoreApplication::arguments().mid(1);
    const StartupDecision d = decideStartup(SplitCommandLine(JoinCommandLine(rawArgs), 5));
    MessagesQt messages;
    if (d.kind == StartupDecision::ShowUsage) {
        // A terminal user sees the usage on standard output as well.
        std::fputs(qPrintable(usageText().replace(QLatin1Char('\r'), QLatin1Char('\n'))), stdout);
        std::fflush(stdout);
        messages.show(QStringLiteral("TQX - Help"), usageText(), MsgIcon::None);
        return 0;
    }
    if (d.kind == StartupDecision::Error) {
        std::fprintf(stderr, "%s\n", qPrintable(d.errorText));
        messages.show(QStringLiteral("TQX"), d.errorText, MsgIcon::Critical);
        return 1;
    }

    SettingsQt settings;
    // The audio engine is created first and destroyed last but one: it must
    // be gone before QApplication, while the event loop objects still exist.
    auto audio = std::make_unique<AudioQt>();
    Platform platform;
    platform.messages = &messages;
    platform.settings = &settings;
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
    HttpQt http;
    SerialQt serial;
    platform.fileDialogs = &fileDialogs;
    platform.clipboard = &clipboard;
    platform.printing = &printing;
    platform.opener = &opener;
    platform.http = &http;
    platform.serial = &serial;
    platform.audio = audio.get();
    meter.setPlatform(platform);

    window.loadAndShow();
    const int rc = app.exec();
    platform.audio = nullptr;
    meter.setPlatform(platform);
    audio.reset();
    return rc;
}
