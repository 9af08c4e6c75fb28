#pragma once

#include <QString>

// Which release an install or update may put in place of what is installed: never one below it
// (an old signed release offered as the latest would bring back what it fixed), never one past the
// version the IT department pins. The same version again is a repair and always allowed.
namespace ReleaseGate {

// Whether version is a higher dotted version than other; false when either cannot be read.
bool isNewer(const QString &version, const QString &other);

// Throws RollbackRefused when offered is below installed (null or empty: none installed),
// PinnedVersionExceeded when it is past pinned (null or empty: no pin).
void requireInstallable(const QString &offered, const QString &installed, const QString &pinned);

} // namespace ReleaseGate
