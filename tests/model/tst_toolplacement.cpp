#include "model/ManagementAppPlacement.h"

#include "core/Failure.h"
#include "ScratchHome.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString ours = QStringLiteral("com.corvanta.wpsanalysis.manager");

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size());
}

// A bundle told apart by its marker, with an executable and a link as real bundles have; the
// identifier "garbage" writes an Info.plist that is no property list.
void makeBundle(const QString &path, const QString &marker, const QString &identifier = QStringLiteral("x"))
{
    writeText(path + QStringLiteral("/Contents/marker"), marker);
    writeText(path + QStringLiteral("/Contents/MacOS/tool"), QStringLiteral("#!/bin/sh\n"));
    QFile::setPermissions(path + QStringLiteral("/Contents/MacOS/tool"), QFile::ReadOwner | QFile::ExeOwner);
    QFile::link(QStringLiteral("marker"), path + QStringLiteral("/Contents/link"));
    writeText(path + QStringLiteral("/Contents/Info.plist"),
              QStringLiteral("<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>%1</string></dict></plist>")
                  .arg(identifier).left(identifier == QLatin1String("garbage") ? 20 : -1));
}

} // namespace

class tst_ToolPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data();
    void placement();
};

void tst_ToolPlacement::placement_data()
{
    QTest::addColumn<QString>("running"); // below HOME; empty: a bare executable
    QTest::addColumn<QStringList>("embedded");
    QTest::addColumn<QString>("legacyIdentifier");
    QTest::addColumn<QString>("expectedMarker");
    QTest::addColumn<bool>("copyBreaksOff"); // by the file-size limit, as on a full disk (binds root too)
    // HOME names a link to the home folder, while the system gives the running bundle's path resolved.
    QTest::addColumn<bool>("homeThroughLink");
    // The copy is made but cannot be swapped in: the installed bundle is a mount point.
    QTest::addColumn<bool>("swapRefused");

    const QString image = QStringLiteral("Volumes/Corvanta/安装 Corvanta 管理工具.app");
    const QString downloads = QStringLiteral("Downloads/Corvanta 管理工具.app");
    QTest::newRow("from the installed place") << "Applications/Corvanta/Corvanta 管理工具.app" << QStringList() << ours << "old" << false << false << false;
    QTest::newRow("outside any bundle") << QString() << QStringList() << ours << "old" << false << false << false;
    QTest::newRow("from Downloads, legacy ours") << downloads << QStringList() << ours << "running" << false << false << false;
    QTest::newRow("legacy of another identity") << downloads << QStringList() << "com.example.other" << "running" << false << false << false;
    QTest::newRow("legacy Info.plist unreadable") << downloads << QStringList() << "garbage" << "running" << false << false << false;
    QTest::newRow("embedded tool first") << image << QStringList({"Corvanta 授权工具", "Corvanta 管理工具"}) << "" << "Corvanta 管理工具" << false << false << false;
    QTest::newRow("embedded legacy tool") << image << QStringList({"Corvanta 授权工具"}) << "" << "Corvanta 授权工具" << false << false << false;
    QTest::newRow("copy breaks off") << downloads << QStringList() << ours << "old" << true << false << false;
    QTest::newRow("swap refused") << downloads << QStringList() << ours << "old" << false << false << true;
    QTest::newRow("from the installed place, home through a link") << "Applications/Corvanta/Corvanta 管理工具.app" << QStringList() << ours << "old" << false << true << false;
    QTest::newRow("from Downloads, home through a link") << downloads << QStringList() << ours << "running" << false << true << false;
}

void tst_ToolPlacement::placement()
{
    QFETCH(QString, running);
    QFETCH(QStringList, embedded);
    QFETCH(QString, legacyIdentifier);
    QFETCH(QString, expectedMarker);
    QFETCH(bool, copyBreaksOff);
    QFETCH(bool, homeThroughLink);
    QFETCH(bool, swapRefused);
    ScratchHome home;
    const QString link = home.path() + QStringLiteral("-link");
    if (homeThroughLink) {
        QVERIFY(QFile::link(home.path(), link));
        qputenv("HOME", QFile::encodeName(link)); // ScratchHome puts the real HOME back
    }
    const auto removeLink = qScopeGuard([&link] { QFile::remove(link); });
    const QString homePath = homeThroughLink ? link : home.path();
    const QString target = homePath + QStringLiteral("/Applications/Corvanta/Corvanta 管理工具.app");
    const QString legacy = homePath + QStringLiteral("/Applications/Corvanta/Corvanta 授权工具.app");
    makeBundle(target, QStringLiteral("old"));
    makeBundle(legacy, QStringLiteral("legacy"), legacyIdentifier);
    if (!running.isEmpty() && home.filePath(running) != home.filePath(QStringLiteral("Applications/Corvanta/Corvanta 管理工具.app")))
        makeBundle(home.filePath(running), QStringLiteral("running"));
    for (const QString &name : embedded)
        makeBundle(home.filePath(running) + QStringLiteral("/Contents/Resources/") + name + QStringLiteral(".app"), name);
    if (copyBreaksOff)
        writeText(home.filePath(running) + QStringLiteral("/Contents/MacOS/big"), QString(1 << 20, QLatin1Char('x')));

    const QByteArray mountPoint = QFile::encodeName(target);
    if (swapRefused) {
        // In a mount namespace of this thread's own: the mount never leaves the test.
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP("needs root for a mount namespace");
        QCOMPARE(::mount(mountPoint.constData(), mountPoint.constData(), nullptr, MS_BIND, nullptr), 0);
    }
    const auto unmount = qScopeGuard([&] {
        if (swapRefused)
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });

    rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit limited {copyBreaksOff ? 64 * 1024 : previous.rlim_cur, previous.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    QString result;
    try {
        result = ManagementAppPlacement::ensureInstalledManagementApp(running.isEmpty() ? AppBundle() : AppBundle(home.filePath(running)));
    } catch (const Failure &error) {
        result = error.sentence();
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);

    if (copyBreaksOff)
        QVERIFY2(result.startsWith(QStringLiteral("无法复制“big”：")), qPrintable(result));
    else if (swapRefused)
        QCOMPARE(result, QStringLiteral("无法替换“Corvanta 管理工具.app”：项目正被占用。"));
    else
        QCOMPARE(result, target);
    QCOMPARE(readText(target + QStringLiteral("/Contents/marker")), expectedMarker);
    QCOMPARE(QFile::symLinkTarget(target + QStringLiteral("/Contents/link")), target + QStringLiteral("/Contents/marker"));
    QVERIFY(QFileInfo(target + QStringLiteral("/Contents/MacOS/tool")).isExecutable());
    const bool placed = expectedMarker != QLatin1String("old"), legacyRemoved = placed && legacyIdentifier == ours;
    // Nothing else is left beside them, no hidden copy either.
    QCOMPARE(QDir(QFileInfo(target).path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), legacyRemoved ? 1 : 2);
    QString log = readText(home.logFile());
    log.remove(QRegularExpression(QStringLiteral("^\\[..:..:..\\] "), QRegularExpression::MultilineOption));
    QCOMPARE(log, QString((legacyRemoved ? QStringLiteral("已清理旧版 Corvanta 授权工具：") + legacy + "\n" : QString())
                          + (placed ? QStringLiteral("管理工具已安装到：") + target + "\n" : QString())));
}

QTEST_GUILESS_MAIN(tst_ToolPlacement)
#include "tst_toolplacement.moc"
