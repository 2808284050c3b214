#pragma once
// The receiver-control settings in their own section "Rig" of the settings
// store, apart from the spot measurement's sections "default" and "Com":
//     [Rig]
//     Model=2              Hamlib rig model number, 0 = no receiver control
//     Port=localhost:4532  serial device, or host:port for model 2 (rigctld)
//     Baud=0               serial speed (bit/s), 0 = the model's default
// Values that are not usable are repaired silently when loaded (model and
// speed fall back to 0, a port is trimmed and cut to kMaxPortLength).

#include "platform/Rig.h"
#include "platform/SettingsStore.h"

#include <QList>

namespace RigSettings {
inline constexpr int kMaxPortLength = 255;
inline constexpr int kMaxModel = 999999;
// The serial speeds offered (bit/s); 0 (the model's default) is also valid.
QList<int> serialSpeeds();
} // namespace RigSettings

RigConfig loadRigConfig(ISettingsStore &store);
void saveRigConfig(ISettingsStore &store, const RigConfig &config);
