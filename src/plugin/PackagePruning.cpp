#include "PackagePruning.h"

#include "core/ToolPaths.h"
#include "core/LocalFiles.h"
#include "plugin/PackageDirectory.h"

#include <QDir>
#include <QFileInfo>

namespace PackagePruning {

namespace {

QString standardized(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QStringList pruneFolder(const QString &folder, const QString &keep, const Rule &rule)
{
    QStringList names;
    try {
        names = LocalFiles::entryNames(folder);
    } catch (const Failure &) {
        return {};
    }
    const QString kept = standardized(keep);
    QStringList lines;
    for (const QString &name : std::as_const(names)) {
        const QString path = folder + u'/' + name;
        if (!rule.isCandidate(name) || standardized(path) == kept)
            continue;
        try {
            LocalFiles::removeEntry(path);
            lines.append(rule.removedLine + name);
        } catch (const Failure &error) {
            lines.append(rule.failedLine + name + QStringLiteral("：") + error.sentence());
        }
    }
    return lines;
}

QStringList prunePluginPackageCache(const QString &keep)
{
    const Rule rule{[](const QString &name) {
                        return name.startsWith(PackageDirectory::namePrefix) || name.startsWith(QLatin1String(".extract-"));
                    },
                    QStringLiteral("已清理旧插件缓存："), QStringLiteral("清理旧插件缓存失败：")};
    return pruneFolder(ToolPaths::pluginPackageCacheDir(), keep, rule);
}

QStringList pruneDownloadedPluginArchives(const QString &keep)
{
    const Rule rule{[](const QString &name) {
                        return (name.startsWith(PackageDirectory::namePrefix) && name.endsWith(QLatin1String(".zip")))
                            || name.startsWith(QLatin1String(".download-"));
                    },
                    QStringLiteral("已清理旧下载包："), QStringLiteral("清理旧下载包失败：")};
    return pruneFolder(ToolPaths::pluginPackageDownloadDir(), keep, rule);
}

} // namespace PackagePruning
