#pragma once

#include <QMetaType>

enum class PluginInstallState { Unknown, NotInstalled, UpdateAvailable, UpToDate };

Q_DECLARE_METATYPE(PluginInstallState)
