#include "sheet/DeviceSetup.h"

#include <cmath>

using physics::DeviceMode;
using physics::Sideband;

namespace {
struct ModeWord {
    DeviceMode mode;
    const char *word;
};
constexpr ModeWord kModes[] = {{DeviceMode::Amplifier, "Amplifier"},
                               {DeviceMode::DownConverter, "DownConverter"},
                               {DeviceMode::UpConverter, "UpConverter"}};
struct SidebandWord {
    Sideband sideband;
    const char *word;
};
constexpr SidebandWord kSidebands[] = {
    {Sideband::Lsb, "LSB"}, {Sideband::Usb, "USB"}, {Sideband::Dsb, "DSB"}};
} // namespace

QString deviceModeKey(DeviceMode mode)
{
    for (const ModeWord &m : kModes)
        if (m.mode == mode)
            return QLatin1String(m.word);
    return QString();
}

std::optional<DeviceMode> deviceModeFromKey(const QString &key)
{
    for (const ModeWord &m : kModes)
        if (key.trimmed() == QLatin1String(m.word))
            return m.mode;
    return std::nullopt;
}

QString sidebandKey(Sideband sideband)
{
    for (const SidebandWord &s : kSidebands)
        if (s.sideband == sideband)
            return QLatin1String(s.word);
    return QString();
}

std::optional<Sideband> sidebandFromKey(const QString &key)
{
    for (const SidebandWord &s : kSidebands)
        if (key.trimmed() == QLatin1String(s.word))
            return s.sideband;
    return std::nullopt;
}

bool validLoMhz(double mhz)
{
    return std::isfinite(mhz) && mhz > 0 && mhz <= DeviceSetup::kMaxLoMhz;
}

bool validImageRejectionDb(double db)
{
    return std::isfinite(db) && db >= 0 && db <= DeviceSetup::kMaxImageRejectionDb;
}

QString converterErrorText(physics::ConverterError e)
{
    using E = physics::ConverterError;
    switch (e) {
    case E::None:
        return QString();
    case E::NotFinite:
        return QStringLiteral("The frequencies must be numbers");
    case E::RfNotPositive:
        return QStringLiteral("The RF must be above 0 MHz");
    case E::LoNotPositive:
        return QStringLiteral("The LO must be above 0 MHz");
    case E::IfNotPositive:
        return QStringLiteral("No IF: this sideband puts it at or below 0 MHz");
    case E::IfNotBelowRf:
        return QStringLiteral("No IF: a down-converter's IF must lie below its RF");
    case E::IfNotAboveRf:
        return QStringLiteral("No IF: an up-converter's IF must lie above its RF");
    case E::DsbUpConverter:
        return QStringLiteral("An up-converter has no DSB plan: choose LSB or USB");
    case E::NoExcessAtRf:
        return QStringLiteral("The source is not hotter on than off at the RF");
    case E::NegativeExcessAtImage:
        return QStringLiteral("The source is colder on than off at the image");
    case E::ImageRejectionBelowZero:
        return QStringLiteral("The image rejection must be 0 dB or more");
    case E::GainNotPositive:
        return QStringLiteral("The device's gain is not positive");
    }
    return QString();
}

physics::ImageCorrection deviceFigures(const DeviceSetup &device, const physics::CascadeResult &r)
{
    if (!device.converter() || !r.device.ok)
        return {physics::ConverterError::None, r.device, 1};
    physics::ImageCorrectionInput ci;
    ci.te = r.device.te;
    ci.gain = r.device.gain;
    ci.tHot = r.combined.tHot;
    ci.tCold = r.combined.tCold;
    ci.imageRejectionDb = physics::imageRejectionFor(device.mode, device.sideband, device.imageRejectionDb);
    return physics::correctForImage(ci);
}
