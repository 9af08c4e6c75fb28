#include "ToolPlacement.h"

#include "core/AppConstants.h"

#include <QDir>
#include <QFileInfo>

namespace ToolPlacement {

QString placementSource(const AppBundle &running, const QString &installedPath)
{
    if (!running.isValid() || QDir::cleanPath(running.path()) == QDir::cleanPath(installedPath))
        return {};
    const QString resources = running.resourcePath();
    for (const QString &name : {managementToolName, legacyToolName}) {
        const QString embedded = resources + QLatin1Char('/') + name + QStringLiteral(".app");
        if (QFileInfo::exists(embedded))
            return embedded;
    }
    return QDir::cleanPath(running.path());
}

bool isOwnLegacyTool(const QString &legacyPath)
{
    if (!QFileInfo::exists(legacyPath))
        return false;
    return AppBundle(legacyPath).identifier() == authToolBundleId;
}

} // namespace ToolPlacement
