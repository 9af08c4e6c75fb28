#include "ToolFiles.h"

#include <QCoreApplication>
#include <QDir>

namespace ToolFiles {

Dirs forProgramDir(const QString &programDir, HostSystem system)
{
    const QString program = QDir::cleanPath(programDir);
    if (system == HostSystem::Mac) {
        const QString contents = QDir::cleanPath(program + QStringLiteral("/.."));
        const QString resources = contents + QStringLiteral("/Resources");
        return {program, contents + QStringLiteral("/PlugIns"), resources, resources};
    }
    // <prefix>/lib/<name>/program beside <prefix>/share/<name>, the package's name being the folder's.
    const QString name = QDir(program).dirName();
    return {program, program + QStringLiteral("/plugins"), program,
            QDir::cleanPath(program + QStringLiteral("/../../share/") + name)};
}

Dirs current()
{
    return forProgramDir(QCoreApplication::applicationDirPath());
}

QString pluginDir()
{
    return current().pluginDir;
}

QString payloadRoot()
{
    return current().payloadRoot;
}

QString dataDir()
{
    return current().dataDir;
}

} // namespace ToolFiles
