#include "app/AppDelegate.h"
#include "app/CommandLineRunner.h"
#include "app/InstallerBootstrap.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/StartupTrace.h"
#include "app/WebPageHost.h"
#include "platform/DesktopIntegration.h"
#include "service/ServiceNetwork.h"
#include "ui/UiFont.h"

#include "BuildConfig.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // A command runs without the window, the display and the single-instance channel.
    if (CommandLine::wantsCommand(argc, argv))
        return CommandLineRunner::exec(argc, argv);
    if (WebPageHost::isWanted(argc, argv))
        return WebPageHost::exec(argc, argv);
    StartupTrace::mark("main");
    QApplication app(argc, argv);
    StartupTrace::mark("application");
    QApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::projectVersion));
    // Before the embedded browser starts: it takes Qt's proxy settings once, at its start.
    ServiceNetwork::useSystemProxy();
    UiFont::useForApplication();
    // The installer copy places the tool, opens it and ends: no model, window or instance channel.
    if (InstallerBootstrap::installAndRelaunchIfNeeded())
        return 0;
    if (!DesktopIntegration::systemKeepsSingleInstance() && SingleInstance::notifyRunningInstance())
        return 0;

    StartupTrace::mark("single instance");
    AppDelegate delegate;
    StartupTrace::mark("model");
    SingleInstance instance;
    instance.setShowHandler([&delegate] {
        delegate.showMainWindow();
        delegate.bootstrapModelIfNeeded();
        return delegate.mainWindow()->isVisible();
    });
    // Another copy that started at the same moment got the channel first: it shows the window.
    if (!instance.listen() && !DesktopIntegration::systemKeepsSingleInstance()
        && SingleInstance::notifyRunningInstance())
        return 0;
    delegate.installTrayIcon();
    delegate.showMainWindow();
    StartupTrace::mark("window");
    delegate.bootstrapModelIfNeeded();
    return app.exec();
}
