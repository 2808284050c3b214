#include "instrument/CommandLine.h"

QStringList SplitCommandLine(int argc, const char *const *argv, int maxArgs)
{
    QStringList args{QString()};
    for (int i = 1; i < argc && args.size() <= maxArgs; ++i)
        args << QString::fromUtf8(argv[i]);
    args[0] = QString::number(args.size() - 1);
    return args;
}

namespace {
QString optionError(OptionParser &p, const QString &text)
{
    if (p.OptErr)
        p.errorText = QStringLiteral("Error: ") + text;
    return QStringLiteral("?");
}
} // namespace

QString NextOption(OptionParser &p, const QStringList &args, const QString &optionString)
{
    const int count = args.isEmpty() ? 0 : args[0].toInt();
    if (p.OptPos == 2) {
        if (p.OptInd > count || args[p.OptInd].isEmpty() || args[p.OptInd][0] != QLatin1Char('-'))
            return QStringLiteral("-1");
        if (args[p.OptInd] == QLatin1String("--")) {
            ++p.OptInd;
            return QStringLiteral("-1");
        }
    }
    const QString &arg = args[p.OptInd];
    const QString c = p.OptPos - 1 < arg.size() ? arg.mid(p.OptPos - 1, 1) : QString();
    // An empty c is "found" at position 1, as a substring search finds it.
    const int k = c.isEmpty() ? 1 : optionString.indexOf(c) + 1;
    const QString quoted = QLatin1Char('"') + c + QLatin1Char('"');
    if (c == QLatin1String(":") || k == 0)
        return optionError(p, quoted + QStringLiteral(" is not a valid option."));
    if (k < optionString.size() && optionString[k] == QLatin1Char(':')) {
        p.OptArg = arg.mid(p.OptPos);
        ++p.OptInd;
        p.OptPos = 2;
        if (k + 1 < optionString.size() && optionString[k + 1] == QLatin1Char(':'))
            return c; // optional value, attached only
        if (!p.OptArg.isEmpty())
            return c;
        if (p.OptInd > count)
            return optionError(p, quoted + QStringLiteral(" option requires an argument."));
        p.OptArg = args[p.OptInd];
        ++p.OptInd;
        return c;
    }
    p.OptArg.clear();
    ++p.OptPos;
    if (p.OptPos - 1 >= arg.size()) {
        p.OptPos = 2;
        ++p.OptInd;
    }
    return c;
}

StartupDecision decideStartup(const QStringList &cmdArgs)
{
    StartupDecision d;
    OptionParser p;
    for (;;) {
        const QString o = NextOption(p, cmdArgs, QStringLiteral("dht:"));
        if (o == QLatin1String("-1"))
            break;
        if (o == QLatin1String("h")) {
            d.kind = StartupDecision::ShowUsage;
            return d;
        }
        if (o == QLatin1String("?")) {
            d.kind = StartupDecision::Error;
            d.errorText = p.errorText;
            return d;
        }
        if (o == QLatin1String("t"))
            d.tsvFileName = p.OptArg;
    }
    return d;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: TQX [-d] [-h] [-l] [-t]\r   d   debug\r   h   help\r   t   TSV file name\r");
}
