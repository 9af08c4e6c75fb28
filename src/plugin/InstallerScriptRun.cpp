#include "InstallerScriptRun.h"

#include "core/ToolPaths.h"
#include "core/Failure.h"

#include <QFileInfo>
#include <QProcessEnvironment>

namespace InstallerScriptRun {

namespace {

// Kept out of the coroutine below: GCC 12 cannot put a QStringLiteral into a coroutine frame.
const QString bash = QStringLiteral("/bin/bash");

QString scriptPath(const QString &resourceDir)
{
    return resourceDir.isEmpty() ? QString() : resourceDir + QLatin1Char('/') + scriptRelativePath;
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
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"),
                     QFileInfo(ToolPaths::managementToolAppPath()).path());
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR"), packageDirectory);
    return variables;
}

QCoro::Task<> run(QString resourceDir, QString managementAppPath, QString packageDirectory, double timeoutSeconds)
{
    const QString script = scriptPath(resourceDir);
    if (script.isEmpty() || !QFileInfo::exists(script))
        throw Failure(FailureKind::InstallerMissing);
    const QStringList arguments{script};
    auto running = ProcessRunner::run(bash, arguments, environment(managementAppPath, packageDirectory), timeoutSeconds);
    const ProcessResult result = co_await std::move(running);
    if (result.exitCode == 0)
        co_return;
    FailureDetails details;
    details.output = result.output;
    throw Failure(FailureKind::InstallerFailed, std::move(details));
}

} // namespace InstallerScriptRun
