#pragma once
// Wave files of the sound-card detector: the fixed RIFF/WAVE header walk,
// writing the raw recording, building the trimmed reading, and reducing a
// reading to its mean-square level. Pure functions on QIODevice; no state.
//
// Accepted layout (little-endian, offsets from the start of the file):
//   0 "RIFF", 8 "WAVE", 12 "fmt ", 16 fmt size F, 20 format tag (1 = PCM),
//   24 sample rate, 32 block align (2), 20+F "data", 24+F data size D,
//   28+F first sample. No chunk may stand between "fmt " and "data".
// Samples are signed 16-bit mono; full scale is 32768.

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

// One-pole low-pass with a 20 Hz corner that tracks the sound card's DC
// offset: k = 1 - exp(-2 pi 20 / rate).
double dcTrackerCoefficient(int rate);
// Samples summed for the initial DC estimate minus one: 0.01 * rate rounded
// half-to-even (441 at 44100 Hz, 220 at 22050 Hz).
qint64 initialDcWindow(int rate);

struct LevelResult {
    bool ok = false;      // false: no sample could be analysed
    double ms = 0;        // mean square of the DC-removed samples (full scale = 1)
    bool clipped = false; // a DC-removed sample exceeded 0.4 of full scale
    qint64 analysed = 0;  // samples that went into ms
};

// Streams `samples` samples of `rate` Hz from `file`, starting at byte
// `dataStart`, in blocks (no buffer of the whole reading). The count is
// clipped to the whole samples the file really holds, so an odd or
// overstated data size never reads past the end. `limits`: whether the
// clipping check counts (the "Measurement limits enabled" option).
LevelResult analyseLevel(QIODevice &file, qint64 dataStart, qint64 samples, int rate,
                         bool limits);
