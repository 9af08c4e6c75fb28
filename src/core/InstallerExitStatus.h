#pragma once

#include "core/FailureKind.h"

#include <QLatin1StringView>

// The installer's exit statuses: the installer script passes on those of the helper program
// corvanta-wps-addins, and the tool decides by them, never by the words printed with them. They
// lie above the signal numbers that stand for a killed process.
namespace InstallerExitStatus {

enum Status : int {
    Installed = 0,
    // A step failed unexpectedly.
    UnexpectedFailure = 1,
    // Called without the variables or arguments it needs.
    WrongUse = 64,
    // The package is not a complete add-in, or its version cannot name a folder.
    PackageRefused = 65,
    // Copying the add-in into WPS's folder failed.
    CopyFailed = 66,
    // Registering in WPS's lists failed; both lists say what they said before.
    RegistrationFailed = 67,
    // WPS is running; nothing of WPS's files was changed.
    WpsRunning = 68,
    // Installed and registered, but an older version's folder could not be removed.
    OldVersionLeft = 69,
};

// With OldVersionLeft the helper prints, besides a sentence for each folder that stayed, one line
// of this prefix and the folder's name: the tool takes the names from these lines and leaves the
// sentences to the user.
inline constexpr QLatin1StringView leftoverLinePrefix{"corvanta-leftover: "};

// The statuses that stand for a failed step, with the kind of each, read both ways.
struct StepStatus
{
    Status status;
    FailureKind kind;
};
inline constexpr StepStatus stepStatuses[] = {
    {PackageRefused, FailureKind::InstallerPackageRefused},
    {CopyFailed, FailureKind::InstallerCopyFailed},
    {RegistrationFailed, FailureKind::InstallerRegistrationFailed},
    {WpsRunning, FailureKind::WpsRunning},
};

// The kind the tool reports for a status.
inline FailureKind kindOf(int status, int timedOutStatus)
{
    if (status == timedOutStatus)
        return FailureKind::InstallerTimedOut;
    for (const StepStatus &step : stepStatuses) {
        if (step.status == status)
            return step.kind;
    }
    return FailureKind::InstallerFailed;
}

// The status of a failed install, by the kind of the step that failed.
inline int statusOf(FailureKind kind)
{
    for (const StepStatus &step : stepStatuses) {
        if (step.kind == kind)
            return step.status;
    }
    return UnexpectedFailure;
}

} // namespace InstallerExitStatus
