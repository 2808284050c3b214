#include "cli/CliOptions.h"

#include <QRegularExpression>

#include <cmath>

namespace {

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

std::optional<double> parseFrequencyHz(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*([+]?[0-9]*\\.?[0-9]+(?:[eE][+-]?[0-9]+)?)\\s*([kKmMgG]?)(?:[hH][zZ])?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const std::optional<double> v = number(m.captured(1));
    if (!v)
        return std::nullopt;
    const QChar prefix = m.captured(2).isEmpty() ? QChar() : m.captured(2).at(0).toLower();
    const double factor = prefix == QLatin1Char('k')   ? 1e3
                          : prefix == QLatin1Char('m') ? 1e6
                          : prefix == QLatin1Char('g') ? 1e9
                                                       : 1;
    return *v * factor;
}

namespace {
// The value named by `text` (any case) among `words`; nothing for another text.
template <class T>
std::optional<T> word(const std::optional<QString> &text, std::initializer_list<std::pair<const char *, T>> words)
{
    for (const auto &[w, value] : words)
        if (text && text->compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}
} // namespace

QString cliHelpText()
{
    return QStringLiteral("Usage: tqx-cli COMMAND [OPTIONS]\n"
                          "\n"
                          "Measures noise figure with TQX from a script, or serves TQX's SCPI remote\n"
                          "control without a window. Reads the window program's settings; the options\n"
                          "override them for this run only.\n"
                          "\n"
                          "Commands:\n"
                          "  measure                 a spot measurement: zero, source off and on with the\n"
                          "                          receiver alone, then with the device (serial switching\n"
                          "                          or the virtual bench)\n"
                          "  sweep                   a measurement sweep through the receiver\n"
                          "  serve                   the SCPI server, until Ctrl+C\n"
                          "\n"
                          "Options (every command):\n"
                          "  --enr DB                the noise source's ENR\n"
                          "  --enr-table FILE        an ENR table instead\n"
                          "  --cal-enr-table FILE    the source's ENR table for the calibration (at the IF)\n"
                          "  --device KIND           amplifier, down-converter or up-converter\n"
                          "  --lo F                  a converter's LO (9750M, 10.6G)\n"
                          "  --sideband SB           lsb, usb or dsb\n"
                          "  --image-rejection DB    a converter's image rejection (0 to 999)\n"
                          "  --interval S            seconds per reading\n"
                          "  --frequency F           the spot frequency (100M, 1.2G, 435e6)\n"
                          "  --bench                 read from the virtual bench\n"
                          "  --rig MODEL:PORT        the receiver (Hamlib model number and port)\n"
                          "  --csv FILE              write the results as CSV ('.' decimal mark)\n"
                          "  --json FILE             write the results, settings and ENR table as JSON\n"
                          "measure:\n"
                          "  --zero                  take the sound card's zero first (asks you to unplug\n"
                          "                          the receiver's audio; the bench does it by itself)\n"
                          "sweep:\n"
                          "  --start F --stop F --points N   the frequencies (N from 2 to 10000)\n"
                          "  --calibrate             calibrate (receiver alone) first\n"
                          "  --settle S              wait after each tuning (default 0.5)\n"
                          "serve:\n"
                          "  --port N                TCP port (default 5025)\n"
                          "  --all-interfaces        listen on every network, not only this computer\n"
                          "  --enr-folder DIR        the folder remote clients may load ENR tables from\n"
                          "\n"
                          "Exit status: 0 done, 1 refused input, 2 the measurement failed, 130 stopped\n"
                          "by Ctrl+C (nothing written).\n");
}

CliParse parseCliArguments(const QStringList &args)
{
    CliParse r;
    CliOptions &o = r.options;
    auto fail = [&r](const QString &why) {
        r.error = why;
        return r;
    };
    if (args.isEmpty())
        return fail(QStringLiteral("No command given: measure, sweep or serve (see tqx-cli --help)."));
    int i = 0;
    const QString command = args[i++];
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        o.command = CliOptions::Command::Help;
        return r;
    }
    if (command == QLatin1String("--version")) {
        o.command = CliOptions::Command::Version;
        return r;
    }
    if (command == QLatin1String("measure"))
        o.command = CliOptions::Command::Measure;
    else if (command == QLatin1String("sweep"))
        o.command = CliOptions::Command::Sweep;
    else if (command == QLatin1String("serve"))
        o.command = CliOptions::Command::Serve;
    else
        return fail(QStringLiteral("Unknown command \"%1\": measure, sweep or serve.").arg(command));

    bool haveStart = false, haveStop = false;
    while (i < args.size()) {
        QString name = args[i++];
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('='));
            name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            inlineValue = true;
        }
        auto flag = [&](bool &target) {
            if (inlineValue)
                return false;
            target = true;
            return true;
        };
        auto take = [&]() -> std::optional<QString> {
            if (inlineValue)
                return value;
            if (i >= args.size())
                return std::nullopt;
            return args[i++];
        };
        auto positive = [&](std::optional<double> &target, double hi) {
            const std::optional<QString> t = take();
            const std::optional<double> v = t ? number(*t) : std::nullopt;
            if (!v || !(*v > 0 && *v <= hi))
                return false;
            target = *v;
            return true;
        };
        bool ok = true;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.command = CliOptions::Command::Help;
            return r;
        } else if (name == QLatin1String("--enr")) {
            const std::optional<QString> t = take();
            const std::optional<double> v = t ? number(*t) : std::nullopt;
            ok = v && *v > 0 && *v < 200;
            o.enrDb = v;
        } else if (name == QLatin1String("--interval")) {
            ok = positive(o.intervalS, 3600);
        } else if (name == QLatin1String("--frequency")) {
            const std::optional<QString> t = take();
            const std::optional<double> hz = t ? parseFrequencyHz(*t) : std::nullopt;
            ok = hz && *hz >= 1e5 && *hz <= 1e11;
            if (ok)
                o.frequencyMhz = *hz / 1e6;
        } else if (name == QLatin1String("--enr-table")) {
            const std::optional<QString> t = take();
            ok = t && !t->isEmpty();
            o.enrTable = t.value_or(QString());
        } else if (name == QLatin1String("--cal-enr-table")) {
            const std::optional<QString> t = take();
            ok = t && !t->isEmpty();
            o.calEnrTable = t.value_or(QString());
        } else if (name == QLatin1String("--device")) {
            using physics::DeviceMode;
            o.deviceMode = word<DeviceMode>(take(), {{"amplifier", DeviceMode::Amplifier},
                                         {"down-converter", DeviceMode::DownConverter},
                                         {"up-converter", DeviceMode::UpConverter}});
            ok = o.deviceMode.has_value();
        } else if (name == QLatin1String("--lo")) {
            const std::optional<QString> t = take();
            const std::optional<double> hz = t ? parseFrequencyHz(*t) : std::nullopt;
            ok = hz && *hz > 0 && *hz <= 1e11;
            o.loMhz = hz.value_or(0) / 1e6;
        } else if (name == QLatin1String("--sideband")) {
            using physics::Sideband;
            o.sideband = word<Sideband>(take(), {{"lsb", Sideband::Lsb}, {"usb", Sideband::Usb}, {"dsb", Sideband::Dsb}});
            ok = o.sideband.has_value();
        } else if (name == QLatin1String("--image-rejection")) {
            const std::optional<QString> t = take();
            const std::optional<double> v = t ? number(*t) : std::nullopt;
            ok = v && *v >= 0 && *v <= 999;
            o.imageRejectionDb = v;
        } else if (name == QLatin1String("--bench")) {
            ok = flag(o.bench);
        } else if (name == QLatin1String("--rig")) {
            const std::optional<QString> t = take();
            const qsizetype colon = t ? t->indexOf(QLatin1Char(':')) : -1;
            const QString model = colon < 0 ? t.value_or(QString()) : t->left(colon);
            bool isInt = false;
            const int m = model.toInt(&isInt);
            ok = isInt && m >= 0;
            o.rigModel = m;
            o.rigPort = colon < 0 ? QString() : t->mid(colon + 1);
        } else if (name == QLatin1String("--csv") || name == QLatin1String("--json")) {
            const std::optional<QString> t = take();
            ok = t && !t->isEmpty();
            (name == QLatin1String("--csv") ? o.csvFile : o.jsonFile) = t.value_or(QString());
        } else if (o.command == CliOptions::Command::Sweep &&
                   (name == QLatin1String("--start") || name == QLatin1String("--stop"))) {
            const std::optional<QString> t = take();
            const std::optional<double> hz = t ? parseFrequencyHz(*t) : std::nullopt;
            ok = hz && *hz >= 1e5 && *hz <= 1e11;
            (name == QLatin1String("--start") ? o.startMhz : o.stopMhz) = hz.value_or(0) / 1e6;
            (name == QLatin1String("--start") ? haveStart : haveStop) = true;
        } else if (o.command == CliOptions::Command::Sweep && name == QLatin1String("--points")) {
            const std::optional<QString> t = take();
            bool isInt = false;
            o.points = t ? t->toInt(&isInt) : 0;
            ok = isInt && o.points >= 2 && o.points <= 10000;
        } else if (o.command == CliOptions::Command::Measure && name == QLatin1String("--zero")) {
            ok = flag(o.zero);
        } else if (o.command == CliOptions::Command::Sweep && name == QLatin1String("--calibrate")) {
            ok = flag(o.calibrate);
        } else if (o.command == CliOptions::Command::Sweep && name == QLatin1String("--settle")) {
            const std::optional<QString> t = take();
            const std::optional<double> v = t ? number(*t) : std::nullopt;
            ok = v && *v >= 0 && *v <= 60;
            o.settleS = v.value_or(0);
        } else if (o.command == CliOptions::Command::Serve && name == QLatin1String("--port")) {
            const std::optional<QString> t = take();
            bool isInt = false;
            o.port = t ? t->toInt(&isInt) : 0;
            ok = isInt && o.port >= 1 && o.port <= 65535;
        } else if (o.command == CliOptions::Command::Serve && name == QLatin1String("--all-interfaces")) {
            ok = flag(o.allInterfaces);
        } else if (o.command == CliOptions::Command::Serve && name == QLatin1String("--enr-folder")) {
            const std::optional<QString> t = take();
            ok = t && !t->isEmpty();
            o.enrFolder = t.value_or(QString());
        } else {
            return fail(
                QStringLiteral("Unknown option \"%1\" for %2 (see tqx-cli --help).").arg(name, command));
        }
        if (!ok)
            return fail(QStringLiteral("Option %1 needs a valid value (see tqx-cli --help).").arg(name));
    }
    if (o.command == CliOptions::Command::Sweep) {
        if (!haveStart || !haveStop || o.points == 0)
            return fail(QStringLiteral("sweep needs --start, --stop and --points."));
        if (!(o.stopMhz > o.startMhz))
            return fail(QStringLiteral("--stop must be above --start."));
    }
    return r;
}
