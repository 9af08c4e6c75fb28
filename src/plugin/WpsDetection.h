#pragma once

#include "platform/RunningApplications.h"

// Whether WPS Office runs: the tool changes WPS's add-in files only while it does not. What counts
// as WPS is the platform's rule (HostPlatform::isWpsProcess).
namespace WpsDetection {

bool matches(const RunningApplication &application);
bool isWpsRunning();

} // namespace WpsDetection
