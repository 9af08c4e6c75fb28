#include "PackageNames.h"

#include "plugin/PackageDirectory.h"
#include "service/AuthToolError.h"

namespace PackageNames {

namespace {

const QString archiveSuffix = QStringLiteral(".zip");

void requireSafeVersion(const QString &version)
{
    // The version names the package directory and, without a file name, the archive.
    if (!isSafeEntryName(version) || !isSafeEntryName(PackageDirectory::namePrefix + version + archiveSuffix))
        throw AuthToolError::message(QStringLiteral("授权服务返回的插件版本号不安全，已拒绝下载。"));
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
        throw AuthToolError::message(QStringLiteral("授权服务返回的插件文件名不安全，已拒绝下载。"));
    return releaseFileName;
}

QString packageDirectoryName(const QString &version)
{
    requireSafeVersion(version);
    return PackageDirectory::namePrefix + version;
}

} // namespace PackageNames
