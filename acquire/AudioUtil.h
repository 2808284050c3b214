#pragma once
// Audio utilities: play and save the last reading, the mixer entries.
#include "app/Sheet.h"
#include <QString>
class Meter;
void PlayWave(Meter &m, const QString &wavefile);
void SaveWaveFile(Meter &m);              // mnuSaveWave
void MixerEntry(Meter &m, Control entry); // mnuSCCR, mnuSCCP, mnuMMSYS
void MixerEntriesInit(Meter &m);          // at load: enable what exists
