#pragma once

#include "platform/RunningApplications.h"
#include "platform/WpsInstallations.h"

// Whether WPS Office runs: the tool changes WPS's add-in files only while it does not. What counts
// as WPS is the platform's rule (HostPlatform::isWpsProcess).
namespace WpsDetection {

bool isWpsRunning();
// The installations found (none on the Mac), each with whether it runs and the add-in folder it reads.
QList<WpsInstallation> installations();

} // namespace WpsDetection
