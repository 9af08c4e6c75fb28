#pragma once

#include <QString>

// One unpacked add-in package on disk, in WPS's add-in directory or in the package cache.
struct CachedPluginPackage
{
    QString directory;
    QString version;
    // A null string means absent: any tool version may install the package.
    QString minManagerVersion;

    friend bool operator==(const CachedPluginPackage &, const CachedPluginPackage &) = default;
};
