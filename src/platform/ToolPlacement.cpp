#include "ToolPlacement.h"

#include "core/AppConstants.h"

#include <QDir>
#include <QFileInfo>

namespace ToolPlacement {

bool samePlace(const QString &first, const QString &second)
{
    // The running bundle's path comes resolved from the system, the installed place is spelt from
    // HOME, which may be reached through a link: only what both resolve to can be compared.
    const QString resolvedFirst = QFileInfo(first).canonicalFilePath();
    const QString resolvedSecond = QFileInfo(second).canonicalFilePath();
    if (!resolvedFirst.isEmpty() && !resolvedSecond.isEmpty())
        return resolvedFirst == resolvedSecond;
    return QDir::cleanPath(first) == QDir::cleanPath(second);
}

QString placementSource(const AppBundle &running, const QString &installedPath)
{
    if (!running.isValid() || samePlace(running.path(), installedPath))
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
