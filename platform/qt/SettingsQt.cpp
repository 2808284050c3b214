#include "platform/qt/SettingsQt.h"

SettingsQt::SettingsQt()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("TQX"), QStringLiteral("TQX"))
{
}

SettingsQt::SettingsQt(const QString &iniFile)
    : m_settings(iniFile, QSettings::IniFormat)
{
}

QString SettingsQt::get(const QString &section, const QString &key, const QString &def)
{
    const QVariant v = m_settings.value(section + QLatin1Char('/') + key);
    if (!v.isValid())
        return def;
    // A hand-edited value such as "a, b" reads back as a list; join it again.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void SettingsQt::save(const QString &section, const QString &key, const QString &value)
{
    m_settings.setValue(section + QLatin1Char('/') + key, value);
}

void SettingsQt::deleteSection(const QString &section)
{
    m_settings.remove(section);
}

void SettingsQt::flush()
{
    m_settings.sync();
}
