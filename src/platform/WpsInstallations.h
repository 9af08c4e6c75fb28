#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One WPS for Linux on this computer: a root whose office6 folder holds at least one of WPS's programs.
struct WpsInstallation
{
    // As found, e.g. /opt/kingsoft/wps-office; and with every link on the way resolved.
    QString root;
    QString resolvedRoot;
    // The jsaddons folder this WPS reads.
    QString addonDir;
    bool running = false;
};

// Where WPS for Linux is installed and which running programs are its own. A WPS is recognised by
// what it is (one of its programs inside office6 of an installation), not by one copy's path, so a
// root moved behind a link, or the app store's copy, counts as well.
namespace WpsInstallations {

// The programs of office6 that are WPS itself; the launchers in /usr/bin exec these.
QStringList programNames();
// Every place an installation may be, below `systemRoot` (empty: "/"), the app store's ids globbed.
QStringList candidateRoots(const QString &systemRoot = {});
// The installations present below `systemRoot`, each marked running when one of `executables`
// (as /proc/<pid>/exe names them) is one of its programs.
QList<WpsInstallation> find(const QStringList &executables = {}, const QString &systemRoot = {});
// Whether `executable` is one of the programs of one of `installations`, links resolved on both sides.
bool isProgramOf(const QString &executable, const QList<WpsInstallation> &installations);

} // namespace WpsInstallations
