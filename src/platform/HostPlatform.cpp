#include "HostPlatform.h"

#include <QCoreApplication>
#include <QDir>

namespace HostPlatform {

QStringList linuxWpsPrograms()
{
    QStringList programs;
    for (const char *name : {"wps", "et", "wpp", "wpspdf", "wpsoffice"})
        programs.append(linuxWpsProgramDir + u'/' + QLatin1String(name));
    return programs;
}

bool isWpsProcess(const RunningApplication &application, HostSystem system)
{
    if (system == HostSystem::Linux) {
        // By path, not by name: a program merely called "et" elsewhere is not WPS.
        return !application.executablePath.isEmpty()
            && linuxWpsPrograms().contains(QDir::cleanPath(application.executablePath));
    }
    const QString bundle = application.bundleIdentifier.toLower();
    const QString name = application.localizedName.toLower();
    // "kingsoft.wpsoffice" contains "wpsoffice": one test covers both identifiers.
    return bundle.contains(QLatin1String("wpsoffice")) || name == QLatin1String("wps office")
        || name.contains(QLatin1String("wpsoffice"));
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
