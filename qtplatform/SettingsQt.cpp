#include "qtplatform/SettingsQt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// A settings file holds a few hundred bytes; anything beyond this bound is
// not a settings file of ours and is not read (the defaults apply).
constexpr qint64 kMaxSettingsBytes = 4 * 1024 * 1024;

QString defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/TQX/TQX.ini");
}

} // namespace

SettingsQt::SettingsQt()
    : SettingsQt(defaultFileName())
{
}

SettingsQt::SettingsQt(const QString &iniFile)
    : m_fileName(iniFile)
{
    QFile file(iniFile);
    if (!file.open(QIODevice::ReadOnly))
        return; // first run: no file yet
    const QByteArray bytes = file.read(kMaxSettingsBytes + 1);
    if (bytes.size() <= kMaxSettingsBytes)
        m_doc = ParseSettingsIni(bytes);
}

QString SettingsQt::get(const QString &section, const QString &key, const QString &def)
{
    for (const IniSection &s : std::as_const(m_doc))
        if (s.name == section)
            for (const IniEntry &e : s.entries)
                if (e.key == key)
                    return e.value;
    return def;
}

void SettingsQt::save(const QString &section, const QString &key, const QString &value)
{
    for (IniSection &s : m_doc)
        if (s.name == section) {
            for (IniEntry &e : s.entries)
                if (e.key == key) {
                    e.value = value;
                    return;
                }
            s.entries.append(IniEntry{key, value});
            return;
        }
    m_doc.append(IniSection{section, {IniEntry{key, value}}});
}

void SettingsQt::deleteSection(const QString &section)
{
    m_doc.removeIf([&section](const IniSection &s) { return s.name == section; });
}

void SettingsQt::flush()
{
    // Written beside the old file and renamed over it: a failure (disk
    // full) leaves the previous settings as they were. Settings are written
    // at exit only, so a failure has no one to tell and is ignored.
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSaveFile file(m_fileName);
    const QByteArray bytes = WriteSettingsIni(m_doc);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size())
        file.commit();
    else
        file.cancelWriting();
}
