#include "core/BundleCopy.h"
#include "core/DescribedError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes, mode_t mode)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

mode_t modeOf(const QString &path)
{
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

} // namespace

class tst_BundleCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsLinksAndModes();
    void swapLeavesOnlyTheNewCopy();
};

void tst_BundleCopy::keepsLinksAndModes()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("A.app"));
    writeFile(source + QStringLiteral("/Contents/MacOS/tool"), "#!/bin/sh\n", 0755);
    writeFile(source + QStringLiteral("/Contents/Resources/secret"), "s", 0600);
    writeFile(source + QStringLiteral("/Contents/Frameworks/Q.framework/Versions/A/Q"), "lib", 0644);
    QVERIFY(QFile::link(QStringLiteral("Versions/A/Q"), source + QStringLiteral("/Contents/Frameworks/Q.framework/Q")));
    QVERIFY(QFile::link(QStringLiteral("/nowhere/at/all"), source + QStringLiteral("/Contents/dangling")));
    QCOMPARE(::chmod(QFile::encodeName(source + QStringLiteral("/Contents/Resources")).constData(), 0555), 0);

    const QString copy = dir.filePath(QStringLiteral("B.app"));
    BundleCopy::copyTree(source, copy);

    const QString link = copy + QStringLiteral("/Contents/Frameworks/Q.framework/Q");
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFile::symLinkTarget(link), copy + QStringLiteral("/Contents/Frameworks/Q.framework/Versions/A/Q"));
    QVERIFY(QFileInfo(copy + QStringLiteral("/Contents/dangling")).isSymLink());
    QCOMPARE(modeOf(copy + QStringLiteral("/Contents/MacOS/tool")), mode_t(0755));
    QCOMPARE(modeOf(copy + QStringLiteral("/Contents/Resources/secret")), mode_t(0600));
    QCOMPARE(modeOf(copy + QStringLiteral("/Contents/Resources")), mode_t(0555));
    QFile lib(copy + QStringLiteral("/Contents/Frameworks/Q.framework/Versions/A/Q"));
    QVERIFY(lib.open(QIODevice::ReadOnly));
    QCOMPARE(lib.readAll(), QByteArray("lib"));
}

// A leftover hidden copy of an earlier run is not ours to touch; ours leaves nothing behind.
void tst_BundleCopy::swapLeavesOnlyTheNewCopy()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("new/X.app"));
    writeFile(source + QStringLiteral("/Contents/marker"), "new", 0644);
    const QString parent = dir.filePath(QStringLiteral("Applications/Corvanta"));
    const QString target = parent + QStringLiteral("/X.app");
    writeFile(target + QStringLiteral("/Contents/marker"), "old", 0644);
    const QString stale = parent + QStringLiteral("/.X-installing-0A6E3F0C-0000-4000-8000-000000000000.app");
    writeFile(stale + QStringLiteral("/Contents/marker"), "stale", 0644);

    BundleCopy::replaceWithCopy(source, target);

    QFile marker(target + QStringLiteral("/Contents/marker"));
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QCOMPARE(marker.readAll(), QByteArray("new"));
    QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral(".X-installing-0A6E3F0C-0000-4000-8000-000000000000.app"),
                          QStringLiteral("X.app")}));

    // A source that is not there: nothing changes at target.
    QVERIFY_THROWS_EXCEPTION(DescribedError,
                             BundleCopy::replaceWithCopy(dir.filePath(QStringLiteral("missing.app")), target));
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/Contents/marker")));
    QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

QTEST_GUILESS_MAIN(tst_BundleCopy)
#include "tst_bundlecopy.moc"
