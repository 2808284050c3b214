#include "qtplatform/SettingsQt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// A settings file holds a few hundred bytes (Notes at most 64 Ki
// characters); anything beyond this bound is not a settings file of ours and
// is not read: the defaults apply and the file is kept aside.
constexpr qint64 kMaxSettingsBytes = 4 * 1024 * 1024;

// Where an unreadable file is kept: TQX.ini.bad beside it, or TQX.ini.bad.N
// with the first free N, so that an older kept file stays too.
QString freeBadName(const QString &fileName)
{
    const QString bad = fileName + QStringLiteral(".bad");
    QString name = bad;
    for (int n = 1; QFileInfo::exists(name) && n < 1000; ++n)
        name = bad + QLatin1Char('.') + QString::number(n);
    return name;
}

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
    if (!QFileInfo::exists(iniFile))
        return; // first run: no file yet
    QString why;
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        const QByteArray bytes = file.read(kMaxSettingsBytes + 1);
        if (file.error() != QFileDevice::NoError)
            why = file.errorString();
        else if (bytes.size() > kMaxSettingsBytes)
            why = QStringLiteral("it is larger than 4 MiB");
        else
            m_doc = ParseSettingsIni(bytes);
    }
    if (why.isEmpty())
        return;
    m_badFileName = freeBadName(iniFile);
    m_loadProblem = QStringLiteral("The settings file %1 could not be read (%2). TQX starts with the default "
                                   "settings; at exit the file is kept as %3 and a new %1 is written.")
                        .arg(QDir::toNativeSeparators(iniFile), why, QDir::toNativeSeparators(m_badFileName));
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

QString SettingsQt::loadProblem() const
{
    return m_loadProblem;
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
    if (!m_badFileName.isEmpty()) {
        // The file that could not be read goes aside first and is never
        // written over: when it cannot be moved, nothing is written.
        if (!QFile::rename(m_fileName, m_badFileName) && QFileInfo::exists(m_fileName))
            return;
        m_badFileName.clear();
    }
    QSaveFile file(m_fileName);
    const QByteArray bytes = WriteSettingsIni(m_doc);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size())
        file.commit();
    else
        file.cancelWriting();
}
