#pragma once

#include "platform/RunningApplications.h"

// Whether WPS Office runs: the tool changes WPS's add-in files only while it does not.
namespace WpsDetection {

// By bundle identifier (containing "kingsoft.wpsoffice" or "wpsoffice") or by name (equal to
// "WPS Office" or containing "wpsoffice"), ignoring letter case.
bool matches(const RunningApplication &application);
bool isWpsRunning();

} // namespace WpsDetection
