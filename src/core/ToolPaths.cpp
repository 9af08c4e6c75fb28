#include "ToolPaths.h"

#include "core/AppConstants.h"

#include <QDir>

namespace ToolPaths {

QString homeDir()
{
    return QDir::homePath();
}

QString logDir()
{
    return homeDir() + QStringLiteral("/Library/Logs/CorvantaWpsAnalysis");
}

QString logFile()
{
    return logDir() + QStringLiteral("/corvanta-auth-tool.log");
}

QString supportDir()
{
    return homeDir() + QStringLiteral("/Library/Application Support/Corvanta/WpsAnalysis");
}

QString pluginPackageDownloadDir()
{
    return supportDir() + QStringLiteral("/downloads");
}

QString pluginPackageCacheDir()
{
    return supportDir() + QStringLiteral("/packages");
}

QString addonDir()
{
    return homeDir()
        + QStringLiteral("/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons");
}

QString managementToolAppPath()
{
    return homeDir() + QStringLiteral("/Applications/Corvanta/") + managementToolName + QStringLiteral(".app");
}

QString legacyToolAppPath()
{
    return homeDir() + QStringLiteral("/Applications/Corvanta/") + legacyToolName + QStringLiteral(".app");
}

} // namespace ToolPaths
