// Start-up time of `tqx` against a Qt Widgets hello-world (bench_hello):
// the time from starting the program to its main window being on the screen,
// which both report on standard output when TQX_EXIT_WHEN_SHOWN=1 (see
// gui/ExitWhenShown.h). The two are started alternately, so that load on
// the machine and the state of its caches weigh on both alike, after one
// untimed start of each. Prints each one's median and minimum and the ratio
// tqx/hello of the medians (target: at most 1.5); exit status 1 when missed.
//
// usage: bench_startup [-n RUNS] [--display] [TQX [HELLO]]
//   -n RUNS    starts of each program (default 10)
//   --display  the X server of $DISPLAY (for example Xvfb) instead of Qt's
//              offscreen platform
// The programs run with private, empty configuration, cache, data and
// runtime folders, so the user's own settings are neither read nor touched.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr double kTargetRatio = 1.5;
constexpr int kShowTimeoutMs = 30000;

struct Timing {
    std::vector<double> ms;
    double median() const
    {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        const size_t n = s.size();
        return n == 0 ? 0 : n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
    double min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
};

// Milliseconds from start to the "shown" line; nothing when the program
// failed to start or to show its window in time.
std::optional<double> timeOnce(const QString &program, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, {}, QIODevice::ReadOnly);
    QByteArray out;
    std::optional<double> ms;
    while (!ms && clock.elapsed() < kShowTimeoutMs && p.waitForReadyRead(kShowTimeoutMs)) {
        out += p.readAllStandardOutput();
        if (out.startsWith("shown\n") || out.contains("\nshown\n"))
            ms = clock.nsecsElapsed() / 1e6;
    }
    // The next start waits for this one to have ended.
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(3000);
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 10;
    bool display = false;
    QStringList programs;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-n") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--display"))
            display = true;
        else
            programs << args[i];
    }
    const QString tqx = programs.value(0, QStringLiteral(TQX_BENCH_TQX));
    const QString hello = programs.value(1, QStringLiteral(TQX_BENCH_HELLO));
    if (display && qEnvironmentVariable("DISPLAY").isEmpty()) {
        std::fprintf(stderr, "--display: DISPLAY is not set\n");
        return 2;
    }

    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const QString dir = home.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QString::fromLatin1(name), dir);
    }
    env.insert(QStringLiteral("TQX_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
    if (display)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    else
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    const QString names[2] = {QStringLiteral("hello"), QStringLiteral("tqx")};
    const QString paths[2] = {hello, tqx};
    Timing timing[2];
    for (int round = -1; round < runs; ++round) { // round -1: untimed, fills the caches
        for (int k = 0; k < 2; ++k) {
            const std::optional<double> ms = timeOnce(paths[k], env);
            if (!ms) {
                std::fprintf(stderr, "%s did not show its window: %s\n", qPrintable(names[k]),
                             qPrintable(paths[k]));
                return 2;
            }
            if (round >= 0)
                timing[k].ms.push_back(*ms);
        }
    }
    std::printf("start to window shown, %d starts each, %s platform\n", runs, display ? "X11" : "offscreen");
    for (int k = 0; k < 2; ++k)
        std::printf("  %-5s median %7.1f ms  min %7.1f ms  (%s)\n", qPrintable(names[k]), timing[k].median(),
                    timing[k].min(), qPrintable(paths[k]));
    const double ratio = timing[1].median() / timing[0].median();
    std::printf("  tqx/hello: median %.2f, min %.2f (target: median at most %.1f)\n", ratio,
                timing[1].min() / timing[0].min(), kTargetRatio);
    return ratio <= kTargetRatio ? 0 : 1;
}
