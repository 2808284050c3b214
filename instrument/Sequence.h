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

#include "acquire/Reading.h"
#include "sheet/Operation.h"
#include "sheet/Sheet.h"

#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class Instrument;
struct Session;

// btnNoise00 .. btnNoise22; any other control is ignored. Returns at once.
void MeasureButton(Instrument &m, Control button);

// With interleaving on (Session::Interleave, more than one reading per
// average and the source switched by the port), a button of a pair (source
// off and on: btnNoise11 and btnNoise12, or btnNoise21 and btnNoise22)
// takes the whole pair, its readings alternating, and fills both fields:
// the other button of the pair. btnNoise00 when the button reads alone.
// (A measurement series takes its readings one button at a time.)
Control interleavedPartner(const Session &m, Control button);

// How another workflow (a measurement series) takes a button's reading.
struct ButtonReadingOptions {
    // Switch the source and the path even with serial switching off: the
    // virtual bench's own lines, which need no setting.
    bool switchAlways = false;
    // Show the working indicator, its progress and "Reading k of N".
    bool working = true;
};

// N readings one after another (N = 1 included), reduced to the mean of
// their mean squares, for one slot or for a pair whose readings alternate
// (interleaved); see Sequence.cpp.
class AveragedReading : public Operation
{
public:
    using Factory = std::function<std::unique_ptr<Reading>(const ReadingPlan &)>;
    // `plans`: one per slot (one, or source off and on); `count` readings each.
    AveragedReading(Instrument &m, Factory factory, QVector<ReadingPlan> plans, int count, bool working);
    ~AveragedReading() override;
    // The first reading; `ended` follows, never from inside start().
    void start() { next(); }
    void cancel() override;
    // The first slot's result; every slot shares the outcome and message.
    const ReadingResult &result() const { return m_results[0]; }
    const ReadingResult &result(int slot) const { return m_results[slot]; }

private:
    void next();
    void readingDone();

    Instrument &m_instrument;
    Factory m_factory;
    QVector<ReadingPlan> m_plans;
    int m_count;
    bool m_working;
    QVector<int> m_order;         // the slot of each reading in turn
    int m_done = 0;               // readings that succeeded
    QVector<double> m_sums;       // of each slot's mean squares (full scale = 1)
    Reading *m_current = nullptr; // child of this
    QVector<ReadingResult> m_results;
};

// The reading(s) of a measurement button (the session's Averages of them)
// as an operation the caller owns, begins or chains, and starts. When it
// ends the sheet is written as the button writes it, and a failure's
// message asked for, before any handler of `ended` the caller connects
// afterwards runs. Null for a control that is not a measurement button.
std::unique_ptr<AveragedReading> makeButtonReading(Instrument &m, Control button,
                                                   const ButtonReadingOptions &o);

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
