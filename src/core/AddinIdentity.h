#pragma once

#include <QStringView>

// What marks a trace of the add-in in WPS's add-in folder, in one place: the folder sweep, the
// "publish.xml" edit, the "authaddin.json" edit and the installer script (through the helper) all
// ask here. Case-sensitive everywhere; "Corvanta" and "Corvanta_" are the add-in's earlier name.
namespace AddinIdentity {

// A list entry's name: exactly "CorvantaAnalysis" or "Corvanta".
bool isOwnName(QStringView name);
// A list entry's location (a `url` or a "path") naming one of the add-in's folders.
bool isOwnLocation(QStringView location);
// A list entry of the add-in: by its name or by its location.
bool isOwnEntry(QStringView name, QStringView location);
// An entry of the add-in folder: "CorvantaAnalysis", or a name beginning with "CorvantaAnalysis_" or
// "Corvanta_".
bool isOwnFolderEntry(QStringView name);

} // namespace AddinIdentity
