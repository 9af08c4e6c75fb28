#pragma once

#include "core/FailureKind.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>

// Unpacking a release archive into the plugin package cache, in-process. Blocking; the Async variant
// runs it on the thread pool with the same steps in the same order.
namespace PackageArchive {

// Caps a real add-in never meets (it is a few MiB in a few hundred files) while a zip bomb always
// does. In decimal units, as the Finder counts and the refusal says.
inline constexpr quint64 maxEntries = 20000;
inline constexpr quint64 maxUnpackedBytes = 2'000'000'000;

// The package root below dir: dir itself when it holds "ribbon.xml" and "app/index.html", else the
// first directory entry in listing order that does. Symbolic links never qualify, neither as the
// root nor as one of the marker paths, so the cached package cannot point outside the cache.
// Throws Failure (IncompletePackage) when there is none.
QString locatePackageRoot(const QString &dir);

// Refuses an archive that ends in more than one way, then one that declares too many entries, more
// than maxUnpackedBytes or more than the cache's disk has free. Then reads it once, checking each
// entry as it is written into a fresh cacheDir/.extract-<UUID>: too many entries, a name that
// climbs out, is not UTF-8 or comes twice, an encrypted entry, a method other than stored, deflated
// or bzip2, an entry that yields more than it declares, more than maxUnpackedBytes written in all,
// a damaged entry (IncompletePackage), a full disk (DiskFull, naming cacheDir). Finds the package
// root, refuses a root holding a symbolic link that is absolute or leads outside it, and moves the
// root to cacheDir/packageDirName (replacing what was there). Returns that directory. The reader's
// warnings go to log. The temporary directory is removed on every way out. Every refusal is a
// Failure of its own kind.
QString extractPluginPackage(const QString &archivePath, const QString &cacheDir, const QString &packageDirName,
                             const std::function<void(const QString &)> &log = {});

// The same off the GUI thread; log is called on the awaiting (GUI) thread, before the result or
// error is handed over.
QCoro::Task<QString> extractPluginPackageAsync(QString archivePath, QString cacheDir, QString packageDirName,
                                               std::function<void(const QString &)> log = {});

// Whether a failure of this kind from the unpacking condemns the downloaded archive itself (its
// content was refused), so it is deleted rather than left waiting in the downloads.
bool condemnsArchive(FailureKind kind);

} // namespace PackageArchive
