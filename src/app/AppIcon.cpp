#include "AppIcon.h"

#include "platform/ToolFiles.h"

#include <QFileInfo>

namespace AppIcon {

QIcon icon()
{
    const QString path = ToolFiles::dataDir() + QLatin1Char('/') + resourceName;
    return QFileInfo::exists(path) ? QIcon(path) : QIcon();
}

} // namespace AppIcon
