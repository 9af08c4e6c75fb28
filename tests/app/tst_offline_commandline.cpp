#include "FakeWpsAddons.h"
#include "ScratchHome.h"
#include "StandinService.h"

#include "BuildConfig.h"
#include "core/ToolPaths.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

// Runs the built tool's commands as child processes without any display. CTest starts this suite in
// a network namespace of its own (like every tst_offline_* suite): there the tool's fixed service
// address, a loopback port, is free for the stand-in, and a default route of the suite's own makes
// the machine online or takes it away.
namespace {

const QString toolPath = QStringLiteral(TEST_BUNDLE_DIR "/Contents/MacOS/CorvantaManagementTool");
const QUrl serviceUrl(QString::fromUtf8(BuildConfig::serviceBaseUrl));
const QString rerunHint = QStringLiteral("运行 CorvantaManagementTool --help 查看用法。\n");
enum class Service { None, Latest142, Refusing };

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

QProcess *startTool(const QStringList &arguments)
{
    auto *process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")})
        environment.remove(name);
    process->setProcessEnvironment(environment);
    process->start(toolPath, arguments);
    return process;
}

Run finish(QProcess &process)
{
    process.waitForFinished(90000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Run runTool(const QStringList &arguments)
{
    std::unique_ptr<QProcess> process(startTool(arguments));
    return finish(*process);
}

QString ip(const QString &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStandardPaths::findExecutable(QStringLiteral("ip"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                                       QStringLiteral("/usr/bin"), QStringLiteral("/bin")}),
                  arguments.split(u' '));
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QStringLiteral("ip %1: %2").arg(arguments, QString::fromLocal8Bit(process.readAll()));
    return {};
}

void setOnline(bool online)
{
    if (online)
        QCOMPARE(ip(QStringLiteral("route replace default dev lo")), QString());
    else
        ip(QStringLiteral("route del default"));
}

std::unique_ptr<StandinService> startService(Service service, const QStringList &extra = {})
{
    if (service == Service::None)
        return nullptr;
    QStringList options{QStringLiteral("--port"), QString::number(serviceUrl.port()), QStringLiteral("--latest"), QStringLiteral("1.4.2")};
    if (service == Service::Refusing)
        options << QStringLiteral("--status") << QStringLiteral("latest=500");
    return std::make_unique<StandinService>(options + extra);
}

QStringList logMessages()
{
    QFile file(ToolPaths::logFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        messages.append(line.mid(QStringLiteral("[00:00:00] ").size()));
    return messages;
}

// The current row's value of a column.
template<typename T>
T fetch(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}

} // namespace

class tst_OfflineCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void usage_data();
    void usage();
    void checkExitCodes_data();
    void checkExitCodes();
    void statusQuery_data();
    void statusQuery();
};

void tst_OfflineCommandLine::initTestCase()
{
    if (serviceUrl.scheme() != QLatin1String("http") || serviceUrl.host() != QLatin1String("127.0.0.1") || serviceUrl.port() <= 0)
        QSKIP("The tool was built for a service that is not a loopback port.");
    QFile devices(QStringLiteral("/proc/net/dev"));
    QVERIFY(devices.open(QIODevice::ReadOnly));
    if (devices.readAll().split('\n').size() != 4)
        QSKIP("Not in a network namespace of its own (making one needs root).");
    QCOMPARE(ip(QStringLiteral("link set lo up")), QString());
}

void tst_OfflineCommandLine::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outStart");
    QTest::addColumn<QString>("err");
    const QString usageStart = QStringLiteral("用法：CorvantaManagementTool [命令] [选项]\n");
    QTest::newRow("help") << QStringList{"--help"} << 0 << usageStart << QString();
    QTest::newRow("help after a command") << QStringList{"install", "-h"} << 0 << usageStart << QString();
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << QStringLiteral("Corvanta 管理工具 %1\n").arg(QLatin1String(BuildConfig::projectVersion)) << QString();
    QTest::newRow("unknown command") << QStringList{"statsu"} << 2 << QString() << QStringLiteral("未知命令：statsu\n") + rerunHint;
    QTest::newRow("option of another command") << QStringList{"check", "--json"} << 2 << QString()
                                               << QStringLiteral("check 不接受参数：--json\n") + rerunHint;
    QTest::newRow("uninstall without --yes")
        << QStringList{"uninstall"} << 2 << QString()
        << QStringLiteral("uninstall 会移除 WPS 表格中的 CorvantaAnalysis 加载项，请加 --yes 确认。\n") + rerunHint;
}

void tst_OfflineCommandLine::usage()
{
    const auto arguments = fetch<QStringList>("arguments");
    ScratchHome home;
    FakeWpsAddons().installTypical(QStringLiteral("1.3.0"));
    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, fetch<int>("exitCode"));
    QVERIFY2(run.out.startsWith(fetch<QString>("outStart")), qPrintable(run.out));
    QCOMPARE(run.err, fetch<QString>("err"));
    QCOMPARE(logMessages(), QStringList());
    QVERIFY(QFile::exists(FakeWpsAddons().filePath(QStringLiteral("CorvantaAnalysis_1.3.0"))));
}

void tst_OfflineCommandLine::checkExitCodes_data()
{
    QTest::addColumn<QString>("installed");
    QTest::addColumn<Service>("service");
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QStringList>("log");
    const QString checking = QStringLiteral("正在检查最新插件版本...\n");
    const QString started = QStringLiteral("用户触发检查更新");
    QTest::newRow("update available") << "1.3.0" << Service::Latest142 << true << 10
                                      << checking + "发现新版本 1.4.2，可点击「更新到 1.4.2」安装。\n" << QStringList{started};
    QTest::newRow("up to date") << "1.4.2" << Service::Latest142 << true << 0 << checking + "本机插件已是最新版 1.4.2。\n"
                                << QStringList{started};
    QTest::newRow("not installed") << "" << Service::Latest142 << true << 10
                                   << checking + "尚未安装插件，可点击「安装」从 1.4.2 开始。\n" << QStringList{started};
    const QString refused = QStringLiteral("检查更新失败：授权服务暂时不可用，请稍后重试；如果问题持续出现，请重新登录后再试。");
    QTest::newRow("service refuses") << "1.3.0" << Service::Refusing << true << 1 << checking + refused + "\n"
                                     << QStringList{started, refused};
    const QString unreachable = QStringLiteral("检查更新失败：未能连接到服务器。");
    QTest::newRow("service unreachable") << "1.3.0" << Service::None << true << 4 << checking + unreachable + "\n"
                                         << QStringList{started, unreachable};
    QTest::newRow("offline") << "1.3.0" << Service::Latest142 << false << 4
                             << QStringLiteral("检查更新需要连接 Corvanta 服务，请联网后重试。\n")
                             << QStringList{QStringLiteral("检查更新已拦截：当前离线")};
}

void tst_OfflineCommandLine::checkExitCodes()
{
    const auto installed = fetch<QString>("installed");
    ScratchHome home;
    if (!installed.isEmpty())
        FakeWpsAddons().installTypical(installed);
    setOnline(fetch<bool>("online"));
    const auto service = startService(fetch<Service>("service"));
    const Run run = runTool({QStringLiteral("check")});
    QCOMPARE(run.err, fetch<QString>("result"));
    QCOMPARE(run.exitCode, fetch<int>("exitCode"));
    QCOMPARE(run.out, QString());
    QCOMPARE(logMessages(), fetch<QStringList>("log"));
}

void tst_OfflineCommandLine::statusQuery_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Service>("service");
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("fields");
    QTest::newRow("answered") << QStringList{} << Service::Latest142 << true << 0
                              << QByteArray(R"({"latestVersion":"1.4.2","installState":"updateAvailable","releaseQuery":"answered","releaseQueryError":null,"online":true})");
    QTest::newRow("not asked") << QStringList{"--offline"} << Service::Latest142 << true << 0
                               << QByteArray(R"({"latestVersion":null,"installState":"unknown","releaseQuery":"skipped","online":true})");
    QTest::newRow("offline") << QStringList{} << Service::Latest142 << false << 4
                             << QByteArray(R"({"latestVersion":null,"releaseQuery":"offline","releaseQueryError":null,"online":false})");
    QTest::newRow("unreachable") << QStringList{} << Service::None << true << 4
                                 << QByteArray(R"({"latestVersion":null,"releaseQuery":"failed","releaseQueryError":"未能连接到服务器。"})");
    QTest::newRow("refused") << QStringList{} << Service::Refusing << true << 1
                             << QByteArray(R"({"releaseQuery":"failed","installState":"unknown"})");
}

// Every field the row names, with the installed 1.3.0 and a cached package on every row.
void tst_OfflineCommandLine::statusQuery()
{
    ScratchHome home;
    FakeWpsAddons().installTypical(QStringLiteral("1.3.0"));
    FakeWpsAddons::writePackage(ToolPaths::pluginPackageCacheDir(), QStringLiteral("CorvantaAnalysis_1.2.0"));
    setOnline(fetch<bool>("online"));
    const auto service = startService(fetch<Service>("service"));
    const Run run = runTool(QStringList{QStringLiteral("status"), QStringLiteral("--json")} + fetch<QStringList>("arguments"));
    QCOMPARE(run.exitCode, fetch<int>("exitCode"));
    QCOMPARE(run.err, QString());
    const QJsonObject status = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QJsonObject expected = QJsonDocument::fromJson(fetch<QByteArray>("fields")).object();
    expected.insert(QStringLiteral("installedVersion"), QStringLiteral("1.3.0"));
    expected.insert(QStringLiteral("wpsRunning"), false);
    for (auto field = expected.constBegin(); field != expected.constEnd(); ++field)
        QCOMPARE(status.value(field.key()), field.value());
    QCOMPARE(status.value(QStringLiteral("cachedPackages")).toArray().first()[QStringLiteral("version")], QJsonValue(QStringLiteral("1.2.0")));
}

QTEST_GUILESS_MAIN(tst_OfflineCommandLine)
#include "tst_offline_commandline.moc"
