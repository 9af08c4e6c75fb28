#pragma once

#include "platform/AppBundle.h"

#include <QString>

// Which bundle keeps the tool's installed copy current, and whether a legacy tool is ours.
namespace ToolPlacement {

// Whether two paths name the same file or folder once every link on the way is resolved; paths of
// which one does not exist are compared as written.
bool samePlace(const QString &first, const QString &second);

// The bundle to copy to the installed place for a tool running from `running`: the management
// application embedded in its resources, else an embedded legacy tool, else the running bundle
// itself. Empty when nothing is to be copied: the tool runs from the installed place, or from no
// bundle at all (a bare executable, as in development) and so has nothing to place.
QString placementSource(const AppBundle &running, const QString &installedPath);

// True when a bundle is at legacyPath and its Info.plist names this tool's bundle identifier.
bool isOwnLegacyTool(const QString &legacyPath);

} // namespace ToolPlacement
