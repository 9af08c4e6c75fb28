#include "ToolPaths.h"

#include "core/AppConstants.h"

#include <QDir>
#include <QSettings>

namespace {

// $NAME when it holds an absolute path, else home + fallback: relative values are to be ignored.
QString xdgBase(const QProcessEnvironment &environment, const QString &name, const QString &home,
                const QString &fallback)
{
    const QString value = environment.value(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return home + fallback;
}

} // namespace

namespace ToolPaths {

Locations locationsFor(HostSystem system, const QString &home, const QProcessEnvironment &environment)
{
    Locations locations;
    if (system == HostSystem::Mac) {
        locations.supportDir = home + QStringLiteral("/Library/Application Support/Corvanta/WpsAnalysis");
        locations.downloadDir = locations.supportDir + QStringLiteral("/downloads");
        locations.packageCacheDir = locations.supportDir + QStringLiteral("/packages");
        locations.logDir = home + QStringLiteral("/Library/Logs/CorvantaWpsAnalysis");
        locations.addonDir =
            home + QStringLiteral("/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons");
    } else {
        const QString folder = u'/' + xdgFolderName;
        locations.supportDir =
            xdgBase(environment, QStringLiteral("XDG_DATA_HOME"), home, QStringLiteral("/.local/share")) + folder;
        const QString cache = xdgBase(environment, QStringLiteral("XDG_CACHE_HOME"), home, QStringLiteral("/.cache"));
        locations.downloadDir = cache + folder + QStringLiteral("/downloads");
        locations.packageCacheDir = cache + folder + QStringLiteral("/packages");
        locations.logDir =
            xdgBase(environment, QStringLiteral("XDG_STATE_HOME"), home, QStringLiteral("/.local/state")) + folder;
        // WPS for Linux reads this folder below HOME whatever XDG_DATA_HOME says.
        locations.addonDir = home + QStringLiteral("/.local/share/Kingsoft/wps/jsaddons");
    }
    locations.logFile = locations.logDir + QStringLiteral("/corvanta-auth-tool.log");
    return locations;
}

Locations current()
{
    return locationsFor(hostSystem, homeDir(), QProcessEnvironment::systemEnvironment());
}

QString homeDir()
{
    return QDir::homePath();
}

QString logDir()
{
    return current().logDir;
}

QString logFile()
{
    return current().logFile;
}

QString supportDir()
{
    return current().supportDir;
}

QString pluginPackageDownloadDir()
{
    return current().downloadDir;
}

QString pluginPackageCacheDir()
{
    return current().packageCacheDir;
}

QString addonDir()
{
    return current().addonDir;
}

QString settingsFile()
{
    return QSettings(QSettings::UserScope, QStringLiteral("Corvanta"), authToolBundleId).fileName();
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
