#pragma once
// The measurement session's values: the sheet (field texts, colours, locks,
// control states), the zero and the latest noise reading, and the
// process-wide names and switches that the rules read. Owned by the
// instrument; rules get it (or a const view of it) as a value holder, never
// the instrument itself. User-interface (instrument) thread only.

#include "sheet/Measurement.h"
#include "sheet/Sheet.h"

#include <QString>

struct Session {
    Sheet &sheet() { return m_sheet; }
    const Sheet &sheet() const { return m_sheet; }

    Measurement ZeroMeas; // the sound-card zero reading
    Measurement WorkMeas; // the latest noise reading
    QString AppDir;       // data folder (template, help, licence), trailing '/'
    QString BaseUrl;      // product web site, ends in '/'
    QString TsvFileName = QStringLiteral("TQXData.tab");
    QString TempWave;     // base path of the two temporary wave files
    QString ObsTime;      // "yyyyMMddHHmmss" of the last reading, or empty
    QString EnrFileName;  // ENR table in use, empty when none
    // How that table is interpolated ("spline", "linear", "monotone"; see
    // calc/EnrTable.h), remembered beside it because the file format has
    // no place for it; empty while none was chosen.
    QString EnrInterpolation;
    QString OsVersion;
    bool LimitsEnabled = true;
    int ComEnabled = 0; // the noise source is switched through a serial port
    int ComPort = 1;    // that port's number (1..99)
    // Readings per measurement button, averaged in power (1..kMaxAverages);
    // 1 is a single reading.
    int Averages = 1;
    static constexpr int kMaxAverages = 999;
    // Averages of a pair alternate source off and on (see MeasureButton).
    bool Interleave = false;
    // The noise source's physical temperature when off (K). A loaded ENR
    // table gives Tcold = this and Thot = 290 K * 10^(ENR/10) + this: the
    // ENR states the excess noise against the 290 K reference, and the
    // source adds its own thermal noise to it. 290 K is the reference
    // itself (the sheet then reads as it always has).
    double SourceOffK = kSourceOffDefaultK;
    static constexpr double kSourceOffDefaultK = 290.0;
    static constexpr double kSourceOffMinK = 1.0, kSourceOffMaxK = 1000.0;
    // Hot and cold loads (a heated termination, liquid nitrogen): Thot and
    // Tcold are typed, no ENR table is used (it stays remembered), ENR is
    // empty and locked, and every reading is taken by hand (the serial
    // lines never switch).
    bool HotColdLoads = false;

    // The template wave: the layout every recording copies.
    QString templateWave() const { return AppDir + QStringLiteral("TQX.wav"); }

private:
    Sheet m_sheet;
};
