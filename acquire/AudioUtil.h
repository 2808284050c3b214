#pragma once
// Audio utilities around the last reading (TempWave + ".wav"): playing it
// back, saving a copy, and the shortcuts to the desktop's mixer. UI thread.
#include "sheet/Sheet.h"
#include <QString>
#include <QStringList>
class Meter;
void PlayWave(Meter &m, const QString &wavefile);
void SaveWaveFile(Meter &m);              // mnuSaveWave
// mnuSCCR, mnuSCCP, mnuMMSYS: the mixer program, else the Audio input window.
void MixerEntry(Meter &m, Control entry);
void MixerEntriesInit(Meter &m); // at load: every entry enabled

// The desktop program behind a mixer entry: candidates in order of
// preference, each with its arguments.
struct MixerProgram {
    QString program;
    QStringList args;
};
QList<MixerProgram> mixerCandidates(Control entry);
