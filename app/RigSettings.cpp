#include "app/RigSettings.h"

namespace {

const QString kSection = QStringLiteral("Rig");

// A whole number of at most 9 digits in the C locale, or -1.
int wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9)
        return -1;
    bool ok = false;
    const int v = t.toInt(&ok);
    return ok ? v : -1;
}

} // namespace

QList<int> RigSettings::serialSpeeds()
{
    return {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
}

RigConfig loadRigConfig(ISettingsStore &store)
{
    RigConfig c;
    const int model = wholeNumber(store.get(kSection, QStringLiteral("Model"), QStringLiteral("0")));
    c.model = model >= 0 && model <= RigSettings::kMaxModel ? model : 0;
    c.port = store.get(kSection, QStringLiteral("Port"), QString()).trimmed().left(RigSettings::kMaxPortLength);
    const int baud = wholeNumber(store.get(kSection, QStringLiteral("Baud"), QStringLiteral("0")));
    c.baud = RigSettings::serialSpeeds().contains(baud) ? baud : 0;
    return c;
}

void saveRigConfig(ISettingsStore &store, const RigConfig &config)
{
    store.save(kSection, QStringLiteral("Model"), QString::number(config.model));
    store.save(kSection, QStringLiteral("Port"), config.port);
    store.save(kSection, QStringLiteral("Baud"), QString::number(config.baud));
}
