#pragma once

#include <QList>
#include <QString>

// One running application as the workspace lists it.
struct RunningApplication
{
    qint64 pid = 0;
    // Empty when the process lives outside any bundle or its Info.plist has none.
    QString bundleIdentifier;
    // The bundle's display name, else the process's own name.
    QString localizedName;
    // "…/X.app" of the enclosing bundle; empty outside a bundle.
    QString bundlePath;
    // The process's executable file; empty when it cannot be read.
    QString executablePath;
};

// The running applications of this user and how to ask them to quit. On Linux each process of
// /proc owned by the effective user whose executable can be read; its bundle is the "X.app/Contents/MacOS/" around that
// executable. On macOS the workspace's list of running applications.
namespace RunningApplications {

QList<RunningApplication> list();
// A polite request to quit (SIGTERM; on macOS the application's terminate). False when it could not
// be sent.
bool terminate(qint64 pid);
// An end without asking (SIGKILL; on macOS forceTerminate).
bool forceTerminate(qint64 pid);
// True once the process is gone (a zombie of ours counts as gone).
bool isTerminated(qint64 pid);

} // namespace RunningApplications
