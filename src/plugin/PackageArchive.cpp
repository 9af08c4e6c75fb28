#include "PackageArchive.h"

#include "core/ProcessRunner.h"
#include "core/LocalFiles.h"
#include "core/WorkerTask.h"
#include "core/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace PackageArchive {

namespace {

// Present and not reached through a symbolic link.
bool isPlainEntry(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isSymLink();
}

bool holdsMarkers(const QString &dir)
{
    return isPlainEntry(dir) && isPlainEntry(dir + QStringLiteral("/ribbon.xml"))
        && isPlainEntry(dir + QStringLiteral("/app")) && isPlainEntry(dir + QStringLiteral("/app/index.html"));
}

Failure folderStepFailed(const QString &action, const QString &path)
{
    FailureDetails details;
    details.action = action;
    details.path = path;
    return Failure(FailureKind::FolderStep, std::move(details));
}

class RemoveOnExit
{
public:
    explicit RemoveOnExit(QString path)
        : m_path(std::move(path))
    {
    }
    ~RemoveOnExit()
    {
        try {
            LocalFiles::removeEntry(m_path);
        } catch (const Failure &) {
            // A leftover is pruned after the next successful download.
        }
    }
    RemoveOnExit(const RemoveOnExit &) = delete;
    RemoveOnExit &operator=(const RemoveOnExit &) = delete;

private:
    QString m_path;
};

bool escapesDirectory(const QString &entryName)
{
    if (entryName.startsWith(u'/') || entryName.startsWith(u'\\'))
        return true;
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    return entryName.split(separators).contains(QStringLiteral(".."));
}

// unzip would only strip "../" and a leading "/" and unpack the rest, silently changing what the
// package holds, so such an archive is refused before anything is written. An archive unzip
// cannot list is left to the unpacking step, which judges empty and broken archives.
void refuseEscapingEntries(const QString &archivePath, const QString &unzipProgram)
{
    int status = -1;
    const QString listing = ProcessRunner::runSync(unzipProgram, {QStringLiteral("-Z1"), archivePath}, &status);
    // Status 1 is a warning (bytes before the archive, say): the names are listed and unpacked all
    // the same, so they are checked all the same.
    if (status != 0 && status != 1)
        return;
    const QStringList names = listing.split(u'\n', Qt::SkipEmptyParts);
    // A listing that succeeded but reads as nothing has names that are not UTF-8.
    if (names.isEmpty())
        throw Failure(FailureKind::UnsafeArchive);
    for (const QString &name : names) {
        if (escapesDirectory(name))
            throw Failure(FailureKind::UnsafeArchive);
    }
}

} // namespace

QString locatePackageRoot(const QString &dir)
{
    if (holdsMarkers(dir))
        return dir;
    const QDir listing(dir);
    if (!listing.exists())
        throw folderStepFailed(QStringLiteral("读取目录"), dir);
    const QStringList names =
        listing.entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        const QString candidate = listing.filePath(name);
        if (holdsMarkers(candidate))
            return candidate;
    }
    throw Failure(FailureKind::IncompletePackage);
}

QString extractPluginPackage(const QString &archivePath, const QString &cacheDir, const QString &packageDirName,
                             const std::function<void(const QString &)> &log, const QString &unzipProgram)
{
    if (!QDir().mkpath(cacheDir))
        throw folderStepFailed(QStringLiteral("创建插件包缓存目录"), cacheDir);
    refuseEscapingEntries(archivePath, unzipProgram);
    const QString temporary =
        cacheDir + QStringLiteral("/.extract-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString destination = cacheDir + QLatin1Char('/') + packageDirName;
    if (!QDir().mkdir(temporary))
        throw folderStepFailed(QStringLiteral("创建临时解压目录"), temporary);
    const RemoveOnExit cleanup(temporary);

    // unzip creates links only after all files, so no entry is written through a link.
    int status = -1;
    const QString output = ProcessRunner::runSync(
        unzipProgram, {QStringLiteral("-q"), archivePath, QStringLiteral("-d"), temporary}, &status);
    const QString trimmed = output.trimmed();
    if (!trimmed.isEmpty() && log)
        log(trimmed);
    if (status < 0 || status >= 2)
        throw Failure(FailureKind::IncompletePackage);

    const QString root = locatePackageRoot(temporary);
    LocalFiles::removeEntry(destination);
    if (!QDir().rename(root, destination))
        throw folderStepFailed(QStringLiteral("将插件包移入缓存目录"), destination);
    return destination;
}

QCoro::Task<QString> extractPluginPackageAsync(QString archivePath, QString cacheDir, QString packageDirName,
                                               std::function<void(const QString &)> log, QString unzipProgram)
{
    // The worker only collects the unzip output; it is logged here, on the awaiting thread.
    struct Extraction
    {
        QString directory;
        QString unzipOutput;
        std::exception_ptr error;
    };
    auto work = [archivePath, cacheDir, packageDirName, unzipProgram] {
        Extraction result;
        try {
            result.directory = extractPluginPackage(archivePath, cacheDir, packageDirName,
                                                    [&result](const QString &text) { result.unzipOutput = text; },
                                                    unzipProgram);
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    };
    // Named, not a temporary: GCC 12 destroys temporaries in a co_await operand twice.
    const Extraction extraction = co_await runOffGuiThread(std::move(work));
    if (!extraction.unzipOutput.isEmpty() && log)
        log(extraction.unzipOutput);
    if (extraction.error)
        std::rethrow_exception(extraction.error);
    co_return extraction.directory;
}

} // namespace PackageArchive
