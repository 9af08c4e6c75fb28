#pragma once

#include "platform/AppBundle.h"

// The installer copy: this same program under the installer's bundle identifier, carrying the
// finished management application in its resources. It quits running copies of the tool, places
// the embedded application in ~/Applications/Corvanta, opens it and ends, with no window, no model
// and no single-instance channel.
namespace InstallerBootstrap {

// False at once when `bundle` is not the installer. Otherwise does the installer's whole work, logs
// the outcome, shows an alert on failure and returns true: the process should then end.
bool installAndRelaunchIfNeeded(const AppBundle &bundle = AppBundle::main());

} // namespace InstallerBootstrap
