#pragma once
// Where things live on this machine.

#include <QString>

namespace Paths {
// The program's data folder (template wave, help, licence), ending in '/':
// beside the binary in the build tree, else the installed data folder.
QString appDir();
// Base path of the two temporary wave files: a private per-user folder
// (mode 0700) plus "~" and 8 upper-case hex digits unique to this process.
QString tempWaveBase();
// Kernel release as "major.minor" (informational only).
QString osVersion();
// Product web site and the former address that is migrated at load.
QString defaultBaseUrl();
QString formerBaseUrl();
} // namespace Paths
