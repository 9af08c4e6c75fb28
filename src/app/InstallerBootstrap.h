#pragma once

#include "platform/AppBundle.h"
#include "platform/RunningApplications.h"

#include <QList>
#include <QString>

#include <chrono>

// The installer copy: this same program under the installer's bundle identifier, carrying the
// finished management application in its resources. It quits running copies of the tool, places
// the embedded application in ~/Applications/Corvanta, opens it and ends, with no window, no model
// and no single-instance channel.
namespace InstallerBootstrap {

// How long running copies of the tool get to quit when asked, and again when forced.
struct TerminationWaits
{
    std::chrono::milliseconds polite{3000};
    std::chrono::milliseconds forced{2000};
};

// False at once when `bundle` is not the installer. Otherwise does the installer's whole work, logs
// the outcome, shows an alert on failure and returns true: the process should then end.
bool installAndRelaunchIfNeeded(const AppBundle &bundle = AppBundle::main());
// Places the embedded application and returns its installed path. Throws.
QString installEmbeddedManagementApp(const AppBundle &bundle, TerminationWaits waits = {});
// Opens the installed application. Throws.
void launchInstalledManagementApp(const QString &appPath);
// Asks running copies of the tool to quit, forces those that will not; never fails.
void terminateRunningManagementApps(TerminationWaits waits = {});
// Serves the event loop in 0.1 s steps until all have ended or the timeout has passed.
void waitForTermination(const QList<RunningApplication> &applications, std::chrono::milliseconds timeout);
// The modal critical alert of a failed installation; returns when the user dismisses it.
void showFailure(const QString &description);
// The installer's line in the activity log.
void appendLog(const QString &message);

} // namespace InstallerBootstrap
