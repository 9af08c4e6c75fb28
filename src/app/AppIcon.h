#pragma once

#include <QIcon>

// The application's icon from the tool's read-only data (ToolFiles); empty when it is not there.
namespace AppIcon {

inline const QString resourceName = QStringLiteral("AppIcon.png");

QIcon icon();

} // namespace AppIcon
