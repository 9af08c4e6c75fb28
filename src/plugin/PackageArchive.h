#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>

// Unpacking a release archive into the plugin package cache. Blocking; the Async variant runs it on
// the thread pool with the same steps in the same order.
namespace PackageArchive {

inline const QString unzipPath = QStringLiteral("/usr/bin/unzip");

// The package root below dir: dir itself when it holds "ribbon.xml" and "app/index.html", else the
// first directory entry in listing order that does. Symbolic links never qualify, neither as the
// root nor as one of the marker paths, so the cached package cannot point outside the cache.
// Throws IncompletePackage when there is none.
QString locatePackageRoot(const QString &dir);

// Unzips archivePath into a fresh cacheDir/.extract-<UUID>, finds the package root and moves it to
// cacheDir/packageDirName (replacing what was there). Returns that directory. unzip's trimmed
// standard output, when not empty, goes to log before anything else can fail. An unzip that
// reports an error (status 2 or more, or no normal exit) fails like a package without its marker
// files. The temporary directory is removed on every way out. unzipProgram is replaceable so tests
// can make unzip talk (with "-q" the real one stays silent on standard output).
QString extractPluginPackage(const QString &archivePath, const QString &cacheDir, const QString &packageDirName,
                             const std::function<void(const QString &)> &log = {},
                             const QString &unzipProgram = unzipPath);

// The same off the GUI thread; log is called on the awaiting (GUI) thread, before the result or
// error is handed over.
QCoro::Task<QString> extractPluginPackageAsync(QString archivePath, QString cacheDir, QString packageDirName,
                                               std::function<void(const QString &)> log = {},
                                               QString unzipProgram = unzipPath);

} // namespace PackageArchive
