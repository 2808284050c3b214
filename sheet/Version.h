#pragma once
// The running program's version, "major.minor.revision", as the title bar,
// the reports, the record and the update check give it.

#include <QString>

inline QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(TQX_VERSION_MAJOR).arg(TQX_VERSION_MINOR).arg(TQX_VERSION_PATCH);
}
