#pragma once

#include "core/PluginInstallState.h"
#include "plugin/CachedPluginPackage.h"

#include <QList>
#include <QString>

#include <optional>

// Dotted version texts: parsing, the "is this tool new enough" test, and the install state.
namespace PluginVersions {

// "v1.2.3-beta+7" gives 1, 2, 3; absent when any dotted piece is not a plain 64-bit number.
std::optional<QList<qint64>> versionParts(const QString &version);

// Whether a tool at toolVersion may install a package that asks for `required` (null = absent).
// Anything that cannot be parsed on either side never blocks.
bool managerSatisfies(const QString &required, const QString &toolVersion);
// The same against this tool's own version from its bundle.
bool managerSatisfies(const QString &required);

// Throws ToolTooOld when this tool is too old for the package.
void ensureManagerSupports(const CachedPluginPackage &package);

// Whole-text, case-insensitive comparison of the trimmed texts; null or empty means unknown.
PluginInstallState installStateFor(const QString &latest, const QString &installed);

} // namespace PluginVersions
