#include "FakeWpsAddons.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QXmlStreamReader>

#include <csignal>
#include <unistd.h>

// Kills the installer script (with the helper it runs) and the uninstall edits with SIGKILL at
// random moments and checks after every kill that WPS's lists are whole, that they agree on the
// registered version (at once, or once the next run has finished a write the kill interrupted),
// and that every add-in directory is one complete version. Runs go on until 220 were killed
// mid-way, however loaded the machine.
namespace {

const QString installers = QStringLiteral(TEST_PAYLOAD_ROOT "/Payload/installers");
const QStringList versions{"1.3.0", "1.4.2"};
constexpr int wantedKills = 220;

QMap<QString, QByteArray> treeOf(const QString &dir)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        tree.insert(file.fileName().mid(dir.size()), file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return tree;
}

// The add-in's directories that "publish.xml" registers.
QStringList publishedDirectories(const QString &xml)
{
    QStringList directories;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"jsplugin"
            && reader.attributes().value("name") == u"CorvantaAnalysis")
            directories.append(reader.attributes().value("url").toString().section('/', -2, -2));
    }
    return directories;
}

// The add-in's directories that "authaddin.json" registers.
QStringList authorisedDirectories(const QJsonObject &group)
{
    QStringList directories;
    for (const QString &key : group.keys()) {
        if (group.value(key)["name"].toString() == "CorvantaAnalysis")
            directories.append(group.value(key)["path"].toString().section('/', -1));
    }
    return directories;
}

} // namespace

class tst_InstallDurability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedRunsLeaveWholeVersions();
    void killedBetweenTheTwoLists_data();
    void killedBetweenTheTwoLists();
    void registryRenameFails_data() { killedBetweenTheTwoLists_data(); }
    void registryRenameFails();
};

void tst_InstallDurability::killedRunsLeaveWholeVersions()
{
    QTemporaryDir home;
    QMap<QString, QMap<QString, QByteArray>> packages;
    for (const QString &version : versions) {
        const QString dir = home.filePath("cache/CorvantaAnalysis_" + version);
        QVERIFY(QDir().mkpath(dir));
        QCOMPARE(QProcess::execute("cp", {"-R", TEST_SOURCE_DIR "/tools/standin-service/packages/" + version + "/.", dir}), 0);
        packages.insert(version, treeOf(dir));
    }
    FakeWpsAddons addons(home.filePath("Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons"));
    const QString other = "OtherAddin_1.0";
    addons.addPackage(other);
    const auto otherTree = treeOf(addons.filePath(other));
    addons.writePublishXml({{FakeWpsAddons::otherAddinName, addons.packageUrl(other), "1.0", "wps", false, true}});
    addons.writeAuthAddinJson({{"et", FakeWpsAddons::authGroup({{other, FakeWpsAddons::otherAddinName, "/o"}})}});

    // Action 0 and 1 install a version, 2 uninstalls; each in a process group of its own, so the
    // kill reaches the script's children too.
    auto start = [&](int action) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        for (const char *name : {"CORVANTA_WPS_ANALYSIS_LICENSE_TOOL", "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE",
                                 "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"})
            environment.insert(name, home.filePath("Applications/Corvanta"));
        environment.insert("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR", home.filePath("cache/CorvantaAnalysis_" + versions.value(action)));
        environment.insert("CORVANTA_WPS_ANALYSIS_ADDON_DIR", addons.path());
        process->setProcessEnvironment(environment);
        process->setChildProcessModifier([] { ::setpgid(0, 0); });
        if (action == 2)
            process->start(installers + "/corvanta-wps-addins", {"unregister", addons.path()});
        else
            process->start("/bin/bash", {installers + "/install-corvanta-wps-analysis-macos.command"});
        process->waitForStarted();
        return process;
    };
    qint64 spanUs[3] = {};
    for (int action : {0, 1, 2, 1}) {
        QElapsedTimer timer;
        timer.start();
        auto process = start(action);
        QVERIFY(process->waitForFinished() && process->exitCode() == 0);
        spanUs[action] = timer.nsecsElapsed() / 1000;
    }

    QElapsedTimer total;
    total.start();
    QRandomGenerator random(20261207);
    int killed = 0, finishedFirst = 0, agreed = 0, finishedFromJournal = 0;
    for (int i = 0; killed < wantedKills && i < 800; ++i) {
        const int action = int(random.bounded(3));
        auto process = start(action);
        if (i % 20 == 19) { // now and then a run to its end: whatever the kills left, it succeeds
            QVERIFY2(process->waitForFinished() && process->exitCode() == 0, process->readAll().constData());
            QCOMPARE(addons.entryNames().filter("Corvanta").size(), action == 2 ? 0 : 1);
            continue;
        }
        QThread::usleep(quint64(random.bounded(spanUs[action] * 9 / 10 + 1)));
        ::kill(-pid_t(process->processId()), SIGKILL);
        process->waitForFinished();
        (process->exitStatus() == QProcess::CrashExit ? killed : finishedFirst)++;

        QXmlStreamReader publish(addons.readPublishXml());
        while (!publish.atEnd())
            publish.readNext();
        QVERIFY2(!publish.hasError(), qPrintable(addons.readPublishXml()));
        QVERIFY(addons.readPublishXml().contains(addons.packageUrl(other)));
        QFile auth(addons.filePath("authaddin.json"));
        QVERIFY(auth.open(QIODevice::ReadOnly));
        const QJsonObject group = QJsonDocument::fromJson(auth.readAll()).object().value("et").toObject();
        auth.close();
        // The two lists agree, unless the kill fell between their renames: the next run then
        // finishes the write first (here the helper's clean-up, as the installer script starts).
        const auto listsAgree = [&] {
            QFile registry(addons.filePath("authaddin.json"));
            return registry.open(QIODevice::ReadOnly)
                && publishedDirectories(addons.readPublishXml())
                == authorisedDirectories(QJsonDocument::fromJson(registry.readAll()).object().value("et").toObject());
        };
        const bool interrupted = QFile::exists(addons.filePath(".corvanta-lists-journal"));
        QVERIFY2(interrupted || listsAgree(), qPrintable(addons.readPublishXml()));
        QProcess clean;
        clean.start(installers + "/corvanta-wps-addins", {"clean", addons.path()});
        QVERIFY2(clean.waitForFinished() && clean.exitCode() == 0, clean.readAllStandardError().constData());
        QVERIFY2(listsAgree(), qPrintable(addons.readPublishXml()));
        agreed += process->exitStatus() == QProcess::CrashExit ? 1 : 0;
        finishedFromJournal += interrupted ? 1 : 0;
        QStringList keys = group.keys();
        keys.removeOne("namelist");
        QCOMPARE(group.value("namelist").toString(), keys.join(';'));
        QVERIFY(keys.contains(other));
        for (const QString &name : addons.entryNames().filter(QRegularExpression("^CorvantaAnalysis_"))) {
            const QString version = name.mid(QStringLiteral("CorvantaAnalysis_").size());
            QVERIFY2(treeOf(addons.filePath(name)) == packages.value(version), qPrintable(name + " is not whole"));
        }
        QVERIFY(treeOf(addons.filePath(other)) == otherTree);
    }
    qInfo("durability: %d runs killed with SIGKILL mid-way, %d finished before their kill, in %.1f s", killed,
          finishedFirst, double(total.elapsed()) / 1000.0);
    qInfo("durability: publish.xml and authaddin.json agreed after %d of %d killed runs (%d of them once the next "
          "run had finished the interrupted write)", agreed, killed, finishedFromJournal);
    QCOMPARE(killed, wantedKills);
    QCOMPARE(agreed, killed);
}

void tst_InstallDurability::killedBetweenTheTwoLists_data()
{
    QTest::addColumn<QStringList>("arguments"); // of the helper: the command, then what follows the add-in folder
    QTest::addColumn<int>("registryRename");    // which of the helper's renames puts "authaddin.json" in place
    QTest::addColumn<QByteArray>("wpsEdit");    // what WPS wrote into "publish.xml" before the next run

    // Renames: the journal, "publish.xml", "authaddin.json" (after the two versions' folders when unregistering).
    QTest::newRow("register") << QStringList{"register", "CorvantaAnalysis_1.4.2"} << 3 << QByteArray();
    QTest::newRow("unregister") << QStringList{"unregister"} << 5 << QByteArray();
    QTest::newRow("register, then WPS rewrote publish.xml: its text stays")
        << QStringList{"register", "CorvantaAnalysis_1.4.2"} << 3 << QByteArray("<jsplugins><jsplugin name=\"B\" url=\"b\"/></jsplugins>");
}

// The moment random kills seldom meet: "publish.xml" already replaced, "authaddin.json" not yet.
// strace holds the helper just before the registry's rename, and the kill lands there.
void tst_InstallDurability::killedBetweenTheTwoLists()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, registryRename);
    QFETCH(QByteArray, wpsEdit);
    QTemporaryDir home;
    FakeWpsAddons addons(home.filePath("jsaddons"));
    addons.installTypical("1.3.0");
    addons.addPackage("CorvantaAnalysis_1.4.2", FakePackage().version("1.4.2"));
    const QString before = addons.readPublishXml();
    const QByteArray authBefore = QJsonDocument(addons.readAuthAddinJson()).toJson();
    QProcess helper;
    helper.setChildProcessModifier([] { ::setpgid(0, 0); });
    const QString delay = QStringLiteral("inject=rename:delay_enter=60000000:when=%1").arg(registryRename);
    helper.start("strace", QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=rename", "-e", delay,
                                       installers + "/corvanta-wps-addins", arguments.value(0), addons.path()}
                                + arguments.mid(1));
    QVERIFY2(helper.waitForStarted(), "strace is needed");
    const pid_t group = pid_t(helper.processId());
    QTRY_VERIFY_WITH_TIMEOUT(addons.readPublishXml() != before || helper.state() != QProcess::Running, 30000);
    QCOMPARE(helper.state(), QProcess::Running); // held before the registry's rename
    ::kill(-group, SIGKILL);
    helper.waitForFinished();

    const auto registered = [&] {
        return QStringList{publishedDirectories(addons.readPublishXml()).join(','),
                           authorisedDirectories(addons.readAuthAddinJson().value("et").toObject()).join(',')};
    };
    const QStringList killed = registered();
    QCOMPARE(killed.first() == killed.last(), false);
    QVERIFY(QFile::exists(addons.filePath(".corvanta-lists-journal")));
    if (!wpsEdit.isNull())
        addons.writePublishXmlText(wpsEdit);
    QProcess clean;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_STATE_HOME", home.path());
    clean.setProcessEnvironment(environment);
    clean.start(installers + "/corvanta-wps-addins", {"clean", addons.path()});
    QVERIFY2(clean.waitForFinished() && clean.exitCode() == 0, clean.readAllStandardError().constData());
    QFile log(home.filePath("corvanta-manager/corvanta-auth-tool.log"));
    if (!wpsEdit.isNull()) {
        QCOMPARE(addons.readPublishXml().toUtf8() + QJsonDocument(addons.readAuthAddinJson()).toJson(), wpsEdit + authBefore);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().endsWith("] 上次中断的 WPS 加载项列表修改已放弃：列表在此之后已被更改。\n"));
        QCOMPARE(addons.entryNames().filter(".corvanta-"), QStringList());
        return;
    }
    QVERIFY(!log.exists());
    const QStringList recovered = registered();
    QCOMPARE(recovered.first(), recovered.last());
    QCOMPARE(recovered.first(), arguments.size() == 2 ? "CorvantaAnalysis_1.4.2" : "");
    qInfo("durability: killed between the lists' renames (%s): %s / %s, after the next run: %s", qPrintable(arguments.first()),
          qPrintable(killed.first()), qPrintable(killed.last()), qPrintable(recovered.first()));
}

// The registry's rename fails (strace makes it return EIO): "publish.xml", already replaced, gets
// its old bytes back, and both lists say what they said before.
void tst_InstallDurability::registryRenameFails()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, registryRename);
    QTemporaryDir home;
    FakeWpsAddons addons(home.filePath("jsaddons"));
    addons.installTypical("1.3.0");
    addons.addPackage("CorvantaAnalysis_1.4.2", FakePackage().version("1.4.2"));
    const auto lists = [&] {
        QFile publish(addons.filePath("publish.xml")), auth(addons.filePath("authaddin.json"));
        return publish.open(QIODevice::ReadOnly) && auth.open(QIODevice::ReadOnly) ? publish.readAll() + auth.readAll()
                                                                                   : QByteArray("(missing)");
    };
    const QByteArray before = lists();
    QProcess helper;
    // LeakSanitizer cannot run under ptrace and would end an instrumented helper with its own status.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    helper.setProcessEnvironment(environment);
    helper.start("strace", QStringList{"-f", "-qq", "-o", "/dev/null", "-e", "trace=rename", "-e",
                                       QStringLiteral("inject=rename:error=EIO:when=%1").arg(registryRename),
                                       installers + "/corvanta-wps-addins", arguments.value(0), addons.path()}
                                + arguments.mid(1));
    QVERIFY2(helper.waitForFinished(), "strace is needed");
    QCOMPARE(helper.exitCode(), 67);
    QCOMPARE(helper.readAllStandardError(), QByteArray("无法写入“authaddin.json”：磁盘读写出错。\n"));
    QCOMPARE(lists(), before);
    QCOMPARE(addons.entryNames().filter(".corvanta-"), QStringList());
}

QTEST_GUILESS_MAIN(tst_InstallDurability)
#include "tst_installdurability.moc"
