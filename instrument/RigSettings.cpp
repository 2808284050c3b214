#include "instrument/RigSettings.h"

#include "sheet/NumText.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

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

QString RigSettings::modelLabel(const RigModelInfo &m)
{
    return QStringLiteral("%1 %2 (%3)").arg(m.maker, m.name).arg(m.model);
}

bool RigSettings::modelMatches(const RigModelInfo &m, const QString &search)
{
    const QString label = modelLabel(m);
    const QStringList words = search.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(),
                       [&label](const QString &w) { return label.contains(w, Qt::CaseInsensitive); });
}

QString RigSettings::frequencyText(double hz)
{
    const std::pair<double, const char *> units[] = {{1e9, "GHz"}, {1e6, "MHz"}, {1e3, "kHz"}};
    for (const auto &[scale, unit] : units)
        if (std::abs(hz) >= scale)
            return QStringLiteral("%1 %2").arg(NumToText(hz / scale), QLatin1String(unit));
    return QStringLiteral("%1 Hz").arg(NumToText(hz));
}

RigConfig loadRigConfig(ISettingsStore &store)
{
    RigConfig c;
    const int model = wholeNumber(store.get(kSection, QStringLiteral("Model"), QStringLiteral("0")));
    c.model = model >= 0 && model <= RigSettings::kMaxModel ? model : 0;
    c.port =
        store.get(kSection, QStringLiteral("Port"), QString()).trimmed().left(RigSettings::kMaxPortLength);
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
