// Audio device choice and the readings' route, remembered in the settings
// store's section "Audio": Input, InputName, Output, OutputName (the device
// ids and the names the user saw) and Route ("bench" for the virtual bench).

#include "instrument/Commands.h"

#include "acquire/Bench.h"
#include "acquire/Reading.h"

namespace {
const QString kSection = QStringLiteral("Audio");
const QString kCaption = QStringLiteral("TQX");
const QString kRouteKey = QStringLiteral("Route");
const QString kBench = QStringLiteral("bench");
} // namespace

bool chooseAudioDevice(Instrument &m, bool input, const QString &id, const QString &name)
{
    // The sound card's choice, whatever the route: the bench has no devices
    // to choose from.
    IAudio *audio = m.services().audio;
    if (!audio)
        return false;
    const bool ok = input ? audio->setInputDevice(id) : audio->setOutputDevice(id);
    if (ok) {
        if (ISettingsStore *store = m.services().settings) {
            store->save(kSection, input ? QStringLiteral("Input") : QStringLiteral("Output"), id);
            store->save(kSection, input ? QStringLiteral("InputName") : QStringLiteral("OutputName"), name);
            store->flush();
        }
    }
    return ok;
}

void restoreAudioDevices(Instrument &m)
{
    ISettingsStore *store = m.services().settings;
    IAudio *audio = m.services().audio;
    if (!store || !audio)
        return;
    QStringList missing;
    for (bool input : {true, false}) {
        const QString key = input ? QStringLiteral("Input") : QStringLiteral("Output");
        const QString id = store->get(kSection, key, QString()).trimmed();
        const bool ok = input ? audio->setInputDevice(id) : audio->setOutputDevice(id);
        if (!ok) {
            QString name = store->get(kSection, key + QStringLiteral("Name"), QString()).trimmed();
            name = name.isEmpty() ? id : name + QStringLiteral(" (") + id + QStringLiteral(")");
            missing << (input
                            ? QStringLiteral("The audio input \"%1\" is not available; TQX records from the "
                                             "default input.")
                            : QStringLiteral(
                                  "The audio output \"%1\" is not available; TQX plays through the "
                                  "default output."))
                           .arg(name);
        }
    }
    if (!missing.isEmpty())
        m.message(kCaption, missing.join(QLatin1Char('\n')), MsgIcon::Exclamation);
}

DeviceRoute loadRoute(Instrument &m)
{
    ISettingsStore *store = m.services().settings;
    const bool bench = store && store->get(kSection, kRouteKey, QString()).trimmed() == kBench;
    m.sheet().setChecked(Control::mnuOptionsBench, bench);
    return bench ? DeviceRoute::Bench : DeviceRoute::SoundCard;
}

void storeRoute(Instrument &m)
{
    const bool bench = m.route() == DeviceRoute::Bench;
    m.sheet().setChecked(Control::mnuOptionsBench, bench);
    if (ISettingsStore *store = m.services().settings) {
        store->save(kSection, kRouteKey, bench ? kBench : QString());
        store->flush();
    }
}

NoiseSourceLines noiseSourceLines(const Instrument &m)
{
    NoiseSourceLines lines;
    lines.serial = m.serialLines();
    lines.port = m.session().ComPort;
    lines.enabled = m.session().ComEnabled > 0;
    return lines;
}

std::unique_ptr<Reading> makeReading(Instrument &m, ReadingPlan plan)
{
    plan.templateWave = m.session().templateWave();
    plan.tempWave = m.session().TempWave;
    m.syncBench();
    return std::make_unique<Reading>(m.audio(), noiseSourceLines(m), plan);
}
