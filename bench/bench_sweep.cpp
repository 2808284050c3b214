// Time per sweep point beyond its physical floor, on the virtual bench with
// Hamlib's dummy rig (model 1, in process), for 10 and 100 points.
//
// A real point cannot be faster than its floor: the settling time after the
// tuning, two recordings of (interval + 1.1 s recording margin) and two
// 100 ms beeps. The bench's recordings are simulated as fast as the machine
// computes them, so here a point's wall time minus its deliberate waits
// (the settling time, and the 500 ms the noise source gets after the serial
// lines switch it) is all the sweep's own cost - the rig library's tuning
// and read-back, simulated recording, file I/O, analysis, the physics and
// the event loop - an upper bound of the time a real sweep spends beyond its
// floor. Target: <= 100 ms per point with serial switching (one tuning per
// point). By hand (the prompt answered at once) each point is tuned twice,
// once for its source-off and once for its source-on reading; Hamlib's
// dummy rig alone takes about 40 ms per tuning. Prints the figures; exit
// status 1 when the target is missed.
#include "acquire/Bench.h"
#include "acquire/NoiseSwitch.h"
#include "acquire/Sweep.h"
#include "platform/qt/RigModule.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

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

Run sweep(Meter &m, int points, bool serial)
{
    m.ComEnabled = serial ? 1 : 0;
    SweepFrequencies f;
    f.source = SweepFrequencies::Source::Range;
    f.startMhz = 100, f.stopMhz = 100 + (points - 1) * 400.0 / std::max(points - 1, 1), f.stepMhz = 400.0 / std::max(points - 1, 1);
    const PlanResult p = makeSweepPlan(m, SweepKind::Calibration, f, kSettleS, false);
    if (!p.error.isEmpty()) {
        std::fprintf(stderr, "plan refused: %s\n", qPrintable(p.error));
        return {};
    }
    Sweep s(m, p.plan, RigConfig{1, QString(), 0});
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    RigModule rig({QStringLiteral(TQX_BENCH_DATA_DIR)}); // the module is built beside the data
    Platform platform;
    platform.rig = &rig;
    Meter m(platform);
    m.AppDir = QStringLiteral(TQX_BENCH_DATA_DIR "/");
    m.TempWave = dir.filePath(QStringLiteral("~0000SWEEP"));
    m.ComPort = 1; // the bench's virtual port
    Sheet &s = m.sheet();
    s.setText(Field::Interval, FormatFixed(kIntervalS, QStringLiteral("0.000")));
    s.setText(Field::Thot, FormatFixed(m.bench().truth().thotK, QStringLiteral("0.0")));
    s.setText(Field::Tcold, QStringLiteral("290"));
    for (Field f : {Field::Tatt1, Field::Tatt2})
        s.setText(f, QStringLiteral("290"));
    s.setChecked(Control::mnuOptionsLimits, true);
    m.bench().activate(m);

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
    m.bench().deactivate(m);
    return ok ? 0 : 1;
}
