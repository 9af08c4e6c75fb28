#include "ManagementAppPlacement.h"

#include "core/ActivityLog.h"
#include "core/AppConstants.h"
#include "core/BundleCopy.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/ToolPaths.h"
#include "platform/HostPlatform.h"
#include "platform/ToolPlacement.h"

#include <QDir>

namespace ManagementAppPlacement {

QString ensureInstalledManagementApp(const AppBundle &running)
{
    const QString target = QDir::cleanPath(ToolPaths::managementToolAppPath());
    const QString source = ToolPlacement::placementSource(running, target);
    if (source.isEmpty())
        return target;
    BundleCopy::replaceWithCopy(source, target);
    removeLegacyToolIfSafe();
    ActivityLog::append(QStringLiteral("管理工具已安装到：") + target);
    return target;
}

QString managementAppForInstall()
{
    return HostPlatform::toolPlacesItself() ? ensureInstalledManagementApp() : HostPlatform::packagedToolPath();
}

void removeLegacyToolIfSafe()
{
    const QString legacy = QDir::cleanPath(ToolPaths::legacyToolAppPath());
    if (legacy == QDir::cleanPath(ToolPaths::managementToolAppPath()) || !ToolPlacement::isOwnLegacyTool(legacy))
        return;
    try {
        LocalFiles::removeEntry(legacy);
    } catch (const std::exception &) {
        return;
    }
    ActivityLog::append(QStringLiteral("已清理旧版 ") + legacyToolName + QStringLiteral("：") + legacy);
}

} // namespace ManagementAppPlacement
