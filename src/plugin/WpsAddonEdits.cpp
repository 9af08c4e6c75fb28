#include "WpsAddonEdits.h"

#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "platform/PathExchange.h"
#include "plugin/PackageDirectory.h"
#include "plugin/PackageNames.h"
#include "service/JsonValueReaders.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace WpsAddonEdits {

namespace {

const QString pluginName = QStringLiteral("CorvantaAnalysis");
const QString legacyName = QStringLiteral("Corvanta");
const QString namelistKey = QStringLiteral("namelist");
const QString spreadsheetGroup = QStringLiteral("et");

// An element ends at its own "/>" when its opening tag closes itself, otherwise at its own closing
// tag: a paired element with a self-closing child is removed whole, not cut after the child.
const QRegularExpression &publishEntryPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"re(\s*<(jsplugin(?:online)?)\b(?=[^>]*(?:name="(?:CorvantaAnalysis|Corvanta)"|url="[^"]*(?:CorvantaAnalysis_|Corvanta_)))[^>]*?(?:/>|>[\s\S]*?</\1\s*>)\s*)re"));
    return pattern;
}

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

// A file we leave as it is, named by its file name.
Failure unrecognised(FailureKind kind, const QString &path)
{
    FailureDetails details;
    details.path = QFileInfo(path).fileName();
    return Failure(kind, std::move(details));
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

QString readUtf8Text(const QString &path)
{
    const QByteArray bytes = readFile(path);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        throw unrecognised(FailureKind::NotUtf8, path);
    return text;
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
    const QStringList names = LocalFiles::entryNames(addonDir);
    for (const QString &name : names) {
        if (withPlugin && isPluginEntryName(name))
            removeUnderHiddenName(addonDir, name);
        else if (name.startsWith(leftoverPrefix))
            removeTree(addonDir + QLatin1Char('/') + name, name);
    }
}

} // namespace

bool isPluginEntryName(const QString &name)
{
    return name == pluginName || name.startsWith(QStringLiteral("CorvantaAnalysis_"))
        || name.startsWith(QStringLiteral("Corvanta_"));
}

QString withoutPublishEntries(const QString &xml)
{
    QString text = xml;
    return text.remove(publishEntryPattern());
}

QString withPublishEntry(const QString &xml, const QString &url, const QString &version)
{
    const QString element = QStringLiteral("<jsplugin name=\"") + pluginName + QStringLiteral("\" type=\"et\" url=\"")
        + url.toHtmlEscaped() + QStringLiteral("\" version=\"") + version.toHtmlEscaped() + QStringLiteral("\"/>");
    QString text = withoutPublishEntries(xml);
    if (text.trimmed().isEmpty()) {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jsplugins>\n  ") + element
            + QStringLiteral("\n</jsplugins>\n");
    }
    static const QRegularExpression closing(QStringLiteral(R"(</jsplugins\s*>)"));
    const qsizetype tag = text.lastIndexOf(closing);
    if (tag >= 0) {
        // The new element goes on its own line before the closing tag, in place of the blanks there.
        qsizetype start = tag;
        while (start > 0 && text.at(start - 1).isSpace())
            --start;
        return text.replace(start, tag - start, QStringLiteral("\n  ") + element + QLatin1Char('\n'));
    }
    static const QRegularExpression empty(QStringLiteral(R"(<jsplugins\s*/>)"));
    const QRegularExpressionMatch emptyList = empty.match(text);
    if (emptyList.hasMatch()) {
        return text.replace(emptyList.capturedStart(), emptyList.capturedLength(),
                            QStringLiteral("<jsplugins>\n  ") + element + QStringLiteral("\n</jsplugins>"));
    }
    throw unrecognised(FailureKind::UnrecognisedWpsFile, publishFileName);
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
        throw unrecognised(FailureKind::UnrecognisedWpsFile, authFileName);
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

void removePublishEntries(const QString &addonDir)
{
    const QString path = addonDir + QLatin1Char('/') + publishFileName;
    if (!exists(path))
        return;
    AtomicFile::write(path, withoutPublishEntries(readUtf8Text(path)).toUtf8());
}

void removeAuthEntries(const QString &addonDir)
{
    const QString path = addonDir + QLatin1Char('/') + authFileName;
    if (!exists(path))
        return;
    const QJsonDocument document = parseJson(readFile(path));
    if (!document.isObject())
        return;
    AtomicFile::write(path, encodeAuthJson(withoutAuthEntries(document.object())));
}

void registerPlugin(const QString &addonDir, const QString &directoryName, const QString &version)
{
    const QString directory = addonDir + QLatin1Char('/') + directoryName;
    const QString publishPath = addonDir + QLatin1Char('/') + publishFileName;
    const QString authPath = addonDir + QLatin1Char('/') + authFileName;

    // Both new texts are made before either file is written, so a list that cannot be read or
    // understood leaves both files as they were.
    const QString publish = exists(publishPath) ? readUtf8Text(publishPath) : QString();
    const QString newPublish = withPublishEntry(publish, directoryUrl(directory), version);
    QJsonObject auth;
    if (exists(authPath)) {
        const QByteArray bytes = readFile(authPath);
        if (!bytes.trimmed().isEmpty()) {
            const QJsonDocument document = parseJson(bytes);
            if (!document.isObject())
                throw unrecognised(FailureKind::UnrecognisedWpsFile, authFileName);
            auth = document.object();
        }
    }
    const QByteArray newAuth = encodeAuthJson(withAuthEntry(auth, directoryName, directory));
    AtomicFile::write(publishPath, newPublish.toUtf8());
    AtomicFile::write(authPath, newAuth);
}

QString installedDirectoryName(const QString &packageDir)
{
    const std::optional<CachedPluginPackage> package = PackageDirectory::readPackageDirectory(packageDir);
    if (!package)
        throw Failure(FailureKind::IncompletePackageFolder);
    const std::optional<QString> name = PackageNames::folderNameFor(package->version);
    if (!name)
        throw Failure(FailureKind::InvalidPackageVersion);
    return *name;
}

void placeDirectory(const QString &staged, const QString &target)
{
    const auto failure = [name = QFileInfo(target).fileName()](int error) {
        return LocalFiles::failure(QStringLiteral("放置插件文件夹"), name, error);
    };
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
