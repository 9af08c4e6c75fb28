#include "InstallerScriptRun.h"

#include "core/AddinIdentity.h"
#include "core/Failure.h"
#include "core/LocalFiles.h"
#include "core/ToolPaths.h"
#include "plugin/WpsAddonEdits.h"
#include "plugin/WpsDetection.h"

#include <QFileInfo>
#include <QProcessEnvironment>

namespace InstallerScriptRun {

namespace {

const QString bash = QStringLiteral("/bin/bash");

QString scriptPath(const QString &resourceDir)
{
    return resourceDir.isEmpty() ? QString() : resourceDir + QLatin1Char('/') + scriptRelativePath;
}

FailureKind kindOf(int exitStatus)
{
    switch (exitStatus) {
    case ProcessRunner::timedOutExitCode:
        return FailureKind::InstallerTimedOut;
    case PackageRefused:
        return FailureKind::InstallerPackageRefused;
    case CopyFailed:
        return FailureKind::InstallerCopyFailed;
    case RegistrationFailed:
        return FailureKind::InstallerRegistrationFailed;
    case WpsRunning:
        return FailureKind::WpsRunning;
    default:
        return FailureKind::InstallerFailed;
    }
}

// The add-in's folders other than the one just installed: what the script could not remove.
QStringList leftoversBeside(const QString &packageDirectory)
{
    QString installed;
    try {
        installed = WpsAddonEdits::installedDirectoryName(packageDirectory);
    } catch (const std::exception &) {
    }
    QStringList leftovers;
    try {
        for (const QString &name : LocalFiles::entryNames(ToolPaths::addonDir())) {
            if (AddinIdentity::isOwnFolderEntry(name) && name != installed)
                leftovers.append(name);
        }
    } catch (const std::exception &) {
        // The install is done all the same; the script's output still names them.
    }
    leftovers.sort();
    return leftovers;
}

Result outcomeOf(const ProcessResult &result, const QString &packageDirectory)
{
    if (result.exitCode == Installed)
        return {{}, result.output};
    if (result.exitCode == OldVersionLeft)
        return {leftoversBeside(packageDirectory), result.output};
    FailureDetails details;
    details.output = result.output;
    throw Failure(kindOf(result.exitCode), details);
}

} // namespace

QMap<QString, QString> environment(const QString &managementAppPath, const QString &packageDirectory)
{
    QMap<QString, QString> variables;
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    const QStringList names = own.keys();
    for (const QString &name : names)
        variables.insert(name, own.value(name));
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_LICENSE_TOOL"), managementAppPath);
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE"), managementAppPath);
    // The folder the tool is installed in: ~/Applications/Corvanta on the Mac, the package's on Linux.
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"), QFileInfo(managementAppPath).path());
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR"), packageDirectory);
    // One definition of WPS's folder, the tool's: the script is told, it does not guess.
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_ADDON_DIR"), ToolPaths::addonDir());
    return variables;
}

QCoro::Task<Result> run(QString resourceDir, QString managementAppPath, QString packageDirectory, double timeoutSeconds)
{
    const QString script = scriptPath(resourceDir);
    if (script.isEmpty() || !QFileInfo::exists(script))
        throw Failure(FailureKind::InstallerMissing);
    // WPS may have started during a long download: the last look before its files change.
    if (WpsDetection::isWpsRunning())
        throw Failure(FailureKind::WpsRunning);
    const QStringList arguments{script};
    auto running = ProcessRunner::run(bash, arguments, environment(managementAppPath, packageDirectory), timeoutSeconds);
    const ProcessResult result = co_await std::move(running);
    co_return outcomeOf(result, packageDirectory);
}

} // namespace InstallerScriptRun
