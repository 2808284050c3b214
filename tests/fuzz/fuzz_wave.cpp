// Arbitrary file bytes as a reading and as the template wave. As a reading: the header walk and the level
// analysis over the sample count the reading passes (the whole samples the data chunk really holds). As the
// template: the input monitor starts from it, refusing a rate no sound card records at before anything is
// sized after it (the replay runs with a malloc limit, so a buffer sized after a hostile rate fails), and
// analyses a few windows at the rate it accepted.
#include "acquire/Monitor.h"
#include "acquire/Wave.h"
#include "platform/Audio.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// A stream that never delivers: the harness feeds the monitor itself.
class SilentJob : public AudioJob
{
    void halt() override {}
};
class SilentAudio : public IAudio
{
public:
    int streamedRate = 0;
    std::unique_ptr<AudioJob> record(int, qint64) override { return {}; }
    std::unique_ptr<AudioJob> stream(int rate) override
    {
        return streamedRate = rate, std::make_unique<SilentJob>();
    }
    std::unique_ptr<AudioJob> play(const QString &) override { return {}; }
    void beep(int, int) override {}
    bool hasInput() override { return true; }
};

struct MonitorRig {
    int argc = 1;
    char name[8] = "fuzz";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("TQX.wav"));
    SilentAudio audio;
    Monitor monitor{&audio, path};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const WaveInfo info = ReadWaveHeader(file);
    if (info.Rate > 0 && info.Samples > 0)
        analyseLevel(file, file.pos(), wholeSamples(info), info.Rate, true);

    static MonitorRig rig;
    QFile tpl(rig.path);
    if (!tpl.open(QIODevice::WriteOnly | QIODevice::Truncate) || tpl.write(bytes) != bytes.size())
        std::abort();
    tpl.close();
    rig.audio.streamedRate = 0;
    rig.monitor.start();
    const bool running = rig.monitor.state() == Monitor::State::Running;
    if (running != supportedWaveRate(info.Rate) || (running && rig.audio.streamedRate != info.Rate))
        std::abort(); // the monitor listens at exactly the rate a reading would record at, or not at all
    if (running) {
        // Six windows (one spectrum) of the input's own bytes as samples.
        std::vector<qint16> x(std::size_t(rig.monitor.rate() / Monitor::kWindowsPerSecond) * 6);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = size >= 2 ? qint16(data[(2 * i) % (size - 1)] | data[(2 * i + 1) % (size - 1)] << 8) : 0;
        rig.monitor.process(x.data(), qsizetype(x.size()));
    }
    rig.monitor.stop();
    QCoreApplication::processEvents();                                   // the refusal
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the discarded stream
    return 0;
}
