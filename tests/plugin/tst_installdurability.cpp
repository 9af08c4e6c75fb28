#include "FakeWpsAddons.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QXmlStreamReader>

#include <csignal>
#include <unistd.h>

// Kills the installer script (with its helper) and the uninstall edits with SIGKILL at random
// moments, many times over, and checks after every kill that WPS's lists are complete and every
// add-in directory is one whole version.
namespace {

const QString installers = QStringLiteral(TEST_BUNDLE_DIR "/Contents/Resources/Payload/installers");
const QString script = installers + QStringLiteral("/install-corvanta-wps-analysis-macos.command");
const QString helper = installers + QStringLiteral("/corvanta-wps-addins");
const QStringList versions{QStringLiteral("1.3.0"), QStringLiteral("1.4.2")};
// Runs go on until this many were killed mid-way; a loaded machine needs more of them.
constexpr int wantedKills = 220;
constexpr int maxRuns = 800;

using Tree = QMap<QString, QByteArray>;

Tree treeOf(const QString &dir)
{
    Tree tree;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        tree.insert(path.mid(dir.size()), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
    }
    return tree;
}

// Started in a process group of its own, so the kill reaches the script's children too.
class Run
{
public:
    Run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }

    // True when the kill found the run still going.
    bool killAfter(qint64 microseconds)
    {
        QThread::usleep(quint64(microseconds));
        ::kill(-pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
        return m_process.exitStatus() == QProcess::CrashExit;
    }

    QString finish()
    {
        m_process.waitForFinished();
        return m_process.exitCode() == 0 ? QString() : QString::fromUtf8(m_process.readAll()) + QStringLiteral("(failed)");
    }

private:
    QProcess m_process;
};

} // namespace

class tst_InstallDurability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedRunsLeaveWholeVersions();

private:
    void verifyConsistent(const FakeWpsAddons &addons, const QMap<QString, Tree> &packages);
};

void tst_InstallDurability::verifyConsistent(const FakeWpsAddons &addons, const QMap<QString, Tree> &packages)
{
    const QString publish = addons.readPublishXml();
    QXmlStreamReader reader(publish);
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(publish));
    QVERIFY(publish.contains(addons.packageUrl(QStringLiteral("OtherAddin_1.0"))));
    QVERIFY(publish.count(QStringLiteral("name=\"CorvantaAnalysis\"")) <= 1);

    QFile authFile(addons.filePath(QStringLiteral("authaddin.json")));
    QVERIFY(authFile.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonObject group = QJsonDocument::fromJson(authFile.readAll(), &error).object().value("et").toObject();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QStringList keys = group.keys();
    keys.removeOne(QStringLiteral("namelist"));
    QCOMPARE(group.value("namelist").toString(), keys.join(QLatin1Char(';')));
    QVERIFY(keys.contains(QStringLiteral("OtherAddin_1.0")));

    for (const QString &name : addons.entryNames()) {
        if (!name.startsWith(QStringLiteral("CorvantaAnalysis_")))
            continue;
        const QString version = name.mid(QStringLiteral("CorvantaAnalysis_").size());
        QVERIFY2(packages.contains(version), qPrintable(name));
        QVERIFY2(treeOf(addons.filePath(name)) == packages.value(version), qPrintable(name + " is not whole"));
    }
}

void tst_InstallDurability::killedRunsLeaveWholeVersions()
{
    QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper));
    QTemporaryDir home;
    const QString cache = home.filePath(QStringLiteral("cache"));
    QMap<QString, Tree> packages;
    for (const QString &version : versions) {
        const QString dir = cache + QStringLiteral("/CorvantaAnalysis_") + version;
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-R"),
                                  QStringLiteral(TEST_SOURCE_DIR "/tools/standin-service/packages/") + version + QStringLiteral("/."), dir}) == 0);
        packages.insert(version, treeOf(dir));
    }
    FakeWpsAddons addons(home.filePath(QStringLiteral("Library/Containers/com.kingsoft.wpsoffice.mac/Data/.kingsoft/wps/jsaddons")));
    const QString other = QStringLiteral("OtherAddin_1.0");
    addons.addPackage(other);
    const Tree otherTree = treeOf(addons.filePath(other));
    addons.writePublishXml({{FakeWpsAddons::otherAddinName, addons.packageUrl(other), "1.0", "wps", false, true}});
    addons.writeAuthAddinJson({{"et", FakeWpsAddons::authGroup({{other, FakeWpsAddons::otherAddinName, addons.filePath(other)}})}});

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name : {"CORVANTA_WPS_ANALYSIS_LICENSE_TOOL", "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_APP_SOURCE",
                             "CORVANTA_WPS_ANALYSIS_LICENSE_TOOL_INSTALL_DIR"})
        environment.insert(QString::fromLatin1(name), home.filePath(QStringLiteral("Applications/Corvanta")));
    // Index 0 and 1 install a version, 2 uninstalls.
    auto start = [&](int action) {
        if (action == 2)
            return std::make_unique<Run>(helper, QStringList{QStringLiteral("unregister"), addons.path()}, environment);
        QProcessEnvironment withPackage = environment;
        withPackage.insert(QStringLiteral("CORVANTA_WPS_ANALYSIS_PLUGIN_PACKAGE_DIR"),
                           cache + QStringLiteral("/CorvantaAnalysis_") + versions.at(action));
        return std::make_unique<Run>(QStringLiteral("/bin/bash"), QStringList{script}, withPackage);
    };

    // How long each action takes when left alone; kills land anywhere in that span.
    qint64 spanUs[3] = {};
    for (int action : {0, 1, 2, 1}) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(start(action)->finish(), QString());
        spanUs[action] = timer.nsecsElapsed() / 1000;
    }

    QElapsedTimer total;
    total.start();
    QRandomGenerator random(20261207);
    int killed = 0;
    int finishedFirst = 0;
    for (int i = 0; killed < wantedKills && i < maxRuns; ++i) {
        const int action = int(random.bounded(3));
        if (i % 20 == 19) {
            // Now and then a run to its end: whatever the kills left, it must succeed.
            QCOMPARE(start(action)->finish(), QString());
            QCOMPARE(addons.entryNames().filter(QStringLiteral("Corvanta")).size(), action == 2 ? 0 : 1);
        } else if (start(action)->killAfter(random.bounded(spanUs[action] * 9 / 10 + 1))) {
            ++killed;
        } else {
            ++finishedFirst;
        }
        verifyConsistent(addons, packages);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(treeOf(addons.filePath(other)), otherTree);
    }
    qInfo("durability: %d runs killed with SIGKILL mid-way, %d finished before their kill, in %.1f s", killed,
          finishedFirst, double(total.elapsed()) / 1000.0);
    QVERIFY(killed >= wantedKills);
}

QTEST_GUILESS_MAIN(tst_InstallDurability)
#include "tst_installdurability.moc"
