#pragma once
// The sound-card devices the user chose (Options, Audio input), remembered
// by device id in the settings section "Audio":
//   Input, Output          device ids (empty: the desktop's default)
//   InputName, OutputName  their names when chosen, for messages
// A choice is written when it is made. UI thread.

#include <QString>

class Meter;

// At start-up: hands the remembered devices to the audio service. A device
// that is not present is replaced by the default for this run, with one
// message naming it; the choice itself stays remembered for the next start.
void AudioDevicesLoad(Meter &m);

// The user's choice (empty id: the default). Not remembered while the
// virtual bench stands in for the sound card. False when the device is gone.
bool ChooseInputDevice(Meter &m, const QString &id, const QString &name);
bool ChooseOutputDevice(Meter &m, const QString &id, const QString &name);
