#pragma once
// Where things live on this machine.

#include <QString>

namespace Paths {
// The program's data folder (template wave, help, licence), ending in '/':
// $TQX_DATA_DIR when set, else dataDirFor() the running binary's folder.
QString appDir();
// The data folder for a binary in `programDir`, ending in '/': beside it (the
// build tree), else share/tqx under the same prefix as the binary (an
// installed copy, wherever it was installed), else the configured one.
QString dataDirFor(const QString &programDir);
// Base path of the two temporary wave files: a private per-user folder
// (mode 0700) plus "~" and 8 upper-case hex digits unique to this process.
QString tempWaveBase();
// Kernel release as "major.minor" (informational only).
QString osVersion();
// Product web site and the former address that is migrated at load.
QString defaultBaseUrl();
QString formerBaseUrl();
} // namespace Paths
