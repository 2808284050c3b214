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
// A model in the list of the receiver-control dialog: "Maker Name (number)".
QString modelLabel(const RigModelInfo &m);
// Whether a model matches the search text: every blank-separated word of it
// occurs in the label, ignoring case. Blank text matches every model.
bool modelMatches(const RigModelInfo &m, const QString &search);
// A frequency for messages: "7.1 GHz", "145.5 MHz", "455 kHz", "50 Hz"
// (the number in the user's locale).
QString frequencyText(double hz);
} // namespace RigSettings

RigConfig loadRigConfig(ISettingsStore &store);
void saveRigConfig(ISettingsStore &store, const RigConfig &config);
