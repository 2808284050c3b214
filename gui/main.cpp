// TQX: start-up. Parses the command line, then opens the main window with
// the real platform services.

#include "app/CommandLine.h"
#include "app/Meter.h"
#include "gui/MainWindow.h"
#include "gui/WindowsHost.h"
#include "platform/qt/MessagesQt.h"
#include "platform/qt/SettingsQt.h"

#include <QApplication>
#include <cstdio>

#if __has_include("platform/qt/DialogsQt.h")
#include "platform/qt/DialogsQt.h"
#define TQX_HAVE_DIALOGS 1
#endif
#if __has_include("platform/qt/OpenerQt.h")
#include "platform/qt/OpenerQt.h"
#define TQX_HAVE_OPENER 1
#endif
#if __has_include("platform/qt/HttpQt.h")
#include "platform/qt/HttpQt.h"
#define TQX_HAVE_HTTP 1
#endif

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
#ifdef TQX_HAVE_DIALOGS
    FileDialogsQt fileDialogs(&window);
    ClipboardQt clipboard;
    PrintingQt printing(&window);
    platform.fileDialogs = &fileDialogs;
    platform.clipboard = &clipboard;
    platform.printing = &printing;
#endif
#ifdef TQX_HAVE_OPENER
    OpenerQt opener;
    platform.opener = &opener;
#endif
#ifdef TQX_HAVE_HTTP
    HttpQt http;
    platform.http = &http;
#endif
    meter.setPlatform(platform);

    window.loadAndShow();
    return app.exec();
}
