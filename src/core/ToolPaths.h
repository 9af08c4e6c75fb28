#pragma once

#include <QString>

// Every location the tool touches, all below the user's home directory. Read afresh on each call
// so a scratch HOME set by a test or the local run takes effect at once.
namespace ToolPaths {
QString homeDir();
QString logDir();
QString logFile();
QString supportDir();
QString pluginPackageDownloadDir();
QString pluginPackageCacheDir();
QString addonDir();
QString managementToolAppPath();
QString legacyToolAppPath();
}
