#include "physics/Converter.h"

#include "physics/Conversions.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace physics {

namespace {

FrequencyPlan refused(ConverterError e)
{
    FrequencyPlan p;
    p.error = e;
    return p;
}

ImageCorrection refusedCorrection(ConverterError e)
{
    ImageCorrection c;
    c.error = e;
    return c;
}

} // namespace

FrequencyPlan frequencyPlan(DeviceMode mode, double loMhz, Sideband sideband, double rfMhz)
{
    if (!std::isfinite(rfMhz) || (mode != DeviceMode::Amplifier && !std::isfinite(loMhz)))
        return refused(ConverterError::NotFinite);
    if (!(rfMhz > 0))
        return refused(ConverterError::RfNotPositive);
    FrequencyPlan p;
    if (mode == DeviceMode::Amplifier) {
        p.ifMhz = rfMhz;
        return p;
    }
    if (!(loMhz > 0))
        return refused(ConverterError::LoNotPositive);

    if (mode == DeviceMode::DownConverter) {
        switch (sideband) {
        case Sideband::Lsb:
            p.ifMhz = loMhz - rfMhz;
            break;
        case Sideband::Usb:
            p.ifMhz = rfMhz - loMhz;
            break;
        case Sideband::Dsb:
            p.ifMhz = std::abs(rfMhz - loMhz);
            break;
        }
        if (!(p.ifMhz > 0))
            return refused(ConverterError::IfNotPositive);
        if (!(p.ifMhz < rfMhz))
            return refused(ConverterError::IfNotBelowRf);
        // The other input with |f - LO| = IF; below 0 Hz it folds back.
        p.imageMhz = std::abs(2 * loMhz - rfMhz);
        return p;
    }

    switch (sideband) {
    case Sideband::Usb:
        p.ifMhz = loMhz + rfMhz;
        p.imageMhz = 2 * loMhz + rfMhz; // f - LO = IF
        break;
    case Sideband::Lsb:
        p.ifMhz = loMhz - rfMhz;
        p.imageMhz = 2 * loMhz - rfMhz; // f - LO = IF
        break;
    case Sideband::Dsb:
        return refused(ConverterError::DsbUpConverter);
    }
    if (!(p.ifMhz > 0))
        return refused(ConverterError::IfNotPositive);
    if (!(p.ifMhz > rfMhz))
        return refused(ConverterError::IfNotAboveRf);
    return p;
}

double imageRejectionFor(DeviceMode mode, Sideband sideband, double imageRejectionDb)
{
    if (mode == DeviceMode::Amplifier)
        return std::numeric_limits<double>::infinity();
    if (sideband == Sideband::Dsb)
        return 0.0;
    return imageRejectionDb;
}

ImageCorrection correctForImage(const ImageCorrectionInput &in)
{
    const double thi = in.tHotImage.value_or(in.tHot);
    const double tci = in.tColdImage.value_or(in.tCold);
    for (double v : {in.te, in.gain, in.tHot, in.tCold, thi, tci})
        if (!std::isfinite(v))
            return refusedCorrection(ConverterError::NotFinite);
    if (std::isnan(in.imageRejectionDb) || in.imageRejectionDb == -std::numeric_limits<double>::infinity())
        return refusedCorrection(ConverterError::NotFinite);
    if (!(in.gain > 0))
        return refusedCorrection(ConverterError::GainNotPositive);
    if (!(in.tHot > in.tCold))
        return refusedCorrection(ConverterError::NoExcessAtRf);
    if (thi < tci)
        return refusedCorrection(ConverterError::NegativeExcessAtImage);
    if (in.imageRejectionDb < 0)
        return refusedCorrection(ConverterError::ImageRejectionBelowZero);

    // rho = Gi / Gs; 10^(-inf) is exactly 0, so an infinite IR leaves the
    // amplifier result untouched.
    const double rho = std::pow(10.0, -in.imageRejectionDb / 10.0);
    const double r = (thi - tci) / (in.tHot - in.tCold);
    ImageCorrection c;
    c.factor = 1.0 + rho * r;
    DeviceResult &d = c.device;
    d.gain = in.gain / c.factor;
    // Output noise at Tcold, referred to the wanted sideband: Ga (Ta + Tc) =
    // Gs (Tc + Te_own) + Gi Tc_i; the IEEE SSB figure adds the image
    // termination at T0 instead of Tc_i: Te_ssb = Te_own + rho T0.
    d.te = c.factor * (in.te + in.tCold) - in.tCold + rho * (kT0 - tci);
    d.gainDb = toDb(d.gain);
    d.nfDb = d.te > 0 ? noiseFigureDb(d.te) : std::numeric_limits<double>::quiet_NaN();
    d.ok = std::isfinite(d.gain) && std::isfinite(d.te) && std::isfinite(d.gainDb) && d.gain > 0;
    return c;
}

} // namespace physics
