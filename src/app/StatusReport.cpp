#include "StatusReport.h"

#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "plugin/PackageDirectory.h"

#include <QJsonArray>

namespace {

// A state's name, which scripts compare and which never changes, and its label for people.
struct StateTexts
{
    QString name;
    QString label;
};

StateTexts stateTexts(PluginInstallState state)
{
    switch (state) {
    case PluginInstallState::NotInstalled:
        return {QStringLiteral("notInstalled"), QStringLiteral("未安装")};
    case PluginInstallState::UpdateAvailable:
        return {QStringLiteral("updateAvailable"), QStringLiteral("有新版本")};
    case PluginInstallState::UpToDate:
        return {QStringLiteral("upToDate"), QStringLiteral("已是最新版")};
    case PluginInstallState::Unknown:
        break;
    }
    return {QStringLiteral("unknown"), QStringLiteral("未知")};
}

QString queryName(StatusReport::ReleaseQuery query)
{
    switch (query) {
    case StatusReport::ReleaseQuery::Answered:
        return QStringLiteral("answered");
    case StatusReport::ReleaseQuery::Offline:
        return QStringLiteral("offline");
    case StatusReport::ReleaseQuery::Failed:
        return QStringLiteral("failed");
    case StatusReport::ReleaseQuery::Skipped:
        break;
    }
    return QStringLiteral("skipped");
}

QJsonValue optionalText(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString runningLabel(bool running)
{
    return running ? QStringLiteral("正在运行") : QStringLiteral("未运行");
}

QString installationLines(const QList<WpsInstallation> &installations)
{
    if (installations.isEmpty())
        return QStringLiteral("WPS 安装位置：未找到\n");
    QString lines;
    for (const WpsInstallation &installation : installations) {
        lines += QStringLiteral("WPS 安装位置：") + installation.root + QStringLiteral("（") + runningLabel(installation.running)
            + QStringLiteral("，插件目录：") + installation.addonDir + QStringLiteral("）\n");
    }
    return lines;
}

} // namespace

QList<CachedPluginPackage> StatusReport::readCachedPackages()
{
    try {
        // In the order the cache repair chooses from, so the first one named is the one it uses.
        return PackageDirectory::packagesNewestFirst(ToolPaths::pluginPackageCacheDir());
    } catch (const Failure &) {
        // No cache yet, or one that cannot be listed: nothing to offer.
        return {};
    }
}

QJsonObject StatusReport::toJson() const
{
    QJsonArray packages;
    for (const CachedPluginPackage &package : cachedPackages) {
        packages.append(QJsonObject{
            {QStringLiteral("version"), package.version},
            {QStringLiteral("minManagerVersion"), optionalText(package.minManagerVersion)},
            {QStringLiteral("path"), package.directory},
        });
    }
    QJsonArray installations;
    for (const WpsInstallation &installation : wpsInstallations) {
        installations.append(QJsonObject{
            {QStringLiteral("root"), installation.root},
            {QStringLiteral("resolvedRoot"), installation.resolvedRoot},
            {QStringLiteral("running"), installation.running},
            {QStringLiteral("addonDir"), installation.addonDir},
        });
    }
    return QJsonObject{
        {QStringLiteral("formatVersion"), 1},
        {QStringLiteral("toolVersion"), toolVersion},
        {QStringLiteral("installedVersion"), optionalText(installedVersion)},
        {QStringLiteral("latestVersion"), optionalText(latestVersion)},
        {QStringLiteral("installState"), stateTexts(installState).name},
        {QStringLiteral("releaseQuery"), queryName(releaseQuery)},
        {QStringLiteral("releaseQueryError"), optionalText(releaseQueryError)},
        {QStringLiteral("online"), online},
        {QStringLiteral("wpsRunning"), wpsRunning},
        {QStringLiteral("addonDir"), addonDir},
        {QStringLiteral("wpsInstallations"), installations},
        {QStringLiteral("cachedPackages"), packages},
        {QStringLiteral("supportDir"), locations.supportDir},
        {QStringLiteral("downloadDir"), locations.downloadDir},
        {QStringLiteral("packageCacheDir"), locations.packageCacheDir},
        {QStringLiteral("logFile"), locations.logFile},
        {QStringLiteral("settingsFile"), settingsFile},
        {QStringLiteral("policy"), policy.isSet() ? QJsonValue(policy.toJson()) : QJsonValue()},
    };
}

QString StatusReport::toText() const
{
    QString latest = latestVersion.isNull() ? QStringLiteral("未知") : latestVersion;
    switch (releaseQuery) {
    case ReleaseQuery::Skipped:
        latest += QStringLiteral("（未查询）");
        break;
    case ReleaseQuery::Offline:
        latest += QStringLiteral("（当前离线）");
        break;
    case ReleaseQuery::Failed:
        latest += QStringLiteral("（查询失败：") + releaseQueryError + QStringLiteral("）");
        break;
    case ReleaseQuery::Answered:
        break;
    }
    QStringList cached;
    for (const CachedPluginPackage &package : cachedPackages)
        cached.append(package.version);
    return QStringLiteral("管理工具版本：") + toolVersion + u'\n'
        + QStringLiteral("已安装插件：") + (installedVersion.isNull() ? QStringLiteral("无") : installedVersion) + u'\n'
        + QStringLiteral("最新版本：") + latest + u'\n'
        + QStringLiteral("安装状态：") + stateTexts(installState).label + u'\n'
        + QStringLiteral("网络：") + (online ? QStringLiteral("在线") : QStringLiteral("离线")) + u'\n'
        + QStringLiteral("WPS：") + runningLabel(wpsRunning) + u'\n' + installationLines(wpsInstallations)
        + QStringLiteral("插件目录：") + addonDir + u'\n'
        + QStringLiteral("本机缓存：") + (cached.isEmpty() ? QStringLiteral("无") : cached.join(QStringLiteral("、")))
        + u'\n' + QStringLiteral("支持文件：") + locations.supportDir + u'\n'
        + QStringLiteral("下载目录：") + locations.downloadDir + u'\n'
        + QStringLiteral("插件包缓存目录：") + locations.packageCacheDir + u'\n'
        + QStringLiteral("活动日志：") + locations.logFile + u'\n'
        + QStringLiteral("设置文件：") + settingsFile + u'\n' + policyText();
}

QString StatusReport::policyText() const
{
    // Most machines have none: nothing to say then.
    if (!policy.isSet())
        return {};
    if (!policy.isValid())
        return QStringLiteral("管理策略：") + policy.problemSentence() + u'\n';
    return QStringLiteral("管理策略：") + policy.origins().join(QStringLiteral("、")) + u'\n'
        + QStringLiteral("插件来源：") + (policy.mirror() ? policy.mirror()->toString() : QStringLiteral("Corvanta 服务"))
        + u'\n' + QStringLiteral("锁定版本：") + (policy.pinnedVersion().isNull() ? QStringLiteral("无") : policy.pinnedVersion())
        + u'\n';
}
