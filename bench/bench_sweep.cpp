// Time per sweep point beyond its physical floor, on the virtual bench (its
// own audio, lines and tuning), for 10 and 100 points.
//
// A real point cannot be faster than its floor: the settling time after the
// tuning, two recordings of (interval + 1.1 s recording margin) and two
// 100 ms beeps. The bench's recordings are simulated as fast as the machine
// computes them, so here a point's wall time minus its deliberate waits
// (the settling time, and the 500 ms the noise source gets after the serial
// lines switch it) is all the sweep's own cost - tuning and read-back,
// simulated recording, file I/O, analysis, the physics and the event loop -
// an upper bound of the time a real sweep spends beyond its floor (less a
// real rig's own tuning time). Target: <= 100 ms per point with serial
// switching (one tuning per point). By hand (the prompt answered at once)
// each point is tuned twice, once for its source-off and once for its
// source-on reading. Prints the figures; exit status 1 when the target is
// missed.
//
// Then the sweep window's own cost per point - its table row, its plot and
// the repaint they cause - with 100 and with 10,000 points (the most a plan
// holds): synthetic measured points fed to a shown window (Qt's offscreen
// platform unless QT_QPA_PLATFORM names another), the last 100 of each run
// timed. A point is appended to the plot and the axes change only when it
// falls outside them, so the two figures should be close. Printed only.
#include "acquire/Bench.h"
#include "acquire/NoiseSwitch.h"
#include "acquire/Sweep.h"
#include "gui/SweepWindow.h"
#include "instrument/Commands.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kIntervalS = 0.1;   // seconds kept per reading
constexpr double kSettleS = 0.02;    // settling time after each tuning
constexpr double kMarginS = 1.1;     // recorded beyond the interval (the first second is dropped)
constexpr double kBeepsS = 2 * 0.1;  // one 100 ms beep per reading
constexpr double kTargetMs = 100;

struct Run {
    double wallMs = 0;
    int measured = 0;
};

Run sweep(Instrument &m, int points, bool serial)
{
    m.session().ComEnabled = serial ? 1 : 0;
    SweepFrequencies f;
    f.source = SweepFrequencies::Source::Range;
    f.startMhz = 100, f.stopMhz = 100 + (points - 1) * 400.0 / std::max(points - 1, 1), f.stepMhz = 400.0 / std::max(points - 1, 1);
    const PlanResult p = makeSweepPlan(m.session(), m.enrTable(), SweepKind::Calibration, f, kSettleS, false);
    if (!p.error.isEmpty()) {
        std::fprintf(stderr, "plan refused: %s\n", qPrintable(p.error));
        return {};
    }
    Sweep s(m.rig(), [&m](const ReadingPlan &plan) { return makeReading(m, plan); }, p.plan,
            RigConfig{1, QString(), 0});
    QObject::connect(&s, &Sweep::sourcePrompt, &s, [&m, &s] {
        m.bench().setManualSource(true);
        s.resume();
    });
    QObject::connect(&s, &Operation::ended, qApp, &QCoreApplication::quit);
    m.bench().setManualSource(false);
    QElapsedTimer t;
    t.start();
    s.start();
    QCoreApplication::exec();
    Run r;
    r.wallMs = t.nsecsElapsed() / 1e6;
    for (const SweepPoint &pt : s.points())
        r.measured += pt.state == SweepPoint::State::Measured;
    if (!s.message().isEmpty())
        std::fprintf(stderr, "sweep failed: %s\n", qPrintable(s.message()));
    return r;
}

// Milliseconds the window spends per point near the end of a sweep of `points`.
double windowMsPerPoint(Instrument &m, int points)
{
    SweepWindow w(m);
    w.show();
    QVector<SweepPoint> plan(points);
    for (int i = 0; i < points; ++i)
        plan[i].mhz = 100 + 0.1 * i;
    w.beginPoints(SweepKind::Calibration, plan);
    QCoreApplication::processEvents();
    const int timed = std::min(points, 100);
    QElapsedTimer t;
    for (int i = 0; i < points; ++i) {
        SweepPoint p = plan[i];
        p.state = SweepPoint::State::Measured;
        p.tunedMhz = p.mhz;
        p.path.nfDb = 2 + std::sin(i * 0.01); // a noise figure that wanders, within the first axes
        p.path.yDb = 8, p.path.te = 170, p.rxTeK = 170;
        if (i == points - timed)
            t.start();
        w.updatePoint(i, p);
        if (i >= points - timed)
            QCoreApplication::processEvents(); // the repaint, as between two real points
    }
    return t.nsecsElapsed() / 1e6 / timed;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Instrument m(Services{});
    m.session().AppDir = QStringLiteral(TQX_BENCH_DATA_DIR "/");
    m.session().TempWave = dir.filePath(QStringLiteral("~0000SWEEP"));
    m.session().ComPort = 1; // the bench's virtual port
    Sheet &s = m.sheet();
    s.setText(Field::Interval, FormatFixed(kIntervalS, QStringLiteral("0.000")));
    s.setText(Field::Thot, FormatFixed(m.bench().truth().thotK, QStringLiteral("0.0")));
    s.setText(Field::Tcold, QStringLiteral("290"));
    for (Field f : {Field::Tatt1, Field::Tatt2})
        s.setText(f, QStringLiteral("290"));
    s.setChecked(Control::mnuOptionsLimits, true);
    m.setRoute(DeviceRoute::Bench); // the bench's audio, lines and tuning

    const double floorS = kSettleS + 2 * (kIntervalS + kMarginS) + kBeepsS;
    std::printf("physical floor per point: %.0f ms (settling %.0f ms, 2 x (%.0f + %.0f) ms recording, %.0f ms beeps)\n",
                floorS * 1e3, kSettleS * 1e3, kIntervalS * 1e3, kMarginS * 1e3, kBeepsS * 1e3);
    bool ok = true;
    for (bool serial : {true, false}) {
        // Deliberate waits per point: the settling after each tuning, and the
        // source's 500 ms after the lines switch it on (serial switching).
        const double waitsMs = serial ? kSettleS * 1e3 + kSettleMs : 2 * kSettleS * 1e3;
        for (int points : {10, 100}) {
            const Run r = sweep(m, points, serial);
            const double perPoint = r.wallMs / points;
            const double overhead = perPoint - waitsMs;
            if (serial)
                ok = ok && r.measured == points && overhead <= kTargetMs;
            std::printf("%-16s %3d points: %3d measured, %6.1f ms per point on the bench, %5.1f ms of it waits, "
                        "overhead beyond the floor %5.1f ms per point%s\n",
                        serial ? "serial switching" : "by hand", points, r.measured, perPoint, waitsMs, overhead,
                        serial ? " (target <= 100)" : "");
        }
    }
    for (int points : {100, 10000})
        std::printf("sweep window, %5d points: %6.2f ms per point (table row, plot, repaint)\n", points,
                    windowMsPerPoint(m, points));
    return ok ? 0 : 1;
}
