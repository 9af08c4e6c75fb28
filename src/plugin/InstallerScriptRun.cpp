#include "InstallerScriptRun.h"

#include "core/ToolPaths.h"
#include "service/AuthToolError.h"

#include <QFileInfo>
#include <QProcessEnvironment>

namespace InstallerScriptRun {

namespace {

// Kept out of the coroutine below: GCC 12 cannot put a QStringLiteral into a coroutine frame.
const QString missingPayloadMessage = QStringLiteral("安装包缺少 WPS 插件 Payload，请重新下载正式安装包。");
const QString silentFailureMessage = QStringLiteral("WPS 插件安装脚本执行失败。");
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
    // The folder the tool is installed in: ~/Applications/Corvanta on the Mac, the package's on Linux.
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"), QFileInfo(managementAppPath).path());
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR"), packageDirectory);
    // The script would otherwise assume WPS for Mac's folder.
    variables.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_ADDON_DIR"), ToolPaths::addonDir());
    return variables;
}

QCoro::Task<> run(QString resourceDir, QString managementAppPath, QString packageDirectory, double timeoutSeconds)
{
    const QString script = scriptPath(resourceDir);
    if (script.isEmpty() || !QFileInfo::exists(script))
        throw AuthToolError::message(missingPayloadMessage);
    const QStringList arguments{script};
    auto running = ProcessRunner::run(bash, arguments, environment(managementAppPath, packageDirectory), timeoutSeconds);
    const ProcessResult result = co_await std::move(running);
    if (result.exitCode == 0)
        co_return;
    throw AuthToolError::message(result.output.isEmpty() ? silentFailureMessage : result.output);
}

} // namespace InstallerScriptRun
