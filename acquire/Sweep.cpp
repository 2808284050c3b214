#include "acquire/Sweep.h"

#include "acquire/NoiseSwitch.h"
#include "physics/Conversions.h"
#include "physics/Converter.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

QString mhzText(double mhz)
{
    return QString::number(mhz, 'g', 10) + QStringLiteral(" MHz");
}

bool sameMhz(double a, double b)
{
    return std::abs(a - b) <= 1e-6 * std::max(std::abs(a), std::abs(b));
}

// How far the receiver may land from the planned frequency when it does
// not say how finely it tunes (Hz).
constexpr double kUnknownStepHz = 1000;

// The first planned frequency (MHz) outside every one of `ranges`, and the
// ranges as text; empty when the receiver can tune to all of them or names
// no ranges at all.
QString firstOutside(const QVector<double> &mhz, const QList<RigRange> &ranges, QString &rangeText)
{
    QStringList parts;
    for (const RigRange &r : ranges)
        parts.append(QStringLiteral("%1 to %2").arg(mhzText(r.lowHz / 1e6), mhzText(r.highHz / 1e6)));
    parts.removeDuplicates();
    rangeText = parts.join(QStringLiteral(", "));
    if (ranges.isEmpty())
        return QString();
    for (double f : mhz) {
        const double hz = f * 1e6;
        const bool inside = std::any_of(ranges.begin(), ranges.end(), [hz](const RigRange &r) {
            // A millionth of slack for the MHz to Hz rounding at a range's edge.
            return hz >= r.lowHz * (1 - 1e-9) && hz <= r.highHz * (1 + 1e-9);
        });
        if (!inside)
            return mhzText(f);
    }
    return QString();
}

} // namespace

std::optional<physics::LevelPair> SweepCalibration::at(double f) const
{
    for (int i = 0; i < mhz.size(); ++i)
        if (sameMhz(mhz[i], f))
            return levels[i];
    return std::nullopt;
}

std::optional<SourceTemps> SweepCalibration::sourceAt(double f) const
{
    for (int i = 0; i < mhz.size() && i < source.size(); ++i)
        if (sameMhz(mhz[i], f))
            return source[i];
    return std::nullopt;
}

Sweep::Sweep(IRig *rig, ReadingFactory makeReading, const SweepPlan &plan, const RigConfig &rigConfig,
             const SweepCalibration &calibration, QObject *parent)
    : Operation(parent), m_rig(rig), m_makeReading(std::move(makeReading)), m_plan(plan),
      m_rigConfig(rigConfig), m_calibration(calibration)
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &Sweep::startReading);
    const int n = int(m_plan.mhz.size());
    m_points.resize(n);
    for (int i = 0; i < n; ++i) {
        m_points[i].mhz = m_plan.mhz[i];
        m_points[i].ifMhz = i < m_plan.ifMhz.size() ? m_plan.ifMhz[i] : m_plan.mhz[i];
        m_points[i].rfPerIf = rfPerIf(m_plan.device, m_plan.mhz[i]);
        if (i < m_plan.source.size())
            m_points[i].source = m_plan.source[i];
    }
    // Serial switching: LO and HI at each frequency. By hand: every LO, then
    // every HI, so that the source is switched once.
    if (m_plan.serialSwitching) {
        for (int i = 0; i < n; ++i)
            m_steps.append({i, false}), m_steps.append({i, true});
    } else {
        for (bool hot : {false, true})
            for (int i = 0; i < n; ++i)
                m_steps.append({i, hot});
    }
}

Sweep::~Sweep()
{
    blockSignals(true); // nobody listens any more
    cancel();
}

QString Sweep::check() const
{
    if (m_plan.mhz.isEmpty() || m_plan.source.size() != m_plan.mhz.size())
        return QStringLiteral("The sweep has no frequencies.");
    if (m_rigConfig.model <= 0)
        return QStringLiteral("No receiver is set up for tuning: choose its rig model under Options, Receiver control.");
    if (!m_rig)
        return QStringLiteral("Receiver control is not available in this program.");
    if (m_plan.kind == SweepKind::Measurement)
        for (const SweepPoint &p : m_points) {
            if (m_calibration.at(p.ifMhz))
                continue;
            if (!m_plan.device.converter())
                return QStringLiteral("There is no calibration at %1: run a calibration sweep over the same "
                                      "frequencies first.")
                    .arg(mhzText(p.mhz));
            // Calibrations are kept by the IF: any LO whose IFs they cover will do.
            return QStringLiteral("There is no calibration at the IF %1 (RF %2): run a calibration sweep "
                                  "that covers the same IFs first.")
                .arg(mhzText(p.ifMhz), mhzText(p.mhz));
        }
    return QString();
}

void Sweep::enter(Stage s)
{
    m_stage = s;
    Q_EMIT stageChanged(s);
}

void Sweep::start()
{
    if (m_stage != Stage::Idle)
        return;
    const QString problem = check();
    if (!problem.isEmpty()) {
        enter(Stage::Opening);
        QTimer::singleShot(0, this, [this, problem] { finish(Outcome::Failed, problem); });
        return;
    }
    enter(Stage::Opening);
    // A first guess per reading: the recording (the interval plus 1.1 s),
    // its beep, the source's settling where the lines switch it, and the
    // settling after a tuning (one per two readings with serial switching).
    // Each further reading of an average records and settles its lines again.
    const double once = m_plan.intervalS + 1.1 + 0.1 + (m_plan.serialSwitching ? kSettleMs / 1000.0 : 0);
    const double each = once * std::max(m_plan.averages, 1) +
                        (m_plan.serialSwitching ? m_plan.settleS / 2 : m_plan.settleS);
    m_timeLeft.start(each * readingsTotal());
    Q_EMIT progress(0, readingsTotal());
    m_rig->open(m_rigConfig, kRigTimeoutMs, [this](const RigResult &r) { onOpened(r); });
}

void Sweep::onOpened(const RigResult &r)
{
    if (m_stage != Stage::Opening)
        return;
    if (!r.ok)
        return finish(Outcome::Failed, r.error);
    m_rigName = r.rig;
    m_clock.start();
    m_toleranceHz = r.tuningStepHz > 0 ? r.tuningStepHz : kUnknownStepHz;
    // The whole plan before the first tuning: a sweep that would stop
    // half-way at the receiver's band edge measures nothing.
    // A converter's receiver works at the IFs.
    QString ranges;
    QVector<double> tunings;
    for (const SweepPoint &p : std::as_const(m_points))
        tunings.append(p.ifMhz);
    const QString outside = firstOutside(tunings, r.receiveRanges, ranges);
    if (!outside.isEmpty()) {
        const QString rig = m_rigName.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_rigName);
        return finish(Outcome::Failed,
                      QStringLiteral("The receiver%1 cannot tune to %2%3: it receives %4 only. "
                                     "Nothing was measured.")
                          .arg(rig, m_plan.device.converter() ? QStringLiteral("the IF ") : QString(),
                               outside, ranges));
    }
    next();
}

void Sweep::next()
{
    if (m_stage == Stage::Done)
        return; // stopped from a handler of the last signal
    const int from = m_next;
    while (m_next < m_steps.size() && m_points[m_steps[m_next].point].state == SweepPoint::State::Failed)
        ++m_next; // a point whose LO (or tuning) failed needs no more readings
    if (m_next != from)
        reportProgress();
    if (m_stage == Stage::Done)
        return;
    if (m_next >= m_steps.size())
        return finish(Outcome::Finished);
    const Step step = m_steps[m_next];
    if (step.hot && !m_plan.serialSwitching && !m_prompted) {
        enter(Stage::AwaitingSource);
        m_paused.start();
        Q_EMIT sourcePrompt(m_plan.kind == SweepKind::Calibration
                                ? QStringLiteral("All readings with the noise source off are done. Switch the noise "
                                                 "source ON (receiver alone), then continue.")
                                : QStringLiteral("All readings with the noise source off are done. Switch the noise "
                                                 "source ON (device in the path), then continue."));
        return;
    }
    if (step.point == m_tunedPoint) {
        enter(Stage::Settling);
        m_settle.start(0);
        return;
    }
    enter(Stage::Tuning);
    const double hz = m_points[step.point].ifMhz * 1e6;
    m_rig->tune(hz, kRigTimeoutMs, [this](const RigResult &r) { onTuned(r); });
}

void Sweep::resume()
{
    if (m_stage != Stage::AwaitingSource)
        return;
    m_prompted = true;
    m_pausedMs += m_paused.elapsed();
    m_paused.invalidate();
    next();
}

void Sweep::onTuned(const RigResult &r)
{
    if (m_stage != Stage::Tuning)
        return;
    const int i = m_steps[m_next].point;
    if (!r.ok)
        return finish(Outcome::Failed, r.connectionLost ? lostMessage(i, r.rig) : r.error);
    m_tunedPoint = i;
    SweepPoint &p = m_points[i];
    p.tunedMhz = r.hz / 1e6;
    Q_EMIT tuned(p.tunedMhz);
    if (m_stage == Stage::Done)
        return;
    // A receiver that ignored the tuning (or landed beyond its own step)
    // would label its readings with the wrong frequency.
    const double plannedHz = p.ifMhz * 1e6;
    if (!(std::abs(r.hz - plannedHz) <= m_toleranceHz * (1 + 1e-9))) { // a NaN too
        const QString why = QStringLiteral("the receiver reports %1 after tuning to %2")
                                .arg(mhzText(p.tunedMhz), mhzText(p.ifMhz));
        failPoint(i, why);
        if (m_plan.stopOnFailure && m_stage != Stage::Done)
            return finish(Outcome::Failed, QStringLiteral("The receiver reports %1 after tuning to %2.")
                                               .arg(mhzText(p.tunedMhz), mhzText(p.ifMhz)));
        return next();
    }
    // Within a step: the source's ENR where the source actually works: the
    // receiver's frequency for a calibration, the RF it stands for in a
    // measurement. Just past the table's last knot the planned value stays
    // (no extrapolation).
    const double sourceMhz =
        m_plan.kind == SweepKind::Calibration ? p.tunedMhz : p.mhz + (p.tunedMhz - p.ifMhz) * p.rfPerIf;
    const double plannedSourceMhz = m_plan.kind == SweepKind::Calibration ? p.ifMhz : p.mhz;
    if (m_plan.enr && !sameMhz(sourceMhz, plannedSourceMhz)) {
        const SourcePlan at = sourceTemps({sourceMhz}, m_plan.enr.get(), p.source);
        if (at.error.isEmpty())
            p.source = at.temps.first();
    }
    Q_EMIT pointChanged(i);
    if (m_stage == Stage::Done)
        return;
    enter(Stage::Settling);
    m_settle.start(int(std::lround(m_plan.settleS * 1000)));
}

void Sweep::startReading()
{
    if (m_stage != Stage::Settling)
        return;
    const Step step = m_steps[m_next];
    const bool combined = m_plan.kind == SweepKind::Measurement;
    ReadingPlan rp;
    // As the main window's buttons: reading 1 (receiver alone, source off)
    // leaves the lines down, the others set them.
    rp.usePort = m_plan.serialSwitching && (step.hot || combined);
    rp.sourceOn = step.hot;
    rp.combined = combined;
    rp.dur = m_plan.intervalS;
    rp.limits = m_plan.limits;
    m_averaged = 0;
    m_averageSum = 0;
    m_readingPlan = rp;
    enter(Stage::Reading);
    readOnce();
}

void Sweep::readOnce()
{
    if (m_makeReading)
        m_reading = m_makeReading(m_readingPlan);
    if (!m_reading)
        return finish(Outcome::Failed); // no means of reading at all
    connect(m_reading.get(), &Operation::ended, this, &Sweep::onReadingEnded, Qt::QueuedConnection);
    m_reading->start();
}

void Sweep::onReadingEnded()
{
    if (m_stage != Stage::Reading || !m_reading)
        return;
    ReadingResult r = m_reading->result();
    m_reading.reset();
    // A level averaged over several readings: each good one adds its power
    // and the next follows at once (no new tuning, the lines as they are);
    // the mean is the level. The first bad one decides the level as a single
    // reading would.
    if (m_plan.averages > 1 && r.outcome == ReadingResult::Outcome::Succeeded && !r.clipped) {
        m_averageSum += r.ms;
        if (++m_averaged < m_plan.averages)
            return readOnce();
        r.ms = m_averageSum / m_plan.averages;
    }
    const Step step = m_steps[m_next];
    ++m_next;
    reportProgress();
    if (m_stage == Stage::Done)
        return;
    if (r.outcome == ReadingResult::Outcome::Cancelled)
        return finish(Outcome::Stopped);
    if (r.outcome == ReadingResult::Outcome::Failed && r.portError)
        return finish(Outcome::Failed, r.message); // the switching is gone: no later reading can be right
    const QString where = mhzText(m_points[step.point].mhz);
    QString why;
    if (r.outcome == ReadingResult::Outcome::Failed)
        why = r.message.isEmpty() ? QStringLiteral("the recording could not be analysed") : r.message;
    else if (r.clipped)
        why = QStringLiteral("the reading clipped");
    else if (!(r.ms > m_plan.zeroMs)) // also a NaN
        why = QStringLiteral("the reading is not above the zero reading");
    if (!why.isEmpty()) {
        failPoint(step.point, why);
        if (m_plan.stopOnFailure && m_stage != Stage::Done)
            return finish(Outcome::Failed, QStringLiteral("The reading at %1 failed: %2").arg(where, why));
        return next();
    }
    // Level in dB full scale with the zero's power removed, as the spot readings.
    const double db = 10.0 * std::log10(r.ms - m_plan.zeroMs);
    (step.hot ? m_points[step.point].hiDb : m_points[step.point].loDb) = db;
    if (step.hot)
        computePoint(step.point);
    else
        Q_EMIT pointChanged(step.point);
    if (m_stage == Stage::Done)
        return;
    if (m_points[step.point].state == SweepPoint::State::Failed && m_plan.stopOnFailure)
        return finish(Outcome::Failed,
                      QStringLiteral("The point at %1 failed: %2").arg(where, m_points[step.point].failure));
    next();
}

void Sweep::computePoint(int i)
{
    SweepPoint &p = m_points[i];
    physics::CascadeInput in = m_plan.params;
    in.tHot = p.source.tHot;
    in.tCold = p.source.tCold;
    const physics::LevelPair measured{*p.loDb, *p.hiDb};
    const bool calibrating = m_plan.kind == SweepKind::Calibration;
    if (calibrating) {
        in.instrument = measured;
    } else {
        in.instrument = m_calibration.at(p.ifMhz), in.combined = measured;
        // The receiver was calibrated at this point's receiver frequency (a
        // converter's IF) with the source temperatures there, from the
        // calibration table when one of its own is loaded.
        p.calSource = m_calibration.sourceAt(p.ifMhz);
        if (p.calSource)
            in.calTHot = p.calSource->tHot, in.calTCold = p.calSource->tCold;
    }
    if (!(measured.lo < measured.hi))
        return failPoint(i, QStringLiteral("the source-on level is not above the source-off level"));
    const physics::CascadeResult r = physics::cascade(in);
    const physics::YFactorResult &rx = r.instrument;
    p.path = calibrating ? rx : r.combined;
    // The receiver's power step per kelvin at its input: how the device
    // gain is weighed against it.
    p.rxTeK = rx.te;
    p.rxSlopeDb = physics::toDb(rx.dP / (rx.tHot - rx.tCold));
    if (!rx.ok || !(rx.te > 0) || !std::isfinite(p.rxSlopeDb))
        return failPoint(i, calibrating ? QStringLiteral("the receiver's noise temperature is not positive")
                                        : QStringLiteral("the calibration at this frequency is not usable"));
    if (!p.path.ok || !std::isfinite(p.path.nfDb))
        return failPoint(i, QStringLiteral("the noise temperature is not positive"));
    if (!calibrating) {
        // Referred to the wanted sideband for a converter, as the spot
        // measurement does.
        const physics::ImageCorrection figures = deviceFigures(m_plan.device, r);
        if (r.device.ok && figures.error != physics::ConverterError::None)
            return failPoint(i, QStringLiteral("the image correction failed: %1").arg(converterErrorText(figures.error)));
        p.device = figures.device;
        if (!p.device.ok || !std::isfinite(p.device.nfDb))
            return failPoint(i, QStringLiteral("the device's noise temperature is not positive"));
    }
    p.state = SweepPoint::State::Measured;
    Q_EMIT pointChanged(i);
}

QString Sweep::lostMessage(int i, const QString &rig) const
{
    const QString name = rig.isEmpty() ? m_rigName : rig;
    int done = 0; // measured or failed
    for (const SweepPoint &p : m_points)
        done += p.state != SweepPoint::State::Pending;
    return QStringLiteral(
               "The connection to the receiver%1 was lost at %2; the sweep stopped after %3 of %4 points.")
        .arg(name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name), mhzText(m_points[i].mhz))
        .arg(done)
        .arg(m_points.size());
}

void Sweep::failPoint(int i, const QString &why)
{
    m_points[i].state = SweepPoint::State::Failed;
    m_points[i].failure = why;
    Q_EMIT pointChanged(i);
}

SweepCalibration Sweep::calibration() const
{
    SweepCalibration c;
    if (m_plan.kind != SweepKind::Calibration)
        return c;
    for (const SweepPoint &p : m_points)
        if (p.state == SweepPoint::State::Measured)
            c.mhz.append(p.ifMhz), c.levels.append({*p.loDb, *p.hiDb}), c.source.append(p.source);
    return c;
}

double Sweep::workSeconds() const
{
    if (!m_clock.isValid())
        return 0;
    return double(m_clock.elapsed() - m_pausedMs - (m_paused.isValid() ? m_paused.elapsed() : 0)) / 1000.0;
}

void Sweep::reportProgress()
{
    m_timeLeft.update(workSeconds(), double(m_next) / std::max(readingsTotal(), 1));
    Q_EMIT progress(m_next, readingsTotal());
}

double Sweep::secondsLeft() const
{
    return m_next >= readingsTotal() ? 0 : m_timeLeft.secondsLeft(workSeconds());
}

void Sweep::finish(Outcome outcome, const QString &message)
{
    if (m_stage == Stage::Done)
        return;
    m_settle.stop();
    if (m_reading) {
        m_reading->blockSignals(true);
        m_reading->cancel(); // lines released, partial files gone
        m_reading.reset();
    }
    if (m_rig) {
        m_rig->cancel();
        m_rig->close(); // also a receiver still opening
    }
    m_outcome = outcome;
    m_message = message;
    enter(Stage::Done);
    Q_EMIT ended();
}

void Sweep::cancel()
{
    finish(Outcome::Stopped);
}
