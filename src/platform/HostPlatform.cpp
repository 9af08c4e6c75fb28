#include "HostPlatform.h"

#include <QCoreApplication>
#include <QDir>

namespace HostPlatform {

bool isWpsProcess(const RunningApplication &application, HostSystem system, const QList<WpsInstallation> &installations)
{
    if (system == HostSystem::Linux)
        return WpsInstallations::isProgramOf(application.executablePath, installations);
    const QString bundle = application.bundleIdentifier.toLower();
    const QString name = application.localizedName.toLower();
    // "kingsoft.wpsoffice" contains "wpsoffice": one test covers both identifiers.
    return bundle.contains(QLatin1String("wpsoffice")) || name == QLatin1String("wps office")
        || name.contains(QLatin1String("wpsoffice"));
}

QList<WpsInstallation> wpsInstallations(const QList<RunningApplication> &running, HostSystem system)
{
    if (system == HostSystem::Mac)
        return {};
    QStringList executables;
    for (const RunningApplication &application : running)
        executables.append(application.executablePath);
    return WpsInstallations::find(executables);
}

bool toolPlacesItself(HostSystem system)
{
    return system == HostSystem::Mac;
}

QString packagedToolPath(const AppBundle &running)
{
    return running.isValid() ? QDir::cleanPath(running.path()) : QCoreApplication::applicationFilePath();
}

QString guideLocalNote(HostSystem system)
{
    switch (system) {
    case HostSystem::Mac:
        return QStringLiteral("插件的安装和维护都在这台 Mac 上完成；购买、账单和账户设置页面需要联网。");
    case HostSystem::Linux:
        break;
    }
    return QStringLiteral("插件的安装和维护都在这台电脑上完成；购买、账单和账户设置页面需要联网。");
}

QString installStepText(HostSystem system)
{
    switch (system) {
    case HostSystem::Mac:
        return QStringLiteral("运行安装包并按系统提示允许打开。");
    case HostSystem::Linux:
        break;
    }
    return QStringLiteral("用系统的软件包管理器安装 corvanta-manager 软件包。");
}

} // namespace HostPlatform
