#include "remote/Runner.h"

#include "acquire/Bench.h"
#include "acquire/Reading.h"
#include "instrument/Instrument.h"
#include "instrument/Sequence.h"
#include "instrument/SweepCommands.h"

#include <QPointer>
#include <QTimer>

Runner::Runner(Instrument &m, QObject *parent) : QObject(parent), m_instrument(m)
{
    connect(&m, &Instrument::messageRequested, this, &Runner::take);
}

void Runner::take(MessageRequest *r)
{
    if (!m_running || r->answered)
        return;
    if (m_message.isEmpty())
        m_message = r->text;
    qInfo().noquote() << r->caption + QStringLiteral(": ") + r->text;
    r->answered = true; // the default answer
}

bool Runner::startReadings(const QList<Control> &buttons, QString *error)
{
    if (m_running || m_instrument.busy()) {
        *error = QStringLiteral("a reading or sweep is running");
        return false;
    }
    m_buttons = buttons;
    m_running = true;
    m_cancelled = false;
    m_message.clear();
    Q_EMIT runningChanged(true);
    nextReading();
    if (!m_running && !m_lastOk) {
        *error = m_lastError;
        return false;
    }
    return true;
}

void Runner::nextReading()
{
    if (m_buttons.isEmpty())
        return end(true, QString());
    const Control button = m_buttons.takeFirst();
    // The sound card's zero is read with the receiver's audio unplugged: on
    // the bench that is a switch; at a real set-up the user unplugs it.
    Bench &bench = m_instrument.bench();
    const bool unplug = button == Control::btnNoise00 && m_instrument.route() == DeviceRoute::Bench;
    const bool wasConnected = bench.receiverConnected();
    if (unplug)
        bench.setReceiverConnected(false);
    // An interleaved pair is taken whole by its first button.
    if (const Control partner = interleavedPartner(m_instrument.session(), button);
        partner != Control::btnNoise00)
        m_buttons.removeAll(partner);
    m_instrument.click(button);
    Operation *reading = m_instrument.operation();
    const ReadingResult *result = reading ? measurementResult(reading) : nullptr;
    if (!result)
        reading = nullptr;
    if (unplug && !reading)
        bench.setReceiverConnected(wasConnected);
    if (!reading)
        return end(false, m_message.isEmpty() ? QStringLiteral("the reading did not start") : m_message);
    if (unplug)
        connect(reading, &Operation::ended, this,
                [&bench, wasConnected] { bench.setReceiverConnected(wasConnected); });
    // The sheet is written in the reading's own handler (connected first);
    // the next reading starts once the instrument has let this one go.
    connect(reading, &Operation::ended, this, [this, result, button] {
        const ReadingResult r = *result;
        QTimer::singleShot(0, this, [this, r, button] {
            if (!m_running)
                return;
            if (m_cancelled || r.outcome == ReadingResult::Outcome::Cancelled)
                return end(false, QString());
            if (r.outcome != ReadingResult::Outcome::Succeeded)
                return end(false, !r.message.isEmpty()   ? r.message
                                  : !m_message.isEmpty() ? m_message
                                                         : QStringLiteral("the reading failed"));
            Q_EMIT readingDone(button);
            nextReading();
        });
    });
}

bool Runner::startSweep(SweepKind kind, const SweepFrequencies &f, double settleS, QString *error)
{
    if (m_running || m_instrument.busy()) {
        *error = QStringLiteral("a reading or sweep is running");
        return false;
    }
    m_running = true;
    m_cancelled = false;
    m_message.clear();
    Sweep *sweep = ::startSweep(m_instrument, kind, f, settleS, false);
    if (!sweep) {
        m_running = false;
        *error = m_message.isEmpty() ? QStringLiteral("the sweep did not start") : m_message;
        return false;
    }
    Q_EMIT runningChanged(true);
    QVector<SweepPoint> &points = kind == SweepKind::Calibration ? m_calPoints : m_measPoints;
    (kind == SweepKind::Calibration ? m_calPlan : m_measPlan) = sweep->plan();
    points = sweep->points();
    connect(sweep, &Sweep::pointChanged, this, [this, sweep, kind, &points](int i) {
        points = sweep->points();
        if (sweep->points()[i].state != SweepPoint::State::Pending)
            Q_EMIT pointDone(kind, i, sweep->points()[i]);
    });
    connect(sweep, &Operation::ended, this, [this, sweep, &points] {
        points = sweep->points();
        const bool ok = sweep->outcome() == Sweep::Outcome::Finished;
        const QString why = sweep->outcome() == Sweep::Outcome::Failed
                                ? (sweep->message().isEmpty() ? m_message : sweep->message())
                                : QString();
        QTimer::singleShot(0, this, [this, ok, why] { end(ok && !m_cancelled, why); });
    });
    return true;
}

void Runner::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    m_buttons.clear();
    m_instrument.cancel();
}

void Runner::end(bool ok, const QString &error)
{
    if (!m_running)
        return;
    m_running = false;
    m_buttons.clear();
    m_lastOk = ok;
    m_lastError = error;
    Q_EMIT runningChanged(false);
    Q_EMIT finished(ok, error);
}
