#include "platform/HostPlatform.h"
#include "platform/ToolFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_HostPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void recognisesWps_data();
    void recognisesWps();
    void placementIsAMacStep();

private:
    QTemporaryDir m_system; // a computer's files, WPS for Linux installed as IT staff and app stores leave it
};

void tst_HostPlatform::initTestCase()
{
    const QString store = "opt/apps/%1/files/kingsoft/wps-office/office6/";
    for (const QString &program : QStringList{"srv/wps-office/office6/wps", "srv/wps-office/office6/et", "srv/wps-office/office6/wpp",
             "srv/wps-office/office6/wpspdf", "srv/wps-office/office6/wpsoffice", "srv/wps-office/office6/wpscloudsvr",
             store.arg("cn.wps.wps-office-pro") + "et", store.arg("cn.wps.wps-office") + "wps",
             store.arg("com.example.sheets") + "et"}) {
        QVERIFY(QDir().mkpath(QFileInfo(m_system.filePath(program)).path()));
        QVERIFY(QFile(m_system.filePath(program)).open(QIODevice::WriteOnly));
    }
    // The packaged root moved to another disk and linked back.
    QVERIFY(QDir().mkpath(m_system.filePath("opt/kingsoft")));
    QVERIFY(QFile::link(m_system.filePath("srv/wps-office"), m_system.filePath("opt/kingsoft/wps-office")));
}

void tst_HostPlatform::recognisesWps_data()
{
    QTest::addColumn<bool>("mac");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("executable");
    QTest::addColumn<bool>("isWps");

    const QString macId = "com.kingsoft.wpsoffice.mac";
    const QString macExe = "/Applications/wpsoffice.app/Contents/MacOS/wpsoffice";
    QTest::newRow("Mac: WPS's identifier") << true << macId << "wpsoffice" << macExe << true;
    QTest::newRow("Mac: identifier in capitals") << true << "COM.KINGSOFT.WPSOFFICE.MAC" << "x" << "/x" << true;
    QTest::newRow("Mac: named WPS Office") << true << "com.example.sheets" << "WPS Office" << "/x" << true;
    QTest::newRow("Mac: name containing wpsoffice") << true << "" << "my-WPSOffice-2" << "/x" << true;
    QTest::newRow("Mac: WPS Office Helper") << true << "" << "WPS Office Helper" << "/x" << false;
    QTest::newRow("Mac: WPS for Linux's path means nothing") << true << "" << "et" << "/opt/kingsoft/wps-office/office6/et" << false;

    for (const char *program : {"wps", "et", "wpp", "wpspdf", "wpsoffice"}) {
        const QString path = QStringLiteral("/opt/kingsoft/wps-office/office6/") + QLatin1String(program);
        QTest::addRow("Linux: %s", program) << false << "" << QString::fromLatin1(program) << path << true;
    }
    QTest::newRow("Linux: path not yet clean") << false << "" << "et" << "/opt/kingsoft/wps-office/office6//./et" << true;
    QTest::newRow("Linux: named et elsewhere") << false << "" << "et" << "/tmp/x/et" << false;
    QTest::newRow("Linux: the launcher's name") << false << "" << "et" << "/usr/bin/et" << false;
    QTest::newRow("Linux: another program of office6") << false << "" << "wpscloudsvr"
                                                       << "/opt/kingsoft/wps-office/office6/wpscloudsvr" << false;
    QTest::newRow("Linux: WPS for Mac's bundle") << false << macId << "WPS Office" << macExe << false;
    QTest::newRow("Linux: linked root, the resolved path") << false << "" << "et" << "/srv/wps-office/office6/et" << true;
    QTest::newRow("Linux: app store's professional edition") << false << "" << "et"
        << "/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office/office6/et" << true;
    QTest::newRow("Linux: app store's other edition") << false << "" << "wps" << "/opt/apps/cn.wps.wps-office/files/kingsoft/wps-office/office6/wps" << true;
    QTest::newRow("Linux: app store, not WPS") << false << "" << "et" << "/opt/apps/com.example.sheets/files/kingsoft/wps-office/office6/et" << false;
    QTest::newRow("Linux: replaced since it started") << false << "" << "wpp" << "/opt/apps/cn.wps.wps-office/files/kingsoft/wps-office/office6/wpp" << true;
    QTest::newRow("Linux: executable unknown") << false << "" << "wpsoffice" << "" << false;
}

void tst_HostPlatform::recognisesWps()
{
    QFETCH(bool, mac);
    QFETCH(QString, identifier);
    QFETCH(QString, name);
    QFETCH(QString, executable);
    QFETCH(bool, isWps);
    RunningApplication application;
    application.pid = 42;
    application.bundleIdentifier = identifier;
    application.localizedName = name;
    application.executablePath = executable.startsWith(u'/') && !mac ? m_system.path() + executable : executable;
    const QList<WpsInstallation> installations = WpsInstallations::find({}, m_system.path());
    QCOMPARE(HostPlatform::isWpsProcess(application, mac ? HostSystem::Mac : HostSystem::Linux, installations), isWps);
}

// On Linux the package manager places the tool: install and repair hand the script the running
// bundle (or, outside any bundle, the executable).
void tst_HostPlatform::placementIsAMacStep()
{
    QVERIFY(HostPlatform::toolPlacesItself(HostSystem::Mac));
    QVERIFY(!HostPlatform::toolPlacesItself(HostSystem::Linux));
    QCOMPARE(HostPlatform::packagedToolPath(AppBundle(QStringLiteral("/usr/lib/corvanta-manager/T.app/"))),
             QStringLiteral("/usr/lib/corvanta-manager/T.app"));
    QCOMPARE(HostPlatform::packagedToolPath(AppBundle()), QCoreApplication::applicationFilePath());
    // The tool's own files: beside the program and in share/ on Linux, in the bundle on the Mac.
    QCOMPARE(ToolFiles::forProgramDir("/usr/lib/corvanta-manager/.", HostSystem::Linux).dataDir, "/usr/share/corvanta-manager");
    QCOMPARE(ToolFiles::forProgramDir("/usr/lib/corvanta-manager", HostSystem::Linux).payloadRoot, "/usr/lib/corvanta-manager");
    QCOMPARE(ToolFiles::forProgramDir("/A.app/Contents/MacOS/", HostSystem::Mac).pluginDir, "/A.app/Contents/PlugIns");
}

QTEST_GUILESS_MAIN(tst_HostPlatform)
#include "tst_hostplatform.moc"
