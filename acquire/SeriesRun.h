#pragma once
// One run of a measurement series (instrument/MeasurementSeries.h): the
// whole spot measurement repeated, its results as a value for the Stability
// view and its CSV file (report/SeriesCsv.h). Qt Core only.

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <optional>

// The results of one run, at the precision of the level fields (0.001 dB),
// not rounded to the sheet's display formats. A value the run did not give
// is absent.
struct SeriesRun {
    int index = 0;                  // from 0
    QDateTime time;                 // UTC, the middle of the run's readings
    std::optional<double> nf1Db;    // NF(1): the device under test (field NF)
    std::optional<double> nf2Db;    // NF(2): the instrument alone (field NF1)
    std::optional<double> gainDb;   // gain of the device under test
    std::optional<double> te1K;     // Teq(1)
    std::optional<double> te2K;     // Teq(2)
    std::optional<double> cold2Db;  // level "1 Noise LO": instrument alone, source off
    std::optional<double> cold12Db; // level "3 Noise LO": device and instrument, source off
    bool ok = false;                // both noise figures were computed
    QString failure;                // why not, when !ok
};
Q_DECLARE_METATYPE(SeriesRun)
