#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "platform/DesktopIntegration.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window closes to the background; quitting is explicit (tray menu, Ctrl+Q, Dock).
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(AppIcon::icon());

    if (!DesktopIntegration::systemKeepsSingleInstance() && SingleInstance::notifyRunningInstance())
        return 0;

    AppDelegate delegate;
    SingleInstance instance;
    instance.setShowHandler([&delegate] {
        delegate.showMainWindow();
        delegate.bootstrapModelIfNeeded();
        return delegate.mainWindow()->isVisible();
    });
    instance.listen();
    delegate.installTrayIcon();
    delegate.showMainWindow();
    delegate.bootstrapModelIfNeeded();
    return app.exec();
}
