#pragma once

#include <QString>

#include <optional>

// Names taken from the service become file names in the download directory and the package
// cache. These checks run before any file operation so that no such name can reach outside those
// folders, hide itself or collide with the tool's own temporary entries.
namespace PackageNames {

// The longest entry name the file systems we run on accept, in bytes of its UTF-8 form.
inline constexpr qsizetype maxEntryNameBytes = 255;

// Whether `name` can be used as one entry name inside a folder: not empty, no "/" or "\",
// no "..", not starting with ".", no control characters, at most maxEntryNameBytes.
bool isSafeEntryName(const QString &name);

// The archive's name in the download directory: the release's file name, or
// "CorvantaAnalysis_<version>.zip" when it has none (null or empty).
// Throws UnsafeName when the file name or the version is unsafe, also when either name made from
// the version would be too long.
QString archiveFileName(const QString &releaseFileName, const QString &version);

// "CorvantaAnalysis_<version>", the package's directory name in the cache.
// Throws UnsafeName when the version is unsafe.
QString packageDirectoryName(const QString &version);

// The one rule for a version that names folders: "CorvantaAnalysis_<version>" (the cached package,
// the add-in's installed folder) and its archive must each be a safe entry name. Nothing when the
// version cannot; callers say why in their own words.
std::optional<QString> folderNameFor(const QString &version);

} // namespace PackageNames
