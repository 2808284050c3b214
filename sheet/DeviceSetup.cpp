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
