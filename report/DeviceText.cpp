#include "report/DeviceText.h"

#include <cmath>

QString deviceModeName(physics::DeviceMode mode)
{
    switch (mode) {
    case physics::DeviceMode::Amplifier:
        return QStringLiteral("Amplifier");
    case physics::DeviceMode::DownConverter:
        return QStringLiteral("Down-converter");
    case physics::DeviceMode::UpConverter:
        return QStringLiteral("Up-converter");
    }
    return QString();
}

QString mhzText(double mhz)
{
    return std::isfinite(mhz) ? QString::number(mhz, 'f', 3) : QString();
}

QString imageRejectionText(const DeviceSetup &device)
{
    const double db = physics::imageRejectionFor(device.mode, device.sideband, device.imageRejectionDb);
    return std::isfinite(db) ? QString::number(db, 'f', 1) : QString();
}

QString ifMhzText(const DeviceSetup &device, double rfMhz)
{
    const physics::FrequencyPlan plan =
        physics::frequencyPlan(device.mode, device.loMhz, device.sideband, rfMhz);
    return plan.ok() ? mhzText(plan.ifMhz) : QString();
}
