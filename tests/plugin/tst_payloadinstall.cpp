#include "FakeWpsAddons.h"

#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

// The installer script as the vendor's payload runs it, the helper doing the install behind it.
namespace {

const QString script = QStringLiteral(TEST_PAYLOAD_ROOT "/Payload/installers/install-corvanta-wps-analysis-macos.command");
enum Twist { None, NoPackageGiven, IncompletePackage, AddonDirUnderFile, OldVersionImmutable };

} // namespace

class tst_PayloadInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void install_data();
    void install();
};

void tst_PayloadInstall::install_data()
{
    QTest::addColumn<QString>("before"); // the version installed before, with a file of its own
    QTest::addColumn<QByteArray>("registry"); // empty: as installed
    QTest::addColumn<int>("twist");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("after"); // the add-in's folders
    QTest::addColumn<bool>("previousCopy"); // the folder of 1.4.2 is the one from before

    const QString refused = "WPS 的加载项注册表“authaddin.json”格式无法识别，未做修改。\n";
    QTest::newRow("update: the old version goes once the new one is registered")
        << "1.3.0" << QByteArray() << int(None) << 0 << "" << QStringList{"CorvantaAnalysis_1.4.2"} << false;
    QTest::newRow("same version, registration fails: the previous copy is back")
        << "1.4.2" << QByteArray("[]") << int(None) << 67 << refused << QStringList{"CorvantaAnalysis_1.4.2"} << true;
    QTest::newRow("update, registration fails: no folder of the new version")
        << "1.3.0" << QByteArray("[]") << int(None) << 67 << refused << QStringList{"CorvantaAnalysis_1.3.0"} << false;
    QTest::newRow("no package given") << "1.3.0" << QByteArray() << int(NoPackageGiven) << 64
                                      << "未收到要安装的插件包，请在 Corvanta 管理工具中安装插件。\n"
                                      << QStringList{"CorvantaAnalysis_1.3.0"} << false;
    QTest::newRow("incomplete package") << "1.3.0" << QByteArray() << int(IncompletePackage) << 65
                                        << "插件包结构不完整，请重新下载。\n" << QStringList{"CorvantaAnalysis_1.3.0"} << false;
    QTest::newRow("add-in folder cannot be made") << "" << QByteArray() << int(AddonDirUnderFile) << 66
                                                  << "无法创建 WPS 加载项文件夹，请检查文件夹权限。\n" << QStringList() << false;
    QTest::newRow("old version stays")
        << "1.3.0" << QByteArray() << int(OldVersionImmutable) << 69
        << "无法移除旧版插件“CorvantaAnalysis_1.3.0”，请检查文件夹权限。\ncorvanta-leftover: CorvantaAnalysis_1.3.0\n"
        << QStringList{"CorvantaAnalysis_1.3.0", "CorvantaAnalysis_1.4.2"} << false;
}

void tst_PayloadInstall::install()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, registry);
    QFETCH(int, twist);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QStringList, after);
    QFETCH(bool, previousCopy);
    QTemporaryDir home;
    FakeWpsAddons addons(home.filePath("jsaddons"));
    QFile(home.filePath("file")).open(QIODevice::WriteOnly);
    if (!before.isEmpty()) {
        addons.installTypical(before);
        QFile(addons.filePath("CorvantaAnalysis_" + before + "/previous")).open(QIODevice::WriteOnly);
    }
    if (!registry.isEmpty())
        addons.writeAuthAddinJsonText(registry);
    const QString old = addons.filePath("CorvantaAnalysis_1.3.0");
    if (twist == OldVersionImmutable && QProcess::execute("chattr", {"+i", old}) != 0)
        QSKIP("this file system cannot make a folder immutable");
    const auto mutableAgain = qScopeGuard([&] {
        if (twist == OldVersionImmutable)
            QProcess::execute("chattr", {"-i", old});
    });
    const QString package = FakeWpsAddons::writePackage(
        home.filePath("cache"), "CorvantaAnalysis_1.4.2", twist == IncompletePackage ? FakePackage().noRibbon() : FakePackage().version("1.4.2"));
    const QString lists = addons.readPublishXml() + QJsonDocument(addons.readAuthAddinJson()).toJson();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"CORVANTA_WPS_ANALYSIS_LICENSE_TOOL", "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE",
                             "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"})
        environment.insert(name, home.filePath("Applications/Corvanta"));
    if (twist != NoPackageGiven)
        environment.insert("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR", package);
    environment.insert("CORVANTA_WPS_ANALYSIS_ADDON_DIR", twist == AddonDirUnderFile ? home.filePath("file/jsaddons") : addons.path());
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start("/bin/bash", {script});
    QVERIFY(run.waitForFinished());
    QCOMPARE(QString::fromUtf8(run.readAll()), output);
    QCOMPARE(run.exitCode(), status);
    QCOMPARE(addons.entryNames().filter("CorvantaAnalysis_"), after);
    QCOMPARE(QFile::exists(addons.filePath("CorvantaAnalysis_1.4.2/previous")), previousCopy);
    QCOMPARE(addons.entryNames().filter(".corvanta-"), QStringList());
    if (status == 0 || status == 69)
        QVERIFY(addons.readPublishXml().contains(addons.packageUrl("CorvantaAnalysis_1.4.2")));
    else
        QCOMPARE(addons.readPublishXml() + QJsonDocument(addons.readAuthAddinJson()).toJson(), lists);
}

QTEST_GUILESS_MAIN(tst_PayloadInstall)
#include "tst_payloadinstall.moc"
