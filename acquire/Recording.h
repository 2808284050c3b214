#pragma once
// Recording a reading from the sound card and reducing it to a level.
#include <QString>
class Meter;
class Measurement;
int RecordWave(Meter &m, const QString &wavefile, double dur); // 0 ok, 1 failed
int MeasureLevel(Meter &m, const QString &wavefile, Measurement &meas);
