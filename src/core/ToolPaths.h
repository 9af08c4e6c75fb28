#pragma once

#include "core/HostSystem.h"

#include <QProcessEnvironment>
#include <QString>

// Every location the tool touches. On the Mac all of them below ~/Library (and ~/Applications); on
// Linux the tool's own files follow the XDG base directories and WPS's add-in folder is WPS for
// Linux's. Read afresh on each call so a scratch HOME (and XDG_*) set by a test or the local run
// takes effect at once.
namespace ToolPaths {

// The locations of one system, for a home directory and the variables that may move them.
struct Locations
{
    QString supportDir;
    QString downloadDir;
    QString packageCacheDir;
    QString logDir;
    QString logFile;
    QString addonDir;
};
Locations locationsFor(HostSystem system, const QString &home, const QProcessEnvironment &environment);
Locations current();

// The folder named after the tool below each XDG base directory.
inline const QString xdgFolderName = QStringLiteral("corvanta-manager");

QString homeDir();
QString logDir();
QString logFile();
QString supportDir();
QString pluginPackageDownloadDir();
QString pluginPackageCacheDir();
QString addonDir();
// Where QSettings keeps the window's frame.
QString settingsFile();
// The Mac's installed copy and the legacy tool beside it (placement is a Mac step).
QString managementToolAppPath();
QString legacyToolAppPath();
}
