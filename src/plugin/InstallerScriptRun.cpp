#include "InstallerScriptRun.h"

#include "core/Failure.h"
#include "core/InstallerExitStatus.h"
#include "core/ToolPaths.h"
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

// The helper's report: the lines naming leftover folders are the tool's, the rest the user's.
Result reportOf(const QString &output)
{
    Result result;
    const QStringList lines = output.split(QLatin1Char('\n'));
    QStringList shown;
    for (const QString &line : lines) {
        if (line.startsWith(InstallerExitStatus::leftoverLinePrefix))
            result.leftovers.append(line.mid(InstallerExitStatus::leftoverLinePrefix.size()));
        else
            shown.append(line);
    }
    result.output = shown.join(QLatin1Char('\n'));
    return result;
}

Result outcomeOf(const ProcessResult &result)
{
    if (result.exitCode == InstallerExitStatus::Installed || result.exitCode == InstallerExitStatus::OldVersionLeft)
        return reportOf(result.output);
    FailureDetails details;
    details.output = result.output;
    throw Failure(InstallerExitStatus::kindOf(result.exitCode, ProcessRunner::timedOutExitCode), details);
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
    co_return outcomeOf(result);
}

} // namespace InstallerScriptRun
