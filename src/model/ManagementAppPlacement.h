#pragma once

#include "platform/AppBundle.h"

#include <QString>

// Keeps the installed copy of this tool current before every install and cache repair, and takes
// away the legacy tool it replaces. Writes its own log lines.
namespace ManagementAppPlacement {

// Makes sure ~/Applications/Corvanta holds a copy of the running tool (or of the one it ships)
// and returns its path. Copies only when running from elsewhere, through a hidden copy swapped
// in at the end, so a failed copy leaves the old installed copy and the legacy tool in place.
// A bare executable outside any bundle has nothing to place: nothing is copied or logged.
// Throws Failure.
QString ensureInstalledManagementApp(const AppBundle &running = AppBundle::main());

// The tool the installer script is given: the placed copy where the tool places itself (the Mac),
// the copy the package manager installed elsewhere. Throws Failure.
QString managementAppForInstall();

// Removes the legacy tool beside it when it carries this tool's bundle identifier; silent.
void removeLegacyToolIfSafe();

} // namespace ManagementAppPlacement
