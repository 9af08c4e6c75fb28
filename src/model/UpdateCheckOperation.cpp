#include "UpdateCheckOperation.h"

#include "core/Failure.h"
#include "model/AuthToolModel.h"
#include "model/UpdateCheck.h"

UpdateCheckOperation::UpdateCheckOperation(AuthToolModel *model, Asker asker)
    : Operation(model)
    , m_asker(asker)
{
}

bool UpdateCheckOperation::passesOnlineGate() const
{
    if (m_asker == Asker::Tool)
        return m_model->reachesPackageSource();
    return m_model->policy().mirror() || m_model->runner().requireOnline(m_model->isOnline(), QStringLiteral("检查更新"));
}

QCoro::Task<OperationOutcome> UpdateCheckOperation::run()
{
    const QPointer<AuthToolModel> model = m_model;
    if (!passesOnlineGate())
        co_return OperationOutcome::refused(OperationOutcome::Gate::Offline);
    const bool byUser = m_asker == Asker::User;
    if (byUser) {
        model->runner().showOperation(QStringLiteral("正在检查最新插件版本..."), OperationTone::Info);
        model->runner().appendLog(QStringLiteral("用户触发检查更新"));
    }
    // An invalid policy governs the source too: nothing is asked.
    UpdateCheck::ReleaseAnswer answer = UpdateCheck::ReleaseFailure{model->policy().problem()};
    if (model->policy().isValid())
        answer = co_await UpdateCheck::queryLatestRelease(model->apiClient(), model->packageSource());
    if (!model)
        co_return OperationOutcome::cancelled();
    if (const auto *release = std::get_if<PluginRelease>(&answer)) {
        model->setLatestPluginVersion(release->version);
        if (!byUser) {
            model->recomputeInstallState();
            co_return OperationOutcome::done();
        }
        model->refreshInstalledPluginVersion();
        const UpdateCheck::Message result = UpdateCheck::resultMessage(model->pluginInstallState(), release->version);
        model->runner().showOperation(result.text, result.tone);
        co_return OperationOutcome::done();
    }
    const std::exception_ptr error = std::get<UpdateCheck::ReleaseFailure>(answer).error;
    if (!byUser) {
        model->runner().appendLog(QStringLiteral("查询最新插件版本失败（保留状态）：") + describeError(error));
        co_return OperationOutcome::failed(error);
    }
    const QString failure = QStringLiteral("检查更新失败：") + describeError(error);
    model->runner().appendLog(failure);
    model->runner().showOperation(failure, OperationTone::Error);
    co_return OperationOutcome::failed(error);
}
