#include "InstallOperation.h"

#include "model/AuthToolModel.h"
#include "model/InstallFlow.h"

InstallOperation::InstallOperation(AuthToolModel *model, Origin origin)
    : Operation(model)
    , m_origin(origin)
{
}

QCoro::Task<OperationOutcome> InstallOperation::run()
{
    if (m_origin == Origin::Cache) {
        return m_model->runner().run({
            .flag = OperationRunner::BusyFlag::Installing,
            .wpsGateAction = QStringLiteral("用本机缓存修复"),
            .progressMessage = QStringLiteral("正在用本机缓存修复插件..."),
            .startLogLine = QStringLiteral("开始用本机缓存修复 WPS 插件"),
            .failurePrefix = QStringLiteral("缓存修复失败："),
            .work = [this] { return installFromCache(); },
        });
    }
    return m_model->runner().run({
        .flag = OperationRunner::BusyFlag::Installing,
        .wpsGateAction = QStringLiteral("安装/修复"),
        .progressMessage = QStringLiteral("正在获取 WPS 插件包..."),
        .startLogLine = QStringLiteral("开始安装或修复 WPS 插件"),
        .failurePrefix = QStringLiteral("安装失败："),
        .work = [this] { return installFromService(); },
    });
}

QCoro::Task<> InstallOperation::installFromService()
{
    const QPointer<AuthToolModel> model = m_model;
    const QString before = model->installedPluginVersionPublished();
    model->policy().requireValid();
    const CachedPluginPackage package = co_await model->installFlow().installFromService(model->isOnline());
    if (!model)
        co_return;
    co_await model->publishInstalled(package.version);
    if (!model)
        co_return;
    model->runner().appendLog(QStringLiteral("WPS 插件安装完成（") + package.version + QStringLiteral("）"));
    model->runner().showOperation(InstallFlow::completionMessage(before, package.version), OperationTone::Success);
}

QCoro::Task<> InstallOperation::installFromCache()
{
    const QPointer<AuthToolModel> model = m_model;
    model->policy().requireValid();
    const CachedPluginPackage package = co_await model->installFlow().installFromCache();
    if (!model)
        co_return;
    co_await model->publishInstalled(package.version);
    if (!model)
        co_return;
    model->runner().showOperation(QStringLiteral("已用本机缓存 ") + package.version
                                      + QStringLiteral(" 修复，联网后请检查更新。"),
                                  OperationTone::Warning);
    model->runner().appendLog(QStringLiteral("本机缓存修复完成（") + package.version + QStringLiteral("）"));
}
