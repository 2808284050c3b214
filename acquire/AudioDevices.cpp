#include "acquire/AudioDevices.h"

#include "acquire/Bench.h"
#include "sheet/Meter.h"

namespace {
const QString kSection = QStringLiteral("Audio");
const QString kCaption = QStringLiteral("TQX");

bool onBench(Meter &m)
{
    return m.platform().audio == &m.bench().audio();
}

bool choose(Meter &m, bool input, const QString &id, const QString &name)
{
    IAudio *audio = m.platform().audio;
    if (!audio)
        return false;
    const bool ok = input ? audio->setInputDevice(id) : audio->setOutputDevice(id);
    if (ok && !onBench(m)) {
        if (ISettingsStore *store = m.platform().settings) {
            store->save(kSection, input ? QStringLiteral("Input") : QStringLiteral("Output"), id);
            store->save(kSection, input ? QStringLiteral("InputName") : QStringLiteral("OutputName"), name);
            store->flush();
        }
    }
    return ok;
}
} // namespace

void AudioDevicesLoad(Meter &m)
{
    ISettingsStore *store = m.platform().settings;
    IAudio *audio = m.platform().audio;
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

bool ChooseInputDevice(Meter &m, const QString &id, const QString &name)
{
    return choose(m, true, id, name);
}

bool ChooseOutputDevice(Meter &m, const QString &id, const QString &name)
{
    return choose(m, false, id, name);
}
