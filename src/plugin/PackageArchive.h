#pragma once

#include "core/FailureKind.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>

// Unpacking a release archive into the plugin package cache. Blocking; the Async variant runs it on
// the thread pool with the same steps in the same order.
namespace PackageArchive {

inline const QString unzipPath = QStringLiteral("/usr/bin/unzip");

// Caps a real add-in never meets (it is a few MiB in a few hundred files) while a zip bomb always
// does: they are checked from the archive's directory before anything is written. In decimal units,
// as the Finder counts and the refusal says.
inline constexpr quint64 maxEntries = 20000;
inline constexpr quint64 maxUnpackedBytes = 2'000'000'000;
// Unpacking at most maxUnpackedBytes takes well under a minute even on a slow disk; an unzip still
// running after this is stopped.
inline constexpr int unzipTimeoutMs = 120'000;

// The package root below dir: dir itself when it holds "ribbon.xml" and "app/index.html", else the
// first directory entry in listing order that does. Symbolic links never qualify, neither as the
// root nor as one of the marker paths, so the cached package cannot point outside the cache.
// Throws Failure (IncompletePackage) when there is none.
QString locatePackageRoot(const QString &dir);

// Reads the archive's directory and refuses, before anything is written, an archive with too many
// entries or too large when unpacked, an entry name that climbs out or that unzip would garble, an
// encrypted entry, a compression method unzip cannot read, or more than the cache's disk has free.
// Then unzips it into a fresh cacheDir/.extract-<UUID>, finds the package root, refuses a root
// holding a symbolic link that is absolute or leads outside it, and moves the root to
// cacheDir/packageDirName (replacing what was there). Returns that directory. unzip's trimmed
// standard output, when not empty, goes to log before anything else can fail. An unzip that
// reports an error (status 2 or more, or no normal exit) fails like a package without its marker
// files. The temporary directory is removed on every way out. Every refusal is a Failure of its own
// kind. unzipProgram is replaceable so tests can make unzip talk (with "-q" the real one stays
// silent on standard output); a file that is no ZIP archive at all is left to it.
QString extractPluginPackage(const QString &archivePath, const QString &cacheDir, const QString &packageDirName,
                             const std::function<void(const QString &)> &log = {},
                             const QString &unzipProgram = unzipPath);

// The same off the GUI thread; log is called on the awaiting (GUI) thread, before the result or
// error is handed over.
QCoro::Task<QString> extractPluginPackageAsync(QString archivePath, QString cacheDir, QString packageDirName,
                                               std::function<void(const QString &)> log = {},
                                               QString unzipProgram = unzipPath);

// Whether a failure of this kind from the unpacking condemns the downloaded archive itself (its
// content was refused), so it is deleted rather than left waiting in the downloads.
bool condemnsArchive(FailureKind kind);

} // namespace PackageArchive
