#pragma once

#include <QString>

// Copying an application bundle into place. A bundle holds symbolic links (frameworks) and
// executable files, so links stay links and file modes are kept.
namespace BundleCopy {

// Copies a file, symbolic link or directory tree to destination, which must not exist yet. Links
// are copied as links, never followed. Throws DescribedError; a partial copy is left behind.
void copyTree(const QString &source, const QString &destination);

// Puts a copy of source at target: copied first to a hidden sibling of target with a fresh UUID in
// its name, then swapped in. Missing parent folders are created. Throws DescribedError; when the
// copy or the swap fails, whatever was at target is still there and the hidden copy is gone.
void replaceWithCopy(const QString &source, const QString &target);

// The hidden sibling "<parent>/.<name>-<purpose>-<uuid>.app" of a bundle path "<parent>/<name>.app".
QString hiddenSiblingPath(const QString &target, const QString &purpose);

} // namespace BundleCopy
