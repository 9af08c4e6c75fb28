#include "UninstallOperation.h"

#include "core/ToolPaths.h"
#include "core/WorkerTask.h"
#include "model/AuthToolModel.h"
#include "model/UninstallFlow.h"

UninstallOperation::UninstallOperation(AuthToolModel *model)
    : Operation(model)
{
}

QCoro::Task<OperationOutcome> UninstallOperation::run()
{
    return m_model->runner().run({
        .flag = OperationRunner::BusyFlag::Uninstalling,
        .wpsGateAction = QStringLiteral("卸载"),
        .confirm = [this] { return m_model && UninstallFlow::confirm(m_model->confirmationPrompt()); },
        .progressMessage = QStringLiteral("正在卸载 WPS 插件..."),
        .startLogLine = QStringLiteral("开始卸载 WPS 插件"),
        .failurePrefix = QStringLiteral("卸载失败："),
        .work = [this] { return removeFromWps(); },
    });
}

QCoro::Task<> UninstallOperation::removeFromWps()
{
    const QPointer<AuthToolModel> model = m_model;
    // Deleting folders and syncing WPS's lists may wait on a slow disk: not on the window's thread.
    auto work = [addonDir = ToolPaths::addonDir()] { return UninstallFlow::removeFromWps(addonDir); };
    const WpsListPair::Recovery recovery = co_await runOffGuiThread(work);
    if (!model)
        co_return;
    if (recovery == WpsListPair::Recovery::Abandoned)
        model->runner().appendLog(WpsListPair::abandonedLogLine);
    model->setInstalledPluginVersion(QString());
    model->recomputeInstallState();
    model->runner().showOperation(QStringLiteral("插件已卸载。完全退出并重新打开 WPS 后生效。"), OperationTone::Success);
    model->runner().appendLog(QStringLiteral("WPS 插件卸载完成"));
}
