#pragma once

#include <QIcon>

// The application's icon from the bundle's resources; empty outside a bundle.
namespace AppIcon {

inline const QString resourceName = QStringLiteral("AppIcon.png");

QIcon icon();

} // namespace AppIcon
