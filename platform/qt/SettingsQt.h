#pragma once
// The per-user settings store: an INI file read and written with QSettings
// ($XDG_CONFIG_HOME/TQX/TQX.ini, normally ~/.config/TQX/TQX.ini), sections
// "default" and "Com", every value a string, so it can be edited by hand.

#include "platform/SettingsStore.h"

#include <QSettings>

class SettingsQt : public ISettingsStore
{
public:
    SettingsQt();
    explicit SettingsQt(const QString &iniFile); // an explicit file, for tests
    QString get(const QString &section, const QString &key, const QString &def) override;
    void save(const QString &section, const QString &key, const QString &value) override;
    void deleteSection(const QString &section) override;
    void flush() override;
    QString fileName() const { return m_settings.fileName(); }

private:
    QSettings m_settings;
};
