#include "WpsAddonEdits.h"

#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "platform/PathExchange.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackageNames.h"
#include "plugin/PublishXmlEdit.h"
#include "plugin/WpsListPair.h"
#include "service/JsonValueReaders.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace WpsAddonEdits {

namespace {

const QString pluginName = QStringLiteral("CorvantaAnalysis");
const QString legacyName = QStringLiteral("Corvanta");
const QString namelistKey = QStringLiteral("namelist");
const QString spreadsheetGroup = QStringLiteral("et");

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Names the entry by its file name only: the add-in directory's path means nothing to the user.
Failure entryFailure(const QString &action, const QString &path, int error)
{
    return LocalFiles::failure(action, QFileInfo(path).fileName(), error);
}

Failure unrecognised(const QString &fileName)
{
    FailureDetails details;
    details.path = fileName;
    return Failure(FailureKind::UnrecognisedWpsFile, details);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw entryFailure(QStringLiteral("读取"), path, file.error() == QFile::PermissionsError ? EACCES : EIO);
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        throw entryFailure(QStringLiteral("读取"), path, EIO);
    return bytes;
}

QJsonDocument parseJson(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(FailureKind::NotJson);
    return document;
}

QString textOf(const QJsonObject &entry, const QString &key)
{
    return JsonValueReaders::stringValue(entry.value(key)).value_or(QString());
}

bool isPluginAuthEntry(const QJsonObject &entry)
{
    const QString name = textOf(entry, QStringLiteral("name"));
    const QString path = textOf(entry, QStringLiteral("path"));
    return name == pluginName || name == legacyName || path.contains(QStringLiteral("CorvantaAnalysis_"))
        || path.contains(QStringLiteral("Corvanta_"));
}

QString namelistOf(const QJsonObject &group)
{
    QStringList keys;
    for (auto it = group.begin(); it != group.end(); ++it) {
        if (it.key() != namelistKey && it.value().isObject())
            keys.append(it.key());
    }
    std::sort(keys.begin(), keys.end());
    return keys.join(QLatin1Char(';'));
}

QString hiddenSibling(const QString &directory, const QString &purpose)
{
    return directory + QLatin1Char('/') + leftoverPrefix + purpose + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

int renamePath(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
}

void removeTree(const QString &path, const QString &shownName)
{
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        throw entryFailure(QStringLiteral("删除"), shownName, error.value());
}

// Out of sight under a hidden name first, so no half-deleted directory ever carries the add-in's name.
void removeUnderHiddenName(const QString &addonDir, const QString &name)
{
    const QString path = addonDir + QLatin1Char('/') + name;
    const QString hidden = hiddenSibling(addonDir, QStringLiteral("removing"));
    if (const int error = renamePath(path, hidden))
        throw entryFailure(QStringLiteral("删除"), path, error);
    removeTree(hidden, path);
}

// Our hidden leftovers, and with `withPlugin` the add-in's own entries, in one listing.
void removeOwnEntries(const QString &addonDir, bool withPlugin)
{
    if (!exists(addonDir))
        return;
    // The journal's hidden files would otherwise be taken for debris.
    WpsListPair::recover(addonDir);
    const QStringList names = LocalFiles::entryNames(addonDir);
    for (const QString &name : names) {
        if (withPlugin && isPluginEntryName(name))
            removeUnderHiddenName(addonDir, name);
        else if (name.startsWith(leftoverPrefix))
            removeTree(addonDir + QLatin1Char('/') + name, name);
    }
}

std::optional<QByteArray> readIfPresent(const QString &path)
{
    if (!exists(path))
        return std::nullopt;
    return readFile(path);
}

// Both lists' new bytes, made before either is written; a list that cannot be read or understood
// throws here, with nothing changed. Only a list whose bytes change is written. Registering makes
// missing lists; removing leaves a missing, blank or (registry) non-object list alone.
QList<WpsListPair::Change> listChanges(const QString &addonDir, bool registering,
                                       const std::function<QByteArray(const QByteArray &)> &editPublish,
                                       const std::function<QJsonObject(const QJsonObject &)> &editAuth)
{
    QList<WpsListPair::Change> changes;
    const std::optional<QByteArray> publish = readIfPresent(addonDir + QLatin1Char('/') + publishFileName);
    if (publish || registering) {
        const QByteArray edited = editPublish(publish.value_or(QByteArray()));
        if (!publish || edited != *publish)
            changes.append({publishFileName, edited});
    }
    const std::optional<QByteArray> auth = readIfPresent(addonDir + QLatin1Char('/') + authFileName);
    const bool blank = !auth || auth->trimmed().isEmpty();
    if (blank && !registering)
        return changes;
    const QJsonDocument document = blank ? QJsonDocument(QJsonObject()) : parseJson(*auth);
    if (!document.isObject()) {
        if (registering)
            throw unrecognised(authFileName);
        return changes;
    }
    const QByteArray edited = encodeAuthJson(editAuth(document.object()));
    if (!auth || edited != *auth)
        changes.append({authFileName, edited});
    return changes;
}

} // namespace

bool isPluginEntryName(const QString &name)
{
    return name == pluginName || name.startsWith(QStringLiteral("CorvantaAnalysis_"))
        || name.startsWith(QStringLiteral("Corvanta_"));
}

QJsonObject withoutAuthEntries(QJsonObject root)
{
    const QStringList groupKeys = root.keys();
    for (const QString &groupKey : groupKeys) {
        if (!root.value(groupKey).isObject())
            continue;
        QJsonObject group = root.value(groupKey).toObject();
        const QStringList keys = group.keys();
        for (const QString &key : keys) {
            if (key != namelistKey && group.value(key).isObject() && isPluginAuthEntry(group.value(key).toObject()))
                group.remove(key);
        }
        group.insert(namelistKey, namelistOf(group));
        root.insert(groupKey, group);
    }
    return root;
}

QJsonObject withAuthEntry(QJsonObject root, const QString &key, const QString &path)
{
    const QJsonValue existing = root.value(spreadsheetGroup);
    if (!existing.isUndefined() && !existing.isObject())
        throw unrecognised(authFileName);
    root = withoutAuthEntries(root);
    QJsonObject group = root.value(spreadsheetGroup).toObject();
    group.insert(key, QJsonObject{{QStringLiteral("name"), pluginName},
                                  {QStringLiteral("path"), path},
                                  {QStringLiteral("enable"), true},
                                  {QStringLiteral("isload"), true}});
    group.insert(namelistKey, namelistOf(group));
    root.insert(spreadsheetGroup, group);
    return root;
}

QByteArray encodeAuthJson(const QJsonObject &root)
{
    // QJsonObject keeps its keys sorted, so the text comes out sorted at every level.
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void removePluginDirectories(const QString &addonDir)
{
    removeOwnEntries(addonDir, true);
}

void unregisterPlugin(const QString &addonDir)
{
    WpsListPair::recover(addonDir);
    const QList<WpsListPair::Change> changes = listChanges(addonDir, false, &PublishXmlEdit::withoutPluginEntries,
                                                           &withoutAuthEntries);
    removeOwnEntries(addonDir, true);
    WpsListPair::write(addonDir, changes);
}

void registerPlugin(const QString &addonDir, const QString &directoryName, const QString &version)
{
    const QString directory = addonDir + QLatin1Char('/') + directoryName;
    WpsListPair::recover(addonDir);
    const QList<WpsListPair::Change> changes = listChanges(
        addonDir, true,
        [&](const QByteArray &publish) { return PublishXmlEdit::withPluginEntry(publish, directoryUrl(directory), version); },
        [&](const QJsonObject &auth) { return withAuthEntry(auth, directoryName, directory); });
    WpsListPair::write(addonDir, changes);
}

QString installedDirectoryName(const QString &packageDir)
{
    const std::optional<CachedPluginPackage> package = PackageDirectory::readPackageDirectory(packageDir);
    if (!package)
        throw Failure(FailureKind::IncompletePackageFolder);
    // The cache and WPS's folder name a version's directory by the same rule.
    const std::optional<QString> name = PackageNames::folderNameFor(package->version);
    if (!name)
        throw Failure(FailureKind::InvalidPackageVersion);
    return *name;
}

void placeDirectory(const QString &staged, const QString &target)
{
    const auto failure = [&target](int error) { return entryFailure(QStringLiteral("放置插件文件夹"), target, error); };
    if (!exists(target)) {
        if (const int error = renamePath(staged, target))
            throw failure(error);
        return;
    }
    const int error = PathExchange::exchange(staged, target);
    if (error == 0)
        return;
    if (error != EINVAL && error != ENOTSUP && error != ENOSYS && error != EOPNOTSUPP)
        throw failure(error);
    // No exchange on this file system: the previous directory steps aside for a moment.
    const QString aside = hiddenSibling(QFileInfo(target).absolutePath(), QStringLiteral("previous"));
    if (const int asideError = renamePath(target, aside))
        throw failure(asideError);
    if (const int placeError = renamePath(staged, target)) {
        renamePath(aside, target);
        throw failure(placeError);
    }
    renamePath(aside, staged);
}

void removeLeftovers(const QString &addonDir)
{
    removeOwnEntries(addonDir, false);
}

QString directoryUrl(const QString &directory)
{
    return QUrl::fromLocalFile(directory + QLatin1Char('/')).toString();
}

} // namespace WpsAddonEdits
