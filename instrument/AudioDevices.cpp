// Audio device choice and the readings' route, remembered in the settings
// store's section "Audio": Input, InputName, Output, OutputName (the device
// ids and their descriptions, as the desktop names them) and Route ("bench"
// for the virtual bench). Older versions stored the list's label as the
// name, with " (default)" after the default device's description; such a
// name still finds its device.

#include "instrument/Commands.h"

#include "acquire/Bench.h"
#include "acquire/Reading.h"

namespace {
const QString kSection = QStringLiteral("Audio");
const QString kCaption = QStringLiteral("TQX");
const QString kRouteKey = QStringLiteral("Route");
const QString kBench = QStringLiteral("bench");
const QString kDefaultMark = QStringLiteral(" (default)"); // how the list marks the default device

QString idKey(bool input)
{
    return input ? QStringLiteral("Input") : QStringLiteral("Output");
}

QString nameKey(bool input)
{
    return idKey(input) + QStringLiteral("Name");
}

QList<AudioDevice> devices(IAudio &audio, bool input)
{
    return input ? audio.inputDevices() : audio.outputDevices();
}

// A stored name as the desktop's description: without the list's mark of
// the default device.
QString descriptionOf(const QString &name)
{
    const QString t = name.trimmed();
    return t.endsWith(kDefaultMark) ? t.chopped(kDefaultMark.size()).trimmed() : t;
}

// The id of the one device described as `description`; empty when none or
// several are.
QString idDescribedAs(IAudio &audio, bool input, const QString &description)
{
    QString found;
    for (const AudioDevice &d : devices(audio, input)) {
        if (description.isEmpty() || d.description != description)
            continue;
        if (!found.isEmpty())
            return QString();
        found = d.id;
    }
    return found;
}

void remember(ISettingsStore &store, bool input, const QString &id, const QString &description)
{
    store.save(kSection, idKey(input), id);
    store.save(kSection, nameKey(input), description);
    store.flush();
}
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
        // Remembered with the desktop's own description, whatever label
        // the caller showed.
        QString description = descriptionOf(name);
        for (const AudioDevice &d : devices(*audio, input))
            if (d.id == id && !id.isEmpty())
                description = d.description;
        if (ISettingsStore *store = m.services().settings)
            remember(*store, input, id, description);
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
        const QString id = store->get(kSection, idKey(input), QString()).trimmed();
        if (input ? audio->setInputDevice(id) : audio->setOutputDevice(id))
            continue;
        // The id is not listed: the device described by the stored name, if
        // exactly one is (a name from an older version, or a card the
        // desktop now lists under another id).
        const QString description = descriptionOf(store->get(kSection, nameKey(input), QString()));
        const QString found = idDescribedAs(*audio, input, description);
        if (!found.isEmpty() && (input ? audio->setInputDevice(found) : audio->setOutputDevice(found))) {
            remember(*store, input, found, description);
            continue;
        }
        const QString shown =
            description.isEmpty() ? id : description + QStringLiteral(" (") + id + QLatin1Char(')');
        missing << (input ? QStringLiteral("The audio input \"%1\" is not available; TQX records from the "
                                           "default input.")
                          : QStringLiteral("The audio output \"%1\" is not available; TQX plays through the "
                                           "default output."))
                       .arg(shown);
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
    lines.enabled = m.session().ComEnabled > 0 && !m.session().HotColdLoads; // loads change by hand
    return lines;
}

std::unique_ptr<Reading> makeReading(Instrument &m, ReadingPlan plan)
{
    plan.templateWave = m.session().templateWave();
    plan.tempWave = m.session().TempWave;
    m.syncBench();
    return std::make_unique<Reading>(m.audio(), noiseSourceLines(m), plan);
}
