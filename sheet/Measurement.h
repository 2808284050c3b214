#pragma once
// One level reading of the sound card. Levels are relative to digital full
// scale: a full-scale square wave has Ms = 1.0, a full-scale sine 0.5.

#include <QString>
#include <cmath>

class Measurement
{
public:
    double Avg = 0;    // not used
    double Ms = 0;     // mean square of the DC-removed samples (full scale = 1.0)
    double Rms = 0;    // sqrt(Ms), set by Calc()
    double QP = 0;     // not used
    double pk = 0;     // not used
    double QpRms = 0;  // not used
    double PkRms = 0;  // not used
    double AvgRms = 0; // not used
    QString Title;
    double ClipFlag = 0; // 0, or -1 when a sample exceeded the clipping limit
    int err = 0;         // -1 while an analysis runs or after one failed

    void Calc() { Rms = std::sqrt(Ms); }
    void Reset()
    {
        Avg = Ms = Rms = QP = pk = QpRms = PkRms = AvgRms = 0;
        ClipFlag = 0;
        err = 0;
    }
};
