#include "PackageDirectory.h"

#include "core/ToolPaths.h"
#include "core/LocalFiles.h"
#include "service/JsonValueReaders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <limits>

namespace PackageDirectory {

namespace {

// A version.json is a few lines; anything larger is not one.
constexpr qint64 maxMetadataBytes = 1024 * 1024;

// The lenient service reader, keeping "present but empty" apart from "absent" (a null string).
QString textOrNull(const QJsonValue &value)
{
    const std::optional<QString> text = JsonValueReaders::stringValue(value);
    if (!text)
        return QString();
    return text->isNull() ? QStringLiteral("") : *text;
}

bool entryExists(const QString &directory, const QString &relative)
{
    return QFileInfo::exists(directory + u'/' + relative);
}

} // namespace

std::optional<QJsonObject> readPackageMetadata(const QString &directory)
{
    // Only a plain file of sane size: a FIFO or device named version.json would block or never end,
    // and this runs on the GUI thread at every start.
    const QString path = directory + QStringLiteral("/version.json");
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxMetadataBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(maxMetadataBytes));
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<CachedPluginPackage> readPackageDirectory(const QString &directory)
{
    const QString name = QFileInfo(QDir::cleanPath(directory)).fileName();
    if (!name.startsWith(namePrefix))
        return std::nullopt;
    if (!entryExists(directory, QStringLiteral("ribbon.xml")) || !entryExists(directory, QStringLiteral("app/index.html")))
        return std::nullopt;

    const QJsonObject metadata = readPackageMetadata(directory).value_or(QJsonObject());
    QString version = textOrNull(metadata.value(QLatin1String("version")));
    if (version.isNull())
        version = name.mid(namePrefix.size());
    return CachedPluginPackage{directory, version, textOrNull(metadata.value(QLatin1String("minManagerVersion")))};
}

QList<CachedPluginPackage> packagesNewestFirst(const QString &folder)
{
    struct Candidate
    {
        CachedPluginPackage package;
        qint64 modifiedMs;
    };
    QList<Candidate> candidates;
    for (const QString &name : LocalFiles::entryNames(folder)) {
        const QString path = folder + u'/' + name;
        if (std::optional<CachedPluginPackage> package = readPackageDirectory(path)) {
            // An unreadable date counts as the distant past.
            const QDateTime modified = QFileInfo(path).lastModified();
            candidates.append({std::move(*package), modified.isValid() ? modified.toMSecsSinceEpoch()
                                                                        : std::numeric_limits<qint64>::min()});
        }
    }
    // Equal dates fall back to the name so the order does not depend on the listing order.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate &a, const Candidate &b) {
        if (a.modifiedMs != b.modifiedMs)
            return a.modifiedMs > b.modifiedMs;
        return a.package.directory > b.package.directory;
    });
    QList<CachedPluginPackage> packages;
    for (Candidate &candidate : candidates)
        packages.append(std::move(candidate.package));
    return packages;
}

std::optional<CachedPluginPackage> newestPackageIn(const QString &folder)
{
    QList<CachedPluginPackage> packages = packagesNewestFirst(folder);
    if (packages.isEmpty())
        return std::nullopt;
    return std::move(packages.first());
}

QString installedPluginVersionFromDisk()
{
    const QString folder = ToolPaths::addonDir();
    if (!QFileInfo::exists(folder))
        return {};
    try {
        if (std::optional<CachedPluginPackage> package = newestPackageIn(folder))
            return package->version;
    } catch (const Failure &) {
        // An unreadable add-in directory means nothing is known to be installed.
    }
    return {};
}

std::optional<CachedPluginPackage> latestCachedPluginPackage()
{
    const QString folder = ToolPaths::pluginPackageCacheDir();
    if (!QFileInfo::exists(folder))
        return std::nullopt;
    return newestPackageIn(folder);
}

} // namespace PackageDirectory
