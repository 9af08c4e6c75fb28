#include "UpdateCheck.h"

#include "plugin/MirrorSource.h"

namespace UpdateCheck {

QCoro::Task<ReleaseAnswer> queryLatestRelease(ClientAuthAPI api)
{
    try {
        co_return co_await api.latestRelease(QStringLiteral("darwin"));
    } catch (const std::exception &) {
        co_return ReleaseFailure{std::current_exception()};
    }
}

QCoro::Task<ReleaseAnswer> queryLatestRelease(ClientAuthAPI api, PackagePipeline::Source source)
{
    if (!source.mirror)
        co_return co_await queryLatestRelease(std::move(api));
    try {
        const MirrorSource mirror(*source.mirror);
        co_return co_await mirror.release(source.pinnedVersion);
    } catch (const std::exception &) {
        co_return ReleaseFailure{std::current_exception()};
    }
}

Message resultMessage(PluginInstallState state, const QString &version)
{
    switch (state) {
    case PluginInstallState::NotInstalled:
        return {QStringLiteral("尚未安装插件，可点击「安装」从 ") + version + QStringLiteral(" 开始。"), OperationTone::Info};
    case PluginInstallState::UpdateAvailable:
        return {QStringLiteral("发现新版本 ") + version + QStringLiteral("，可点击「更新到 ") + version
                    + QStringLiteral("」安装。"),
                OperationTone::Info};
    case PluginInstallState::UpToDate:
        return {QStringLiteral("本机插件已是最新版 ") + version + QStringLiteral("。"), OperationTone::Success};
    case PluginInstallState::Unknown:
        break;
    }
    return {QStringLiteral("检查更新完成（状态未知）。"), OperationTone::Info};
}

} // namespace UpdateCheck
