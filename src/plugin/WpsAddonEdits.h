#pragma once

#include "plugin/WpsListPair.h"

#include <QString>
#include <QStringList>

// The add-in's traces in WPS's add-in directory: its package directories, its elements in the
// add-in list "publish.xml" and its entries in the registry "authaddin.json". Both the uninstall
// and the installer payload's helper program edit them through this unit, so what one writes the
// other removes. The two lists change together (WpsListPair); "publish.xml" is edited by
// PublishXmlEdit, "authaddin.json" by AuthAddinJsonEdit, and what is the add-in's is AddinIdentity's
// rule. Failures are thrown as Failure. The edits return what became of a write of the lists that an
// earlier run left unfinished, for the caller's log.
namespace WpsAddonEdits {

inline const QString publishFileName = QStringLiteral("publish.xml");
inline const QString authFileName = QStringLiteral("authaddin.json");
// Hidden debris of our own interrupted runs (staging copies, directories on their way out,
// temporary files) starts with this; nothing of WPS or of another add-in does.
inline constexpr QLatin1StringView leftoverPrefix{".corvanta-"};

// The uninstall: both lists are read and understood first (a list we cannot edit leaves
// everything as it was), then the add-in's directories go, then its entries in both lists.
// A package directory is first renamed to a hidden name and then deleted, so an interruption never
// leaves a half-deleted add-in under its own name; hidden leftovers of our own go as well.
WpsListPair::Recovery unregisterPlugin(const QString &addonDir);

// Registers the installed directory `directoryName` in both lists (created when missing),
// replacing any earlier registration of the add-in.
WpsListPair::Recovery registerPlugin(const QString &addonDir, const QString &directoryName, const QString &version);

// After an install: every entry of the add-in folder that is the add-in's, except `installedName`,
// goes (out of sight under a hidden name first). Returns the names that could not be moved away.
QStringList removeOtherVersions(const QString &addonDir, const QString &installedName);

// "CorvantaAnalysis_" + version for an unpacked package directory; throws when it is not a
// complete package or its version cannot be a directory name.
QString installedDirectoryName(const QString &packageDir);
// Moves the complete directory `staged` to `target` in one step. When `target` exists the two are
// exchanged, so `staged` then holds the previous directory, for the caller to delete.
void placeDirectory(const QString &staged, const QString &target);
// Removes the entry `name` of the add-in folder, out of sight under a hidden name first.
void removeDirectory(const QString &addonDir, const QString &name);
// Finishes an interrupted write of the lists, then deletes what interrupted runs left behind
// (see leftoverPrefix).
WpsListPair::Recovery removeLeftovers(const QString &addonDir);

// The registry's URL of an installed directory.
QString directoryUrl(const QString &directory);

} // namespace WpsAddonEdits
