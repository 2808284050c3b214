#pragma once
// How long a running operation still needs: the "about ... left" of the
// sweep window and of the working window.
//
// The operation reports the fraction of its work done (0..1) and the
// seconds of work so far (time spent waiting for the user excluded by the
// caller). The estimate is seconds per whole run, the ratio of two
// exponentially weighted sums, of the time spent and of the fraction
// gained between reports, each older share fading by a factor
// kMemory per whole run. One fast or slow step (a simulated recording that
// takes no time, a first point that waited for the receiver) therefore
// moves the figure only part of the way, and many small reports weigh
// alike with a few large ones.
//
// A first guess of the whole duration counts as a tenth of the run of
// evidence. Without a guess the first report only sets the origin: the
// time before it (opening a device, switching the noise source) says
// nothing of the rate, and no estimate is given until a second report.
//
// Between reports the time left counts down with the clock, but never to
// zero while work remains: at least kMinimumS until the fraction reaches 1.
// Plain values; it reads no clock of its own.

#include <QString>

class TimeLeft
{
public:
    static constexpr double kMemory = 0.01;     // weight left of evidence one whole run old
    static constexpr double kGuessWeight = 0.1; // a first guess counts as this fraction of the run
    static constexpr double kMinimumS = 1;

    // Starts over; `guessS` is the whole run's expected duration in
    // seconds (0 or less: unknown).
    void start(double guessS);
    // `fraction` of the work was done after `elapsedS` seconds of work.
    // Reports that go back in time or fraction, or are not finite, are
    // ignored.
    void update(double elapsedS, double fraction);
    // Seconds left at `elapsedS`: 0 when the work is done, at least
    // kMinimumS while some remains, below 0 while unknown.
    double secondsLeft(double elapsedS) const;

private:
    double m_spentS = 0;   // weighted seconds of work ...
    double m_gained = 0;   // ... over the weighted fraction they gained
    double m_lastS = 0;    // the latest report: its time
    double m_fraction = 0; // and its fraction
    bool m_origin = false; // a report (or a guess) has set the origin
};

// A duration for a person: "26 s", "3 min 5 s", "1 h 2 min", rounded to
// whole seconds and at least "1 s"; empty for 0 (done), a value below 0
// (unknown) or one not finite.
QString durationText(double seconds);
