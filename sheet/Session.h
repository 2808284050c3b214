#pragma once
// The measurement session's values: the sheet (field texts, colours, locks,
// control states), the zero and the latest noise reading, and the
// process-wide names and switches that the rules read. Owned by the
// instrument; rules get it (or a const view of it) as a value holder, never
// the instrument itself. User-interface (instrument) thread only.

#include "sheet/Measurement.h"
#include "sheet/Sheet.h"

#include <QString>
#include <array>

// What a measurement button wrote into a level field and how it was taken.
// The guards against impossible answers (instrument/Guards.h) trust it only
// while the field still shows the text the reading wrote: a typed level has
// no peak and no conditions.
struct LevelRecord {
    QString text;    // the level as written; empty: none
    double peak = 0; // largest |DC-removed sample| of its readings (full scale = 1)
    bool clipped = false;
    double seconds = 0; // integration time: the Interval times the readings averaged
    // The sheet's Frequency (MHz), Interval (s) and ENR (dB) at the time.
    double mhz = 0, interval = 0, enrDb = 0;
};

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
    // The calibration path's own ENR table and its interpolation, the same
    // way: empty when the calibration uses the table above (the receiver
    // alone is calibrated at a converter's IF, where a separate calibration
    // of the source may state its ENR).
    QString CalEnrFileName;
    QString CalEnrInterpolation;
    QString OsVersion;
    bool LimitsEnabled = true;
    int ComEnabled = 0; // the noise source is switched through a serial port
    int ComPort = 1;    // that port's number (1..99)
    // Readings per measurement button, averaged in power (1..kMaxAverages);
    // 1 is a single reading.
    int Averages = 1;
    static constexpr int kMaxAverages = 999;
    // The readings behind Noise11, Noise12, Noise21 and Noise22, in that order.
    std::array<LevelRecord, 4> LevelRecords;
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
    // The device mode, LO, sideband and image rejection live on the sheet
    // (sheet().device, sheet/DeviceSetup.h): every rule that recalculates
    // the results is given the sheet alone.

    // The template wave: the layout every recording copies.
    QString templateWave() const { return AppDir + QStringLiteral("TQX.wav"); }

private:
    Sheet m_sheet;
};
