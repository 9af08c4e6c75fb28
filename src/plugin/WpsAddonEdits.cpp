#include "WpsAddonEdits.h"

#include "core/AddinIdentity.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "platform/PathExchange.h"
#include "plugin/AuthAddinJsonEdit.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackageNames.h"
#include "plugin/PublishXmlEdit.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace WpsAddonEdits {

namespace {

// Names the entry by its file name only: the add-in directory's path means nothing to the user.
Failure entryFailure(const QString &action, const QString &path, int error)
{
    return LocalFiles::failure(action, QFileInfo(path).fileName(), error);
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

QString hiddenSibling(const QString &directory, const QString &purpose)
{
    return directory + QLatin1Char('/') + leftoverPrefix + purpose + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::Id128).left(12);
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
    if (const int error = LocalFiles::renamePath(path, hidden))
        throw entryFailure(QStringLiteral("删除"), path, error);
    removeTree(hidden, path);
}

// Our hidden leftovers, and with `withPlugin` the add-in's own entries, in one listing.
WpsListPair::Recovery removeOwnEntries(const QString &addonDir, bool withPlugin)
{
    if (!LocalFiles::exists(addonDir))
        return WpsListPair::Recovery::NothingPending;
    // The journal's hidden files would otherwise be taken for debris.
    const WpsListPair::Recovery recovery = WpsListPair::recover(addonDir);
    const QStringList names = LocalFiles::entryNames(addonDir);
    for (const QString &name : names) {
        if (withPlugin && AddinIdentity::isOwnFolderEntry(name))
            removeUnderHiddenName(addonDir, name);
        else if (name.startsWith(leftoverPrefix))
            removeTree(addonDir + QLatin1Char('/') + name, name);
    }
    return recovery;
}

std::optional<QByteArray> readIfPresent(const QString &path)
{
    if (!LocalFiles::exists(path))
        return std::nullopt;
    return readFile(path);
}

using ListEdit = std::function<QByteArray(const QByteArray &)>;

// Both lists' new bytes, made before either is written; a list that cannot be read or understood
// throws here, with nothing changed. Only a list whose bytes change is written. Registering makes
// missing lists; removing leaves a missing list alone.
QList<WpsListPair::Change> listChanges(const QString &addonDir, bool registering, const ListEdit &editPublish,
                                       const ListEdit &editAuth)
{
    QList<WpsListPair::Change> changes;
    const auto add = [&](const QString &fileName, const ListEdit &edit) {
        const std::optional<QByteArray> before = readIfPresent(addonDir + QLatin1Char('/') + fileName);
        if (!before && !registering)
            return;
        const QByteArray edited = edit(before.value_or(QByteArray()));
        if (!before || edited != *before)
            changes.append({fileName, edited});
    };
    add(publishFileName, editPublish);
    add(authFileName, editAuth);
    return changes;
}

} // namespace

WpsListPair::Recovery unregisterPlugin(const QString &addonDir)
{
    const WpsListPair::Recovery recovery = WpsListPair::recover(addonDir);
    const QList<WpsListPair::Change> changes = listChanges(addonDir, false, &PublishXmlEdit::withoutPluginEntries,
                                                           &AuthAddinJsonEdit::withoutPluginEntries);
    removeOwnEntries(addonDir, true);
    WpsListPair::write(addonDir, changes);
    return recovery;
}

WpsListPair::Recovery registerPlugin(const QString &addonDir, const QString &directoryName, const QString &version)
{
    const QString directory = addonDir + QLatin1Char('/') + directoryName;
    const WpsListPair::Recovery recovery = WpsListPair::recover(addonDir);
    const QList<WpsListPair::Change> changes = listChanges(
        addonDir, true,
        [&](const QByteArray &publish) { return PublishXmlEdit::withPluginEntry(publish, directoryUrl(directory), version); },
        [&](const QByteArray &auth) { return AuthAddinJsonEdit::withPluginEntry(auth, directoryName, directory); });
    WpsListPair::write(addonDir, changes);
    return recovery;
}

QStringList removeOtherVersions(const QString &addonDir, const QString &installedName)
{
    QStringList left;
    for (const QString &name : LocalFiles::entryNames(addonDir)) {
        if (!AddinIdentity::isOwnFolderEntry(name) || name == installedName)
            continue;
        const QString hidden = hiddenSibling(addonDir, QStringLiteral("removing"));
        if (LocalFiles::renamePath(addonDir + QLatin1Char('/') + name, hidden) != 0) {
            left.append(name);
            continue;
        }
        try {
            removeTree(hidden, name);
        } catch (const Failure &) {
            // Out of sight already; the next clean-up takes what is left of it.
        }
    }
    return left;
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
    if (!LocalFiles::exists(target)) {
        if (const int error = LocalFiles::renamePath(staged, target))
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
    if (const int asideError = LocalFiles::renamePath(target, aside))
        throw failure(asideError);
    if (const int placeError = LocalFiles::renamePath(staged, target)) {
        LocalFiles::renamePath(aside, target);
        throw failure(placeError);
    }
    LocalFiles::renamePath(aside, staged);
}

void removeDirectory(const QString &addonDir, const QString &name)
{
    removeUnderHiddenName(addonDir, name);
}

WpsListPair::Recovery removeLeftovers(const QString &addonDir)
{
    return removeOwnEntries(addonDir, false);
}

QString directoryUrl(const QString &directory)
{
    return QUrl::fromLocalFile(directory + QLatin1Char('/')).toString();
}

} // namespace WpsAddonEdits
