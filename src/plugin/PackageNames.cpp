#include "PackageNames.h"

#include "plugin/PackageDirectory.h"
#include "core/Failure.h"

namespace PackageNames {

namespace {

const QString archiveSuffix = QStringLiteral(".zip");

// A version or file name from the service that cannot name a file; the file name when it is the
// unsafe one.
Failure unsafeName(const QString &fileName = {})
{
    FailureDetails details;
    details.path = fileName;
    return Failure(FailureKind::UnsafeName, std::move(details));
}

void requireSafeVersion(const QString &version)
{
    if (!folderNameFor(version))
        throw unsafeName();
}

} // namespace

bool isSafeEntryName(const QString &name)
{
    if (name.toUtf8().size() > maxEntryNameBytes)
        return false;
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString archiveFileName(const QString &releaseFileName, const QString &version)
{
    requireSafeVersion(version);
    if (releaseFileName.isEmpty())
        return PackageDirectory::namePrefix + version + archiveSuffix;
    if (!isSafeEntryName(releaseFileName))
        throw unsafeName(releaseFileName);
    return releaseFileName;
}

QString packageDirectoryName(const QString &version)
{
    requireSafeVersion(version);
    return PackageDirectory::namePrefix + version;
}

std::optional<QString> folderNameFor(const QString &version)
{
    // The version names the package directory and, without a file name, the archive.
    if (!isSafeEntryName(version) || !isSafeEntryName(PackageDirectory::namePrefix + version + archiveSuffix))
        return std::nullopt;
    return PackageDirectory::namePrefix + version;
}

} // namespace PackageNames
