#pragma once
// A sweep as a CSV file, and a saved sweep read back as a reference trace.
//
// The file: one header row, then one row per point, comma separated, '.' as
// the decimal mark whatever the user's locale, LF line ends, UTF-8:
//
//   Sweep,Frequency (MHz),Tuned (MHz),ENR (dB),Y (dB),Te (K),NF (dB),Gain (dB),
//   Receiver Te (K),Receiver NF (dB),Receiver slope (dB),Status
//
// Sweep is "calibration" (receiver alone: Y, Te and NF are the receiver's,
// Gain is empty) or "measurement" (Y of device plus receiver; Te, NF and Gain
// of the device alone). The receiver columns hold the calibration at that
// frequency: its noise temperature, noise figure and its power step per
// kelvin at its input (dB of full-scale mean square per K). Status is "ok",
// or "failed: " and the reason, quoted; a failed point has no numbers.
//
// A converter's sweep (SweepPlan::device) has five more columns after
// Status, so that every earlier column keeps its place:
//
//   IF (MHz),LO (MHz),Device mode,Sideband,Image rejection (dB)
//
// Frequency is then the RF at the device's input (what the plot's axis and
// a reference trace use), IF where the receiver was to be tuned for it, and
// Tuned the IF the receiver reported. LO, Device mode ("Down-converter",
// "Up-converter"), Sideband ("LSB", "USB", "DSB") and the image rejection
// the results used (dB; DSB 0.0) are the same in every row. An amplifier's
// sweep has none of them, as files of earlier versions.
// Pure text in and out; Qt Core only, any thread.

#include "acquire/Sweep.h"
#include "sheet/DeviceSetup.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Largest sweep file read back (bytes); a full 10000-point sweep is ~1.5 MB.
inline constexpr qint64 kSweepCsvMaxBytes = 4 * 1024 * 1024;

QByteArray sweepCsv(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device = {});

// A reference trace: the measured points of a saved sweep.
struct SweepTrace {
    SweepKind kind = SweepKind::Measurement;
    QVector<double> mhz, nfDb, gainDb; // gainDb empty for a calibration
    QString error;                     // why the file was refused
};
// Parses the bytes of a saved sweep (at most kSweepCsvMaxBytes), with or
// without a converter's columns: the trace lies on the Frequency column (a
// converter's RF). Refuses a file without the header's Frequency and NF
// columns, a number that does not parse, and a file without any measured
// point.
SweepTrace parseSweepCsv(const QByteArray &bytes);
// Reads and parses `path`, refusing a larger file before reading it.
SweepTrace readSweepCsv(const QString &path);
