#include "model/AuthToolModel.h"

#include "core/DescribedError.h"
#include "ScratchHome.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString installed = QStringLiteral("Applications/Corvanta/Corvanta 管理工具.app");
const QString legacy = QStringLiteral("Applications/Corvanta/Corvanta 授权工具.app");

// A bundle directory whose Contents/marker tells the copies apart. A null identifier writes no
// Info.plist; "garbage" writes one that is not a property list.
void makeBundle(const QString &path, const QString &marker, const QString &identifier = QStringLiteral("x"))
{
    QDir().mkpath(path + QStringLiteral("/Contents/MacOS"));
    QFile markerFile(path + QStringLiteral("/Contents/marker"));
    QVERIFY(markerFile.open(QIODevice::WriteOnly));
    markerFile.write(marker.toUtf8());
    if (identifier.isNull())
        return;
    QFile info(path + QStringLiteral("/Contents/Info.plist"));
    QVERIFY(info.open(QIODevice::WriteOnly));
    if (identifier == QLatin1String("garbage"))
        info.write("<plist><dict><key>CFBundleIdentifier</key>");
    else
        info.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                  "<key>CFBundleIdentifier</key><string>%1</string></dict></plist>\n")
                       .arg(identifier)
                       .toUtf8());
}

QString markerOf(const QString &bundle)
{
    QFile file(bundle + QStringLiteral("/Contents/marker"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString logText(const ScratchHome &home)
{
    QFile file(home.filePath(QStringLiteral("Library/Logs/CorvantaWpsAnalysis/corvanta-auth-tool.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_ToolPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placesTheRightSource_data();
    void placesTheRightSource();
    void legacyTool_data();
    void legacyTool();
    void failedCopyKeepsEverything();
};

void tst_ToolPlacement::placesTheRightSource_data()
{
    QTest::addColumn<QString>("running");   // below HOME; empty: a bare executable
    QTest::addColumn<QStringList>("embedded"); // bundle names in the running bundle's resources
    QTest::addColumn<QString>("expectedMarker");
    QTest::addColumn<bool>("logged");

    QTest::newRow("from the installed place") << installed << QStringList() << "old" << false;
    QTest::newRow("outside any bundle") << "" << QStringList() << "old" << false;
    QTest::newRow("from Downloads") << "Downloads/Corvanta 管理工具.app" << QStringList() << "running" << true;
    QTest::newRow("embedded tool first")
        << "Volumes/Installer/安装 Corvanta.app" << QStringList({"Corvanta 授权工具", "Corvanta 管理工具"})
        << "Corvanta 管理工具" << true;
    QTest::newRow("embedded legacy tool") << "Volumes/Installer/安装 Corvanta.app"
                                          << QStringList({"Corvanta 授权工具"}) << "Corvanta 授权工具" << true;
}

void tst_ToolPlacement::placesTheRightSource()
{
    QFETCH(QString, running);
    QFETCH(QStringList, embedded);
    QFETCH(QString, expectedMarker);
    QFETCH(bool, logged);
    ScratchHome home;
    const QString target = home.filePath(installed);
    makeBundle(target, QStringLiteral("old"));
    if (!running.isEmpty() && running != installed)
        makeBundle(home.filePath(running), QStringLiteral("running"));
    for (const QString &name : embedded)
        makeBundle(home.filePath(running) + QStringLiteral("/Contents/Resources/") + name + QStringLiteral(".app"), name);

    AuthToolModel model;
    const AppBundle bundle = running.isEmpty() ? AppBundle() : AppBundle(home.filePath(running));
    QCOMPARE(model.ensureInstalledManagementApp(bundle), target);

    QCOMPARE(markerOf(target), expectedMarker);
    QCOMPARE(logText(home).contains(QStringLiteral("] 管理工具已安装到：") + target + QLatin1Char('\n')), logged);
    QCOMPARE(logText(home).count(QLatin1Char('\n')), logged ? 1 : 0);
}

void tst_ToolPlacement::legacyTool_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("removed");

    QTest::newRow("ours") << "com.corvanta.wpsanalysis.manager" << true;
    QTest::newRow("another identity") << "com.example.other" << false;
    QTest::newRow("unreadable Info.plist") << "garbage" << false;
    QTest::newRow("no Info.plist") << QString() << false;
}

void tst_ToolPlacement::legacyTool()
{
    QFETCH(QString, identifier);
    QFETCH(bool, removed);
    ScratchHome home;
    makeBundle(home.filePath(QStringLiteral("Downloads/T.app")), QStringLiteral("running"));
    makeBundle(home.filePath(legacy), QStringLiteral("legacy"), identifier);

    AuthToolModel model;
    model.ensureInstalledManagementApp(AppBundle(home.filePath(QStringLiteral("Downloads/T.app"))));

    QCOMPARE(QFileInfo::exists(home.filePath(legacy)), !removed);
    const QString line = QStringLiteral("] 已清理旧版 Corvanta 授权工具：") + home.filePath(legacy) + QLatin1Char('\n');
    QCOMPARE(logText(home).contains(line), removed);
}

// A copy that breaks off (here the file-size limit, which holds for root too, standing in for a
// full disk) leaves the installed copy and the legacy tool as they were.
void tst_ToolPlacement::failedCopyKeepsEverything()
{
    ScratchHome home;
    const QString running = home.filePath(QStringLiteral("Downloads/Corvanta 管理工具.app"));
    makeBundle(running, QStringLiteral("running"));
    QFile big(running + QStringLiteral("/Contents/MacOS/big"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(1 << 20, 'x'));
    big.close();
    makeBundle(home.filePath(installed), QStringLiteral("old"));
    makeBundle(home.filePath(legacy), QStringLiteral("legacy"), QStringLiteral("com.corvanta.wpsanalysis.manager"));

    AuthToolModel model;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool threw = false;
    try {
        model.ensureInstalledManagementApp(AppBundle(running));
    } catch (const DescribedError &error) {
        threw = error.description().startsWith(QStringLiteral("无法复制“big”："));
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, SIG_DFL);

    QVERIFY(threw);
    QCOMPARE(markerOf(home.filePath(installed)), QStringLiteral("old"));
    QCOMPARE(markerOf(home.filePath(legacy)), QStringLiteral("legacy"));
    QCOMPARE(QDir(home.filePath(QStringLiteral("Applications/Corvanta"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("Corvanta 授权工具.app"), QStringLiteral("Corvanta 管理工具.app")}));
    QVERIFY(logText(home).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ToolPlacement)
#include "tst_toolplacement.moc"
