#pragma once

#include <QString>

// Copying an application bundle into place. A bundle holds symbolic links (frameworks) and
// executable files, so links stay links and file modes are kept.
namespace BundleCopy {

// Puts a copy of source at target: copied first to a hidden sibling of target with a fresh UUID in
// its name, then swapped in. Missing parent folders are created. Throws Failure; when the
// copy or the swap fails, whatever was at target is still there and the hidden copy is gone.
void replaceWithCopy(const QString &source, const QString &target);

} // namespace BundleCopy
