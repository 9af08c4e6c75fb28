#pragma once

#include <QString>

// Opening an application bundle the way the desktop does.
namespace BundleLauncher {

// Opens the bundle and returns the opener's exit status, 0 when the application was opened. On
// macOS the opener is /usr/bin/open, waited for; elsewhere the bundle's CFBundleExecutable is
// started detached and its successful start counts as status 0. Throws BundleOpenFailed when the
// opener itself cannot be started.
int open(const QString &bundlePath);

} // namespace BundleLauncher
