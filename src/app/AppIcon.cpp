#include "AppIcon.h"

#include "platform/AppBundle.h"

#include <QFileInfo>

namespace AppIcon {

QIcon icon()
{
    const AppBundle bundle = AppBundle::main();
    if (!bundle.isValid())
        return {};
    const QString path = bundle.resourcePath() + QLatin1Char('/') + resourceName;
    return QFileInfo::exists(path) ? QIcon(path) : QIcon();
}

} // namespace AppIcon
