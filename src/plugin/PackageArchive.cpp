#include "PackageArchive.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/WorkerTask.h"
#include "plugin/PackageUnpacker.h"
#include "plugin/ZipFraming.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <sys/statvfs.h>

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
        } catch (const std::exception &) {
            // A leftover is pruned after the next successful download.
        }
    }
    RemoveOnExit(const RemoveOnExit &) = delete;
    RemoveOnExit &operator=(const RemoveOnExit &) = delete;

private:
    QString m_path;
};

QString sizeText(quint64 bytes)
{
    return QLocale::c().formattedDataSize(qint64(bytes), 1, QLocale::DataSizeSIFormat);
}

// From what the headers declare, before anything is written: a package too large or a disk too
// small shows there already, unless the archive lies, which the unpacking itself then catches.
void refuseBeforeUnpacking(const PackageUnpacker &unpacker, const QString &cacheDir)
{
    const auto [entries, declared] = unpacker.declaredEntriesAndBytes(maxEntries);
    if (declared > maxUnpackedBytes)
        throw Failure(FailureKind::PackageTooLarge);
    // Every file takes at least a block of its own.
    const quint64 needed = declared + entries * 4096;
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(cacheDir).constData(), &disk) == 0
        && quint64(disk.f_bavail) * disk.f_frsize < needed) {
        FailureDetails details;
        details.output = sizeText(needed);
        throw Failure(FailureKind::NotEnoughDiskSpace, details);
    }
}

// Follows the link's target part by part, through the links it meets on the way, as the system
// will; it must never climb above root nor start at the file-system root.
bool linkStaysInside(const std::filesystem::path &root, const std::filesystem::path &link)
{
    std::error_code error;
    std::vector<std::filesystem::path> inside;
    for (const auto &part : link.parent_path().lexically_relative(root)) {
        if (part != ".")
            inside.push_back(part);
    }
    std::vector<std::filesystem::path> pending{std::filesystem::read_symlink(link, error)};
    int hops = 0;
    while (!pending.empty()) {
        const std::filesystem::path target = pending.back();
        pending.pop_back();
        if (target.is_absolute())
            return false;
        std::vector<std::filesystem::path> parts(target.begin(), target.end());
        for (auto part = parts.begin(); part != parts.end(); ++part) {
            if (part->empty() || *part == ".")
                continue;
            if (*part == "..") {
                if (inside.empty())
                    return false;
                inside.pop_back();
                continue;
            }
            std::filesystem::path here = root;
            for (const auto &step : inside)
                here /= step;
            here /= *part;
            if (!std::filesystem::is_symlink(std::filesystem::symlink_status(here, error))) {
                inside.push_back(*part);
                continue;
            }
            // The rest of this target is followed after the link it met.
            if (++hops > 40)
                return false;
            std::filesystem::path rest;
            for (auto next = std::next(part); next != parts.end(); ++next)
                rest /= *next;
            if (!rest.empty())
                pending.push_back(rest);
            pending.push_back(std::filesystem::read_symlink(here, error));
            break;
        }
    }
    return true;
}

// A package made by copying a developer's folder can hold links to that machine's files or to
// folders beside the package; installed, they would lead out of WPS's add-in folder.
void refuseOutsideLinks(const QString &root)
{
    const std::filesystem::path base(QFile::encodeName(root).toStdString());
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(base, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink(error) && !linkStaysInside(base, it->path()))
            throw Failure(FailureKind::UnsafeLink);
    }
    if (error)
        throw LocalFiles::failure(QStringLiteral("读取"), root, error.value());
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
                             const std::function<void(const QString &)> &log)
{
    if (LocalFiles::createDirectories(cacheDir) != 0)
        throw folderStepFailed(QStringLiteral("创建插件包缓存目录"), cacheDir);
    ZipFraming::requireSingleEnding(archivePath);
    const QString temporary =
        cacheDir + QStringLiteral("/.extract-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    PackageUnpacker unpacker(archivePath, temporary, cacheDir);
    refuseBeforeUnpacking(unpacker, cacheDir);
    const QString destination = cacheDir + QLatin1Char('/') + packageDirName;
    if (!QDir().mkdir(temporary))
        throw folderStepFailed(QStringLiteral("创建临时解压目录"), temporary);
    const RemoveOnExit cleanup(temporary);

    unpacker.unpack(maxEntries, maxUnpackedBytes, log);
    const QString root = locatePackageRoot(temporary);
    refuseOutsideLinks(root);
    LocalFiles::removeEntry(destination);
    if (!QDir().rename(root, destination))
        throw folderStepFailed(QStringLiteral("将插件包移入缓存目录"), destination);
    return destination;
}

QCoro::Task<QString> extractPluginPackageAsync(QString archivePath, QString cacheDir, QString packageDirName,
                                               std::function<void(const QString &)> log)
{
    // The worker only collects the reader's warnings; they are logged here, on the awaiting thread.
    struct Extraction
    {
        QString directory;
        QStringList warnings;
        std::exception_ptr error;
    };
    auto work = [archivePath, cacheDir, packageDirName] {
        Extraction result;
        try {
            result.directory = extractPluginPackage(archivePath, cacheDir, packageDirName,
                                                    [&result](const QString &text) { result.warnings << text; });
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    };
    // Named, not a temporary: GCC 12 destroys temporaries in a co_await operand twice.
    const Extraction extraction = co_await runOffGuiThread(std::move(work));
    for (const QString &warning : extraction.warnings) {
        if (log)
            log(warning);
    }
    if (extraction.error)
        std::rethrow_exception(extraction.error);
    co_return extraction.directory;
}

bool condemnsArchive(FailureKind kind)
{
    switch (kind) {
    case FailureKind::IncompletePackage:
    case FailureKind::UnsafeArchive:
    case FailureKind::UnsafeLink:
    case FailureKind::TooManyEntries:
    case FailureKind::PackageTooLarge:
    case FailureKind::UnreadableNames:
    case FailureKind::UnsupportedCompression:
    case FailureKind::EncryptedPackage:
    case FailureKind::UnpackTimedOut:
    case FailureKind::EntryLargerThanDeclared:
    case FailureKind::DuplicateEntry:
    case FailureKind::AmbiguousArchive:
        return true;
    default:
        // Not enough disk space, or a disk that filled, says nothing against the archive.
        return false;
    }
}

} // namespace PackageArchive
