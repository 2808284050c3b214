#pragma once
// The per-user settings store: an INI file ($XDG_CONFIG_HOME/TQX/TQX.ini,
// normally ~/.config/TQX/TQX.ini), sections "default" and "Com", every value
// a string, so it can be edited by hand. The file is read once when the
// store is made and written whole by flush(); a file that cannot be read
// (unreadable, over 4 MiB) is renamed to TQX.ini.bad by the first flush()
// instead of being written over, and loadProblem() says so. Values are read as plain text
// (instrument/SettingsIni.h): a hand-made or hostile file can make TQX show odd
// texts, never decode a stored object. User-interface thread only.

#include "instrument/SettingsIni.h"
#include "platform/SettingsStore.h"

class SettingsQt : public ISettingsStore
{
public:
    SettingsQt();
    explicit SettingsQt(const QString &iniFile); // an explicit file, for tests
    QString get(const QString &section, const QString &key, const QString &def) override;
    void save(const QString &section, const QString &key, const QString &value) override;
    void deleteSection(const QString &section) override;
    void flush() override;
    QString loadProblem() const override;
    QString fileName() const { return m_fileName; }

private:
    QString m_fileName;
    IniDocument m_doc;
    QString m_badFileName; // where flush() moves a file that could not be read; empty once moved
    QString m_loadProblem;
};
