#pragma once

#include "plugin/CachedPluginPackage.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Recognising add-in package directories, in WPS's add-in directory and in the package cache.
namespace PackageDirectory {

inline constexpr QLatin1StringView namePrefix{"CorvantaAnalysis_"};

// "version.json" of the package as a JSON object; absent when missing, unreadable or not an object.
std::optional<QJsonObject> readPackageMetadata(const QString &directory);

// A package when the name starts with "CorvantaAnalysis_" and "ribbon.xml" and "app/index.html" exist.
// The version comes from "version.json" (an empty text counts), else from the name.
std::optional<CachedPluginPackage> readPackageDirectory(const QString &directory);

// The packages in `folder`, the directory modified last first (equal dates: the greater name first).
// Throws when the folder cannot be listed.
QList<CachedPluginPackage> packagesNewestFirst(const QString &folder);

// The package in `folder` whose directory was modified last. Throws when the folder cannot be listed.
std::optional<CachedPluginPackage> newestPackageIn(const QString &folder);

// Version of the newest package in WPS's add-in directory; null when none or unreadable.
QString installedPluginVersionFromDisk();

// The newest package in the package cache; nothing when the cache does not exist yet.
// Throws when the cache exists but cannot be listed.
std::optional<CachedPluginPackage> latestCachedPluginPackage();

} // namespace PackageDirectory
