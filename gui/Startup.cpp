#include "gui/Startup.h"

#include "platform/Messages.h"

#include <cstdio>

int showStartupBox(const StartupDecision &d, IMessages &messages)
{
    switch (d.kind) {
    case StartupDecision::ShowUsage:
        // The box's lines end in CR; a terminal wants LF.
        std::fputs(qPrintable(usageText().replace(QLatin1Char('\r'), QLatin1Char('\n'))), stdout);
        std::fflush(stdout);
        messages.show(QStringLiteral("TQX - Help"), usageText(), MsgIcon::None);
        return 0;
    case StartupDecision::Error:
        std::fprintf(stderr, "%s\n", qPrintable(d.errorText));
        messages.show(QStringLiteral("TQX"), d.errorText, MsgIcon::Critical);
        return 1;
    case StartupDecision::Run:
        break;
    }
    return -1;
}
