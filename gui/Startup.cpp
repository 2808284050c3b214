#include "gui/Startup.h"

#include "platform/Messages.h"

#include <cstdio>

int printStartupText(const StartupDecision &d)
{
    switch (d.kind) {
    case StartupDecision::ShowUsage:
        // The box's lines end in CR; a terminal wants LF.
        std::fputs(qPrintable(usageText().replace(QLatin1Char('\r'), QLatin1Char('\n'))), stdout);
        std::fflush(stdout);
        return 0;
    case StartupDecision::Error:
        std::fprintf(stderr, "%s\n", qPrintable(d.errorText));
        return 1;
    case StartupDecision::Run:
        break;
    }
    return -1;
}

bool displayAvailable()
{
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
}

int showStartupBox(const StartupDecision &d, IMessages &messages)
{
    const int rc = printStartupText(d);
    if (d.kind == StartupDecision::ShowUsage)
        messages.show(QStringLiteral("TQX - Help"), usageText(), MsgIcon::None);
    else if (d.kind == StartupDecision::Error)
        messages.show(QStringLiteral("TQX"), d.errorText, MsgIcon::Critical);
    return rc;
}
