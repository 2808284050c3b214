#include "physics/Conversions.h"

#include <cmath>
#include <limits>

namespace physics {

// Written as 10 ln(r) / ln 10 rather than 10 log10(r): the figures on the
// sheet are compared to the last digit with that form.
double toDb(double ratio)
{
    return 10.0 * std::log(ratio) / Ln10;
}

double fromDb(double db)
{
    return std::pow(10.0, db / 10.0);
}

double noiseFigureDb(double te)
{
    return toDb(te / kT0 + 1.0);
}

double noiseTemperature(double nfDb)
{
    return kT0 * (fromDb(nfDb) - 1.0);
}

double AttenuatorTemp(double t, double tPhys, double lossDb)
{
    const double L = std::pow(10.0, lossDb / 10.0);
    return t / L + tPhys * (L - 1.0) / L;
}

double EnrFromThot(double thot)
{
    return thot > kT0 ? 10.0 * std::log((thot - kT0) / kT0) / Ln10 : std::numeric_limits<double>::quiet_NaN();
}

double ThotFromEnr(double enrDb)
{
    return ThotFromEnr(enrDb, kT0);
}

double ThotFromEnr(double enrDb, double tOffK)
{
    return kT0 * std::pow(10.0, enrDb / 10.0) + tOffK;
}

} // namespace physics
