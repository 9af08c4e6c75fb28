#include "platform/HostPlatform.h"

#include <QTest>

class tst_HostPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recognisesWps_data();
    void recognisesWps();
    void placementIsAMacStep();
};

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
    application.executablePath = executable;
    QCOMPARE(HostPlatform::isWpsProcess(application, mac ? HostSystem::Mac : HostSystem::Linux), isWps);
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
}

QTEST_GUILESS_MAIN(tst_HostPlatform)
#include "tst_hostplatform.moc"
