#pragma once

#include "core/HostSystem.h"

#include <QString>

// Where the tool's own files are, found from the running executable's folder. On the Mac the
// bundle: Contents/MacOS, Contents/PlugIns and Contents/Resources. On Linux the layout of Linux
// programs: the program, its web-view plug-in and the installer payload in /usr/lib/corvanta-manager,
// read-only data in /usr/share/corvanta-manager; the build tree lays out the same usr/ tree, so the
// suites and the local run find them the same way.
namespace ToolFiles {

struct Dirs
{
    QString programDir;
    // Where the web-view library is (Linux: plugins/ beside the program).
    QString pluginDir;
    // The folder holding Payload/installers/.
    QString payloadRoot;
    // Images and other read-only data.
    QString dataDir;
};

Dirs forProgramDir(const QString &programDir, HostSystem system = hostSystem);
// For the running executable.
Dirs current();
QString pluginDir();
QString payloadRoot();
QString dataDir();

} // namespace ToolFiles
