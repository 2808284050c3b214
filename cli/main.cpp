// tqx-cli: TQX without a window. A spot measurement or a sweep from a
// script, with the results as CSV and JSON, or the SCPI server for a bench
// computer with no display. Reads the window program's settings; options
// override them for this run and are never stored.

#include "cli/CliOptions.h"
#include "cli/Outputs.h"
#include "instrument/Commands.h"
#include "instrument/DeviceMode.h"
#include "instrument/Instrument.h"
#include "instrument/SweepCommands.h"
#include "qtplatform/AudioQt.h"
#include "qtplatform/HttpQt.h"
#include "qtplatform/RigModule.h"
#include "qtplatform/SerialQt.h"
#include "qtplatform/SettingsQt.h"
#include "remote/Runner.h"
#include "remote/ScpiServer.h"
#include "report/SweepCsv.h"
#include "sheet/NumText.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

enum Exit { Done = 0, Refused = 1, Failed = 2, Interrupted = 130 };

// The stored settings, read through; what this run changes stays in memory.
class OverlaySettings : public ISettingsStore
{
public:
    explicit OverlaySettings(ISettingsStore &base) : m_base(base) {}
    QString get(const QString &section, const QString &key, const QString &def) override
    {
        const auto it = m_values.constFind(section + QLatin1Char('/') + key);
        if (it != m_values.cend())
            return *it;
        return m_deleted.contains(section) ? def : m_base.get(section, key, def);
    }
    void save(const QString &section, const QString &key, const QString &value) override
    {
        m_values.insert(section + QLatin1Char('/') + key, value);
    }
    void deleteSection(const QString &section) override
    {
        m_deleted.insert(section);
        for (auto it = m_values.begin(); it != m_values.end();)
            it = it.key().startsWith(section + QLatin1Char('/')) ? m_values.erase(it) : std::next(it);
    }
    void flush() override {}
    QString loadProblem() const override { return m_base.loadProblem(); }

private:
    ISettingsStore &m_base;
    QHash<QString, QString> m_values;
    QSet<QString> m_deleted;
};

struct CliServices {
    SettingsQt stored;
    OverlaySettings settings{stored};
    HttpQt http;
    RigModule rig;
    AudioQt audio;
    SerialQt serial;
};

// Ctrl+C (and SIGTERM) reach the event loop through a pipe: the handler
// only writes one byte.
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Applies the overrides; the reason when one is refused.
QString applyOverrides(Instrument &m, const CliOptions &o)
{
    if (o.bench && !m.setRoute(DeviceRoute::Bench))
        return QStringLiteral("The virtual bench cannot be chosen now.");
    if (m.route() == DeviceRoute::Bench)
        m.session().ComEnabled = 1; // the bench's own lines switch its source
    if (o.rigModel) {
        RigConfig rig = currentRigConfig(m);
        rig.model = *o.rigModel;
        rig.port = o.rigPort;
        storeRigConfig(m, rig);
    }
    auto set = [&m](Field f, double v) {
        return m.setFieldText(f, NumToText(v)) && m.validate(f)
                   ? QString()
                   : QStringLiteral("%1 %2 was refused.").arg(QLatin1String(fieldName(f)), NumToText(v));
    };
    if (!o.enrTable.isEmpty()) {
        m.session().EnrFileName = o.enrTable;
        if (loadEnrTable(m) != 0)
            return QStringLiteral("The ENR table %1 was refused.").arg(o.enrTable);
    } else if (o.enrDb) {
        if (m.sheet().enabled(Control::mnuEnrUnl))
            m.click(Control::mnuEnrUnl);
        if (QString e = set(Field::ENR, *o.enrDb); !e.isEmpty())
            return e;
    }
    if (!o.calEnrTable.isEmpty()) {
        m.session().CalEnrFileName = o.calEnrTable;
        if (loadCalibrationEnrTable(m) != 0)
            return QStringLiteral("The calibration ENR table %1 was refused.").arg(o.calEnrTable);
    }
    if (o.deviceMode || o.loMhz || o.sideband || o.imageRejectionDb) {
        DeviceSetup d = m.sheet().device;
        d.mode = o.deviceMode.value_or(d.mode);
        d.loMhz = o.loMhz.value_or(d.loMhz);
        d.sideband = o.sideband.value_or(d.sideband);
        d.imageRejectionDb = o.imageRejectionDb.value_or(d.imageRejectionDb);
        if (!setDeviceSetup(m, d))
            return QStringLiteral("The device (--device, --lo, --sideband, --image-rejection) was refused.");
    }
    if (o.intervalS)
        if (QString e = set(Field::Interval, *o.intervalS); !e.isEmpty())
            return e;
    if (o.frequencyMhz)
        if (QString e = set(Field::Frequency, *o.frequencyMhz); !e.isEmpty())
            return e;
    // A spot measurement of a converter needs an IF for its RF (a sweep's
    // plan checks every frequency itself).
    const DeviceSetup &d = m.sheet().device;
    if (o.command == CliOptions::Command::Measure && d.converter()) {
        const double rf = ParseNumber(m.sheet().text(Field::Frequency));
        const physics::FrequencyPlan plan = physics::frequencyPlan(d.mode, d.loMhz, d.sideband, rf);
        if (!plan.ok())
            return QStringLiteral("%1 MHz cannot be measured with the LO at %2 MHz. %3.")
                .arg(NumToText(rf), NumToText(d.loMhz), converterErrorText(plan.error));
    }
    return QString();
}

QString writeOutputs(Instrument &m, const CliOptions &o, const Runner &runner)
{
    const bool sweep = o.command == CliOptions::Command::Sweep;
    const SpotResult spot = sweep ? SpotResult() : spotFromSheet(m);
    const QVector<SweepPoint> points =
        sweep ? runner.points(SweepKind::Measurement) : QVector<SweepPoint>{spot.point};
    if (!o.csvFile.isEmpty())
        if (QString e = writeWhole(o.csvFile, sweep ? sweepCsv(SweepKind::Measurement, points,
                                                               runner.plan(SweepKind::Measurement).device)
                                                    : spotCsv(spot));
            !e.isEmpty())
            return e;
    if (!o.jsonFile.isEmpty())
        return writeWhole(o.jsonFile,
                          resultsJson(m, sweep ? QStringLiteral("sweep") : QStringLiteral("measure"), points,
                                      sweep ? &runner.plan(SweepKind::Measurement) : nullptr,
                                      sweep ? nullptr : &spot));
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const CliParse parsed = parseCliArguments(args);
    if (!parsed.error.isEmpty()) {
        say(QStringLiteral("tqx-cli: ") + parsed.error);
        return Refused;
    }
    const CliOptions &o = parsed.options;
    if (o.command == CliOptions::Command::Help) {
        std::fputs(cliHelpText().toLocal8Bit().constData(), stdout);
        return Done;
    }
    if (o.command == CliOptions::Command::Version) {
        std::printf("tqx-cli %s\n", Instrument::versionText().toLatin1().constData());
        return Done;
    }

    QCoreApplication app(argc, argv);
    // Numbers are formatted with QLocale; printf-style parsing (Hamlib's
    // among them) needs '.', whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("TQX"));
    QCoreApplication::setOrganizationName(QStringLiteral("TQX"));
    QCoreApplication::setApplicationVersion(Instrument::versionText());
    if (::pipe(g_signalPipe) != 0)
        return Failed;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    int rc = Done;
    {
        auto owned = std::make_shared<CliServices>();
        Services services;
        services.settings = &owned->settings;
        services.http = &owned->http;
        services.rig = &owned->rig;
        services.audio = &owned->audio;
        services.serial = &owned->serial;
        services.keepAlive = owned;
        owned.reset();
        Instrument m(services);
        QTemporaryDir temp; // the readings' wave files, private to this run
        ScpiOptions scpiOptions;
        scpiOptions.enrFolder = o.enrFolder;
        // Created before the message printer: a remote run's messages go to its client.
        std::unique_ptr<ScpiServer> server;
        std::unique_ptr<Runner> runner;
        if (o.command == CliOptions::Command::Serve)
            server = std::make_unique<ScpiServer>(m, scpiOptions);
        else
            runner = std::make_unique<Runner>(m);
        QObject::connect(&m, &Instrument::messageRequested, &m, [](MessageRequest *r) {
            if (r->answered)
                return;
            say(r->caption + QStringLiteral(": ") + r->text);
            r->answered = true; // the default answer
        });
        m.Form_Load();
        m.session().TempWave = temp.filePath(QStringLiteral("reading"));
        m.startUp();
        if (const QString e = applyOverrides(m, o); !e.isEmpty()) {
            say(QStringLiteral("tqx-cli: ") + e);
            return Refused;
        }

        bool interrupted = false;
        QSocketNotifier onCtrlC(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&onCtrlC, &QSocketNotifier::activated, &app, [&] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
            if (interrupted)
                return;
            interrupted = true;
            say(QStringLiteral("Stopping..."));
            Runner *r = server ? &server->runner() : runner.get();
            if (r->running())
                r->cancel(); // its finished() ends the program
            else
                QCoreApplication::exit(Interrupted);
        });

        if (server) {
            const QString e = server->listen(quint16(o.port), o.allInterfaces);
            if (!e.isEmpty()) {
                say(QStringLiteral("tqx-cli: ") + e);
                return Refused;
            }
            QObject::connect(server.get(), &ScpiServer::clientChanged, &app, [](const QString &a) {
                say(a.isEmpty() ? QStringLiteral("Remote client left.") : QStringLiteral("Remote: ") + a);
            });
            QObject::connect(&server->runner(), &Runner::finished, &app, [&](bool, const QString &) {
                if (interrupted)
                    QCoreApplication::exit(Interrupted);
            });
            say(QStringLiteral("TQX SCPI server listening on %1 port %2 (Ctrl+C ends it).")
                    .arg(o.allInterfaces ? QStringLiteral("all networks")
                                         : QStringLiteral("127.0.0.1 and ::1"))
                    .arg(server->port()));
            rc = app.exec();
            server->close();
        } else {
            if (m.session().HotColdLoads) {
                say(QStringLiteral("tqx-cli: hot and cold loads are changed by hand; measure them in the "
                                   "window program (or uncheck Options, Hot and cold loads there)."));
                return Refused;
            }
            if (m.session().ComEnabled == 0) {
                say(QStringLiteral(
                    "tqx-cli: the noise source must be switched by the serial port (enable it in "
                    "the window's serial settings) or use --bench."));
                return Refused;
            }
            QObject::connect(runner.get(), &Runner::readingDone, &app, [&m](Control b) {
                static const QHash<int, Field> fields = {{int(Control::btnNoise00), Field::Noise00},
                                                         {int(Control::btnNoise11), Field::Noise11},
                                                         {int(Control::btnNoise12), Field::Noise12},
                                                         {int(Control::btnNoise21), Field::Noise21},
                                                         {int(Control::btnNoise22), Field::Noise22}};
                const Field f = fields.value(int(b));
                say(QStringLiteral("%1: %2 dB").arg(QLatin1String(fieldName(f)), m.sheet().text(f)));
            });
            QObject::connect(
                runner.get(), &Runner::pointDone, &app, [&o](SweepKind kind, int i, const SweepPoint &p) {
                    const QString what = kind == SweepKind::Calibration ? QStringLiteral("calibration")
                                                                        : QStringLiteral("measurement");
                    if (p.state == SweepPoint::State::Failed)
                        say(QStringLiteral("%1 %2/%3 at %4 MHz failed: %5")
                                .arg(what)
                                .arg(i + 1)
                                .arg(o.points)
                                .arg(p.mhz)
                                .arg(p.failure));
                    else if (kind == SweepKind::Measurement && p.device.ok)
                        say(QStringLiteral("%1 %2/%3 at %4 MHz: NF %5 dB, gain %6 dB")
                                .arg(what)
                                .arg(i + 1)
                                .arg(o.points)
                                .arg(p.mhz)
                                .arg(p.device.nfDb, 0, 'f', 2)
                                .arg(p.device.gainDb, 0, 'f', 2));
                    else if (p.state == SweepPoint::State::Measured)
                        say(QStringLiteral("%1 %2/%3 at %4 MHz done")
                                .arg(what)
                                .arg(i + 1)
                                .arg(o.points)
                                .arg(p.mhz));
                });
            SweepFrequencies f;
            f.source = SweepFrequencies::Source::List;
            if (o.command == CliOptions::Command::Sweep)
                f.list = evenlySpacedList(o.startMhz, o.stopMhz, o.points);
            const double settle = m.route() == DeviceRoute::Bench ? 0.0 : o.settleS;
            bool calibrating = o.command == CliOptions::Command::Sweep && o.calibrate;
            QObject::connect(runner.get(), &Runner::finished, &app, [&](bool ok, const QString &why) {
                if (interrupted)
                    return QCoreApplication::exit(Interrupted);
                if (!ok) {
                    say(QStringLiteral("tqx-cli: the measurement failed: ") + why);
                    return QCoreApplication::exit(Failed);
                }
                if (calibrating) {
                    calibrating = false;
                    QString e;
                    if (!runner->startSweep(SweepKind::Measurement, f, settle, &e)) {
                        say(QStringLiteral("tqx-cli: ") + e);
                        QCoreApplication::exit(Refused);
                    }
                    return;
                }
                if (const QString e = writeOutputs(m, o, *runner); !e.isEmpty()) {
                    say(QStringLiteral("tqx-cli: ") + e);
                    return QCoreApplication::exit(Failed);
                }
                if (o.command == CliOptions::Command::Measure) {
                    const SpotResult spot = spotFromSheet(m);
                    if (!spot.point.device.ok) {
                        say(QStringLiteral(
                            "tqx-cli: no noise figure: a reading was not above the zero or Y was not "
                            "above 1 (see the levels above)."));
                        return QCoreApplication::exit(Failed);
                    }
                    say(QStringLiteral("NF %1 dB, gain %2 dB, Te %3 K")
                            .arg(spot.point.device.nfDb, 0, 'f', 2)
                            .arg(spot.point.device.gainDb, 0, 'f', 2)
                            .arg(spot.point.device.te, 0, 'f', 1));
                }
                QCoreApplication::exit(Done);
            });
            QString e;
            bool started = false;
            if (o.command == CliOptions::Command::Measure) {
                QList<Control> readings = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21,
                                           Control::btnNoise22};
                // The zero needs the receiver's audio unplugged: the bench does
                // it by itself; at a real set-up only with --zero, asked for here.
                if (m.route() == DeviceRoute::Bench || o.zero)
                    readings.prepend(Control::btnNoise00);
                if (m.route() != DeviceRoute::Bench && o.zero) {
                    say(QStringLiteral(
                        "Unplug the receiver's audio from the sound card input and press Enter."));
                    char line[256];
                    if (!std::fgets(line, sizeof line, stdin))
                        return Refused;
                }
                started = runner->startReadings(readings, &e);
            } else
                started = runner->startSweep(calibrating ? SweepKind::Calibration : SweepKind::Measurement, f,
                                             settle, &e);
            if (!started) {
                say(QStringLiteral("tqx-cli: ") + e);
                return Refused;
            }
            rc = app.exec();
            m.cancel();
        }
    }
    return rc;
}
