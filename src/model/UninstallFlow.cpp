#include "UninstallFlow.h"

#include "core/ConfirmationPrompt.h"
#include "core/Failure.h"
#include "plugin/OperationLock.h"
#include "plugin/WpsAddonEdits.h"
#include "plugin/WpsDetection.h"

namespace UninstallFlow {

bool confirm(ConfirmationPrompt *prompt)
{
    if (!prompt)
        return false;
    return prompt->confirm({QStringLiteral("卸载 Corvanta分析插件？"),
                            QStringLiteral("只会移除 WPS 表格中的 CorvantaAnalysis 加载项，不会删除管理工具或其他内容。"),
                            QStringLiteral("卸载"), QStringLiteral("取消")});
}

WpsListPair::Recovery removeFromWps(const QString &addonDir)
{
    const auto lock = OperationLock::acquire();
    // WPS may have started while the question was open.
    if (WpsDetection::isWpsRunning())
        throw Failure(FailureKind::WpsRunning);
    return WpsAddonEdits::unregisterPlugin(addonDir);
}

} // namespace UninstallFlow
