#pragma once
// The five measurement buttons: the sound-card zero ("SC&Z", btnNoise00) and
// the four noise readings btnNoise11 (source off), btnNoise12 (source on),
// btnNoise21 (combined path, source off) and btnNoise22 (combined, source on).
// Each takes one reading (acquire/Reading.h), or the session's Averages of
// them averaged in power, and writes the level in dB
// relative to digital full scale into its level field, and recomputes or
// clears the results. The reading runs asynchronously as the instrument's
// operation; the sheet changes only when it ends, and a cancelled reading
// changes nothing. UI thread.

#include "sheet/Sheet.h"

#include <QString>

class Instrument;
class Operation;
struct ReadingResult;
struct Session;

// btnNoise00 .. btnNoise22; any other control is ignored. Returns at once.
void MeasureButton(Instrument &m, Control button);

// With interleaving on (Session::Interleave, more than one reading per
// average and the source switched by the port), a button of a pair (source
// off and on: btnNoise11 and btnNoise12, or btnNoise21 and btnNoise22)
// takes the whole pair, its readings alternating, and fills both fields:
// the other button of the pair. btnNoise00 when the button reads alone.
Control interleavedPartner(const Session &m, Control button);

// The result of the operation a measurement button started (one reading or
// an average of several), valid until it is deleted; null for any other
// operation.
const ReadingResult *measurementResult(const Operation *op);

// What Noise00 shows for a zero reading of pure digital silence (Rms == 0),
// which has no level in dB: the zero is then 0 and later readings are
// simply 10 log10(W).
inline const QString kSilenceText = QStringLiteral("silence");
// What a noise field shows for a reading that is not above the zero.
inline const QString kNotAboveZeroText = QStringLiteral("******");
