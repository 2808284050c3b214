// The cost of averaging beyond the readings themselves: one measurement
// button averaging N = 100 readings against the same 100 readings taken one
// by one, on the virtual bench (its recordings are simulated as fast as the
// machine computes them, so each reading's time is its own work: simulated
// recording, the two files, the analysis).
//
// The 100 single readings are timed each from the click to the end of its
// operation and summed; the average is timed from its click to its end. The
// difference is what the average adds: starting each next reading, the
// working window's text and progress, the sum. Five rounds alternate the
// two; the medians are compared. Target: the average at most 1 % over the
// readings' own time. Prints the figures; exit status 1 when missed.
#include "acquire/Bench.h"
#include "instrument/Instrument.h"
#include "instrument/Sequence.h"
#include "sheet/NumText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCount = 100;
constexpr int kRounds = 5;
constexpr double kTargetPercent = 1.0;

// Presses btnNoise11 and waits for its operation to end; wall time in ms.
double timedClick(Instrument &m)
{
    QEventLoop loop;
    QObject::connect(&m, &Instrument::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    QElapsedTimer t;
    t.start();
    MeasureButton(m, Control::btnNoise11); // the button's own action, whatever the sheet's states
    if (m.busy())
        loop.exec();
    return t.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Instrument m(Services{});
    m.session().AppDir = QStringLiteral(TQX_BENCH_DATA_DIR "/");
    m.session().TempWave = dir.filePath(QStringLiteral("~0000AVG"));
    m.session().ComEnabled = 0; // reading 1 leaves the lines alone: no settling wait
    m.sheet().setText(Field::Interval, QStringLiteral("0.1"));
    for (Field f : {Field::Tatt1, Field::Tatt2}) // the bench's attenuators: 0 dB at 290 K
        m.sheet().setText(f, QStringLiteral("290"));
    m.setRoute(DeviceRoute::Bench);

    std::vector<double> singles, averages;
    for (int round = 0; round < kRounds; ++round) {
        m.session().Averages = 1;
        double sum = 0;
        for (int i = 0; i < kCount; ++i)
            sum += timedClick(m);
        singles.push_back(sum);
        m.session().Averages = kCount;
        averages.push_back(timedClick(m));
        if (m.sheet().text(Field::Noise11).isEmpty()) {
            std::fprintf(stderr, "the average measured nothing\n");
            return 1;
        }
    }
    const double single = median(singles), average = median(averages);
    const double overhead = 100.0 * (average - single) / single;
    std::printf("%d readings one by one: median %.1f ms (%.2f ms each)\n", kCount, single, single / kCount);
    std::printf("one average of %d:      median %.1f ms\n", kCount, average);
    std::printf("overhead of the average: %+.2f %% (target at most %.0f %%)\n", overhead, kTargetPercent);
    return overhead <= kTargetPercent ? 0 : 1;
}
