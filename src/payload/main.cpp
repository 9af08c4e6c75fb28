// The installer payload's helper: the edits of WPS's add-in directory that a shell script cannot
// make safely, from the same unit the management tool's uninstall uses. On failure it prints one
// reason to standard error and exits with the status of its kind, the numbers the installer
// script documents in its header and passes on.
#include "core/ActivityLog.h"
#include "core/Failure.h"
#include "plugin/InstallerScriptRun.h"
#include "plugin/PackageDirectory.h"
#include "plugin/WpsAddonEdits.h"
#include "plugin/WpsDetection.h"

#include <QFile>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <optional>

namespace {

// The statuses the script documents in its header and passes on.
using namespace InstallerScriptRun;

int usage()
{
    std::fputs("usage: corvanta-wps-addins installed-name PACKAGE_DIR\n"
               "       corvanta-wps-addins place STAGED_DIR TARGET_DIR\n"
               "       corvanta-wps-addins register ADDON_DIR INSTALLED_NAME\n"
               "       corvanta-wps-addins clean ADDON_DIR\n"
               "       corvanta-wps-addins unregister ADDON_DIR\n"
               "       corvanta-wps-addins sweep ADDON_DIR INSTALLED_NAME\n",
               stderr);
    return WrongUse;
}

// Checked here too, right before WPS's files change: WPS may have started since the tool looked.
void requireWpsClosed()
{
    if (WpsDetection::isWpsRunning())
        throw Failure(FailureKind::WpsRunning);
}

// The tool's activity log is this user's too: the line lands where the tool's own would.
void logRecovery(WpsListPair::Recovery recovery)
{
    if (recovery == WpsListPair::Recovery::Abandoned)
        ActivityLog::append(WpsListPair::abandonedLogLine);
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        std::fputs(QFile::encodeName(line).append('\n').constData(), stdout);
}

void registerInstalled(const QString &addonDir, const QString &name)
{
    const std::optional<CachedPluginPackage> installed =
        PackageDirectory::readPackageDirectory(addonDir + QLatin1Char('/') + name);
    if (!installed) {
        FailureDetails details;
        details.path = name;
        throw Failure(FailureKind::IncompleteInstalledFolder, std::move(details));
    }
    requireWpsClosed();
    logRecovery(WpsAddonEdits::registerPlugin(addonDir, name, installed->version));
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
    try {
        if (command == QLatin1String("installed-name") && args.size() == 2) {
            failureStatus = PackageRefused;
            std::fputs(QFile::encodeName(WpsAddonEdits::installedDirectoryName(args[1])).append('\n').constData(),
                       stdout);
        } else if (command == QLatin1String("place") && args.size() == 3) {
            WpsAddonEdits::placeDirectory(args[1], args[2]);
        } else if (command == QLatin1String("register") && args.size() == 3) {
            failureStatus = RegistrationFailed;
            registerInstalled(args[1], args[2]);
        } else if (command == QLatin1String("clean") && args.size() == 2) {
            requireWpsClosed();
            logRecovery(WpsAddonEdits::removeLeftovers(args[1]));
        } else if (command == QLatin1String("unregister") && args.size() == 2) {
            failureStatus = RegistrationFailed;
            requireWpsClosed();
            logRecovery(WpsAddonEdits::unregisterPlugin(args[1]));
        } else if (command == QLatin1String("sweep") && args.size() == 3) {
            // The script names each folder that stayed, one per line.
            failureStatus = OldVersionLeft;
            printLines(WpsAddonEdits::removeOtherVersions(args[1], args[2]));
        } else {
            return usage();
        }
    } catch (const std::exception &error) {
        std::fputs(describeError(error).toUtf8().append('\n').constData(), stderr);
        return failureKind(error) == FailureKind::WpsRunning ? int(WpsRunning) : failureStatus;
    }
    return std::fflush(stdout) == 0 ? int(Installed) : failureStatus;
}
