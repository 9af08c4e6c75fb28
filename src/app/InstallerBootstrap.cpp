#include "InstallerBootstrap.h"

#include "core/ActivityLog.h"
#include "core/AppConstants.h"
#include "core/BundleCopy.h"
#include "core/Failure.h"
#include "core/ToolPaths.h"
#include "platform/BundleLauncher.h"
#include "platform/RunningApplications.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {

// How long running copies of the tool get to quit when asked, and again when forced.
constexpr std::chrono::milliseconds politeWait{3000};
constexpr std::chrono::milliseconds forcedWait{2000};

// Serves the event loop in 0.1 s steps until all have ended or the timeout has passed.
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

// Asks running copies of the tool to quit, forces those that will not; never fails.
void terminateRunningManagementApps()
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
    waitForTermination(running, politeWait);

    QList<RunningApplication> stubborn;
    for (const RunningApplication &application : running) {
        if (!RunningApplications::isTerminated(application.pid)) {
            RunningApplications::forceTerminate(application.pid);
            stubborn.append(application);
        }
    }
    if (!stubborn.isEmpty())
        waitForTermination(stubborn, forcedWait);
}

// Places the embedded application and returns its installed path.
QString installEmbeddedManagementApp(const AppBundle &bundle)
{
    const QString embedded = bundle.resourcePath() + QLatin1Char('/') + managementToolName + QStringLiteral(".app");
    if (bundle.resourcePath().isEmpty() || !QFileInfo::exists(embedded))
        throw Failure(FailureKind::EmbeddedToolMissing);
    const QString target = QDir::cleanPath(ToolPaths::managementToolAppPath());
    terminateRunningManagementApps();
    BundleCopy::replaceWithCopy(QDir::cleanPath(embedded), target);
    return target;
}

void launchInstalledManagementApp(const QString &appPath)
{
    if (BundleLauncher::open(appPath) != 0)
        throw Failure(FailureKind::InstalledToolNotOpened);
}

// The modal critical alert of a failed installation; returns when the user dismisses it.
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

} // namespace

namespace InstallerBootstrap {

bool installAndRelaunchIfNeeded(const AppBundle &bundle)
{
    if (!bundle.isValid() || bundle.identifier() != installerToolBundleId)
        return false;
    try {
        const QString installed = installEmbeddedManagementApp(bundle);
        launchInstalledManagementApp(installed);
        ActivityLog::append(QStringLiteral("安装器已覆盖安装并打开管理工具：") + installed);
    } catch (const std::exception &error) {
        const QString description = describeError(error);
        ActivityLog::append(QStringLiteral("安装器覆盖安装失败：") + description);
        showFailure(description);
    }
    return true;
}

} // namespace InstallerBootstrap
