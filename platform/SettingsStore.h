#pragma once
// Per-user store of string values addressed by section and key (the
// application name "TQX" is fixed by the implementation).

#include <QString>

class ISettingsStore
{
public:
    virtual ~ISettingsStore() = default;
    virtual QString get(const QString &section, const QString &key, const QString &def) = 0;
    virtual void save(const QString &section, const QString &key, const QString &value) = 0;
    // Removes the whole section; a missing section is not an error.
    virtual void deleteSection(const QString &section) = 0;
    // Writes pending changes to permanent storage.
    virtual void flush() = 0;
    // Empty when the stored settings were read (or there were none yet);
    // otherwise, for the user, why they could not be and what becomes of
    // them. The defaults apply then, and flush() never writes over them.
    virtual QString loadProblem() const = 0;
};
