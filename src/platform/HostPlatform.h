#pragma once

#include "core/HostSystem.h"
#include "platform/AppBundle.h"
#include "platform/RunningApplications.h"

#include <QString>
#include <QStringList>

// What differs between the Mac and Linux beyond file locations (those are ToolPaths'): how a running
// WPS is recognised, whether the tool places itself, and the few texts that name the system. Flows
// ask here instead of testing the system themselves.
namespace HostPlatform {

// WPS for Linux's programs; the launchers in /usr/bin exec these.
inline const QString linuxWpsProgramDir = QStringLiteral("/opt/kingsoft/wps-office/office6");
QStringList linuxWpsPrograms();

// On the Mac a bundle identifier containing "wpsoffice" or the name "WPS Office" (or containing
// "wpsoffice"), ignoring letter case; on Linux an executable that is one of linuxWpsPrograms().
bool isWpsProcess(const RunningApplication &application, HostSystem system = hostSystem);

// The Mac tool keeps a copy of itself in ~/Applications and removes the legacy tool; on Linux the
// package manager installs and updates it, so neither step runs.
bool toolPlacesItself(HostSystem system = hostSystem);
// Where the package manager put the tool: the running bundle, else the running executable.
QString packagedToolPath(const AppBundle &running = AppBundle::main());

// The guide's texts that name the system: how the tool gets onto the computer, and where the
// add-in is looked after.
QString installStepText(HostSystem system = hostSystem);
QString guideLocalNote(HostSystem system = hostSystem);

} // namespace HostPlatform
