// The installer payload's helper: the whole install into WPS's add-in directory (the installer
// script only checks what it was given and hands over), and the single edits of that directory,
// from the same units the management tool's uninstall uses. On failure it prints one reason to
// standard error and exits with the status of its kind (core/InstallerExitStatus.h).
#include "core/Failure.h"
#include "core/InstallerExitStatus.h"
#include "plugin/PayloadInstall.h"
#include "plugin/WpsAddonEdits.h"

#include <QFile>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

using namespace InstallerExitStatus;

int usage()
{
    std::fputs("usage: corvanta-wps-addins install PACKAGE_DIR ADDON_DIR\n"
               "       corvanta-wps-addins register ADDON_DIR INSTALLED_NAME\n"
               "       corvanta-wps-addins clean ADDON_DIR\n"
               "       corvanta-wps-addins unregister ADDON_DIR\n",
               stderr);
    return WrongUse;
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        std::fputs(QFile::encodeName(line).append('\n').constData(), stdout);
}

int install(const QString &packageDir, const QString &addonDir)
{
    try {
        const PayloadInstall::Outcome outcome = PayloadInstall::install(packageDir, addonDir);
        QStringList lines;
        for (const QString &name : outcome.leftovers)
            lines.append(QStringLiteral("无法移除旧版插件“%1”，请检查文件夹权限。").arg(name));
        for (const QString &name : outcome.leftovers)
            lines.append(leftoverLinePrefix + name);
        if (!outcome.sweepFailure.isEmpty())
            lines.append(outcome.sweepFailure);
        printLines(lines);
        if (std::fflush(stdout) != 0)
            return UnexpectedFailure;
        return lines.isEmpty() ? int(Installed) : int(OldVersionLeft);
    } catch (const std::exception &error) {
        std::fputs(describeError(error).toUtf8().append('\n').constData(), stderr);
        return statusOf(failureKind(error));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QFile::decodeName(argv[i]));
    const QString command = args.value(0);
    // What a failure of each command means for the installation.
    int failureStatus = CopyFailed;
    if (command == QLatin1String("install") && args.size() == 3)
        return install(args[1], args[2]);
    try {
        if (command == QLatin1String("register") && args.size() == 3) {
            failureStatus = RegistrationFailed;
            PayloadInstall::registerInstalled(args[1], args[2]);
        } else if (command == QLatin1String("clean") && args.size() == 2) {
            PayloadInstall::requireWpsClosed();
            PayloadInstall::logRecovery(WpsAddonEdits::removeLeftovers(args[1]));
        } else if (command == QLatin1String("unregister") && args.size() == 2) {
            failureStatus = RegistrationFailed;
            PayloadInstall::requireWpsClosed();
            PayloadInstall::logRecovery(WpsAddonEdits::unregisterPlugin(args[1]));
        } else {
            return usage();
        }
    } catch (const std::exception &error) {
        std::fputs(describeError(error).toUtf8().append('\n').constData(), stderr);
        return failureKind(error) == FailureKind::WpsRunning ? int(WpsRunning) : failureStatus;
    }
    return int(Installed);
}
