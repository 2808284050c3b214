#pragma once
// Wave files of the sound-card detector: the fixed RIFF/WAVE header walk,
// writing the raw recording, building the trimmed reading, and streaming a
// reading into the level analysis. Pure functions on QIODevice; no state.
//
// Accepted layout (little-endian, offsets from the start of the file):
//   0 "RIFF", 8 "WAVE", 12 "fmt ", 16 fmt size F, 20 format tag (1 = PCM),
//   24 sample rate, 32 block align (2), 20+F "data", 24+F data size D,
//   28+F first sample. No chunk may stand between "fmt " and "data".
// Samples are signed 16-bit mono; full scale is 32768.

#include "physics/Level.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

class QIODevice;

struct WaveInfo {
    qint32 Rate = 0;     // samples per second; 0 when the file is not supported
    qint32 Samples = 0;  // D / 2 rounded half-to-even; 0 when not supported
    qint32 dataBytes = 0;// D as declared in the header (may be odd or too large)
};

// Sample rates a template may fix (Hz): the range sound cards record at.
// Every buffer sized by the rate (a reading's length, the monitor's windows
// and spectrum segments) stays bounded by the highest.
inline constexpr qint32 kMinWaveRate = 8000;
inline constexpr qint32 kMaxWaveRate = 384000;
// The template's rate is one a reading and the monitor accept.
constexpr bool supportedWaveRate(qint32 rate)
{
    return rate >= kMinWaveRate && rate <= kMaxWaveRate;
}

// Whole samples the declared data size really holds: min(Samples, D / 2
// rounded down), so an odd D never counts its half sample.
qint64 wholeSamples(const WaveInfo &info);

// Rounds to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double x);

// Walks the header of `file` from offset 0. On success the file is left at
// the first sample (H = 28 + F); on failure Rate and Samples are 0.
WaveInfo ReadWaveHeader(QIODevice &file);

// Writes the raw recording: `templateHeader` (the template's first H bytes,
// ending in the data size field) with its RIFF size set to H - 8 + 2n and its
// data size set to 2n, followed by the n samples. False with *error set when
// the device does not take every byte.
bool writeRawWave(QIODevice &out, const QByteArray &templateHeader,
                  const QVector<qint16> &samples, QString *error);

// Builds the trimmed reading from a raw recording whose first sample lies at
// `headerLen`: "RIFF", the size 36 + 2*keep, the raw bytes 8 .. headerLen-5
// unchanged ("WAVE", fmt chunk, "data"), the size 2*keep, then `keep`
// samples starting `skip` samples into the raw data. The raw file must hold
// them all: nothing is read past its end. False with *error set otherwise.
bool buildTrimmedWave(QIODevice &raw, qint64 headerLen, qint64 skip, qint64 keep,
                      QIODevice &out, QString *error);

// The analysis itself (DC tracker, mean square, clipping) is physics/Level.
using physics::LevelResult;

// Streams `samples` samples of `rate` Hz from `file`, starting at byte
// `dataStart`, in blocks (no buffer of the whole reading) through
// physics::LevelAnalysis. The count is
// clipped to the whole samples the file really holds, so an odd or
// overstated data size never reads past the end. `limits`: whether the
// clipping check counts (the "Measurement limits enabled" option).
LevelResult analyseLevel(QIODevice &file, qint64 dataStart, qint64 samples, int rate,
                         bool limits);
