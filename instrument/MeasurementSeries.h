#pragma once
// A measurement series: the whole spot measurement with serial switching
// (the readings "1 Noise LO", "2 Noise HI", "3 Noise LO", "4 Noise HI", in
// that order, each the session's Averages of readings), repeated a number
// of times, or every T seconds for a total time or until stopped. The zero
// (SC&Z) is the one taken before, or is taken once first when the plan asks.
// Each reading goes through the measurement buttons' own machinery
// (Sequence.h), so the sheet shows the latest run as a normal measurement;
// after each run a SeriesRun value reports its results at full precision.
//
// It is the instrument's one running operation. Cancel stops at once: the
// run in progress is dropped (its levels and results go back to those of
// the last completed run) and the completed runs stay reported. A reading
// that fails ends the series with its message; a run whose readings give no
// noise figure (a level not above the zero, a clipped reading, impossible
// temperatures) is reported with the reason and the series goes on.
//
// It needs the source and path switched by the serial lines: serial
// switching on, or the virtual bench route (whose own lines need no
// setting). Instrument thread.

#include "acquire/SeriesRun.h"
#include "sheet/Operation.h"

#include <QDateTime>
#include <QString>
#include <QTimer>

#include <memory>

class AveragedReading;
class Instrument;

struct SeriesPlan {
    int count = 0;         // runs; 0: no limit
    double periodS = 0;    // from the start of one run to the next; 0: back to back
    double totalS = 0;     // no run starts later than this after the first; 0: no limit
    bool takeZero = false; // SC&Z once before the first run (the bench unplugs its receiver)
    bool working = false;  // show the working indicator while a run is measured
};

class MeasurementSeries : public Operation
{
    Q_OBJECT
public:
    // Longest series: a bound on what a front end keeps (about a week of
    // back-to-back runs).
    static constexpr int kMaxRuns = 100000;

    // Checks the plan and the switching, begins the series as the
    // instrument's operation and starts it. Null, with the reason in
    // `error`, when it cannot start (nothing changes then).
    static MeasurementSeries *start(Instrument &m, const SeriesPlan &plan, QString *error);
    ~MeasurementSeries() override;

    void cancel() override;
    const SeriesPlan &plan() const { return m_plan; }
    int runsDone() const { return m_runs; }
    bool cancelled() const { return m_cancelled; }
    // Why the series ended early (a failed reading); empty otherwise.
    QString failure() const { return m_failure; }

Q_SIGNALS:
    // A run has been measured (or gave no noise figure).
    void runDone(const SeriesRun &run);
    // A reading starts: `run` from 0 (-1 for the zero), `step` 0..3 of the run.
    void readingStarted(int run, int step);
    // Between runs: the next run starts at `next` (UTC).
    void waiting(const QDateTime &next);

private:
    MeasurementSeries(Instrument &m, const SeriesPlan &plan);
    void startReading(int step);
    void readingEnded();
    void runFinished();
    void startRun();
    void finish();
    void keepSheet();
    void restoreSheet();
    SeriesRun collect() const;
    void showProgress(double withinRun);

    Instrument &m_instrument;
    SeriesPlan m_plan;
    bool m_switchAlways = false;
    AveragedReading *m_current = nullptr; // child of this
    bool m_measuring = false;             // m_current runs
    int m_step = -1;                      // -1: the zero
    int m_runs = 0;                       // completed runs
    bool m_ended = false;
    bool m_cancelled = false;
    bool m_unplugged = false;
    bool m_wasConnected = true;
    QString m_failure;
    QDateTime m_first;    // start of the first run (UTC)
    QDateTime m_runStart; // start of the run in progress
    QTimer m_wait;        // until the next run
    struct Kept;
    std::unique_ptr<Kept> m_kept; // the sheet's levels and results after the last complete run
};
