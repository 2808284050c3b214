#pragma once
// The batch program's result files: CSV ('.' as the decimal mark, one row
// per point) and JSON (the settings used, every point, the ENR table's name
// and a SHA-256 of its bytes, TQX's version and the time). Written whole
// through QSaveFile, so that an interrupted run leaves no partial file.

#include "acquire/Sweep.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class Instrument;

// One spot measurement from the sheet, as a one-point list: the levels go
// to loDb/hiDb (device path) and the calibration levels to `calLevels`. A
// converter's point has its RF in `mhz`, the IF in ifMhz and tunedMhz.
struct SpotResult {
    SweepPoint point;
    DeviceSetup device; // the sheet's
    physics::LevelPair calLevels;
    double zeroDb = 0;
    bool hasZero = false;
};
SpotResult spotFromSheet(Instrument &m);

// The spot's CSV: one header row and one row; a converter's has the sweep
// CSV's five converter columns (report/SweepCsv.h) at its end.
QByteArray spotCsv(const SpotResult &r);
// The JSON document; `points` are a sweep's (kind Measurement) or the spot's.
QByteArray resultsJson(Instrument &m, const QString &command, const QVector<SweepPoint> &points,
                       const SweepPlan *plan, const SpotResult *spot);
// Writes `bytes` to `path` atomically; the reason when it cannot.
QString writeWhole(const QString &path, const QByteArray &bytes);
