#pragma once
// The batch program's command line: a subcommand (measure, sweep, serve)
// and its options, parsed into values and checked before anything opens a
// device. Pure; Qt Core only.

#include "physics/Converter.h"

#include <QString>
#include <QStringList>

#include <optional>

struct CliOptions {
    enum class Command { Help, Version, Measure, Sweep, Serve };
    Command command = Command::Help;
    // Overrides of the stored settings (every subcommand).
    std::optional<double> enrDb, intervalS, frequencyMhz;
    QString enrTable;   // --enr-table FILE
    QString calEnrTable; // --cal-enr-table FILE: the calibration path's own table
    // The device measured (--device, --lo, --sideband, --image-rejection);
    // each unset one keeps the stored setting.
    std::optional<physics::DeviceMode> deviceMode;
    std::optional<double> loMhz, imageRejectionDb;
    std::optional<physics::Sideband> sideband;
    bool bench = false; // --bench: the virtual bench as the route
    std::optional<int> rigModel;
    QString rigPort; // --rig MODEL:PORT
    // Outputs.
    QString csvFile, jsonFile;
    bool zero = false; // measure: take the sound card's zero first (asks to unplug the receiver)
    // sweep
    double startMhz = 0, stopMhz = 0;
    int points = 0;
    bool calibrate = false;
    double settleS = 0.5;
    // serve
    int port = 5025;
    bool allInterfaces = false;
    QString enrFolder; // --enr-folder DIR: where remote clients may load tables from
};

struct CliParse {
    CliOptions options;
    QString error; // empty when the command line is usable
};

// `args` without the program name.
CliParse parseCliArguments(const QStringList &args);
// The text of tqx-cli --help.
QString cliHelpText();
// "100M", "1.2G", "250k", "100e6", "100000000": Hz; nullopt for anything else.
std::optional<double> parseFrequencyHz(const QString &text);
