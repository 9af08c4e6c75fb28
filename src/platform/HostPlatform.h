#pragma once

#include "core/HostSystem.h"
#include "platform/AppBundle.h"
#include "platform/RunningApplications.h"
#include "platform/WpsInstallations.h"

#include <QString>
#include <QStringList>

// What differs between the Mac and Linux beyond file locations (those are ToolPaths'): how a running
// WPS is recognised, whether the tool places itself, and the few texts that name the system. Flows
// ask here instead of testing the system themselves.
namespace HostPlatform {

// On the Mac a bundle identifier containing "wpsoffice" or the name "WPS Office" (or containing
// "wpsoffice"), ignoring letter case; on Linux an executable that is one of the programs of one of
// `installations` (WpsInstallations).
bool isWpsProcess(const RunningApplication &application, HostSystem system = hostSystem,
                  const QList<WpsInstallation> &installations = {});
// The WPS installations this system has, each marked running when one of `running` is its program;
// none on the Mac, where WPS is recognised by its bundle wherever it lies.
QList<WpsInstallation> wpsInstallations(const QList<RunningApplication> &running, HostSystem system = hostSystem);

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
