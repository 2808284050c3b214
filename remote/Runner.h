#pragma once
// Measurements started by a remote client or the batch program: a chain of
// the sheet's readings (the spot measurement: zero, source off and on alone,
// then with the device), or a sweep, each run as the instrument's operation
// and reported once, when it has ended, with the reason when it failed.
//
// No one answers boxes for a script: while a run is on, the instrument's
// messages are taken here (answered with their default) and the first one
// becomes the run's failure text. Such a front end must connect its
// Runner before any window's message host, which then skips answered
// requests.
//
// The points of the last sweep (and of the last calibration sweep) are kept
// for fetching. Instrument thread.

#include "acquire/Sweep.h"
#include "sheet/Sheet.h"

#include <QList>
#include <QObject>
#include <QString>

class Instrument;

class Runner : public QObject
{
    Q_OBJECT
public:
    explicit Runner(Instrument &m, QObject *parent = nullptr);

    // Starts the readings of `buttons` (btnNoise00 .. btnNoise22) one after
    // another. False, with `error`, when nothing could start.
    bool startReadings(const QList<Control> &buttons, QString *error);
    // Starts a sweep (see startSweep in the instrument). False, with `error`.
    bool startSweep(SweepKind kind, const SweepFrequencies &f, double settleS, QString *error);
    // Stops the run at once; `finished` follows with ok false.
    void cancel();
    bool running() const { return m_running; }

    // What the last sweep of each kind left (its points stay until the next
    // sweep of that kind starts).
    const QVector<SweepPoint> &points(SweepKind kind) const
    {
        return kind == SweepKind::Calibration ? m_calPoints : m_measPoints;
    }
    const SweepPlan &plan(SweepKind kind) const
    {
        return kind == SweepKind::Calibration ? m_calPlan : m_measPlan;
    }
    // Whether the last run ended measured (false when it failed or was stopped).
    bool lastOk() const { return m_lastOk; }
    QString lastError() const { return m_lastError; }

Q_SIGNALS:
    // A run started (true) or ended (false, right before `finished`).
    void runningChanged(bool running);
    // The run has ended; `error` says why when !ok (empty after a stop).
    void finished(bool ok, const QString &error);
    // A reading of a chain has ended well (its field holds the level).
    void readingDone(Control button);
    // A sweep point was measured or failed.
    void pointDone(SweepKind kind, int index, const SweepPoint &point);

private:
    void nextReading();
    void end(bool ok, const QString &error);
    // The text of a message the instrument asked for during the run.
    void take(struct MessageRequest *r);

    Instrument &m_instrument;
    QList<Control> m_buttons; // readings still to take
    bool m_running = false;
    bool m_cancelled = false;
    bool m_lastOk = false;
    QString m_lastError;
    QString m_message; // first message of the run
    QVector<SweepPoint> m_calPoints, m_measPoints;
    SweepPlan m_calPlan, m_measPlan;
};
