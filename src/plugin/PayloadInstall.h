#pragma once

#include "plugin/WpsListPair.h"

#include <QString>
#include <QStringList>

// The installer payload's install of an unpacked package into WPS's add-in folder, in the helper
// program: staged under a hidden name, placed in one step, registered in both of WPS's lists, and
// only then are older versions removed, so a run that fails or is interrupted at any point leaves
// the previously installed add-in working. Registration that fails puts back what WPS had
// registered: the previous copy of the same version, or no folder of it at all.
namespace PayloadInstall {

struct Outcome
{
    QString installedName;
    // Older versions' folders that could not be moved away; the install stands all the same.
    QStringList leftovers;
    // Why looking for older versions failed, when it did (the install stands all the same).
    QString sweepFailure;
};

// Throws Failure of the kind that stands for the step that failed (InstallerPackageRefused,
// InstallerCopyFailed, InstallerRegistrationFailed, or WpsRunning before the first change), its
// sentence saying why.
Outcome install(const QString &packageDir, const QString &addonDir);

// Checked right before WPS's files change: WPS may have started since the tool looked. Throws
// Failure(WpsRunning).
void requireWpsClosed();
// The tool's activity log is this user's too: an abandoned journal is noted where the tool's own
// lines land.
void logRecovery(WpsListPair::Recovery recovery);
// Registers the complete installed folder `name` in both lists; throws Failure
// (IncompleteInstalledFolder, WpsRunning, or the lists' own).
void registerInstalled(const QString &addonDir, const QString &name);

} // namespace PayloadInstall
