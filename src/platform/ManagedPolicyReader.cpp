#include "ManagedPolicyReader.h"

#include "BuildConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#ifdef Q_OS_MACOS
#include <CoreFoundation/CoreFoundation.h>
#endif

namespace ManagedPolicyReader {

namespace {

// Larger than any policy: a device file or a mistake is not read whole.
constexpr qint64 maxPolicyBytes = 64 * 1024;

// The keys of one file; false (with the reason) when it cannot be used.
bool mergeFile(const QString &path, QJsonObject &values, QString &reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("无法读取：") + file.errorString();
        return false;
    }
    const QByteArray bytes = file.read(maxPolicyBytes + 1);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (bytes.size() > maxPolicyBytes || error.error != QJsonParseError::NoError || !document.isObject()) {
        reason = QStringLiteral("不是一个 JSON 对象");
        return false;
    }
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        values.insert(it.key(), it.value());
    return true;
}

#ifdef Q_OS_MACOS
// Only forced values count: those a profile sets, which the user cannot override.
ManagedPolicy readManagedPreferences()
{
    const QString domain = QString::fromLatin1(BuildConfig::bundleId);
    const CFStringRef application = domain.toCFString();
    QJsonObject values;
    for (const QString &key : {ManagedPolicy::packageSourceKey, ManagedPolicy::pinnedVersionKey,
                               ManagedPolicy::showOnlinePagesKey, ManagedPolicy::updateCheckKey}) {
        const CFStringRef name = key.toCFString();
        if (CFPreferencesAppValueIsForced(name, application)) {
            const CFPropertyListRef value = CFPreferencesCopyAppValue(name, application);
            if (value && CFGetTypeID(value) == CFStringGetTypeID())
                values.insert(key, QString::fromCFString(CFStringRef(value)));
            else if (value && CFGetTypeID(value) == CFBooleanGetTypeID())
                values.insert(key, bool(CFBooleanGetValue(CFBooleanRef(value))));
            else
                values.insert(key, QJsonValue());
            if (value)
                CFRelease(value);
        }
        CFRelease(name);
    }
    CFRelease(application);
    if (values.isEmpty())
        return {};
    return ManagedPolicy::fromValues(values, {QStringLiteral("/Library/Managed Preferences/") + domain});
}
#endif

} // namespace

ManagedPolicy readFolder(const QString &folder)
{
    const QDir dir(folder);
    QStringList files;
    if (QFileInfo::exists(dir.filePath(QStringLiteral("policy.json"))))
        files.append(dir.filePath(QStringLiteral("policy.json")));
    const QFileInfo dropIns(dir.filePath(QStringLiteral("policy.d")));
    if (dropIns.exists() && (!dropIns.isDir() || !dropIns.isReadable()))
        return ManagedPolicy::invalid(dropIns.filePath(), QStringLiteral("无法读取该文件夹"));
    for (const QString &name : QDir(dropIns.filePath()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        files.append(QDir(dropIns.filePath()).filePath(name));
    QJsonObject values;
    for (const QString &path : std::as_const(files)) {
        QString reason;
        if (!mergeFile(path, values, reason))
            return ManagedPolicy::invalid(path, reason);
    }
    if (files.isEmpty())
        return {};
    return ManagedPolicy::fromValues(values, files);
}

const ManagedPolicy &system()
{
#ifdef Q_OS_MACOS
    static const ManagedPolicy policy = readManagedPreferences();
#else
    static const ManagedPolicy policy = readFolder(systemFolder);
#endif
    return policy;
}

} // namespace ManagedPolicyReader
