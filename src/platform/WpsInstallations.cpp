#include "WpsInstallations.h"

#include "core/ToolPaths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The packaged WPS for Linux (Kingsoft's .deb and .rpm put it here).
const QString packagedRoot = QStringLiteral("/opt/kingsoft/wps-office");
// The UOS/deepin app store installs each application as /opt/apps/<appid>/files, as the deepin
// application packaging convention defines; WPS's ids begin with "cn.wps." (cn.wps.wps-office-pro
// for the professional edition UOS ships, cn.wps.wps-office for the edition of deepin's store),
// and inside files/ the tree is the packaged one.
const QString appStoreDir = QStringLiteral("/opt/apps");
const QString appStoreIdPattern = QStringLiteral("cn.wps.*");
const QString appStoreTree = QStringLiteral("/files/kingsoft/wps-office");

// The folder with every link resolved; empty when it does not exist.
QString resolvedDir(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

bool holdsAProgram(const QString &office6)
{
    const QStringList names = WpsInstallations::programNames();
    return std::any_of(names.begin(), names.end(), [&](const QString &name) {
        return QFileInfo(office6 + u'/' + name).isFile();
    });
}

} // namespace

namespace WpsInstallations {

QStringList programNames()
{
    return {QStringLiteral("wps"), QStringLiteral("et"), QStringLiteral("wpp"), QStringLiteral("wpspdf"),
            QStringLiteral("wpsoffice")};
}

QStringList candidateRoots(const QString &systemRoot)
{
    QStringList roots{systemRoot + packagedRoot};
    const QDir store(systemRoot + appStoreDir, appStoreIdPattern, QDir::Name, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : store.entryList())
        roots.append(store.filePath(id) + appStoreTree);
    return roots;
}

QList<WpsInstallation> find(const QStringList &executables, const QString &systemRoot)
{
    QList<WpsInstallation> installations;
    QStringList seen;
    for (const QString &root : candidateRoots(systemRoot)) {
        const QString resolved = resolvedDir(root);
        // One installation reached by two roots (the app store's linked to the packaged one) is one.
        if (resolved.isEmpty() || seen.contains(resolved) || !holdsAProgram(resolved + QStringLiteral("/office6")))
            continue;
        seen.append(resolved);
        WpsInstallation installation{root, resolved, ToolPaths::addonDir(), false};
        installation.running = std::any_of(executables.begin(), executables.end(), [&](const QString &executable) {
            return isProgramOf(executable, {installation});
        });
        installations.append(installation);
    }
    return installations;
}

bool isProgramOf(const QString &executable, const QList<WpsInstallation> &installations)
{
    const QFileInfo file(executable);
    // By path, not by name: a program merely called "et" elsewhere is not WPS. The folder is resolved
    // rather than the file, so a program replaced since it started (gone from disk) still counts.
    if (executable.isEmpty() || !programNames().contains(file.fileName()))
        return false;
    const QString folder = resolvedDir(file.absolutePath());
    return !folder.isEmpty() && std::any_of(installations.begin(), installations.end(), [&](const WpsInstallation &installation) {
        return folder == resolvedDir(installation.resolvedRoot + QStringLiteral("/office6"));
    });
}

} // namespace WpsInstallations
