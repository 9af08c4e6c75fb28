#include "core/ToolPaths.h"

#include "ScratchHome.h"

#include <QDir>
#include <QTest>

class tst_ToolPaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void locations_data();
    void locations();
    void currentFollowsHomeAndVariables();
};

// Support data, downloads, package cache, log file and WPS's add-in folder for a home of "/h".
void tst_ToolPaths::locations_data()
{
    QTest::addColumn<bool>("mac");
    QTest::addColumn<QStringList>("variables"); // NAME=value
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("Mac, XDG variables change nothing") << true << QStringList{"XDG_DATA_HOME=/x/data", "XDG_STATE_HOME=/x/state"}
        << QStringList{"/h/Library/Application Support/Corvanta/WpsAnalysis",
                       "/h/Library/Application Support/Corvanta/WpsAnalysis/downloads",
                       "/h/Library/Application Support/Corvanta/WpsAnalysis/packages",
                       "/h/Library/Logs/CorvantaWpsAnalysis/corvanta-auth-tool.log",
                       "/h/Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons"};
    const QString linuxAddons = "/h/.local/share/Kingsoft/wps/jsaddons";
    QTest::newRow("Linux, defaults") << false << QStringList{}
        << QStringList{"/h/.local/share/corvanta-manager", "/h/.cache/corvanta-manager/downloads",
                       "/h/.cache/corvanta-manager/packages", "/h/.local/state/corvanta-manager/corvanta-auth-tool.log",
                       linuxAddons};
    // WPS for Linux reads its folder below HOME whatever XDG_DATA_HOME says.
    QTest::newRow("Linux, variables set") << false
        << QStringList{"XDG_DATA_HOME=/x/data/", "XDG_CACHE_HOME=/x/cache", "XDG_STATE_HOME=/x//state"}
        << QStringList{"/x/data/corvanta-manager", "/x/cache/corvanta-manager/downloads", "/x/cache/corvanta-manager/packages",
                       "/x/state/corvanta-manager/corvanta-auth-tool.log", linuxAddons};
    QTest::newRow("Linux, relative and empty values are ignored") << false
        << QStringList{"XDG_DATA_HOME=data", "XDG_CACHE_HOME=", "XDG_STATE_HOME=./state"}
        << QStringList{"/h/.local/share/corvanta-manager", "/h/.cache/corvanta-manager/downloads",
                       "/h/.cache/corvanta-manager/packages", "/h/.local/state/corvanta-manager/corvanta-auth-tool.log",
                       linuxAddons};
}

void tst_ToolPaths::locations()
{
    QFETCH(bool, mac);
    QFETCH(QStringList, variables);
    QFETCH(QStringList, expected);
    QProcessEnvironment environment;
    for (const QString &variable : variables)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));

    const ToolPaths::Locations found =
        ToolPaths::locationsFor(mac ? HostSystem::Mac : HostSystem::Linux, QStringLiteral("/h"), environment);
    QCOMPARE((QStringList{found.supportDir, found.downloadDir, found.packageCacheDir, found.logFile, found.addonDir}), expected);
    QCOMPARE(found.logDir + QStringLiteral("/corvanta-auth-tool.log"), found.logFile);
}

// The running tool's locations move with HOME and, on Linux, with XDG_* as soon as they change.
void tst_ToolPaths::currentFollowsHomeAndVariables()
{
    ScratchHome home;
    QCOMPARE(ToolPaths::logFile(), home.logFile());
    QCOMPARE(ToolPaths::supportDir(), home.supportDir());
    QCOMPARE(ToolPaths::pluginPackageCacheDir(), home.packageCacheDir());
    QCOMPARE(ToolPaths::addonDir(), home.addonDir());
    if (hostSystem != HostSystem::Linux)
        return;
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toUtf8());
    QCOMPARE(ToolPaths::logFile(), home.filePath(QStringLiteral("state/corvanta-manager/corvanta-auth-tool.log")));
}

QTEST_GUILESS_MAIN(tst_ToolPaths)
#include "tst_toolpaths.moc"
