#include "app/StatusReport.h"

#include "ScratchHome.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

class tst_StatusReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesEveryLocation();
};

// Text and JSON name where WPS's add-in folder and each of the tool's own files are, as this system
// lays them out below the home directory.
void tst_StatusReport::namesEveryLocation()
{
    ScratchHome home;
    StatusReport report;
    report.toolVersion = QStringLiteral("0.2.0");
    report.installedVersion = QStringLiteral("1.3.0");
    report.installState = PluginInstallState::UpToDate;
    report.addonDir = home.addonDir();
    report.wpsInstallations = {{"/opt/kingsoft/wps-office", "/srv/wps-office", home.addonDir(), false},
                               {"/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office", "/opt/apps/x", home.addonDir(), true}};

    const QString settings = report.settingsFile;
    QVERIFY(settings.endsWith(QStringLiteral("/Corvanta/com.corvanta.wpsanalysis.manager.conf")));
    const QString cache = QFileInfo(home.packageCacheDir()).path();
    QCOMPARE(report.toText(),
             QStringLiteral("管理工具版本：0.2.0\n已安装插件：1.3.0\n最新版本：未知（未查询）\n安装状态：已是最新版\n网络：离线\n"
                            "WPS：未运行\nWPS 安装位置：/opt/kingsoft/wps-office（未运行，插件目录：%1）\n"
                            "WPS 安装位置：/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office（正在运行，插件目录：%1）\n"
                            "插件目录：%1\n本机缓存：无\n支持文件：%2\n下载目录：%3/downloads\n"
                            "插件包缓存目录：%3/packages\n活动日志：%4\n设置文件：%5\n")
                 .arg(home.addonDir(), home.supportDir(), cache, home.logFile(), settings));

    const QJsonObject json = report.toJson();
    QCOMPARE(json.value(QStringLiteral("formatVersion")).toInt(), 1);
    QCOMPARE(json.value(QStringLiteral("addonDir")).toString(), home.addonDir());
    QCOMPARE(json.value(QStringLiteral("wpsInstallations")).toArray().at(1).toObject(),
             QJsonObject({{"root", "/opt/apps/cn.wps.wps-office-pro/files/kingsoft/wps-office"}, {"resolvedRoot", "/opt/apps/x"},
                          {"running", true}, {"addonDir", home.addonDir()}}));
    QCOMPARE(json.value(QStringLiteral("supportDir")).toString(), home.supportDir());
    QCOMPARE(json.value(QStringLiteral("downloadDir")).toString(), cache + QStringLiteral("/downloads"));
    QCOMPARE(json.value(QStringLiteral("packageCacheDir")).toString(), home.packageCacheDir());
    QCOMPARE(json.value(QStringLiteral("logFile")).toString(), home.logFile());
    QCOMPARE(json.value(QStringLiteral("settingsFile")).toString(), settings);
}

QTEST_GUILESS_MAIN(tst_StatusReport)
#include "tst_statusreport.moc"
