#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "platform/DesktopIntegration.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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
