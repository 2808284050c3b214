#include "instrument/MeasurementSeries.h"

#include "acquire/Bench.h"
#include "calc/Results.h"
#include "instrument/Instrument.h"
#include "instrument/Sequence.h"
#include "physics/YFactor.h"
#include "sheet/NumText.h"

#include <array>
#include <cmath>
#include <memory>

namespace {

// The readings of one run, in the order of their captions' digits.
constexpr Control kRunButtons[] = {Control::btnNoise11, Control::btnNoise12, Control::btnNoise21,
                                   Control::btnNoise22};
constexpr Field kRunFields[] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
constexpr int kSteps = 4;
// The names the report gives the four levels.
const char *const kLevelNames[] = {"Noise LO(2)", "Noise HI(2)", "Noise LO(12)", "Noise HI(12)"};

// Everything a reading of the sequence writes: the levels, the results,
// the report outlets the results enable.
constexpr Field kWritten[] = {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22,
                              Field::Y2dB,    Field::Teq1,    Field::NF1,     Field::Y12dB,   Field::Teq2,
                              Field::NF2,     Field::Gain,    Field::Teq,     Field::NF};
constexpr Control kOutlets[] = {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv,
                                Control::btnSaveTsv};

std::optional<double> finiteValue(double v)
{
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

struct MeasurementSeries::Kept {
    std::array<FieldState, std::size(kWritten)> fields;
    std::array<bool, std::size(kOutlets)> outlets{};
    int unitsIndex = 0;
    Measurement zero, work;
    QString obsTime;
};

MeasurementSeries *MeasurementSeries::start(Instrument &m, const SeriesPlan &plan, QString *error)
{
    QString why;
    if (m.busy())
        why = QStringLiteral("A reading or sweep is running; stop it or wait for it to end first.");
    else if (m.route() != DeviceRoute::Bench && m.session().ComEnabled <= 0)
        why = QStringLiteral("A measurement series switches the noise source and the path through the serial "
                             "port: turn serial switching on (Options, Com port setup) or read from the "
                             "virtual bench.");
    else if (plan.count < 0 || plan.count > kMaxRuns)
        why = QStringLiteral("The number of runs must be from 1 to %1 (0: no limit).").arg(kMaxRuns);
    else if (!std::isfinite(plan.periodS) || plan.periodS < 0 || plan.periodS > 86400)
        why = QStringLiteral("The period must be from 0 to 86400 s (0: one run after another).");
    else if (!std::isfinite(plan.totalS) || plan.totalS < 0 || plan.totalS > 31 * 86400.0)
        why = QStringLiteral("The total time must be from 0 to 31 days (0: until stopped).");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return nullptr;
    }
    std::unique_ptr<MeasurementSeries> owned(new MeasurementSeries(m, plan));
    MeasurementSeries *series = owned.get();
    m.begin(std::move(owned));
    series->keepSheet(); // what a series cancelled in its first run goes back to
    if (plan.working) {
        m.showWorking(true);
        m.setWorkingText(QStringLiteral("Series: run 1"));
    }
    if (plan.takeZero)
        series->startReading(-1);
    else
        series->startRun();
    return series;
}

MeasurementSeries::MeasurementSeries(Instrument &m, const SeriesPlan &plan)
    : m_instrument(m), m_plan(plan), m_switchAlways(m.route() == DeviceRoute::Bench),
      m_kept(std::make_unique<Kept>())
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &MeasurementSeries::startRun);
}

MeasurementSeries::~MeasurementSeries()
{
    blockSignals(true); // nothing reaches the sheet or a front end from here
    cancel();
}

void MeasurementSeries::cancel()
{
    if (m_ended)
        return;
    m_cancelled = true;
    m_wait.stop();
    if (m_measuring)
        m_current->cancel(); // its end ends the series
    else
        finish();
}

void MeasurementSeries::startRun()
{
    m_runStart = QDateTime::currentDateTimeUtc();
    if (m_runs == 0)
        m_first = m_runStart;
    if (m_plan.working)
        m_instrument.setWorkingText(
            m_plan.count > 0 ? QStringLiteral("Series: run %1 of %2").arg(m_runs + 1).arg(m_plan.count)
                             : QStringLiteral("Series: run %1").arg(m_runs + 1));
    startReading(0);
}

void MeasurementSeries::startReading(int step)
{
    if (m_current)
        m_current->deleteLater(); // inside its own `ended`
    m_step = step;
    const Control button = step < 0 ? Control::btnNoise00 : kRunButtons[step];
    // The sound card's zero is read with the receiver's audio unplugged: on
    // the bench that is a switch; at a real set-up the user unplugs it.
    if (step < 0 && m_instrument.route() == DeviceRoute::Bench) {
        m_wasConnected = m_instrument.bench().receiverConnected();
        m_unplugged = true;
        m_instrument.bench().setReceiverConnected(false);
    }
    ButtonReadingOptions o;
    o.switchAlways = m_switchAlways;
    o.working = false; // the series shows its own progress
    m_current = makeButtonReading(m_instrument, button, o).release();
    m_current->setParent(this);
    // Connected after the sheet's handler: the level is written when this runs.
    connect(m_current, &Operation::ended, this, &MeasurementSeries::readingEnded);
    m_measuring = true;
    Q_EMIT readingStarted(step < 0 ? -1 : m_runs, step);
    showProgress(0);
    m_current->start();
}

void MeasurementSeries::readingEnded()
{
    m_measuring = false;
    const ReadingResult r = m_current->result();
    if (m_unplugged) {
        m_instrument.bench().setReceiverConnected(m_wasConnected);
        m_unplugged = false;
    }
    if (m_cancelled || r.outcome == ReadingResult::Outcome::Cancelled) {
        m_cancelled = true;
        restoreSheet();
        finish();
        return;
    }
    if (r.outcome != ReadingResult::Outcome::Succeeded) {
        const QString what = m_step < 0
                                 ? QStringLiteral("The zero reading (SCZ)")
                                 : QStringLiteral("The reading %1").arg(QLatin1String(kLevelNames[m_step]));
        m_failure = r.message.isEmpty() ? what + QStringLiteral(" failed.") : r.message;
        if (m_step >= 0) {
            SeriesRun run = collect();
            run.ok = false;
            run.failure = m_failure;
            ++m_runs;
            Q_EMIT runDone(run);
        }
        finish();
        return;
    }
    // The windows mirror each level as it comes, not only at the series' end.
    Q_EMIT m_instrument.sheetChanged();
    if (m_step < 0) {
        keepSheet();
        startRun();
        return;
    }
    if (m_step + 1 < kSteps) {
        startReading(m_step + 1);
        return;
    }
    runFinished();
}

void MeasurementSeries::runFinished()
{
    const SeriesRun run = collect();
    ++m_runs;
    keepSheet();
    Q_EMIT runDone(run);
    if ((m_plan.count > 0 && m_runs >= m_plan.count) || m_runs >= kMaxRuns)
        return finish();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QDateTime next = m_plan.periodS > 0 ? m_runStart.addMSecs(qint64(m_plan.periodS * 1000)) : now;
    if (next < now) // a run longer than the period: the next follows at once
        next = now;
    if (m_plan.totalS > 0 && m_first.msecsTo(next) >= qint64(m_plan.totalS * 1000))
        return finish();
    if (m_plan.working)
        m_instrument.setWorkingText(QStringLiteral("Series: next run at %1")
                                        .arg(next.toLocalTime().toString(QStringLiteral("HH:mm:ss"))));
    Q_EMIT waiting(next);
    // From the event loop even back to back: the reading that just ended is
    // let go first.
    m_wait.start(int(std::max<qint64>(0, now.msecsTo(next))));
}

void MeasurementSeries::finish()
{
    if (m_ended)
        return;
    m_ended = true;
    m_wait.stop();
    if (m_unplugged) {
        m_instrument.bench().setReceiverConnected(m_wasConnected);
        m_unplugged = false;
    }
    if (m_plan.working)
        m_instrument.showWorking(false);
    Q_EMIT ended();
}

void MeasurementSeries::showProgress(double withinRun)
{
    if (!m_plan.working || m_step < 0)
        return;
    const double runFraction = (m_step + withinRun) / kSteps;
    m_instrument.setWorkingProgress(m_plan.count > 0 ? (m_runs + runFraction) / m_plan.count : runFraction);
}

SeriesRun MeasurementSeries::collect() const
{
    const Sheet &s = m_instrument.sheet();
    SeriesRun run;
    run.index = m_runs;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    run.time = m_runStart.addMSecs(m_runStart.msecsTo(now) / 2);
    // The sheet's own rules decide which results exist; the numbers come
    // from the same inputs without the display rounding.
    const CascadeInputs in = cascadeInputsFrom(s);
    const physics::CascadeResult r = physics::cascade(in.cascade);
    if (!s.text(Field::NF1).isEmpty())
        run.nf2Db = finiteValue(r.instrument.nfDb);
    if (!s.text(Field::Teq1).isEmpty())
        run.te2K = finiteValue(r.instrument.te);
    if (!s.text(Field::NF).isEmpty())
        run.nf1Db = finiteValue(r.device.nfDb);
    if (!s.text(Field::Teq).isEmpty())
        run.te1K = finiteValue(r.device.te);
    if (!s.text(Field::Gain).isEmpty())
        run.gainDb = finiteValue(r.device.gainDb);
    if (in.levels[0])
        run.cold2Db = finiteValue(*in.levels[0]);
    if (in.levels[2])
        run.cold12Db = finiteValue(*in.levels[2]);
    run.ok = run.nf1Db && run.nf2Db;
    if (run.ok)
        return run;
    for (int k = 0; k < kSteps && run.failure.isEmpty(); ++k) {
        const Field f = kRunFields[k];
        const QString name = QLatin1String(kLevelNames[k]);
        if (s.text(f) == kNotAboveZeroText)
            run.failure = QStringLiteral("%1 is not above the zero.").arg(name);
        else if (s.colour(f) == Colour::DarkRed)
            run.failure = QStringLiteral("%1 clipped.").arg(name);
    }
    if (run.failure.isEmpty())
        run.failure = !run.nf2Db
                          ? QStringLiteral("The instrument's readings give no NF(2): check the noise "
                                           "source's temperatures and the attenuators.")
                          : QStringLiteral("The readings give no NF(1): check the gain of the device and "
                                           "the attenuators.");
    return run;
}

void MeasurementSeries::keepSheet()
{
    const Session &m = m_instrument.session();
    const Sheet &s = m.sheet();
    for (std::size_t i = 0; i < std::size(kWritten); ++i)
        m_kept->fields[i] = {s.text(kWritten[i]), s.colour(kWritten[i]), s.locked(kWritten[i])};
    for (std::size_t i = 0; i < std::size(kOutlets); ++i)
        m_kept->outlets[i] = s.enabled(kOutlets[i]);
    m_kept->unitsIndex = s.unitsIndex();
    m_kept->zero = m.ZeroMeas;
    m_kept->work = m.WorkMeas;
    m_kept->obsTime = m.ObsTime;
}

void MeasurementSeries::restoreSheet()
{
    Session &m = m_instrument.session();
    Sheet &s = m.sheet();
    for (std::size_t i = 0; i < std::size(kWritten); ++i) {
        s.setText(kWritten[i], m_kept->fields[i].text);
        s.setColour(kWritten[i], m_kept->fields[i].colour);
    }
    for (std::size_t i = 0; i < std::size(kOutlets); ++i)
        s.setEnabled(kOutlets[i], m_kept->outlets[i]);
    s.setUnitsIndex(m_kept->unitsIndex);
    m.ZeroMeas = m_kept->zero;
    m.WorkMeas = m_kept->work;
    m.ObsTime = m_kept->obsTime;
}
