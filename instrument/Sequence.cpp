#include "instrument/Sequence.h"

#include "acquire/Reading.h"
#include "instrument/Commands.h"
#include "calc/Results.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString kLevelFormat = QStringLiteral("0.000"); // dB, three decimals
const QString kCaption = QStringLiteral("TQX");

constexpr Field kLevelFields[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21,
                                  Field::Noise22};

struct Button {
    Control button;
    Field field;
    bool sourceOn; // DTR
    bool combined; // RTS
    bool usesPort;
};

constexpr Button kButtons[] = {
    {Control::btnNoise00, Field::Noise00, false, false, false},
    {Control::btnNoise11, Field::Noise11, false, false, false},
    {Control::btnNoise12, Field::Noise12, true, false, true},
    {Control::btnNoise21, Field::Noise21, false, true, true},
    {Control::btnNoise22, Field::Noise22, true, true, true},
};

// Measured levels are always dB. Levels typed in Watt or Volt would be read
// as dB from here on, so they go, and the zero with them, as a change of
// Units discards them; the remembered unit stays.
void selectDb(Session &m)
{
    Sheet &s = m.sheet();
    if (s.unitsIndex() != 0) {
        m.ZeroMeas.Reset();
        for (Field f : kLevelFields)
            s.setText(f, QString());
    }
    s.setUnitsIndex(0);
}

// SC&Z: the level with no signal at the receiver, kept in ZeroMeas and
// subtracted (as a power) from every later reading. The old zero and all
// levels go whatever became of the recording (but not when cancelled).
void zeroDone(Session &m, const ReadingResult &r)
{
    Sheet &s = m.sheet();
    m.ZeroMeas.Reset();
    for (Field f : kLevelFields)
        s.setText(f, QString());
    ResultsReset(m.sheet());
    s.setColour(Field::Noise00, Colour::DarkBlue);
    if (r.outcome != ReadingResult::Outcome::Succeeded) {
        m.ZeroMeas.err = -1;
        return; // all five fields stay empty
    }
    s.setUnitsIndex(0);
    m.ZeroMeas.Ms = r.ms;
    m.ZeroMeas.ClipFlag = r.clipped ? -1 : 0;
    m.ZeroMeas.Calc();
    const double rms = m.ZeroMeas.Rms;
    // 20 log10(Rms) = 10 log10(Ms): dB relative to a full-scale square wave.
    // Digital silence (Rms == 0) has no level; it shows a marker instead of
    // "-inf", and the zero power it stands for (Ms == 0) is still a valid Z.
    if (rms > 0 && std::isfinite(rms))
        s.setText(Field::Noise00, FormatFixed(20.0 * std::log10(rms), kLevelFormat));
    else
        s.setText(Field::Noise00, kSilenceText);
    if (r.clipped)
        s.setColour(Field::Noise00, Colour::DarkRed);
}

// Index of a noise field in Session::LevelRecords.
int recordIndex(Field f)
{
    const auto at = std::find(std::begin(kLevelFields), std::end(kLevelFields), f);
    return static_cast<int>(at - std::begin(kLevelFields)) - 1; // Noise00 has none
}

void noiseDone(Session &m, const Button &b, const ReadingResult &r, const LevelRecord &taken)
{
    Sheet &s = m.sheet();
    if (r.outcome != ReadingResult::Outcome::Succeeded) {
        m.WorkMeas.err = -1;
        if (!r.portError)
            s.setColour(b.field, Colour::WindowText);
        return; // the field keeps its previous text, Units its selection
    }
    m.WorkMeas.Ms = r.ms;
    m.WorkMeas.ClipFlag = r.clipped ? -1 : 0;
    m.WorkMeas.Calc();
    m.WorkMeas.err = 0;
    selectDb(m);
    s.setColour(b.field, Colour::WindowText);

    const double z = m.ZeroMeas.Ms; // zero power (full scale = 1), 0 without a zero
    const double w = m.WorkMeas.Ms;
    // Written so that a NaN reading also lands here rather than in log10.
    if (!(w > z)) {
        s.setText(b.field, kNotAboveZeroText);
        s.setColour(b.field, Colour::DarkRed);
        return; // results stay as they were
    }
    s.setText(b.field, FormatFixed(10.0 * std::log10(w - z), kLevelFormat));
    LevelRecord &record = m.LevelRecords[recordIndex(b.field)];
    record = taken;
    record.text = s.text(b.field);
    record.peak = r.peak;
    record.clipped = r.clipped;
    if (!r.clipped) {
        ResultsCalc(m.sheet());
    } else {
        s.setColour(b.field, Colour::DarkRed);
        ResultsReset(m.sheet());
    }
}

// `working`: the operation showed the working window. `last`: the final (or
// only) field of the operation, whose call shows a failure's message, once
// for a pair.
// `taken`: the conditions of the reading (see LevelRecord).
void readingEnded(Instrument &instrument, const Button &b, const ReadingResult &r, const LevelRecord &taken,
                  bool working, bool last = true)
{
    if (working)
        instrument.showWorking(false); // before any message
    if (r.outcome == ReadingResult::Outcome::Cancelled)
        return;
    Session &m = instrument.session();
    if (r.stamped)
        m.ObsTime = r.obsTime;
    if (r.recorded) {
        m.sheet().setEnabled(Control::mnuPlayWave, true);
        m.sheet().setEnabled(Control::mnuSaveWave, true);
    }
    if (b.button == Control::btnNoise00)
        zeroDone(m, r);
    else
        noiseDone(m, b, r, taken);
    if (last && !r.message.isEmpty())
        instrument.message(kCaption, r.message, MsgIcon::Critical);
}

} // namespace

namespace {

const Button *buttonOf(Control button)
{
    for (const Button &candidate : kButtons)
        if (candidate.button == button)
            return &candidate;
    return nullptr;
}

ReadingPlan planOf(const Instrument &m, const Button &b)
{
    ReadingPlan plan;
    plan.usePort = b.usesPort;
    plan.sourceOn = b.sourceOn;
    plan.combined = b.combined;
    plan.dur = ParseNumber(m.sheet().text(Field::Interval));
    plan.limits = m.sheet().checked(Control::mnuOptionsLimits); // cannot change while it runs
    return plan;
}

// The conditions a button's reading is taken under, for the calibration's
// state: recording time, interval, frequency and ENR.
LevelRecord conditionsOf(const Instrument &m, const ReadingPlan &plan)
{
    LevelRecord taken;
    taken.interval = plan.dur;
    taken.seconds = plan.dur * std::clamp(m.session().Averages, 1, Session::kMaxAverages);
    taken.mhz = ParseNumber(m.sheet().text(Field::Frequency));
    taken.enrDb = ParseNumber(m.sheet().text(Field::ENR));
    return taken;
}

} // namespace

// N readings one after another, reduced to the mean of their mean squares.
// Noise power is what adds up linearly, and each reading's mean square is an
// unbiased estimate of it, so the mean of N is unbiased too and scatters
// 1/sqrt(N) as much as one; the mean of their dB values would sit below it
// by about half the variance of the readings (in the log domain). The
// result is that of a single reading with the mean power: clipped when any
// reading was, stamped with the last reading's time. The first reading that
// fails or is cancelled ends the whole with its own result.
//
// Interleaved, the readings of a pair (source off and on) alternate in the
// order off on, on off, off on, ... (each pair mirrors the one before), so
// that for an even N the mean time of the N cold readings equals that of the
// N hot ones: a gain that drifts linearly with time then scales both means
// alike and Y, their ratio, keeps no first-order trace of it. Each slot is
// averaged on its own.
AveragedReading::AveragedReading(Instrument &m, Factory factory, QVector<ReadingPlan> plans, int count,
                                 bool working)
    : m_instrument(m), m_factory(std::move(factory)), m_plans(std::move(plans)), m_count(count),
      m_working(working), m_sums(m_plans.size(), 0.0), m_results(m_plans.size())
{
    for (int k = 0; k < m_count; ++k)
        for (int i = 0; i < m_plans.size(); ++i)
            m_order.append(k % 2 == 0 ? i : int(m_plans.size()) - 1 - i);
}

AveragedReading::~AveragedReading()
{
    blockSignals(true); // nothing reaches the sheet from here
    cancel();
}

void AveragedReading::cancel()
{
    if (m_current && m_results[0].outcome == ReadingResult::Outcome::Running)
        m_current->cancel(); // its end ends this one
}

void AveragedReading::next()
{
    if (m_current)
        m_current->deleteLater(); // inside its own `ended`
    const int index = m_done;
    m_current = m_factory(m_plans[m_order[index]]).release();
    m_current->setParent(this);
    const int total = int(m_order.size());
    if (m_working) {
        QObject::connect(m_current, &Reading::stageChanged, this, [this, index, total](Reading::Stage st) {
            if (st != Reading::Stage::Settling)
                return;
            if (index == 0)
                m_instrument.showWorking(true);
            if (total > 1)
                m_instrument.setWorkingText(QStringLiteral("Reading %1 of %2").arg(index + 1).arg(total));
        });
        QObject::connect(m_current, &Reading::progress, this,
                         [this, index, total](double f) { m_instrument.setWorkingProgress((index + f) / total); });
    }
    QObject::connect(m_current, &Operation::ended, this, [this] { readingDone(); });
    m_current->start();
}

void AveragedReading::readingDone()
{
    const ReadingResult &r = m_current->result();
    const int slot = m_order[m_done];
    for (ReadingResult &res : m_results) {
        res.stamped = res.stamped || r.stamped;
        if (r.stamped)
            res.obsTime = r.obsTime;
        res.recorded = res.recorded || r.recorded;
    }
    if (r.outcome != ReadingResult::Outcome::Succeeded) {
        for (ReadingResult &res : m_results) {
            res.outcome = r.outcome;
            res.message = r.message;
            res.portError = r.portError;
        }
        Q_EMIT ended();
        return;
    }
    m_sums[slot] += r.ms;
    m_results[slot].clipped = m_results[slot].clipped || r.clipped;
    m_results[slot].peak = std::max(m_results[slot].peak, r.peak);
    if (++m_done < m_order.size()) {
        next();
        return;
    }
    for (int i = 0; i < m_results.size(); ++i) {
        m_results[i].outcome = ReadingResult::Outcome::Succeeded;
        m_results[i].ms = m_sums[i] / m_count;
    }
    Q_EMIT ended();
}

std::unique_ptr<AveragedReading> makeButtonReading(Instrument &m, Control button,
                                                   const ButtonReadingOptions &o)
{
    const Button *b = buttonOf(button);
    if (!b)
        return nullptr;
    const ReadingPlan plan = planOf(m, *b);
    const bool switchAlways = o.switchAlways;
    const int count = std::clamp(m.session().Averages, 1, Session::kMaxAverages);
    auto owned = std::make_unique<AveragedReading>(
        m, [&m, switchAlways](const ReadingPlan &p) { return makeReading(m, p, switchAlways); },
        QVector<ReadingPlan>{plan}, count, o.working);
    AveragedReading *averaged = owned.get();
    const Button button_ = *b;
    const bool working = o.working;
    const LevelRecord taken = conditionsOf(m, plan);
    QObject::connect(averaged, &Operation::ended, averaged, [&m, averaged, button_, working, taken] {
        readingEnded(m, button_, averaged->result(), taken, working);
    });
    return owned;
}

void MeasureButton(Instrument &m, Control button)
{
    const Button *b = buttonOf(button);
    if (!b || m.busy())
        return;
    if (const Control partner = interleavedPartner(m.session(), button); partner != Control::btnNoise00) {
        // Source off first, then on; both through the port, so that every
        // reading after a switch waits for the source to settle.
        const Button *cold = b->sourceOn ? buttonOf(partner) : b;
        const Button *hot = b->sourceOn ? b : buttonOf(partner);
        ReadingPlan coldPlan = planOf(m, *cold);
        coldPlan.usePort = true;
        auto owned = std::make_unique<AveragedReading>(
            m, [&m](const ReadingPlan &p) { return makeReading(m, p); },
            QVector<ReadingPlan>{coldPlan, planOf(m, *hot)}, std::clamp(m.session().Averages, 1, Session::kMaxAverages),
            true);
        AveragedReading *averaged = owned.get();
        const Button coldButton = *cold, hotButton = *hot;
        const LevelRecord taken = conditionsOf(m, coldPlan);
        QObject::connect(averaged, &Operation::ended, averaged, [&m, averaged, coldButton, hotButton, taken] {
            readingEnded(m, coldButton, averaged->result(0), taken, true, false);
            readingEnded(m, hotButton, averaged->result(1), taken, false, true);
        });
        m.begin(std::move(owned));
        averaged->start();
        return;
    }
    if (std::clamp(m.session().Averages, 1, Session::kMaxAverages) > 1) {
        auto owned = makeButtonReading(m, button, ButtonReadingOptions());
        AveragedReading *averaged = owned.get();
        m.begin(std::move(owned));
        averaged->start();
        return;
    }
    const Button button_ = *b;
    const ReadingPlan plan = planOf(m, *b);
    const LevelRecord taken = conditionsOf(m, plan);
    auto owned = makeReading(m, plan);
    Reading *reading = owned.get();
    // The working window from the end of the switching (a port that
    // refuses reports at once) until the reading ends; Cancel and Esc there
    // reach Instrument::cancel.
    QObject::connect(reading, &Reading::stageChanged, reading, [&m](Reading::Stage st) {
        if (st == Reading::Stage::Settling)
            m.showWorking(true);
    });
    QObject::connect(reading, &Reading::progress, &m, &Instrument::setWorkingProgress);
    QObject::connect(reading, &Operation::ended, reading, [&m, reading, button_, taken] {
        readingEnded(m, button_, reading->result(), taken, true);
    });
    m.begin(std::move(owned));
    reading->start();
}

Control interleavedPartner(const Session &m, Control button)
{
    if (!m.Interleave || m.Averages < 2 || m.ComEnabled <= 0 || m.HotColdLoads) // loads change by hand
        return Control::btnNoise00;
    switch (button) {
    case Control::btnNoise11: return Control::btnNoise12;
    case Control::btnNoise12: return Control::btnNoise11;
    case Control::btnNoise21: return Control::btnNoise22;
    case Control::btnNoise22: return Control::btnNoise21;
    default: return Control::btnNoise00;
    }
}

const ReadingResult *measurementResult(const Operation *op)
{
    if (const auto *reading = qobject_cast<const Reading *>(op))
        return &reading->result();
    if (const auto *averaged = dynamic_cast<const AveragedReading *>(op))
        return &averaged->result();
    return nullptr;
}
