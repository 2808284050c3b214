// Reading the settings file at its largest: a file of 4 MiB (the most the
// settings store reads) is written to a temporary folder, read back and
// parsed (instrument/SettingsIni.h), in two shapes: many sections of a few
// dozen keys each, and one section holding every key (as a hand-merged or
// generated [default] would). Each shape is parsed five times; the best
// time counts, so that a busy machine does not fail the check. Prints the
// times in milliseconds (target: each under 100 ms); exit status 1 when
// missed, 2 when the file cannot be written or reads back wrong.
//
// usage: bench_settings

#include "instrument/SettingsIni.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype kFileBytes = 4 * 1024 * 1024;
constexpr double kTargetMs = 100;
constexpr int kRuns = 5;

// Sections of keysPerSection keys each (a single section when 0) until the
// file holds kFileBytes; returns the number of keys written.
QByteArray makeFile(int keysPerSection, qsizetype &keys)
{
    QByteArray out;
    out.reserve(kFileBytes + 256);
    keys = 0;
    int section = 0;
    while (out.size() < kFileBytes) {
        if (keys == 0 || (keysPerSection > 0 && keys % keysPerSection == 0))
            out += "[Section" + QByteArray::number(section++) + "]\n";
        out += "Key" + QByteArray::number(keys) + "=\"Value, number " + QByteArray::number(keys) + "\"\n";
        ++keys;
    }
    return out;
}

// Best of kRuns: read the file and parse it. -1 when it reads back wrong.
double bestParseMs(const QString &path, qsizetype keys)
{
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const IniDocument doc = ParseSettingsIni(file.readAll());
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        qsizetype entries = 0;
        for (const IniSection &s : doc)
            entries += s.entries.size();
        if (entries != keys)
            return -1;
        best = std::min(best, ms);
    }
    return best;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    bool missed = false;
    const struct {
        const char *name;
        int keysPerSection;
    } shapes[] = {{"many sections of 40 keys", 40}, {"one section", 0}};
    for (const auto &shape : shapes) {
        qsizetype keys = 0;
        const QByteArray bytes = makeFile(shape.keysPerSection, keys);
        const QString path = dir.filePath(QStringLiteral("TQX.ini"));
        QFile file(path);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench_settings: cannot write %s\n", qPrintable(path));
            return 2;
        }
        file.close();
        const double ms = bestParseMs(path, keys);
        if (ms < 0) {
            std::fprintf(stderr, "bench_settings: %s: the file did not read back whole\n", shape.name);
            return 2;
        }
        std::printf("%-26s %8lld bytes %7lld keys: %7.1f ms (target < %.0f ms)\n", shape.name,
                    static_cast<long long>(bytes.size()), static_cast<long long>(keys), ms, kTargetMs);
        missed = missed || ms >= kTargetMs;
    }
    return missed ? 1 : 0;
}
