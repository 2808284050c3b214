#pragma once
// ENR table of the noise source (excess noise ratio in dB against frequency
// in MHz) with natural cubic spline interpolation, and the File menu entries
// that import and unload it. User-interface thread only.
//
// File format (text, UTF-8 or ASCII, LF or CR LF line ends):
//   empty line          ignored
//   "#* " + text        description of the source (first 30 characters go
//                       to the Source field); otherwise a comment
//   "#..."              comment
//   freq TAB enr [TAB anything]   data record, frequency in MHz, ENR in dB
// 3 to 100 records with strictly increasing frequencies, the first > 0.

#include <QString>
#include <QVector>

class Meter;

struct EnrTable {
    QVector<double> freq; // knots, MHz, strictly increasing
    QVector<double> enr;  // ENR at the knots, dB
    QVector<double> y2;   // spline second derivatives at the knots, dB/MHz^2

    int size() const { return static_cast<int>(freq.size()); }
};

// Largest ENR table file accepted (bytes); anything larger is refused
// before it is parsed.
inline constexpr qint64 kEnrFileMaxBytes = 1024 * 1024;

// Fill y2 with the second derivatives of the natural cubic spline through
// (freq, enr); needs at least 3 knots with strictly increasing frequencies.
void fitSpline(EnrTable &table);
// Evaluate the spline at abscissa (MHz). Outside the knots the cubic of the
// first or last interval extrapolates; there is no range check.
double csinterpolate(const EnrTable &table, double abscissa);

// Load Meter::EnrFileName, fit the spline and apply the ENR at the current
// Frequency (ENR, Tcold, Thot set, locked and blue; mnuEnrUnl enabled).
// Reports every problem itself; 0 on success, 1 on failure. A failed load
// empties EnrFileName and leaves the table in use and the fields untouched.
int LoadEnrTable(Meter &m);
void EnrImport(Meter &m); // mnuEnrImp: choose a file, then LoadEnrTable
void EnrUnload(Meter &m); // mnuEnrUnl: forget the table, unlock the fields
