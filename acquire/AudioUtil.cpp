#include "acquire/AudioUtil.h"
#include "app/Meter.h"
void PlayWave(Meter &, const QString &) {}
void SaveWaveFile(Meter &) {}
void MixerEntry(Meter &, Control) {}
void MixerEntriesInit(Meter &) {}
