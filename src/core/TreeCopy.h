#pragma once

#include <QString>

// Copies of folder trees: symbolic links stay links, file modes are kept. A file's content is
// shared with the original where the file system can (a reflink: FICLONE on Linux, clonefile on
// the Mac), so a copy of a package costs next to nothing there; elsewhere it is copied in the
// kernel (copy_file_range) or, failing that, read and written.
namespace TreeCopy {

// How the regular files of a copy came to be.
struct Counts
{
    int clonedFiles = 0;
    int copiedFiles = 0;
};

// Copies a file, symbolic link or directory tree to destination, which must not exist yet; links
// as links, never followed. Throws Failure naming the source entry ("复制"); a partial copy is left
// behind for the caller to remove.
Counts copyTree(const QString &source, const QString &destination);

} // namespace TreeCopy
