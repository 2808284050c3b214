#pragma once
// Frequency-dependent truths of the virtual bench: the DUT's gain and noise
// figure, and the bench source's ENR, each as a few points against frequency.
//
// Between points a value is interpolated linearly in dB against frequency in
// MHz (a straight line on a dB-versus-MHz plot); below the first point and
// above the last it stays at the end point's value. An empty list means "no
// frequency dependence": the bench then uses its constant setting.
//
// The text form, as typed in the bench window, is one point per group,
// groups separated by ';', numbers within a group by blanks, in the user's
// locale (so a decimal comma is fine):
//     DUT response:   "MHz gain NF; MHz gain NF; ..."   e.g. "100 14 3.2; 300 21 1"
//     source ENR:     "MHz ENR; MHz ENR; ..."            e.g. "10 15.2; 1000 14.8"
// Pure functions, Qt Core only.

#include <QString>
#include <QVector>

struct BenchResponsePoint {
    double mhz = 0;    // frequency (MHz)
    double gainDb = 0; // DUT available gain (dB)
    double nfDb = 0;   // DUT noise figure (dB)
};

struct BenchEnrPoint {
    double mhz = 0;   // frequency (MHz)
    double enrDb = 0; // source excess noise ratio (dB)
};

namespace BenchResponse {
inline constexpr int maxPoints = 100;
inline constexpr double maxMhz = 1e6; // 1 THz: far above any receiver

// Linear interpolation in dB between the neighbouring points, constant
// outside the list; `fallback` for an empty list.
double gainDbAt(const QVector<BenchResponsePoint> &pts, double mhz, double fallback);
double nfDbAt(const QVector<BenchResponsePoint> &pts, double mhz, double fallback);
double enrDbAt(const QVector<BenchEnrPoint> &pts, double mhz, double fallback);

// Empty when the list is usable, else a sentence for the user: frequencies
// above 0 and rising from point to point, values within the bench's ranges,
// at most maxPoints points.
QString validate(const QVector<BenchResponsePoint> &pts);
QString validate(const QVector<BenchEnrPoint> &pts);

// Text form <-> points. The parsers return an empty message on success and
// leave `out` untouched otherwise; they check the syntax only (validate()
// checks the values). Blank text is the empty list.
QString parse(const QString &text, QVector<BenchResponsePoint> &out);
QString parse(const QString &text, QVector<BenchEnrPoint> &out);
QString toText(const QVector<BenchResponsePoint> &pts);
QString toText(const QVector<BenchEnrPoint> &pts);

// A preamplifier flat at 20 dB gain and 1.5 dB noise figure from 5 to
// 200 MHz (the bench's constant DUT, so a spot measurement at the main
// window's default 10 MHz is unchanged), its noise figure rising and gain
// falling above 200 MHz (3.2 dB and 15 dB at 500 MHz) and below 5 MHz, so
// that a sweep across 100 to 500 MHz has an edge to show.
QVector<BenchResponsePoint> defaultDutResponse();
} // namespace BenchResponse
