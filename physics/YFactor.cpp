#include "physics/YFactor.h"

#include "physics/Conversions.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace physics {

namespace {

bool allFinite(std::initializer_list<double> values)
{
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

double nfOrNan(double te)
{
    return te > 0 ? noiseFigureDb(te) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

double levelPower(LevelUnits units, double level)
{
    switch (units) {
    case LevelUnits::Db:
        return std::pow(10.0, level / 10.0);
    case LevelUnits::Watt:
        return level;
    case LevelUnits::Volt:
        return level * level;
    }
    return level;
}

PowerRatio powerRatio(LevelUnits units, LevelPair p)
{
    PowerRatio r;
    switch (units) {
    case LevelUnits::Db:
        r.Y = std::pow(10.0, (p.hi - p.lo) / 10.0);
        r.dP = levelPower(units, p.hi) - levelPower(units, p.lo);
        break;
    case LevelUnits::Watt:
        if (p.lo > 0)
            r.Y = p.hi / p.lo;
        r.dP = p.hi - p.lo;
        break;
    case LevelUnits::Volt:
        if (p.lo > 0)
            r.Y = (p.hi / p.lo) * (p.hi / p.lo);
        r.dP = levelPower(units, p.hi) - levelPower(units, p.lo);
        break;
    }
    return r;
}

YFactorResult yFactor(double tHot, double tCold, LevelUnits units, LevelPair levels)
{
    YFactorResult r;
    const PowerRatio p = powerRatio(units, levels);
    r.tHot = tHot;
    r.tCold = tCold;
    r.Y = p.Y;
    r.dP = p.dP;
    r.te = (tHot - tCold * p.Y) / (p.Y - 1.0);
    r.yDb = toDb(p.Y);
    r.nfDb = nfOrNan(r.te);
    r.ok = allFinite({tHot, tCold, r.Y, r.dP, r.te, r.yDb}) && (!(r.te > 0) || std::isfinite(r.nfDb));
    return r;
}

CascadeResult cascade(const CascadeInput &in)
{
    CascadeResult r;
    // Source temperatures at the instrument input, calibration path.
    const double calHot = in.calTHot.value_or(in.tHot);
    const double calCold = in.calTCold.value_or(in.tCold);
    const double th2 =
        AttenuatorTemp(AttenuatorTemp(calHot * in.calHotMatch, in.tAtt1, in.att11), in.tAtt2, in.att12);
    const double tc2 =
        AttenuatorTemp(AttenuatorTemp(calCold * in.calColdMatch, in.tAtt1, in.att11), in.tAtt2, in.att12);
    r.instrument.tHot = th2;
    r.instrument.tCold = tc2;
    if (in.instrument)
        r.instrument = yFactor(th2, tc2, in.units, *in.instrument);

    // Device path: only attenuator 1 lies before the device.
    const double l22 = fromDb(in.att22);
    const double th12 = AttenuatorTemp(in.tHot * in.devHotMatch, in.tAtt1, in.att21);
    const double tc12 = AttenuatorTemp(in.tCold * in.devColdMatch, in.tAtt1, in.att21);
    r.combined.tHot = th12;
    r.combined.tCold = tc12;
    if (in.combined) {
        r.combined = yFactor(th12, tc12, in.units, *in.combined);
        r.combined.ok = r.combined.ok && std::isfinite(l22);
    }

    if (!r.instrument.ok || !r.combined.ok || !(r.instrument.te > 0))
        return r;
    const YFactorResult &i = r.instrument, &c = r.combined;
    DeviceResult &d = r.device;
    d.gain = (c.dP / i.dP) * (i.tHot - i.tCold) / (c.tHot - c.tCold) * l22;
    d.te = c.te - (l22 - 1.0) * in.tAtt2 / d.gain - (i.te / d.gain) * l22;
    d.gainDb = toDb(d.gain);
    d.nfDb = nfOrNan(d.te);
    d.ok = allFinite({d.gain, d.te, d.gainDb});
    return r;
}

} // namespace physics
