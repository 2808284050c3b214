#pragma once
// ENR table of the noise source with natural cubic spline interpolation.
#include <QVector>
class Meter;

struct EnrTable {
    QVector<double> freq; // MHz, strictly increasing
    QVector<double> enr;  // dB
    QVector<double> y2;   // spline second derivatives at the knots
};

double csinterpolate(const EnrTable &table, double abscissa);
int LoadEnrTable(Meter &m); // 0 success, 1 failure (after reporting)
void EnrImport(Meter &m);   // mnuEnrImp
void EnrUnload(Meter &m);   // mnuEnrUnl
