#include "InstallerBootstrap.h"

#include "app/InstallerError.h"
#include "core/ActivityLog.h"
#include "core/AppConstants.h"
#include "core/BundleCopy.h"
#include "core/ToolPaths.h"
#include "platform/BundleLauncher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

namespace InstallerBootstrap {

bool installAndRelaunchIfNeeded(const AppBundle &bundle)
{
    if (!bundle.isValid() || bundle.identifier() != installerToolBundleId)
        return false;
    try {
        const QString installed = installEmbeddedManagementApp(bundle);
        launchInstalledManagementApp(installed);
        appendLog(QStringLiteral("安装器已覆盖安装并打开管理工具：") + installed);
    } catch (const std::exception &error) {
        const QString description = describeError(error);
        appendLog(QStringLiteral("安装器覆盖安装失败：") + description);
        showFailure(description);
    }
    return true;
}

QString installEmbeddedManagementApp(const AppBundle &bundle, TerminationWaits waits)
{
    const QString embedded = bundle.resourcePath() + QLatin1Char('/') + managementToolName + QStringLiteral(".app");
    if (bundle.resourcePath().isEmpty() || !QFileInfo::exists(embedded))
        throw InstallerError(InstallerError::MissingEmbeddedApp);
    const QString target = QDir::cleanPath(ToolPaths::managementToolAppPath());
    terminateRunningManagementApps(waits);
    BundleCopy::replaceWithCopy(QDir::cleanPath(embedded), target);
    return target;
}

void launchInstalledManagementApp(const QString &appPath)
{
    if (BundleLauncher::open(appPath) != 0)
        throw InstallerError(InstallerError::OpenFailed);
}

void terminateRunningManagementApps(TerminationWaits waits)
{
    QList<RunningApplication> running;
    for (const RunningApplication &application : RunningApplications::list()) {
        if (application.bundleIdentifier == authToolBundleId)
            running.append(application);
    }
    if (running.isEmpty())
        return;
    for (const RunningApplication &application : running) {
        if (!RunningApplications::isTerminated(application.pid))
            RunningApplications::terminate(application.pid);
    }
    waitForTermination(running, waits.polite);

    QList<RunningApplication> stubborn;
    for (const RunningApplication &application : running) {
        if (!RunningApplications::isTerminated(application.pid)) {
            RunningApplications::forceTerminate(application.pid);
            stubborn.append(application);
        }
    }
    if (!stubborn.isEmpty())
        waitForTermination(stubborn, waits.forced);
}

void waitForTermination(const QList<RunningApplication> &applications, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (std::all_of(applications.begin(), applications.end(), [](const RunningApplication &application) {
                return RunningApplications::isTerminated(application.pid);
            }))
            return;
        // The event loop keeps running between the checks, as the installer has nothing else to do.
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void showFailure(const QString &description)
{
    QMessageBox box(QMessageBox::Critical, managementToolName, QStringLiteral("Corvanta 管理工具安装失败"),
                    QMessageBox::NoButton);
    box.setInformativeText(description);
    box.addButton(QStringLiteral("知道了"), QMessageBox::AcceptRole);
    // No window of ours is showing, so the alert must come to the front by itself.
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

void appendLog(const QString &message)
{
    ActivityLog::append(message);
}

} // namespace InstallerBootstrap
