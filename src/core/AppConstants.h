#pragma once

#include "BuildConfig.h"

#include <QString>

inline const QString managementToolName = QStringLiteral("Corvanta 管理工具");
inline const QString legacyToolName = QStringLiteral("Corvanta 授权工具");
inline const QString authToolBundleId = QString::fromLatin1(BuildConfig::bundleId);
inline const QString installerToolBundleId = QString::fromLatin1(BuildConfig::installerBundleId);
