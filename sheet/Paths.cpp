#include "sheet/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace Paths {

QString appDir()
{
    // TQX_DATA_DIR overrides for tests and relocated installs.
    QString dir = qEnvironmentVariable("TQX_DATA_DIR");
    if (dir.isEmpty())
        return dataDirFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString dataDirFor(const QString &programDir)
{
    // The template wave marks a data folder. TQX_DATADIR_FROM_BINDIR is the
    // path from the installed binary's folder to the data folder ("../share/
    // tqx"), the same under every prefix, so a copy installed with --prefix
    // ~/.local or packaged for /usr finds its own data.
    const QString candidates[] = {programDir, programDir + QStringLiteral("/" TQX_DATADIR_FROM_BINDIR)};
    for (const QString &dir : candidates) {
        if (!programDir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/TQX.wav")))
            return QDir::cleanPath(dir) + QLatin1Char('/');
    }
    return QStringLiteral(TQX_INSTALL_DATADIR "/");
}

QString tempWaveBase()
{
    // $XDG_RUNTIME_DIR is private to the user already; otherwise the cache
    // folder. Either way our own subfolder is created owner-only.
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/tqx-") + QString::number(::getuid());
    const QString dir = base + QStringLiteral("/tqx");
    QDir().mkpath(dir);
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    const QString id = QStringLiteral("%1").arg(static_cast<quint32>(::getpid()), 8, 16, QLatin1Char('0')).toUpper();
    return dir + QStringLiteral("/~") + id;
}

QString osVersion()
{
    const QStringList parts = QSysInfo::kernelVersion().split(QLatin1Char('.'));
    return parts.size() >= 2 ? parts[0] + QLatin1Char('.') + parts[1] : QSysInfo::kernelVersion();
}

QString defaultBaseUrl() { return QStringLiteral("http://www.tqx-meter.example/tqx/"); }
QString formerBaseUrl() { return QStringLiteral("http://tqx.radio-amateur.example/tqx/"); }

} // namespace Paths
